#pragma once
// Which frame of an object's sheet shows, and how it changes over time. The
// images of an object folder may be sheets of equal frames, frame i at column
// i % Columns and row i / Columns; settings.ini's section General gives
// Frames (default 1) and Columns (default Frames: one row), and each section
// [Clip <name>] a clip: First, Count, Frame_Rate (frames per second of real
// time) and Loop (0 or 1). Pure logic: no image, no window.

#include <map>
#include <string>
#include <vector>

#include "core/common.h"  // Required for: Vec2D

namespace Kelvane {

class Config;

struct Clip {
    int first;
    int count;
    double frame_rate;  // frames per second
    bool loop;
};

class Animation {
public:
    // The most frames a sheet may hold: more is a typing slip.
    static const int MAX_FRAMES = 65536;

    // Reads the layout and the clips of an object's settings without adding a
    // key. Each bad value adds one line to `problems` and falls back soundly: a
    // bad layout to the whole image as one frame, a bad clip to a still first
    // frame when it is played.
    void Read_Settings(Config& settings, std::vector<std::string>& problems);
    // Cuts a sheet of that many pixels into the frames. A sheet that is not a
    // whole number of frames adds one line and is one still frame.
    void Fit_Sheet(int sheet_w, int sheet_h, std::vector<std::string>& problems);

    int Get_Frames() const { return frames; }
    int Get_Columns() const { return columns; }
    int Get_Frame_W() const { return frame_w; }
    int Get_Frame_H() const { return frame_h; }
    // A frame's top-left corner in the sheet, pixels.
    Vec2D Origin_Of(int index) const;

    // Starts the clip at its first frame; the clip already playing runs on.
    // A clip refused when it was read shows the first frame still. False,
    // changing nothing, for a name no section gives.
    bool Play(const std::string& name);
    // Keeps the frame shown.
    void Stop();
    // Stops the clip and shows the frame; false, changing nothing, when the
    // sheet has no such frame.
    bool Set_Frame(int index);
    int Get_Frame() const { return frame; }
    // The clip playing; "" when none does (a clip that does not loop stops on its last frame).
    std::string Get_Clip() const { return playing; }
    // Moves the clip playing on by that many seconds; time that is not a
    // finite number of seconds of at least 0 is ignored.
    void Advance(double seconds);

private:
    // Sets `value` from the key when it is there (a missing key leaves it);
    // false, with a line, when it is not a whole number from `low` to `high`.
    bool Whole_Number(Config& settings, const std::string& section, const std::string& key, int low, int high,
                      int& value, std::vector<std::string>& problems);
    void Read_Clip(Config& settings, const std::string& name, std::vector<std::string>& problems);
    // One frame, the whole sheet; every clip shows it still.
    void Make_Still();
    // The clip's frame `elapsed` seconds after it started; stops a clip that
    // does not loop on its last frame.
    void Show_Clip_Frame();

    int frames = 1;
    int columns = 1;
    int frame_w = 0;
    int frame_h = 0;
    std::map<std::string, Clip> clips;
    std::vector<std::string> refused;  // clips whose section holds a bad value
    std::string playing;
    int frame = 0;
    double elapsed = 0.0;  // seconds since the clip playing started, within one round when it loops
};

}  // namespace Kelvane
