#pragma once
// A model the baker renders: a union of primitives, each with a material that
// gives the albedo (no lighting) and an optional bump displacement that tilts
// the normal. Coordinates are the object's own: (0, 0, 0) is the object's
// position, z is the height above its own z.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tools/asset_baker/primitives.h"
#include "tools/asset_baker/vec3.h"

namespace Asset_Baker {

struct Surface_Point {
    Vec3 p;  // the hit point
    Vec3 n;  // the geometric outward unit normal there
};

struct Material {
    // Colour in 0..1 per channel (sRGB), before any lighting.
    std::function<Vec3(const Surface_Point&)> albedo;
    // Displacement along the normal, in world units, at a point q near the hit
    // whose geometric normal is n; empty for a smooth surface.
    std::function<double(const Vec3& q, const Vec3& n)> bump;
};

struct Part {
    std::shared_ptr<Primitive> shape;
    Material material;
};

struct Model {
    std::string name;
    std::vector<Part> parts;
    // The least "Height" written (a flat model would otherwise get 0).
    float min_tall = 1.0f;
    // Image pixels per screen unit: below 1 the images show the model as if it
    // were built that much smaller (a prop reused at another size).
    double scale = 1.0;

    void Add(std::shared_ptr<Primitive> shape, const Material& material) {
        parts.push_back(Part{std::move(shape), material});
    }
};

// A named clip of settings.ini: frames first .. first + count - 1.
struct Baked_Clip {
    std::string name;
    int first = 0;
    int count = 1;
    float frame_rate = 1.0f;  // frames per second
    bool loop = true;
};

// A model in several poses, baked into one sheet of frames.
struct Animated_Model {
    std::string name;
    std::vector<Model> poses;
    int columns = 1;
    std::vector<Baked_Clip> clips;
};

}  // namespace Asset_Baker
