// Frame benchmark: renders the demonstration world and a stress world in a
// real window, timing whole frames (shadow, depth and colour passes) through
// the renderer's path and its exact reference path, then the same quads
// through a plain textured program: the floor any lighting can reach on this
// rasterizer. The paths' frames take turns; it reports their medians, the
// ratios to the plain floor, and how far the two paths' pictures differ. Run
// it from the staged run directory (assets/shader, assets/objects).
//
//   frame_bench [--size WxH] [--frames F] [--objects N] [--lights L] [--view X,Y] [--flags N]
//               [--screenshot PREFIX]
//
// --view moves the view (screen space) from the demonstration's (0, 0);
// --flags are the debug flags handed to the renderer (none by default);
// --screenshot saves PREFIX_<world>.png and PREFIX_<world>_reference.png.

#include <allegro5/allegro.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_opengl.h>  // Required for: glFinish(), glGetString()
#include <allegro5/allegro_primitives.h>
#include <stdlib.h>  // Required for: mkdtemp()

#include <algorithm>
#include <cmath>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <list>
#include <string>
#include <vector>

#include "core/common.h"
#include "core/log.h"
#include "demo/main_game.h"
#include "render/picture.h"
#include "render/renderer.h"
#include "render/scene_builder.h"
#include "render/vobject.h"
#include "resources/bitmap_manager.h"
#include "resources/shader.h"
#include "resources/shader_manager.h"
#include "world/camera.h"
#include "world/light.h"

using Kelvane::Camera;
using Kelvane::Light;
using Kelvane::Renderer;
using Kelvane::VObject;

namespace {

const char* const LIGHTING_PATH = "assets/shader/object_light.glsl";
const char* const SHADOW_PATH = "assets/shader/object_shadow.glsl";
const int MAX_LIGHTS = 24;
const int WARM_UP_FRAMES = 2;

// Samples "texture" and keeps the depth write, so early depth rejection
// helps it no more than it helps the lighting program.
const char* const PLAIN_PROGRAM =
    "#version 120\n"
    "uniform sampler2D texture;\n"
    "void main() {\n"
    "    gl_FragColor = texture2D(texture, gl_TexCoord[0].st);\n"
    "    gl_FragDepth = gl_FragCoord.z;\n"
    "}\n";

// What the stress world spreads over the view.
const char* const PROPS[] = {"square", "house", "sphere", "robot", "pilar"};

struct Options {
    int width = 800;
    int height = 600;
    int frames = 60;
    int objects = 49;
    int lights = MAX_LIGHTS;
    float view_x = 0.0f;
    float view_y = 0.0f;
    int flags = 0;
    std::string screenshot;  // file name prefix; empty for none
};

struct World {
    std::string name;
    int flags = 0;
    std::list<VObject*> objects;
    std::list<Light*> lights;
    Light* sun = nullptr;
    Camera* camera = nullptr;
};

bool Parse_Options(int argc, char** argv, Options* options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string key = argv[i];
        const char* value = argv[i + 1];
        if (key == "--size" && std::sscanf(value, "%dx%d", &options->width, &options->height) == 2) continue;
        if (key == "--frames" && std::sscanf(value, "%d", &options->frames) == 1) continue;
        if (key == "--objects" && std::sscanf(value, "%d", &options->objects) == 1) continue;
        if (key == "--lights" && std::sscanf(value, "%d", &options->lights) == 1) continue;
        if (key == "--flags" && std::sscanf(value, "%d", &options->flags) == 1) continue;
        if (key == "--view" && std::sscanf(value, "%f,%f", &options->view_x, &options->view_y) == 2) continue;
        if (key == "--screenshot") {
            options->screenshot = value;
            continue;
        }
        return false;
    }
    return argc % 2 == 1 && std::isfinite(options->view_x) && std::isfinite(options->view_y) && options->width > 0 && options->height > 0 && options->frames > 0 &&
           options->objects >= 0 && options->lights >= 0 && options->lights <= MAX_LIGHTS;
}

bool Has_Demo_Assets() {
    for (const std::string& folder : MainGame_Assets())
        if (!Kelvane::File_Exists(folder + "diffuse.png")) return false;
    return true;
}

// The camera eases toward its target: let it arrive.
void Move_View(Camera* camera, float x, float y) {
    camera->Move_Target_X(x);
    camera->Move_Target_Y(y);
    while (camera->Get_X() != x || camera->Get_Y() != y) camera->Update(2.0f);
}

