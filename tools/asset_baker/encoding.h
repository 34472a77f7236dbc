#pragma once
// The pixel encodings of docs/encodings.md for normal.png and height.png.

#include <cstdint>

#include "tools/asset_baker/image.h"
#include "tools/asset_baker/vec3.h"

namespace Asset_Baker {

// A projection-space unit normal as RGB: each component (c + 1) / 2 * 255,
// rounded; (0, 0, 1) gives (128, 128, 255). Alpha is 255.
Rgba Encode_Normal(const Vec3& normal);
// The unit vector the RGB of an encoded normal stands for.
Vec3 Decode_Normal(Rgba pixel);
// The height red for a point `z_world` above the object's own z:
// 255 * hf * z_world / tall, rounded and kept within 0..255.
uint8_t Encode_Height(double z_world, float height_factor, float tall);
// The height in world units a height red stands for.
double Decode_Height(uint8_t red, float height_factor, float tall);

}  // namespace Asset_Baker
