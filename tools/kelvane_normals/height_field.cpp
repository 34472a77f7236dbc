#include "tools/kelvane_normals/height_field.h"

#include <cstddef>

#include "core/common.h"
#include "tools/asset_baker/encoding.h"

namespace Kelvane_Normals {

namespace {

using Asset_Baker::Vec3;

// The step on the surface when the image point moves by (di, dj) pixels and the
// height by dz: the projection is linear, so this holds wherever the step starts.
Vec3 Step(Kelvane::Camera& camera, float di, float dj, double dz) {
    Vec2D floor = camera.Screen_To_Proj(di, dj, static_cast<float>(dz));
    return Vec3(floor.x, floor.y, dz);
}

// dz per pixel along (di, dj): the least-squares slope over the run of covered
// pixels reaching up to `radius` steps to each side. Only covered pixels count,
// so at an edge the difference is one-sided and does not lean toward the empty
// side; a longer run evens out the steps of an 8-bit height. Radius 1 gives the
// central difference, or the one-sided one at an edge.
double Slope(const Height_Field& field, int i, int j, int di, int dj, int radius) {
    int first = 0;
    int last = 0;
    while (last < radius && field.Covered_Beside(i, j, i + (last + 1) * di, j + (last + 1) * dj)) ++last;
    while (first > -radius && field.Covered_Beside(i, j, i + (first - 1) * di, j + (first - 1) * dj)) --first;
    double middle = (first + last) / 2.0;
    double moment = 0.0;
    double spread = 0.0;
    for (int k = first; k <= last; ++k) {
        moment += (k - middle) * field.Z(i + k * di, j + k * dj);
        spread += (k - middle) * (k - middle);
    }
    return spread > 0.0 ? moment / spread : 0.0;  // a lone pixel is taken as flat
}

// The unit normal of the surface whose height changes by slope_i world units
// per image column and slope_j per image row. Pixel (i, j) at height z pictures
// the point (Screen_To_Proj(i, j, z), z); the cross product of the steps along
// a row and down a column always points to the viewer's side, since the image
// is the surface as seen from there.
Vec3 Surface_Normal(Kelvane::Camera& camera, double slope_i, double slope_j) {
    return Asset_Baker::Normalize(Asset_Baker::Cross(Step(camera, 1, 0, slope_i), Step(camera, 0, 1, slope_j)));
}

}  // namespace

Height_Field::Height_Field(int width, int height)
    : width(width),
      height(height),
      frame_w(width),
      frame_h(height),
      z(static_cast<size_t>(width) * height, 0.0),
      covered(static_cast<size_t>(width) * height, false) {}

bool Height_Field::Covered(int i, int j) const {
    return i >= 0 && j >= 0 && i < width && j < height && covered[static_cast<size_t>(j) * width + i];
}

bool Height_Field::Covered_Beside(int from_i, int from_j, int i, int j) const {
    return Covered(i, j) && i / frame_w == from_i / frame_w && j / frame_h == from_j / frame_h;
}

double Height_Field::Z(int i, int j) const { return z[static_cast<size_t>(j) * width + i]; }

void Height_Field::Set(int i, int j, double height_z, bool is_covered) {
    z[static_cast<size_t>(j) * width + i] = height_z;
    covered[static_cast<size_t>(j) * width + i] = is_covered;
}

Asset_Baker::Image Derive_Normals(const Height_Field& field, Kelvane::Camera& camera, double strength, int radius) {
    KELVANE_ASSERT(radius >= 1, "the slope radius must be at least one pixel");
    Asset_Baker::Image normals(field.width, field.height, Asset_Baker::Rgba{0, 0, 0, 0});
    for (int j = 0; j < field.height; ++j) {
        for (int i = 0; i < field.width; ++i) {
            if (!field.Covered(i, j)) continue;
            Vec3 n = Surface_Normal(camera, strength * Slope(field, i, j, 1, 0, radius),
                                    strength * Slope(field, i, j, 0, 1, radius));
            normals.Set(i, j, Asset_Baker::Encode_Normal(n));
        }
    }
    return normals;
}

}  // namespace Kelvane_Normals
