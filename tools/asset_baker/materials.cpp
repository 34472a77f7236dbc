#include "tools/asset_baker/materials.h"

#include <algorithm>
#include <cmath>

#include "tools/asset_baker/noise.h"

namespace Asset_Baker {

double Smoothstep(double edge0, double edge1, double x) {
    double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

double Wrap(double value, double period) {
    double r = std::fmod(value, period);
    return r < 0 ? r + period : r;
}

Face_Uv Face_Coordinates(const Vec3& p, const Vec3& n) {
    double ax = std::fabs(n.x);
    double ay = std::fabs(n.y);
    double az = std::fabs(n.z);
    if (az >= ax && az >= ay) return Face_Uv{p.x, p.y, 2};
    if (ax >= ay) return Face_Uv{p.y, p.z, 0};
    return Face_Uv{p.x, p.z, 1};
}

Bond Running_Bond(double u, double v, double length, double course) {
    int row = static_cast<int>(std::floor(v / course));
    double shifted = u + ((row & 1) ? length * 0.5 : 0.0);
    int column = static_cast<int>(std::floor(shifted / length));
    double in_u = shifted - column * length;
    double in_v = v - row * course;
    double edge = std::min(std::min(in_u, length - in_u), std::min(in_v, course - in_v));
    return Bond{column, row, edge};
}

double Joint_Profile(double edge, double half_width, double bevel, double depth) {
    if (edge <= half_width) return -depth;
    return -depth * (1.0 - Smoothstep(half_width, half_width + bevel, edge));
}

double Block_Variation(int column, int row, uint32_t seed, double spread) {
    return 1.0 + (Hash01(column, row, 0, seed) * 2.0 - 1.0) * spread;
}

}  // namespace Asset_Baker
