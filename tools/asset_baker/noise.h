#pragma once
// Deterministic procedural noise for the baker's textures: integer hashes and
// smooth value noise, identical on every run and every machine.

#include <cstdint>

#include "tools/asset_baker/vec3.h"

namespace Asset_Baker {

uint32_t Hash(int32_t x, int32_t y, int32_t z, uint32_t seed);
// A value in [0, 1) from the hash of the cell.
double Hash01(int32_t x, int32_t y, int32_t z, uint32_t seed);
// Smooth value noise in [0, 1]; one cell per unit.
double Value_Noise(const Vec3& p, uint32_t seed);
// Sum of `octaves` value-noise layers, each twice the frequency and half the
// weight of the last, scaled back into [0, 1].
double Fbm(const Vec3& p, int octaves, uint32_t seed);

// 2D value noise that repeats every `period` cells along both axes (one cell
// per unit), so a pattern built from it joins itself seamlessly.
double Tiled_Noise(double u, double v, int period, uint32_t seed);
// Tiled_Noise layers: octave k has 2^k times the cells and the period.
double Tiled_Fbm(double u, double v, int period, int octaves, uint32_t seed);

}  // namespace Asset_Baker
