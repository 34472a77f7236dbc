// How long an asset folder takes to cook: the normal map (including loading
// normal.png and height.png), the shadow sprite, and a whole uncached object
// (including settings and saving both caches). Synthetic folders of a few
// sizes, plus copies of the real object folders found under assets/objects/
// of the working directory (copies, so the real folders are never written).

#include <allegro5/allegro.h>
#include <allegro5/allegro_image.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>  // Required for: mkdtemp()
#include <filesystem>
#include <string>
#include <vector>

#include "core/common.h"
#include "render/vobject_complex.h"
#include "resources/bitmap_manager.h"
#include "world/camera.h"

namespace {

namespace fs = std::filesystem;

const std::string OBJECTS = "assets/objects/";
const int SYNTHETIC_SIZES[] = {256, 1024};

std::string Folder(const std::string& name) { return OBJECTS + name + "/"; }

// A plausible object: an opaque disc on transparency, a dome of normals and
// heights, so that most pixels cast and drop by different amounts.
void Write_Synthetic_Image(const std::string& path, int size, char channel) {
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    ALLEGRO_BITMAP* image = al_create_bitmap(size, size);
    al_set_new_bitmap_flags(0);
    ALLEGRO_BITMAP* target = al_get_target_bitmap();
    al_set_target_bitmap(image);
    float radius = size * 0.45f;
    for (int y = 0; y < size; y++) {
        for (int x = 0; x < size; x++) {
            float dx = (x - size / 2) / radius, dy = (y - size / 2) / radius;
            float inside = 1.0f - (dx * dx + dy * dy);
            int dome = inside > 0 ? static_cast<int>(255 * inside) : 0;
            if (channel == 'd') al_put_pixel(x, y, al_map_rgba(180, 140, 90, inside > 0 ? 255 : 0));
            if (channel == 'n') al_put_pixel(x, y, al_map_rgb(128 + dome / 4, 128 - dome / 4, 255));
            if (channel == 'h') al_put_pixel(x, y, al_map_rgb(dome, 0, 0));
        }
    }
    al_set_target_bitmap(target);
    al_save_bitmap(path.c_str(), image);
    al_destroy_bitmap(image);
}

std::string Make_Synthetic_Folder(int size) {
    std::string name = "synthetic_" + ToString(size);
    fs::create_directories(Folder(name));
    Write_Synthetic_Image(Folder(name) + Kelvane::DIFFUSE_FILE, size, 'd');
    Write_Synthetic_Image(Folder(name) + Kelvane::NORMAL_FILE, size, 'n');
    Write_Synthetic_Image(Folder(name) + Kelvane::HEIGHT_FILE, size, 'h');
    return name;
}

// Only folders that can be cooked: a diffuse image and both sources.
std::vector<std::string> Copy_Real_Folders(const fs::path& from, const fs::path& to) {
    std::vector<std::string> names;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(from / OBJECTS, error)) {
        fs::path folder = entry.path();
        if (!fs::exists(folder / Kelvane::DIFFUSE_FILE) || !fs::exists(folder / Kelvane::NORMAL_FILE) ||
            !fs::exists(folder / Kelvane::HEIGHT_FILE))
            continue;
        std::string name = folder.filename().string();
        fs::create_directories(to / OBJECTS / name);
        for (const std::string& file :
             {Kelvane::DIFFUSE_FILE, Kelvane::NORMAL_FILE, Kelvane::HEIGHT_FILE, Kelvane::SETTINGS_FILE})
            if (fs::exists(folder / file)) fs::copy_file(folder / file, to / OBJECTS / name / file);
        names.push_back(name);
    }
    return names;
}

void Remove_Caches(const std::string& name) {
    fs::remove(Folder(name) + Kelvane::NORMAL_CACHE_FILE);
    fs::remove(Folder(name) + Kelvane::SHADOW_CACHE_FILE);
}

