#pragma once
// Renders a model through the engine's oblique projection (Kelvane::Camera):
// every image pixel's centre is a screen point, its view ray is every
// projection-space point that projects there, and the hit nearest the viewer
// (the highest z along the ray) gives the colour, the normal and the height.

#include <vector>

#include "tools/asset_baker/image.h"
#include "tools/asset_baker/model.h"
#include "world/camera.h"

namespace Asset_Baker {

// Where the model's picture sits in its image. Image point (u, v) shows the
// screen point ((u - center_x) / scale, (v - center_y) / scale) relative to the
// picture of the model's origin, so (center_x, center_y) is the pivot of
// settings.ini.
struct Frame {
    int width = 0;
    int height = 0;
    float center_x = 0.0f;
    float center_y = 0.0f;
    double top_z = 0.0;  // the model's highest z (rays start above it)
    double scale = 1.0;  // the model's image pixels per screen unit
};

struct Trace_Hit {
    double t = 0.0;
    Vec3 p;
    Vec3 n;
    int part = -1;
};

struct Baked_Object {
    Image diffuse;
    Image normal;
    Image height;
    float tall = 1.0f;  // settings "Height"
    float center_x = 0.0f;  // within a frame
    float center_y = 0.0f;
    // The images are sheets of this many equal frames, `columns` to a row.
    int frames = 1;
    int columns = 1;
    std::vector<Baked_Clip> clips;
};


// The image (plus a one-pixel margin) that holds the picture of the
// model's bounds, with an integer pivot.
Frame Compute_Frame(const Model& model, Kelvane::Camera& camera);
// The view ray through image point (u, v) (pixel centres are at + 0.5),
// starting above the model and heading down, built with Screen_To_Proj.
Ray Image_Point_Ray(const Frame& frame, Kelvane::Camera& camera, double u, double v);
// The hit nearest the viewer over all parts; false when the ray misses.
bool Trace(const Model& model, const Ray& ray, Trace_Hit& hit);
// The hit's normal tilted by its material's bump, unit length.
Vec3 Shaded_Normal(const Model& model, const Trace_Hit& hit);
Vec3 Albedo(const Model& model, const Trace_Hit& hit);
// The "Height" of settings.ini: hf * the model's top z * its scale, at least model.min_tall,
// rounded the way the settings file stores it.
float Model_Tall(const Model& model, Kelvane::Camera& camera);
// The three images and the settings values of the model, cropped to the
// opaque pixels plus a one-pixel transparent border.
Baked_Object Bake(const Model& model, Kelvane::Camera& camera);
// The poses rendered through one frame (the picture of all of them, one pivot)
// and one crop, laid out as a sheet: pose i at column i % columns, row i / columns.
Baked_Object Bake_Sheet(const Animated_Model& animated, Kelvane::Camera& camera);

}  // namespace Asset_Baker
