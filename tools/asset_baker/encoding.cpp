#include "tools/asset_baker/encoding.h"

#include <algorithm>
#include <cmath>

namespace Asset_Baker {

namespace {

uint8_t To_Byte(double value) {
    return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

}  // namespace

Rgba Encode_Normal(const Vec3& normal) {
    Vec3 n = Normalize(normal);
    return Rgba{To_Byte((n.x + 1.0) / 2.0 * 255.0), To_Byte((n.y + 1.0) / 2.0 * 255.0),
                To_Byte((n.z + 1.0) / 2.0 * 255.0), 255};
}

Vec3 Decode_Normal(Rgba pixel) {
    return Normalize(Vec3(pixel.r / 255.0 * 2.0 - 1.0, pixel.g / 255.0 * 2.0 - 1.0, pixel.b / 255.0 * 2.0 - 1.0));
}

uint8_t Encode_Height(double z_world, float height_factor, float tall) {
    if (tall <= 0.0f) return 0;
    return To_Byte(255.0 * height_factor * z_world / tall);
}

double Decode_Height(uint8_t red, float height_factor, float tall) {
    return red / 255.0 * tall / height_factor;
}

}  // namespace Asset_Baker
