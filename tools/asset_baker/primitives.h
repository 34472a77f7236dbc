#pragma once
// Solid primitives the baker casts view rays against: convex polyhedra (boxes,
// roof slabs, wedges), spheres, vertical cone frustums and cylinders, capsules,
// and the flat half-open floor rectangle of a tile. Every primitive reports the
// point where a ray enters it; a model is the union of its primitives.

#include <vector>

#include "tools/asset_baker/vec3.h"

namespace Asset_Baker {

struct Ray {
    Vec3 origin;
    Vec3 direction;  // unit length
};

class Primitive {
public:
    virtual ~Primitive() = default;
    // The smallest t >= 0 at which the ray enters the solid, with the outward
    // unit normal there; false when the ray misses it.
    virtual bool Intersect(const Ray& ray, double& t, Vec3& normal) const = 0;
    // An axis-aligned box holding the solid; its top is the solid's true top.
    virtual void Bounds(Vec3& low, Vec3& high) const = 0;
};

// The points p with Dot(normal, p) <= offset for every plane, inside a box.
class Convex : public Primitive {
public:
    struct Plane {
        Vec3 normal;
        double offset;
    };
    Convex(Vec3 low, Vec3 high, std::vector<Plane> extra_planes = {});
    bool Intersect(const Ray& ray, double& t, Vec3& normal) const override;
    void Bounds(Vec3& low, Vec3& high) const override;

private:
    Vec3 low;
    Vec3 high;
    std::vector<Plane> planes;
};

class Sphere : public Primitive {
public:
    Sphere(Vec3 centre, double radius) : centre(centre), radius(radius) {}
    bool Intersect(const Ray& ray, double& t, Vec3& normal) const override;
    void Bounds(Vec3& low, Vec3& high) const override;

private:
    Vec3 centre;
    double radius;
};

// A solid about the vertical axis through (x, y): radius r0 at height z0 to
// r1 at height z1, linearly; a cylinder when r0 == r1. Both caps are flat.
class Frustum : public Primitive {
public:
    Frustum(double x, double y, double z0, double z1, double r0, double r1);
    bool Intersect(const Ray& ray, double& t, Vec3& normal) const override;
    void Bounds(Vec3& low, Vec3& high) const override;

private:
    double x, y, z0, z1, r0, r1;
};

// All points within `radius` of the segment a-b.
class Capsule : public Primitive {
public:
    Capsule(Vec3 a, Vec3 b, double radius) : a(a), b(b), radius(radius) {}
    bool Intersect(const Ray& ray, double& t, Vec3& normal) const override;
    void Bounds(Vec3& low, Vec3& high) const override;

private:
    Vec3 a;
    Vec3 b;
    double radius;
};

// The floor rectangle x0 <= x < x1, y0 <= y < y1 at height 0 (half-open, so
// rectangles that share an edge never both own a point of it).
class Floor_Rect : public Primitive {
public:
    Floor_Rect(double x0, double x1, double y0, double y1) : x0(x0), x1(x1), y0(y0), y1(y1) {}
    bool Intersect(const Ray& ray, double& t, Vec3& normal) const override;
    void Bounds(Vec3& low, Vec3& high) const override;

private:
    double x0, x1, y0, y1;
};

}  // namespace Asset_Baker