// The world `scene` describes, seen from the options' view.
World Build_World(const std::string& name, const Kelvane::Scene_Description& scene, Kelvane::Bitmap_Manager* store,
                  const Options& options) {
    World world;
    world.name = name;
    world.flags = options.flags;
    world.sun = new Light(0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0);
    world.camera = new Camera();
    Kelvane::Scene_Kept kept;
    Kelvane::Build_Scene(scene, store, world.camera, world.sun, &world.objects, &world.lights,
                         [](std::string, float) { return true; }, &kept);
    Move_View(world.camera, options.view_x, options.view_y);
    for (VObject* object : world.objects) object->Update(1.0f);  // lamps carry their lights
    return world;
}

// Props and lights spread evenly over the view, on a grid of screen points.
Vec2D Spread(Camera* camera, int index, int count, float z) {
    int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<float>(count))));
    int rows = (count + columns - 1) / columns;
    float sx = 150.0f + 1650.0f * ((index % columns) + 0.5f) / columns;
    float sy = 250.0f + 800.0f * ((index / columns) + 0.5f) / rows;
    return camera->Screen_To_Proj(camera->Get_X() + sx, camera->Get_Y() + sy, z);
}

// The demonstration's floor, with props and lights spread over the view.
World Stress_World(Kelvane::Bitmap_Manager* store, const Options& options) {
    Kelvane::Scene_Description scene = MainGame_World();
    const std::string floor_folder = scene.objects.front().folder;
    scene.objects.erase(std::remove_if(scene.objects.begin(), scene.objects.end(),
                                       [&](const Kelvane::Scene_Object& o) { return o.folder != floor_folder; }),
                        scene.objects.end());
    scene.lights.clear();
    Camera view;
    Move_View(&view, options.view_x, options.view_y);
    for (int i = 0; i < options.objects; i++) {
        Vec2D floor = Spread(&view, i, options.objects, 0.0f);
        scene.objects.push_back({PROPS[(i + i / 3) % std::size(PROPS)], floor.x, floor.y, 0.0f, 0.4f, true, true});
    }
    for (int i = 0; i < options.lights; i++) {
        Vec2D floor = Spread(&view, i, options.lights, 0.0f);
        Kelvane::Scene_Light light;
        light.x = floor.x + 60.0f, light.y = floor.y - 60.0f, light.z = 150.0f, light.range = 400.0f;
        light.r = 0.6f + 0.1f * (i % 5), light.g = 0.5f + 0.1f * (i % 3), light.b = 0.8f - 0.1f * (i % 4);
        scene.lights.push_back(light);
    }
    return Build_World("stress", scene, store, options);
}

// A shader store whose two programs are the plain one, built from a scratch folder.
bool Build_Plain_Shaders(Kelvane::Shader_Manager* plain) {
    std::string folder = (std::filesystem::temp_directory_path() / "frame-bench-XXXXXX").string();
    if (!mkdtemp(folder.data())) return false;
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::create_directories(folder + "/assets/shader");
    std::ofstream(folder + "/" + LIGHTING_PATH) << PLAIN_PROGRAM;
    std::ofstream(folder + "/" + SHADOW_PATH) << PLAIN_PROGRAM;
    std::filesystem::current_path(folder);
    bool usable = plain->Get_Shader(LIGHTING_PATH)->Is_Usable() && plain->Get_Shader(SHADOW_PATH)->Is_Usable();
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(folder);
    return usable;
}

void Draw_Frame(Renderer* renderer, Kelvane::Log* log, World& world) {
    al_clear_to_color(al_map_rgb(100, 100, 100));
    renderer->Render(log, &world.objects, &world.lights, world.sun, world.camera, world.flags);
}

// One way of drawing a world: a renderer, and whether it takes its exact path.
struct Path {
    Renderer* renderer;
    bool reference;
};

double Frame_Milliseconds(const Path& path, Kelvane::Log* log, World& world) {
    path.renderer->Set_Reference_Path(path.reference);
    double start = al_get_time();
    Draw_Frame(path.renderer, log, world);
    glFinish();  // the GPU's work included
    double elapsed = al_get_time() - start;
    al_flip_display();
    return 1000.0 * elapsed;
}

// The median milliseconds per frame of each path. Their frames take turns, so
// that a machine that slows down or speeds up meanwhile hits all paths alike.
std::vector<double> Time_Paths(const std::vector<Path>& paths, Kelvane::Log* log, World& world, int frames) {
    std::vector<std::vector<double>> times(paths.size());
    for (int round = -WARM_UP_FRAMES; round < frames; round++) {
        for (size_t path = 0; path < paths.size(); path++) {
            double milliseconds = Frame_Milliseconds(paths[path], log, world);
            if (round >= 0) times[path].push_back(milliseconds);
        }
    }
    std::vector<double> medians;
    for (std::vector<double>& path_times : times) {
        std::nth_element(path_times.begin(), path_times.begin() + path_times.size() / 2, path_times.end());
        medians.push_back(path_times[path_times.size() / 2]);
    }
    return medians;
}

