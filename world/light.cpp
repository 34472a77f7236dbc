#include "world/light.h"

#include <cmath>  // Required for: sqrt()

namespace Kelvane {

Light::Light(float x, float y, float z, float range, float r, float g, float b, int unused)
    : x(x), y(y), z(z), unused(unused), r(r), g(g), b(b), range(range), strength(1.0f), ambience(0.2f) {}

void Light::Update(float) {}

void Light::Set_Colour(float red, float green, float blue) {
    r = red;
    g = green;
    b = blue;
}

void Light::Normalize() {
    double sum = static_cast<double>(x) * x + static_cast<double>(y) * y + static_cast<double>(z) * z;
    float length = static_cast<float>(std::sqrt(sum));
    if (length == 0.0f) return;
    x /= length;
    y /= length;
    z /= length;
}

}  // namespace Kelvane
