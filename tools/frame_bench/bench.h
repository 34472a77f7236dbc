#pragma once
// Times a world's frames as it moves, through three paths: the renderer's
// own, its exact reference path, and the world drawn unlit from nothing every
// frame (tools/frame_bench/plain_painter.h: the floor any lighting can reach on
// this rasterizer). The first two are each their own renderer, so whatever a
// renderer keeps between frames is built from its own frames alone.

#include <functional>  // Required for: Milliseconds()
#include <string>
#include <vector>

#include "render/renderer.h"
#include "tools/frame_bench/plain_painter.h"
#include "tools/frame_bench/report.h"

struct ALLEGRO_DISPLAY;

namespace Kelvane {
class Log;
class Picture;
class Shader;
class Shader_Manager;
class World;
}  // namespace Kelvane

namespace Frame_Bench {

class Motion;
struct Options;

class Bench {
public:
    // `shaders` holds the lighting and shadow programs; `plain_program` only
    // samples its image.
    Bench(ALLEGRO_DISPLAY* display, Kelvane::Log* log, Kelvane::Shader_Manager* shaders,
          Kelvane::Shader* plain_program, const Options& options);

    // The renderer of the renderer's own path, for converting and aiming.
    Kelvane::Renderer* Get_Renderer() { return &lit; }

    // Each frame of the motion drawn by every path in turn, after two frames to
    // warm up, so that a machine that slows down or speeds up meanwhile hits
    // all alike. The lit and reference pictures are compared at every quarter
    // of the frames, the last one included.
    Motion_Row Measure(const std::string& world_name, Kelvane::World* world, Motion* motion);
    // The frame a user sees: the renderer's path and the flip, frames back to back.
    Shown_Row Measure_Shown(const std::string& world_name, Kelvane::World* world, Motion* motion);

private:
    // The work's milliseconds, the GPU's part included.
    static double Milliseconds(const std::function<void()>& work);
    void Clear();
    void Draw(Kelvane::Renderer* renderer, Kelvane::World* world);
    // Every path draws the motion's state at `frame` (negative: warming up, state 0).
    void Draw_Round(int frame, Kelvane::World* world, Motion* motion, const std::string& world_name,
                    std::vector<std::vector<double>>* times, Kelvane::Picture::Difference* difference);
    // The window's picture as the path drew it.
    Kelvane::Picture Read_Back(int frame, size_t path);
    bool Checked(int frame);
    // The lit path's picture, and the reference's, at the motion's last frame.
    void Save_Screenshot(size_t path, const std::string& world_name, Motion* motion);

    ALLEGRO_DISPLAY* display;
    Kelvane::Log* log;
    const Options& options;
    Kelvane::Renderer lit;
    Kelvane::Renderer reference;
    Plain_Painter plain;
};

}  // namespace Frame_Bench
