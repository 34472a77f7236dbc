#pragma once
// What one run of the frame benchmark measures, read from its command line.

#include <string>
#include <vector>

#include "tools/frame_bench/motion.h"  // Required for: Motion::NAMES, the default motions

namespace Frame_Bench {

// The worlds --worlds may name; "large" is measured twice, whole and with only what the view shows.
inline const std::vector<std::string> WORLD_NAMES = {"demo", "stress", "large"};
// The most point lights the lighting program holds.
const int MAX_LIGHTS = 24;

struct Options {
    int width = 800;
    int height = 600;
    int frames = 30;          // per motion, for every path
    int objects = 49;         // props of the stress and large worlds
    int lights = MAX_LIGHTS;  // point lights of the stress and large worlds
    float view_x = 0.0f;      // screen space, from the demonstration's (0, 0)
    float view_y = 0.0f;
    int flags = 0;           // debug flags handed to the renderer
    std::string screenshot;  // file name prefix; empty for none
    std::vector<std::string> worlds = {"demo", "stress"};
    std::vector<std::string> motions = Motion::NAMES;
};

// Reads `--key value` pairs into `options`; false for an unknown key, a value
// that is not wholly what its key takes, or a value out of range.
bool Parse_Options(int argc, char** argv, Options* options);

// The usage line Parse_Options' keys make.
std::string Usage();

}  // namespace Frame_Bench
