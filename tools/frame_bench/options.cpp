#include "tools/frame_bench/options.h"

#include <algorithm>  // Required for: std::count(), std::find()
#include <cmath>      // Required for: std::isfinite()
#include <cstdio>     // Required for: std::sscanf()
#include <string>     // Required for: std::to_string()

namespace Frame_Bench {

namespace {

// The format matches the whole value: "%n" is reached only when every
// conversion matched, and then nothing may follow.
template <typename... Target>
bool Read_Whole(const char* value, const std::string& format, Target*... targets) {
    int used = -1;
    int read = std::sscanf(value, (format + "%n").c_str(), targets..., &used);
    return read == static_cast<int>(sizeof...(Target)) && used >= 0 && value[used] == '\0';
}

std::string Joined(const std::vector<std::string>& names) {
    std::string joined;
    for (const std::string& name : names) joined += (joined.empty() ? "" : ",") + name;
    return joined;
}

// Comma-separated names, each one of `known` and none twice.
bool Read_Names(const std::string& value, const std::vector<std::string>& known, std::vector<std::string>* names) {
    names->clear();
    size_t start = 0;
    while (start <= value.size()) {
        size_t end = std::min(value.find(',', start), value.size());
        std::string name = value.substr(start, end - start);
        if (std::find(known.begin(), known.end(), name) == known.end()) return false;
        if (std::count(names->begin(), names->end(), name) > 0) return false;
        names->push_back(name);
        start = end + 1;
    }
    return true;
}

bool Read_Option(const std::string& key, const char* value, Options* options) {
    if (key == "--size") return Read_Whole(value, "%dx%d", &options->width, &options->height);
    if (key == "--frames") return Read_Whole(value, "%d", &options->frames);
    if (key == "--objects") return Read_Whole(value, "%d", &options->objects);
    if (key == "--lights") return Read_Whole(value, "%d", &options->lights);
    if (key == "--flags") return Read_Whole(value, "%d", &options->flags);
    if (key == "--view") return Read_Whole(value, "%f,%f", &options->view_x, &options->view_y);
    if (key == "--worlds") return Read_Names(value, WORLD_NAMES, &options->worlds);
    if (key == "--motions") return Read_Names(value, Motion::NAMES, &options->motions);
    if (key == "--screenshot") options->screenshot = value;
    return key == "--screenshot";
}

bool In_Range(const Options& options) {
    return std::isfinite(options.view_x) && std::isfinite(options.view_y) && options.width > 0 && options.height > 0 &&
           options.frames > 0 && options.objects >= 0 && options.lights >= 0 && options.lights <= MAX_LIGHTS;
}

}  // namespace

bool Parse_Options(int argc, char** argv, Options* options) {
    if (argc % 2 == 0) return false;
    for (int i = 1; i + 1 < argc; i += 2)
        if (!Read_Option(argv[i], argv[i + 1], options)) return false;
    return In_Range(*options);
}

std::string Usage() {
    return "usage: frame_bench [--size WxH] [--frames F] [--objects N] [--lights 0-" + std::to_string(MAX_LIGHTS) +
           "] [--view X,Y] [--flags N]\n                   [--worlds " + Joined(WORLD_NAMES) + "] [--motions " +
           Joined(Motion::NAMES) + "] [--screenshot PREFIX]";
}

}  // namespace Frame_Bench
