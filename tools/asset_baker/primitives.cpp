#include "tools/asset_baker/primitives.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Asset_Baker {

namespace {

const double INF = std::numeric_limits<double>::infinity();
const double EPS = 1e-12;

// Narrows [near, far] to where the ray is inside the slab lo <= p <= hi along
// one axis; `enter` names the axis normal of the entry when it moves `near`.
bool Clip_Slab(double origin, double direction, double lo, double hi, double& near, double& far,
               const Vec3& axis, Vec3& enter) {
    if (std::fabs(direction) < EPS) return origin >= lo && origin <= hi;
    double t_lo = (lo - origin) / direction;
    double t_hi = (hi - origin) / direction;
    Vec3 n = -axis;
    if (t_lo > t_hi) {
        std::swap(t_lo, t_hi);
        n = axis;
    }
    if (t_lo > near) {
        near = t_lo;
        enter = n;
    }
    far = std::min(far, t_hi);
    return near <= far;
}

}  // namespace

Convex::Convex(Vec3 low, Vec3 high, std::vector<Plane> extra_planes)
    : low(low), high(high), planes(std::move(extra_planes)) {
    for (Plane& plane : planes) {
        double length = Length(plane.normal);
        plane.normal = plane.normal / length;
        plane.offset /= length;
    }
}

bool Convex::Intersect(const Ray& ray, double& t, Vec3& normal) const {
    double near = -INF;
    double far = INF;
    Vec3 enter(0, 0, 1);
    if (!Clip_Slab(ray.origin.x, ray.direction.x, low.x, high.x, near, far, Vec3(1, 0, 0), enter)) return false;
    if (!Clip_Slab(ray.origin.y, ray.direction.y, low.y, high.y, near, far, Vec3(0, 1, 0), enter)) return false;
    if (!Clip_Slab(ray.origin.z, ray.direction.z, low.z, high.z, near, far, Vec3(0, 0, 1), enter)) return false;
    for (const Plane& plane : planes) {
        double denominator = Dot(plane.normal, ray.direction);
        double distance = plane.offset - Dot(plane.normal, ray.origin);
        if (std::fabs(denominator) < EPS) {
            if (distance < 0) return false;
            continue;
        }
        double crossing = distance / denominator;
        if (denominator < 0) {
            if (crossing > near) {
                near = crossing;
                enter = plane.normal;
            }
        } else {
            far = std::min(far, crossing);
        }
        if (near > far) return false;
    }
    if (near < 0 || near > far) return false;
    t = near;
    normal = enter;
    return true;
}

void Convex::Bounds(Vec3& lo, Vec3& hi) const {
    lo = low;
    hi = high;
}

bool Sphere::Intersect(const Ray& ray, double& t, Vec3& normal) const {
    Vec3 offset = ray.origin - centre;
    double b = Dot(offset, ray.direction);
    double c = Dot(offset, offset) - radius * radius;
    double h = b * b - c;
    if (h < 0) return false;
    double hit = -b - std::sqrt(h);
    if (hit < 0) return false;
    t = hit;
    normal = Normalize(ray.origin + ray.direction * hit - centre);
    return true;
}

void Sphere::Bounds(Vec3& low, Vec3& high) const {
    low = centre - Vec3(radius, radius, radius);
    high = centre + Vec3(radius, radius, radius);
}

Frustum::Frustum(double x, double y, double z0, double z1, double r0, double r1)
    : x(x), y(y), z0(z0), z1(z1), r0(r0), r1(r1) {}