void Report_Size(benchmark::State& state, ALLEGRO_BITMAP* diffuse) {
    double megapixels = al_get_bitmap_width(diffuse) * static_cast<double>(al_get_bitmap_height(diffuse)) / 1e6;
    state.counters["MP"] = megapixels;
    state.counters["MP_per_s"] = benchmark::Counter(megapixels, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["time_per_MP"] = benchmark::Counter(
        megapixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Runs one generator over and over on an object of the folder, destroying each
// result untimed; the store keeps the object's first images.
template <typename Generator>
void Regenerate(benchmark::State& state, const std::string& name, Generator generate) {
    Kelvane::Bitmap_Manager store;
    Kelvane::Camera camera;
    Kelvane::VObject_Complex object(&store, &camera, name, 0, 0, 0, 1, false);
    for (auto _ : state) {
        ALLEGRO_BITMAP* made = generate(object, &store, &camera);
        state.PauseTiming();
        if (made) al_destroy_bitmap(made);
        state.ResumeTiming();
    }
    Report_Size(state, object.Get_Actual_Bit());
}

// Includes loading normal.png and height.png: cooking releases them each time.
void Cook_Normal_Map(benchmark::State& state, const std::string& name) {
    Regenerate(state, name, [](Kelvane::VObject_Complex& object, Kelvane::Bitmap_Manager* store, Kelvane::Camera*) {
        object.Generate_Normal_Map(store);
        return object.Get_Actual_Bit_Normal();
    });
}

void Cast_Shadow(benchmark::State& state, const std::string& name) {
    Regenerate(state, name, [](Kelvane::VObject_Complex& object, Kelvane::Bitmap_Manager*, Kelvane::Camera* camera) {
        object.Generate_Shadow_Bit(camera);
        return object.Get_Actual_Bit_Shadow();
    });
}

// Everything a first run pays for one folder, saving both caches included.
void Build_Uncached(benchmark::State& state, const std::string& name) {
    Kelvane::Camera camera;
    for (auto _ : state) {
        state.PauseTiming();
        Remove_Caches(name);
        Kelvane::Bitmap_Manager store;
        state.ResumeTiming();
        Kelvane::VObject_Complex object(&store, &camera, name, 0, 0, 0, 1, true);
        state.PauseTiming();
        Report_Size(state, object.Get_Actual_Bit());
        // Nothing else frees them, and a long run would fill the GPU's memory.
        for (const std::string& file : {Kelvane::DIFFUSE_FILE, Kelvane::NORMAL_CACHE_FILE, Kelvane::SHADOW_CACHE_FILE})
            store.Release_Bitmap(Folder(name) + file);
        state.ResumeTiming();
    }
}

void Register_Folder(const std::string& name) {
    for (auto [kind, run] : {std::pair{"Cook_Normal_Map/", &Cook_Normal_Map}, std::pair{"Cast_Shadow/", &Cast_Shadow},
                             std::pair{"Build_Uncached/", &Build_Uncached}}) {
        benchmark::RegisterBenchmark((kind + name).c_str(), run, name)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
}

// A scratch folder as working directory, removed at the end.
fs::path Make_Workspace() {
    std::string pattern = (fs::temp_directory_path() / "kelvane-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return fs::path();
    return fs::path(pattern);
}

}  // namespace

int main(int argc, char** argv) {
    if (!al_init() || !al_init_image_addon()) return 1;
    al_set_new_display_flags(ALLEGRO_OPENGL | ALLEGRO_WINDOWED);
    if (!al_create_display(320, 240)) {
        std::fprintf(stderr, "cooking needs an OpenGL window: run it under an X server (Xvfb)\n");
        return 1;
    }
    fs::path start = fs::current_path();
    fs::path workspace = Make_Workspace();
    if (workspace.empty()) return 1;
    std::vector<std::string> names = Copy_Real_Folders(start, workspace);
    fs::current_path(workspace);
    for (int size : SYNTHETIC_SIZES) names.push_back(Make_Synthetic_Folder(size));
    for (const std::string& name : names) Register_Folder(name);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::current_path(start);
    fs::remove_all(workspace);
    return 0;
}
