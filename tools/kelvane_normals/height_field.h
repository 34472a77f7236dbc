#pragma once
// Deriving normal.png from a height image: the surface a height image pictures
// and the projection-space normal of each of its pixels.

#include <vector>

#include "tools/asset_baker/image.h"
#include "world/camera.h"

namespace Kelvane_Normals {

// One height per image pixel, in world units above the object's own z, and
// whether the pixel shows the object at all. Rows top to bottom. The image may
// be a sheet of equal frames, each a picture of its own.
struct Height_Field {
    int width = 0;
    int height = 0;
    int frame_w = 0;  // the whole image unless set
    int frame_h = 0;
    std::vector<double> z;
    std::vector<bool> covered;

    explicit Height_Field(int width = 0, int height = 0);
    bool Covered(int i, int j) const;  // false outside the image
    // Whether (i, j) is covered and in the same frame as (from_i, from_j):
    // slopes never reach across a frame's border.
    bool Covered_Beside(int from_i, int from_j, int i, int j) const;
    double Z(int i, int j) const;
    void Set(int i, int j, double height_z, bool is_covered);
};

// normal.png for the field: covered pixels hold their encoded normal, with the
// height slopes multiplied by `strength` and fitted over up to `radius` covered
// pixels to each side; the other pixels are (0, 0, 0, 0).
Asset_Baker::Image Derive_Normals(const Height_Field& field, Kelvane::Camera& camera, double strength, int radius);

}  // namespace Kelvane_Normals
