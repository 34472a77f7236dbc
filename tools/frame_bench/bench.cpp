#include "tools/frame_bench/bench.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_opengl.h>  // Required for: glFinish()

#include <algorithm>  // Required for: std::nth_element(), std::max_element()
#include <array>
#include <cstdio>

#include "core/common.h"  // Required for: DEFAULT_INTERNAL_RES_W, DEFAULT_INTERNAL_RES_H
#include "render/picture.h"
#include "render/world.h"
#include "tools/frame_bench/motion.h"
#include "tools/frame_bench/options.h"

using Kelvane::Picture;
using Kelvane::Renderer;
using Kelvane::World;

namespace Frame_Bench {

namespace {

const int WARM_UP_FRAMES = 2;
// Pictures compared per motion, evenly spread, the last frame's included.
const int CHECKS = 4;
// The grey the demonstration clears to.
const unsigned char BACKGROUND_GREY = 100;
// The paths, in the order each frame is drawn; the first two are compared.
const size_t LIT = 0, REFERENCE = 1, PLAIN = 2, PATHS = 3;

Frame_Times Summary(std::vector<double> milliseconds) {
    double slowest = *std::max_element(milliseconds.begin(), milliseconds.end());
    std::nth_element(milliseconds.begin(), milliseconds.begin() + milliseconds.size() / 2, milliseconds.end());
    return Frame_Times{milliseconds[milliseconds.size() / 2], slowest};
}

// The larger worst channel; on a tie, the smaller share of close pixels.
Picture::Difference Worse(Picture::Difference a, Picture::Difference b) {
    if (b.worst != a.worst) return b.worst > a.worst ? b : a;
    return b.share_within_2 < a.share_within_2 ? b : a;
}

// The internal picture over the whole window, through the store's programs.
Renderer On_Display(ALLEGRO_DISPLAY* display, Kelvane::Shader_Manager* shaders) {
    return Renderer(display, shaders, Kelvane::DEFAULT_INTERNAL_RES_W, Kelvane::DEFAULT_INTERNAL_RES_H, 0.0f, 0.0f,
                    0.0f, 0.0f);
}


}  // namespace

Bench::Bench(ALLEGRO_DISPLAY* display, Kelvane::Log* log, Kelvane::Shader_Manager* shaders,
             Kelvane::Shader* plain_program, const Options& options)
    : display(display),
      log(log),
      options(options),
      lit(On_Display(display, shaders)),
      reference(On_Display(display, shaders)),
      plain(plain_program, &lit) {
    reference.Set_Reference_Path(true);
}

Motion_Row Bench::Measure(const std::string& world_name, World* world, Motion* motion) {
    std::vector<std::vector<double>> times(PATHS);
    Picture::Difference difference{1.0, 0};
    for (int frame = -WARM_UP_FRAMES; frame < options.frames; frame++)
        Draw_Round(frame, world, motion, world_name, &times, &difference);
    Motion_Row row;
    row.world = world_name;
    row.motion = motion->Get_Name();
    row.objects = world->Get_Objects()->size();
    row.lights = world->Get_Lights()->size();
    row.lit = Summary(times[LIT]);
    row.reference = Summary(times[REFERENCE]);
    row.plain = Summary(times[PLAIN]);
    row.difference = difference;
    row.kept_bytes = std::to_string(lit.Get_Kept_Bytes());
    return row;
}

Shown_Row Bench::Measure_Shown(const std::string& world_name, World* world, Motion* motion) {
    std::vector<double> times;
    for (int frame = -WARM_UP_FRAMES; frame < options.frames; frame++) {
        motion->Apply(std::max(frame, 0));
        double milliseconds = Milliseconds([&] {
            Draw(&lit, world);
            al_flip_display();
        });
        if (frame >= 0) times.push_back(milliseconds);
    }
    return Shown_Row{world_name, motion->Get_Name(), Summary(times)};
}

double Bench::Milliseconds(const std::function<void()>& work) {
    double start = al_get_time();
    work();
    glFinish();
    return 1000.0 * (al_get_time() - start);
}

void Bench::Clear() { al_clear_to_color(al_map_rgb(BACKGROUND_GREY, BACKGROUND_GREY, BACKGROUND_GREY)); }

void Bench::Draw(Renderer* renderer, World* world) {
    Clear();
    renderer->Render(log, world, options.flags);
}

void Bench::Draw_Round(int frame, World* world, Motion* motion, const std::string& world_name,
                       std::vector<std::vector<double>>* times, Picture::Difference* difference) {
    motion->Apply(std::max(frame, 0));
    const std::array<std::function<void()>, PATHS> paint = {
        [&] { Draw(&lit, world); }, [&] { Draw(&reference, world); },
        [&] {
            Clear();
            plain.Paint(world);
        }};
    std::array<Picture, 2> pictures;  // the lit path's and the reference's
    for (size_t path = 0; path < PATHS; path++) {
        double milliseconds = Milliseconds(paint[path]);
        if (frame >= 0) (*times)[path].push_back(milliseconds);
        if (path < pictures.size() && Checked(frame)) pictures[path] = Read_Back(frame, path);
        if (frame == options.frames - 1) Save_Screenshot(path, world_name, motion);
        al_flip_display();
    }
    if (Checked(frame)) *difference = Worse(*difference, pictures[LIT].Compare(pictures[REFERENCE]));
}

Picture Bench::Read_Back(int frame, size_t path) {
    Picture picture = Picture::Read(al_get_backbuffer(display));
    // Pictures that cannot be compared count as wholly different: say why.
    if (picture.Get_Width() == 0)
        std::fprintf(stderr, "frame %d: the %s picture could not be read back\n", frame,
                     path == REFERENCE ? "reference" : "lit");
    return picture;
}

bool Bench::Checked(int frame) {
    int every = std::max(1, options.frames / CHECKS);
    return frame >= 0 && ((frame + 1) % every == 0 || frame == options.frames - 1);
}

void Bench::Save_Screenshot(size_t path, const std::string& world_name, Motion* motion) {
    if (options.screenshot.empty()) return;
    static const std::array<const char*, PATHS> suffixes = {".png", "_reference.png", "_plain.png"};
    std::string name = options.screenshot + "_" + world_name + "_" + motion->Get_Name() + suffixes[path];
    if (!al_save_bitmap(name.c_str(), al_get_backbuffer(display)))
        std::fprintf(stderr, "could not save %s\n", name.c_str());
}

}  // namespace Frame_Bench