void Save_Screenshot(ALLEGRO_DISPLAY* display, const Path& path, Kelvane::Log* log, World& world,
                     const std::string& name) {
    path.renderer->Set_Reference_Path(path.reference);
    Draw_Frame(path.renderer, log, world);
    if (!al_save_bitmap(name.c_str(), al_get_backbuffer(display))) std::printf("could not save %s\n", name.c_str());
    al_flip_display();
}

// One frame's picture, read back from the window.
Kelvane::Picture Picture_Of(ALLEGRO_DISPLAY* display, Renderer* renderer, Kelvane::Log* log, World& world) {
    Draw_Frame(renderer, log, world);
    Kelvane::Picture picture = Kelvane::Picture::Read(al_get_backbuffer(display));
    al_flip_display();
    return picture;
}

void Report(ALLEGRO_DISPLAY* display, Renderer* lit, Renderer* plain, Kelvane::Log* log, World& world,
            const Options& options) {
    const Path fast{lit, false}, exact{lit, true};
    std::vector<double> ms = Time_Paths({fast, exact, Path{plain, true}}, log, world, options.frames);
    lit->Set_Reference_Path(false);
    Kelvane::Picture fast_picture = Picture_Of(display, lit, log, world);
    lit->Set_Reference_Path(true);
    Kelvane::Picture::Difference difference = fast_picture.Compare(Picture_Of(display, lit, log, world));
    std::printf("%-7s %7zu %6zu %8.2f %8.2f %8.2f %7.2f %7.2f %6.1f %8.3f %6d\n", world.name.c_str(),
                world.objects.size(), world.lights.size(), ms[0], ms[1], ms[2], ms[0] / ms[2], ms[1] / ms[2],
                1000.0 / ms[0], 100.0 * difference.share_within_2, difference.worst);
    if (options.screenshot.empty()) return;
    for (const Path& path : {fast, exact})
        Save_Screenshot(display, path, log, world,
                        options.screenshot + "_" + world.name + (path.reference ? "_reference.png" : ".png"));
}

ALLEGRO_DISPLAY* Open_Window(const Options& options) {
    al_set_new_display_flags(ALLEGRO_OPENGL | ALLEGRO_WINDOWED);
    al_set_new_display_option(ALLEGRO_DEPTH_SIZE, 24, ALLEGRO_SUGGEST);
    al_set_new_window_title("Kelvane frame bench");
    return al_create_display(options.width, options.height);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse_Options(argc, argv, &options)) {
        std::printf("usage: frame_bench [--size WxH] [--frames F] [--objects N] [--lights 0-24] "
                    "[--view X,Y] [--flags N] [--screenshot PREFIX]\n");
        return 2;
    }
    if (!al_init() || !al_init_image_addon() || !al_init_primitives_addon()) return 1;
    ALLEGRO_DISPLAY* display = Open_Window(options);
    if (!display) {
        std::printf("no OpenGL window of %dx%d\n", options.width, options.height);
        return 1;
    }
    if (!Has_Demo_Assets()) {
        std::printf("no assets/objects here: run from the staged run directory\n");
        return 1;
    }
    Kelvane::Log log("frame_bench.log");
    Kelvane::Bitmap_Manager store;
    Kelvane::Shader_Manager shaders;
    Kelvane::Shader_Manager plain_shaders;
    Kelvane::Shader* lighting = shaders.Get_Shader(LIGHTING_PATH);
    if (!lighting->Is_Usable()) {
        std::printf("%s\n", lighting->Get_Error().c_str());
        return 1;
    }
    if (!Build_Plain_Shaders(&plain_shaders)) {
        std::printf("the plain program did not build\n");
        return 1;
    }
    Renderer lit(display, &shaders, 1920.0f, 1080.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    Renderer plain(display, &plain_shaders, 1920.0f, 1080.0f, 0.0f, 0.0f, 0.0f, 0.0f);

    std::printf("frame_bench %dx%d, %d frames, %s\n", options.width, options.height, options.frames,
                reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    plain.Set_Reference_Path(true);  // the plain program has no variants
    std::printf("milliseconds per frame: lit (the renderer's path), reference (exact path), plain (textured floor)\n");
    std::printf("%-7s %7s %6s %8s %8s %8s %7s %7s %6s %8s %6s\n", "world", "objects", "lights", "lit", "ref",
                "plain", "lit/pl", "ref/pl", "fps", "same %", "worst");
    World demo = Build_World("demo", MainGame_World(), &store, options);
    Report(display, &lit, &plain, &log, demo, options);
    World stress = Stress_World(&store, options);
    Report(display, &lit, &plain, &log, stress, options);
    return 0;
}
