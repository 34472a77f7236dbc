#pragma once
// The benchmark's output: fixed columns separated by spaces, one header line
// naming them, one row per world and motion starting with the world's and the
// motion's names; then the whole frames a user sees, under a header of their own.

#include <string>

#include "render/picture.h"  // Required for: Picture::Difference

namespace Frame_Bench {

// Milliseconds per frame over a motion's frames.
struct Frame_Times {
    double median;
    double slowest;  // a spike: a stutter the median hides
};

// One world in one motion, each path drawing every frame.
struct Motion_Row {
    std::string world;
    std::string motion;
    size_t objects;
    size_t lights;
    Frame_Times lit;        // the renderer's path
    Frame_Times reference;  // its exact path
    Frame_Times plain;      // a program that only samples the colour image
    // The renderer's pictures against the exact path's over the checked frames:
    // the largest worst channel, and the share within 2 of the frame that had it.
    Kelvane::Picture::Difference difference;
    std::string kept_bytes;  // what the renderer keeps between frames, or "-"
};

// Render and the flip to the window, the renderer's path alone, frames back to back.
struct Shown_Row {
    std::string world;
    std::string motion;
    Frame_Times shown;
};

void Print_Header();
void Print_Row(const Motion_Row& row);
void Print_Shown_Header();
void Print_Shown_Row(const Shown_Row& row);

}  // namespace Frame_Bench
