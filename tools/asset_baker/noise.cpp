#include "tools/asset_baker/noise.h"

#include <cmath>

namespace Asset_Baker {

uint32_t Hash(int32_t x, int32_t y, int32_t z, uint32_t seed) {
    uint32_t h = seed * 0x9E3779B1u;
    h ^= static_cast<uint32_t>(x) * 0x85EBCA77u;
    h = (h << 13) | (h >> 19);
    h ^= static_cast<uint32_t>(y) * 0xC2B2AE3Du;
    h = (h << 11) | (h >> 21);
    h ^= static_cast<uint32_t>(z) * 0x27D4EB2Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

double Hash01(int32_t x, int32_t y, int32_t z, uint32_t seed) {
    return (Hash(x, y, z, seed) >> 8) / 16777216.0;
}

namespace {

double Fade(double t) { return t * t * (3.0 - 2.0 * t); }

}  // namespace

double Value_Noise(const Vec3& p, uint32_t seed) {
    double fx = std::floor(p.x);
    double fy = std::floor(p.y);
    double fz = std::floor(p.z);
    int32_t ix = static_cast<int32_t>(fx);
    int32_t iy = static_cast<int32_t>(fy);
    int32_t iz = static_cast<int32_t>(fz);
    double u = Fade(p.x - fx);
    double v = Fade(p.y - fy);
    double w = Fade(p.z - fz);
    double c[2][2][2];
    for (int dx = 0; dx < 2; ++dx)
        for (int dy = 0; dy < 2; ++dy)
            for (int dz = 0; dz < 2; ++dz) c[dx][dy][dz] = Hash01(ix + dx, iy + dy, iz + dz, seed);
    double x00 = c[0][0][0] + (c[1][0][0] - c[0][0][0]) * u;
    double x10 = c[0][1][0] + (c[1][1][0] - c[0][1][0]) * u;
    double x01 = c[0][0][1] + (c[1][0][1] - c[0][0][1]) * u;
    double x11 = c[0][1][1] + (c[1][1][1] - c[0][1][1]) * u;
    double y0 = x00 + (x10 - x00) * v;
    double y1 = x01 + (x11 - x01) * v;
    return y0 + (y1 - y0) * w;
}

double Fbm(const Vec3& p, int octaves, uint32_t seed) {
    double sum = 0.0;
    double weight = 1.0;
    double total = 0.0;
    Vec3 q = p;
    for (int i = 0; i < octaves; ++i) {
        sum += Value_Noise(q, seed + static_cast<uint32_t>(i) * 101u) * weight;
        total += weight;
        weight *= 0.5;
        q = q * 2.03;
    }
    return sum / total;
}

double Tiled_Noise(double u, double v, int period, uint32_t seed) {
    double fu = std::floor(u);
    double fv = std::floor(v);
    auto wrap = [period](double cell) {
        long c = static_cast<long>(cell) % period;
        return static_cast<int32_t>(c < 0 ? c + period : c);
    };
    int32_t u0 = wrap(fu), u1 = wrap(fu + 1), v0 = wrap(fv), v1 = wrap(fv + 1);
    double a = Fade(u - fu);
    double b = Fade(v - fv);
    double c00 = Hash01(u0, v0, 0, seed), c10 = Hash01(u1, v0, 0, seed);
    double c01 = Hash01(u0, v1, 0, seed), c11 = Hash01(u1, v1, 0, seed);
    double top = c00 + (c10 - c00) * a;
    double bottom = c01 + (c11 - c01) * a;
    return top + (bottom - top) * b;
}

double Tiled_Fbm(double u, double v, int period, int octaves, uint32_t seed) {
    double sum = 0.0;
    double weight = 1.0;
    double total = 0.0;
    for (int i = 0; i < octaves; ++i) {
        sum += Tiled_Noise(u, v, period, seed + static_cast<uint32_t>(i) * 101u) * weight;
        total += weight;
        weight *= 0.5;
        u *= 2.0;
        v *= 2.0;
        period *= 2;
    }
    return sum / total;
}

}  // namespace Asset_Baker