bool Frustum::Intersect(const Ray& ray, double& t, Vec3& normal) const {
    // Height slab first: the caps.
    double slab_near = -INF;
    double slab_far = INF;
    Vec3 cap(0, 0, 1);
    if (!Clip_Slab(ray.origin.z, ray.direction.z, z0, z1, slab_near, slab_far, Vec3(0, 0, 1), cap)) return false;

    // Side: (px^2 + py^2) - r(z)^2 <= 0 with r(z) = A + B t along the ray.
    double slope = (r1 - r0) / (z1 - z0);
    double ox = ray.origin.x - x;
    double oy = ray.origin.y - y;
    double dx = ray.direction.x;
    double dy = ray.direction.y;
    double A = r0 + slope * (ray.origin.z - z0);
    double B = slope * ray.direction.z;
    double a = dx * dx + dy * dy - B * B;
    double b = 2 * (ox * dx + oy * dy - A * B);
    double c = ox * ox + oy * oy - A * A;
    // Up to two candidate intervals of the side's inside set.
    double lo[2] = {-INF, -INF};
    double hi[2] = {INF, INF};
    int count = 1;
    if (std::fabs(a) < EPS) {
        if (std::fabs(b) < EPS) {
            if (c > 0) return false;
        } else if (b > 0) {
            hi[0] = -c / b;
        } else {
            lo[0] = -c / b;
        }
    } else {
        double disc = b * b - 4 * a * c;
        if (disc < 0) {
            if (a > 0) return false;
        } else {
            double root = std::sqrt(disc);
            double t1 = (-b - root) / (2 * a);
            double t2 = (-b + root) / (2 * a);
            if (t1 > t2) std::swap(t1, t2);
            if (a > 0) {
                lo[0] = t1;
                hi[0] = t2;
            } else {
                hi[0] = t1;
                lo[1] = t2;
                count = 2;
            }
        }
    }
    for (int i = 0; i < count; ++i) {
        double near = std::max(lo[i], slab_near);
        double far = std::min(hi[i], slab_far);
        if (near > far || far < 0) continue;
        if (near < 0) return false;  // the ray starts inside: not a view ray
        t = near;
        if (slab_near >= lo[i]) {
            normal = cap;
        } else {
            Vec3 p = ray.origin + ray.direction * near;
            double r = r0 + slope * (p.z - z0);
            normal = Normalize(Vec3(p.x - x, p.y - y, -r * slope));
        }
        return true;
    }
    return false;
}

void Frustum::Bounds(Vec3& low, Vec3& high) const {
    double r = std::max(r0, r1);
    low = Vec3(x - r, y - r, z0);
    high = Vec3(x + r, y + r, z1);
}

bool Capsule::Intersect(const Ray& ray, double& t, Vec3& normal) const {
    Vec3 ba = b - a;
    Vec3 oa = ray.origin - a;
    double baba = Dot(ba, ba);
    double bard = Dot(ba, ray.direction);
    double baoa = Dot(ba, oa);
    double rdoa = Dot(ray.direction, oa);
    double oaoa = Dot(oa, oa);
    double qa = baba - bard * bard;
    double qb = baba * rdoa - baoa * bard;
    double qc = baba * oaoa - baoa * baoa - radius * radius * baba;
    double h = qb * qb - qa * qc;
    double hit = -1;
    if (qa > EPS && h >= 0) {
        double body = (-qb - std::sqrt(h)) / qa;
        double along = baoa + body * bard;
        if (along > 0 && along < baba) hit = body;
    }
    if (hit < 0) {
        // The end spheres: the nearer entry of the two.
        for (const Vec3& end : {a, b}) {
            Vec3 oc = ray.origin - end;
            double sb = Dot(ray.direction, oc);
            double sc = Dot(oc, oc) - radius * radius;
            double sh = sb * sb - sc;
            if (sh < 0) continue;
            double candidate = -sb - std::sqrt(sh);
            if (candidate >= 0 && (hit < 0 || candidate < hit)) hit = candidate;
        }
    }
    if (hit < 0) return false;
    t = hit;
    Vec3 p = ray.origin + ray.direction * hit - a;
    double along = std::clamp(Dot(p, ba) / baba, 0.0, 1.0);
    normal = Normalize(p - ba * along);
    return true;
}

void Capsule::Bounds(Vec3& low, Vec3& high) const {
    low = Vec3(std::min(a.x, b.x) - radius, std::min(a.y, b.y) - radius, std::min(a.z, b.z) - radius);
    high = Vec3(std::max(a.x, b.x) + radius, std::max(a.y, b.y) + radius, std::max(a.z, b.z) + radius);
}

bool Floor_Rect::Intersect(const Ray& ray, double& t, Vec3& normal) const {
    if (ray.direction.z >= -EPS) return false;
    double hit = -ray.origin.z / ray.direction.z;
    if (hit < 0) return false;
    double px = ray.origin.x + ray.direction.x * hit;
    double py = ray.origin.y + ray.direction.y * hit;
    if (!(px >= x0 && px < x1 && py >= y0 && py < y1)) return false;
    t = hit;
    normal = Vec3(0, 0, 1);
    return true;
}

void Floor_Rect::Bounds(Vec3& low, Vec3& high) const {
    low = Vec3(x0, y0, 0);
    high = Vec3(x1, y1, 0);
}

}  // namespace Asset_Baker
