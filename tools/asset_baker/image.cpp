#include "tools/asset_baker/image.h"

#include <cstddef>

namespace Asset_Baker {

Image::Image(int width, int height, Rgba fill)
    : width(width), height(height), data(static_cast<size_t>(width) * height * 4) {
    for (size_t i = 0; i < data.size(); i += 4) {
        data[i] = fill.r;
        data[i + 1] = fill.g;
        data[i + 2] = fill.b;
        data[i + 3] = fill.a;
    }
}

Rgba Image::Get(int x, int y) const {
    size_t i = (static_cast<size_t>(y) * width + x) * 4;
    return Rgba{data[i], data[i + 1], data[i + 2], data[i + 3]};
}

void Image::Set(int x, int y, Rgba colour) {
    size_t i = (static_cast<size_t>(y) * width + x) * 4;
    data[i] = colour.r;
    data[i + 1] = colour.g;
    data[i + 2] = colour.b;
    data[i + 3] = colour.a;
}

}  // namespace Asset_Baker
