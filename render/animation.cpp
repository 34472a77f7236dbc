#include "render/animation.h"

#include <algorithm>  // Required for: std::find()
#include <cmath>      // Required for: std::floor(), std::fmod(), std::isfinite()

#include "core/config.h"

namespace Kelvane {

namespace {

const std::string LAYOUT_SECTION = "General";
// A frame's time ends a hair early: a clip of 10 frames a second shows its
// second frame after six ticks of 1/60 s, whatever the rounding of their sum.
const double FRAME_TIME_SLACK = 1e-6;

// The key's text, without adding it when it is missing.
bool Find_Key(Config& settings, const std::string& section, const std::string& key, std::string& text) {
    for (const auto& [name, value] : settings.Get_Entries(section)) {
        if (name != key) continue;
        text = value;
        return true;
    }
    return false;
}

std::string Where(const std::string& section, const std::string& key, const std::string& text) {
    return SETTINGS_FILE + " [" + section + "] " + key + " = " + text;
}

}  // namespace

void Animation::Read_Settings(Config& settings, std::vector<std::string>& problems) {
    int read_frames = 1;
    bool layout = Whole_Number(settings, LAYOUT_SECTION, "Frames", 1, MAX_FRAMES, read_frames, problems);
    int read_columns = read_frames;  // one row unless Columns says otherwise
    layout = layout && Whole_Number(settings, LAYOUT_SECTION, "Columns", 1, read_frames, read_columns, problems);
    if (layout) {
        frames = read_frames;
        columns = read_columns;
    } else {
        problems.back() += "; the images are one still frame";
    }
    for (const std::string& section : settings.Get_Sections()) {
        if (section.rfind(CLIP_SECTION_PREFIX, 0) != 0) continue;
        std::string name = section.substr(CLIP_SECTION_PREFIX.size());
        if (!layout)
            refused.push_back(name);
        else
            Read_Clip(settings, name, problems);
    }
}

bool Animation::Whole_Number(Config& settings, const std::string& section, const std::string& key, int low,
                             int high, int& value, std::vector<std::string>& problems) {
    std::string text;
    if (!Find_Key(settings, section, key, text)) return true;
    float number = 0.0f;
    if (Read_Float(text, number) && number == std::floor(number) && number >= low && number <= high) {
        value = static_cast<int>(number);
        return true;
    }
    problems.push_back(Where(section, key, text) + " is not a whole number from " + ToString(low) + " to " +
                       ToString(high));
    return false;
}

void Animation::Read_Clip(Config& settings, const std::string& name, std::vector<std::string>& problems) {
    std::string section = Clip_Section(name);
    Clip clip{0, 0, 0.0, true};
    int loop = 1;
    std::string rate;
    bool usable = true;
    for (const char* key : {"First", "Count", "Frame_Rate", "Loop"}) {
        if (!usable || Find_Key(settings, section, key, rate)) continue;
        problems.push_back(SETTINGS_FILE + " [" + section + "] has no " + key);
        usable = false;
    }
    // Count's highest value is what remains after First: a clip never runs past the last frame.
    usable = usable && Whole_Number(settings, section, "First", 0, frames - 1, clip.first, problems) &&
             Whole_Number(settings, section, "Count", 1, frames - clip.first, clip.count, problems) &&
             Whole_Number(settings, section, "Loop", 0, 1, loop, problems);
    float frame_rate = 0.0f;
    if (usable && Find_Key(settings, section, "Frame_Rate", rate) && !(Read_Float(rate, frame_rate) && frame_rate > 0.0f)) {
        problems.push_back(Where(section, "Frame_Rate", rate) + " is not a number of frames per second above 0");
        usable = false;
    }
    if (!usable) {
        problems.back() += "; the clip shows the first frame still";
        refused.push_back(name);
        return;
    }
    clip.frame_rate = frame_rate;
    clip.loop = loop == 1;
    clips[name] = clip;
}

void Animation::Fit_Sheet(int sheet_w, int sheet_h, std::vector<std::string>& problems) {
    int rows = (frames + columns - 1) / columns;
    bool whole = sheet_w % columns == 0 && sheet_h % rows == 0 && sheet_w >= columns && sheet_h >= rows;
    if (!whole) {
        problems.push_back("the images are " + ToString(sheet_w) + " x " + ToString(sheet_h) + ", not " +
                           ToString(columns) + " x " + ToString(rows) + " equal frames; they are one still frame");
        Make_Still();
        rows = 1;
    }
    frame_w = sheet_w / columns;
    frame_h = sheet_h / rows;
}

void Animation::Make_Still() {
    for (const auto& named : clips) refused.push_back(named.first);
    clips.clear();
    frames = columns = 1;
    playing.clear();
    frame = 0;
}

Vec2D Animation::Origin_Of(int index) const {
    return Vec2D(static_cast<float>((index % columns) * frame_w), static_cast<float>((index / columns) * frame_h));
}

bool Animation::Play(const std::string& name) {
    if (std::find(refused.begin(), refused.end(), name) != refused.end()) {
        Set_Frame(0);
        return true;
    }
    if (clips.find(name) == clips.end()) return false;
    if (playing == name) return true;
    playing = name;
    elapsed = 0.0;
    Show_Clip_Frame();
    return true;
}

void Animation::Stop() { playing.clear(); }

bool Animation::Set_Frame(int index) {
    if (index < 0 || index >= frames) return false;
    Stop();
    frame = index;
    return true;
}

void Animation::Advance(double seconds) {
    if (playing.empty() || !std::isfinite(seconds) || seconds < 0.0) return;
    elapsed += seconds;
    Show_Clip_Frame();
}

void Animation::Show_Clip_Frame() {
    const Clip& clip = clips.at(playing);
    double round = clip.count / clip.frame_rate;
    // Within one round, so that a clip looping for hours keeps its precision.
    if (clip.loop && elapsed >= round) elapsed = std::fmod(elapsed, round);
    double step = std::floor(elapsed * clip.frame_rate + FRAME_TIME_SLACK);
    if (clip.loop) step = std::fmod(step, clip.count);
    if (step < clip.count) {
        frame = clip.first + static_cast<int>(step);
        return;
    }
    frame = clip.first + clip.count - 1;
    Stop();
}

}  // namespace Kelvane
