#include "tools/frame_bench/report.h"

#include <cstdio>

namespace Frame_Bench {

namespace {

double Frames_Per_Second(const Frame_Times& times) { return 1000.0 / times.median; }

}  // namespace

void Print_Header() {
    std::printf(
        "milliseconds per frame, median and slowest: lit (the renderer's path), ref (its exact reference "
        "path), plain (a program that only samples the colour image)\n");
    std::printf("%-13s %-6s %7s %6s %8s %8s %8s %8s %8s %9s %6s %6s %6s %7s %5s %10s\n", "world", "motion", "objects",
                "lights", "lit_ms", "lit_max", "ref_ms", "ref_max", "plain_ms", "plain_max", "lit/pl", "ref/pl", "fps",
                "same_%", "worst", "kept_bytes");
}

void Print_Row(const Motion_Row& row) {
    std::printf("%-13s %-6s %7zu %6zu %8.2f %8.2f %8.2f %8.2f %8.2f %9.2f %6.2f %6.2f %6.1f %7.3f %5d %10s\n",
                row.world.c_str(), row.motion.c_str(), row.objects, row.lights, row.lit.median, row.lit.slowest,
                row.reference.median, row.reference.slowest, row.plain.median, row.plain.slowest,
                row.lit.median / row.plain.median, row.reference.median / row.plain.median, Frames_Per_Second(row.lit),
                100.0 * row.difference.share_within_2, row.difference.worst, row.kept_bytes.c_str());
    std::fflush(stdout);  // a long run shows each row as it is measured
}

void Print_Shown_Header() {
    std::printf("whole frames a user sees: render and flip to the window, the renderer's path alone, back to back\n");
    std::printf("%-6s %-13s %-6s %8s %8s %6s\n", "shown", "world", "motion", "ms", "max_ms", "fps");
}

void Print_Shown_Row(const Shown_Row& row) {
    std::printf("%-6s %-13s %-6s %8.2f %8.2f %6.1f\n", "shown", row.world.c_str(), row.motion.c_str(), row.shown.median,
                row.shown.slowest, Frames_Per_Second(row.shown));
}

}  // namespace Frame_Bench
