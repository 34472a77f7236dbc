#pragma once
// Pattern helpers shared by the object definitions: joints of bricks, slabs
// and planks, groove profiles for bump, colour mixing.

#include <cstdint>

#include "tools/asset_baker/vec3.h"

namespace Asset_Baker {

double Smoothstep(double edge0, double edge1, double x);
// Wraps into [0, period).
double Wrap(double value, double period);

// A face-aligned 2D position: for a face mostly facing x, (y, z); mostly
// facing y, (x, z); mostly facing up or down, (x, y).
struct Face_Uv {
    double u;
    double v;
    int axis;  // 0, 1 or 2: the axis the face looks along
};
Face_Uv Face_Coordinates(const Vec3& p, const Vec3& n);

// Courses of `course` height along v; blocks of `length` along u, every other
// course shifted by half a block. `edge` is the distance to the nearest joint.
struct Bond {
    int column;
    int row;
    double edge;
};
Bond Running_Bond(double u, double v, double length, double course);

// Displacement across a joint: -depth inside the joint (edge < half_width),
// rising to 0 over `bevel` beyond it.
double Joint_Profile(double edge, double half_width, double bevel, double depth);

// A per-block brightness factor around 1 (+- spread), from the block's cell.
double Block_Variation(int column, int row, uint32_t seed, double spread);

}  // namespace Asset_Baker
