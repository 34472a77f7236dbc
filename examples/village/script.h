#pragma once
// The village's script: timed key presses and pointer moves replayed into the
// engine's input arrays, so a test drives the game without a window manager.

#include <sstream>
#include <string>
#include <utility>  // Required for: std::exchange()
#include <vector>

#include "input/input.h"  // Required for: INPUT_ENTRIES

// Timed input read from a file, one command a line ('#' starts a comment):
//   <tick> press <key>         down on that tick, up on the next
//   <tick> down <key> | <tick> up <key>
//   <tick> pointer <x> <y>     the pointer at that output pixel from then on
//   <tick> screenshot <file>   saves the frame drawn on that tick (PNG)
// Ticks count from 1, the game's first. Keys: Up, Down, Left, Right, Space,
// Delete, Enter, Escape (the ones the game reads).
class Script {
public:
    // False, with the reason in `error`, for a file that cannot be read or a bad line.
    bool Read(const std::string& path, std::string* error);
    // Plays the commands of `tick` into the input arrays, after the game polled them.
    void Play(int tick);
    // The file a command asked to save this tick's frame to ("" for none), once.
    std::string Take_Screenshot() { return std::exchange(screenshot, std::string()); }

private:
    struct Command {
        int tick;
        std::string verb;
        int key;
        float x, y;
        std::string file;
    };
    bool Read_Line(std::istringstream& line, Command* command);

    std::vector<Command> commands;
    bool held[INPUT_ENTRIES] = {};
    bool pointer_set = false;
    float pointer_x = 0.0f, pointer_y = 0.0f;
    std::string screenshot;
};
