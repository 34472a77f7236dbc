#pragma once
// An 8-bit RGBA image in memory, rows top to bottom, 4 bytes per pixel in the
// order red, green, blue, alpha.

#include <cstdint>
#include <vector>

namespace Asset_Baker {

struct Rgba {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    uint8_t a = 0;
};

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> data;

    Image() = default;
    Image(int width, int height, Rgba fill = Rgba());
    Rgba Get(int x, int y) const;
    void Set(int x, int y, Rgba colour);
};

}  // namespace Asset_Baker
