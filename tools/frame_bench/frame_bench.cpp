// Frame benchmark: moves worlds in a real window and times their whole frames
// (shadow, depth and colour passes) through the renderer's path, its exact
// reference path and a plain textured program, each path drawing every state
// of each motion in turn (tools/frame_bench/bench.h). It prints, for each world
// and motion, the paths' milliseconds per frame, the ratios to the plain floor,
// and how far the renderer's pictures are from the exact path's; then the
// whole frame a user sees while the view pans. Run it from the staged run
// directory (assets/shader, assets/objects).
//
//   frame_bench [--size WxH] [--frames F] [--objects N] [--lights L] [--view X,Y] [--flags N]
//               [--worlds demo,stress,large] [--motions still,pan,lamp,walker,sun] [--screenshot PREFIX]
//
// --frames is per motion (30 by default); --objects and --lights are the stress
// and large worlds' props and point lights; --view moves the view (screen
// space) from the demonstration's (0, 0); --flags are the debug flags handed to
// the renderer (none by default); --screenshot saves each motion's last frame
// as PREFIX_<world>_<motion>.png and PREFIX_<world>_<motion>_reference.png.

#include <allegro5/allegro.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_opengl.h>  // Required for: glGetString()
#include <allegro5/allegro_primitives.h>
#include <stdlib.h>  // Required for: mkdtemp()

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/common.h"
#include "core/log.h"
#include "demo/main_game.h"  // Required for: MainGame_Assets()
#include "render/world.h"
#include "resources/bitmap_manager.h"
#include "resources/shader.h"
#include "resources/shader_manager.h"
#include "tools/frame_bench/bench.h"
#include "tools/frame_bench/motion.h"
#include "tools/frame_bench/options.h"
#include "tools/frame_bench/report.h"
#include "tools/frame_bench/worlds.h"

using namespace Frame_Bench;

namespace {

const char* const LIGHTING_PATH = "assets/shader/object_light.glsl";

// The motion whose whole frames, flip included, are timed on their own.
const char* const SHOWN_MOTION = "pan";

// Samples "texture", drops the clear texels as the lighting program does, and
// keeps the depth write, so early depth rejection helps it no more than it
// helps the lighting program.
const char* const PLAIN_PROGRAM =
    "#version 120\n"
    "uniform sampler2D texture;\n"
    "uniform float alpha_cutoff;\n"
    "void main() {\n"
    "    gl_FragColor = texture2D(texture, gl_TexCoord[0].st);\n"
    "    if (gl_FragColor.a <= alpha_cutoff) discard;\n"
    "    gl_FragDepth = gl_FragCoord.z;\n"
    "}\n";

bool Has_Demo_Assets() {
    for (const std::string& folder : MainGame_Assets())
        if (!Kelvane::File_Exists(folder + Kelvane::DIFFUSE_FILE)) return false;
    return true;
}

// The plain program, built from a scratch file.
std::unique_ptr<Kelvane::Shader> Build_Plain_Program() {
    std::string folder = (std::filesystem::temp_directory_path() / "frame-bench-XXXXXX").string();
    if (!mkdtemp(folder.data())) return nullptr;
    std::string path = folder + "/plain.glsl";
    std::ofstream(path) << PLAIN_PROGRAM;
    auto program = std::make_unique<Kelvane::Shader>(path);
    std::filesystem::remove_all(folder);
    return program;
}

ALLEGRO_DISPLAY* Open_Window(const Options& options) {
    al_set_new_display_flags(ALLEGRO_OPENGL | ALLEGRO_WINDOWED);
    al_set_new_display_option(ALLEGRO_DEPTH_SIZE, 24, ALLEGRO_SUGGEST);
    al_set_new_window_title("Kelvane frame bench");
    return al_create_display(options.width, options.height);
}

// Every motion of the options in the world, a row each; the shown motion's whole frames into `shown`.
void Measure_World(Bench* bench, Named_World* named, Kelvane::Bitmap_Manager* store, const Options& options,
                   std::vector<Shown_Row>* shown) {
    for (const std::string& name : options.motions) {
        Motion motion(name, named->world.get(), bench->Get_Renderer(), store);
        Print_Row(bench->Measure(named->name, named->world.get(), &motion));
        if (name == SHOWN_MOTION) shown->push_back(bench->Measure_Shown(named->name, named->world.get(), &motion));
    }
}

int Run(ALLEGRO_DISPLAY* display, const Options& options) {
    Kelvane::Log log("frame_bench.log");
    Kelvane::Bitmap_Manager store;
    Kelvane::Shader_Manager shaders;
    Kelvane::Shader* lighting = shaders.Get_Shader(LIGHTING_PATH);
    if (!lighting->Is_Usable()) {
        std::printf("%s\n", lighting->Get_Error().c_str());
        return 1;
    }
    std::unique_ptr<Kelvane::Shader> plain = Build_Plain_Program();
    if (!plain || !plain->Is_Usable()) {
        std::printf("the plain program did not build\n");
        return 1;
    }
    Bench bench(display, &log, &shaders, plain.get(), options);
    std::printf("frame_bench %dx%d, %d frames per motion, %s\n", options.width, options.height, options.frames,
                reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    Print_Header();
    std::vector<Shown_Row> shown;
    for (const std::string& name : options.worlds)
        for (Named_World& named : Build_Worlds(name, &store, bench.Get_Renderer(), options))
            Measure_World(&bench, &named, &store, options, &shown);
    if (shown.empty()) return 0;
    Print_Shown_Header();
    for (const Shown_Row& row : shown) Print_Shown_Row(row);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse_Options(argc, argv, &options)) {
        std::printf("%s\n", Usage().c_str());
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
    return Run(display, options);
}
