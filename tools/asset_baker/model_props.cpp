// The smaller props: the wooden crate ("square"), the marble ball ("sphere"),
// the stone column ("pilar") and the lantern head ("light").
#include <cmath>
#include <memory>

#include "tools/asset_baker/materials.h"
#include "tools/asset_baker/models.h"
#include "tools/asset_baker/noise.h"

namespace Asset_Baker {

namespace {

const double PI = 3.14159265358979323846;

std::shared_ptr<Primitive> Box(double x0, double y0, double z0, double x1, double y1, double z1) {
    return std::make_shared<Convex>(Vec3(x0, y0, z0), Vec3(x1, y1, z1));
}

// ---- Crate --------------------------------------------------------------

const double CRATE = 200.0;  // half the side
const double BEAM = 40.0;    // edge beam thickness
const double INSET = 6.0;    // how far the plank panels sit behind the beams

// Wood grain streaks along u.
double Grain(double u, double v, double seed) {
    return Fbm(Vec3(u / 60.0, v / 3.0, seed), 3, 41);
}

Material Crate_Planks() {
    Material m;
    // Panel coordinates: planks run along u; v counts across them.
    auto panel = [](const Vec3& p, const Vec3& n, double& u, double& v) {
        Face_Uv f = Face_Coordinates(p, n);
        u = f.u;
        v = f.axis == 2 ? f.v : f.v - BEAM;
        return f.axis;
    };
    const double plank = (2 * (CRATE - BEAM)) / 5.0;
    m.albedo = [panel, plank](const Surface_Point& s) {
        double u, v;
        int axis = panel(s.p, s.n, u, v);
        double across = axis == 2 ? v + (CRATE - BEAM) : v;
        int row = static_cast<int>(std::floor(across / plank));
        double in_row = across - row * plank;
        double edge = std::min(in_row, plank - in_row);
        // Diagonal brace on the side faces.
        if (axis != 2) {
            double d = std::fabs((v - (u + (CRATE - BEAM))) / std::sqrt(2.0));
            if (d < 22.0) {
                double g = Grain((u + v) / std::sqrt(2.0), (v - u) / std::sqrt(2.0), 3);
                Vec3 c = Rgb(150, 104, 62) * (0.85 + 0.3 * g);
                return d > 20.5 ? c * 0.7 : c;
            }
        }
        if (edge < 1.8) return Rgb(72, 50, 32);
        double g = Grain(u, across, row + axis * 10);
        return Rgb(184, 136, 86) * Block_Variation(row, axis, 42, 0.07) * (0.84 + 0.32 * g);
    };
    m.bump = [panel, plank](const Vec3& q, const Vec3& n) {
        double u, v;
        int axis = panel(q, n, u, v);
        double across = axis == 2 ? v + (CRATE - BEAM) : v;
        double in_row = Wrap(across, plank);
        double edge = std::min(in_row, plank - in_row);
        double b = Joint_Profile(edge, 1.5, 3.0, 3.0) + 0.4 * Grain(u, across, 7);
        if (axis != 2) {
            double d = std::fabs((v - (u + (CRATE - BEAM))) / std::sqrt(2.0));
            b = std::max(b, 5.0 * (1.0 - Smoothstep(20.0, 23.0, d)));
        }
        return b;
    };
    return m;
}

// Edge beams; `along` is the axis the beam runs along (0 x, 1 y, 2 z) and
// `centre` its middle, so nails sit on each face's middle line.
double Axis(const Vec3& p, int axis) { return axis == 0 ? p.x : axis == 1 ? p.y : p.z; }

Material Crate_Beam(int along, Vec3 centre) {
    Material m;
    m.albedo = [along, centre](const Surface_Point& s) {
        double l = Axis(s.p, along);
        int face = Face_Coordinates(s.p, s.n).axis;
        int across = 3 - along - face;
        double a = Axis(s.p, (along + 1) % 3) + Axis(s.p, (along + 2) % 3);
        if (face != along && across >= 0 && across <= 2) {
            double nail_l = Wrap(l + 10.0, 90.0) - 45.0;
            double mid = Axis(s.p, across) - Axis(centre, across);
            if (nail_l * nail_l + mid * mid < 20.0) return Rgb(70, 68, 70);
        }
        return Rgb(132, 92, 56) * (0.84 + 0.32 * Grain(l, a, along));
    };
    m.bump = [along](const Vec3& q, const Vec3&) {
        double a = Axis(q, (along + 1) % 3) + Axis(q, (along + 2) % 3);
        return 0.6 * Grain(Axis(q, along), a, along);
    };
    return m;
}

// ---- Column ---------------------------------------------------------------

Vec3 Stone_Colour(const Vec3& p) {
    double mottle = Fbm(p / 40.0, 4, 61);
    double fine = Value_Noise(p / 3.0, 62);
    Vec3 c = Rgb(204, 192, 168) * (0.86 + 0.22 * mottle) * (0.95 + 0.1 * fine);
    return c;
}

double Stone_Bump(const Vec3& q, const Vec3&) { return 0.8 * Fbm(q / 12.0, 3, 63); }

}  // namespace

Model Make_Square() {
    Model model;
    model.name = "square";
    const double c = CRATE;
    const double b = BEAM;
    model.Add(Box(-c + INSET, -c + INSET, 0, c - INSET, c - INSET, 2 * c - INSET), Crate_Planks());
    for (int sx = -1; sx <= 1; sx += 2) {
        for (int sy = -1; sy <= 1; sy += 2) {
            double x0 = sx > 0 ? c - b : -c;
            double y0 = sy > 0 ? c - b : -c;
            model.Add(Box(x0, y0, 0, x0 + b, y0 + b, 2 * c), Crate_Beam(2, Vec3(x0 + b / 2, y0 + b / 2, c)));
        }
    }
    for (int level = 0; level < 2; ++level) {
        double z0 = level == 0 ? 0 : 2 * c - b;
        for (int side = -1; side <= 1; side += 2) {
            double s0 = side > 0 ? c - b : -c;
            double mid = s0 + b / 2;
            model.Add(Box(-c + b, s0, z0, c - b, s0 + b, z0 + b), Crate_Beam(0, Vec3(0, mid, z0 + b / 2)));
            model.Add(Box(s0, -c + b, z0, s0 + b, c - b, z0 + b), Crate_Beam(1, Vec3(mid, 0, z0 + b / 2)));
        }
    }
    return model;
}

Model Make_Sphere() {
    Model model;
    model.name = "sphere";
    const double r = 180.0;
    Material marble;
    marble.albedo = [](const Surface_Point& s) {
        Vec3 q = s.p / 90.0;
        double warp = Fbm(q, 5, 71);
        double vein = std::fabs(std::sin((s.p.x * 0.6 + s.p.z * 0.8) / 30.0 + warp * 6.0));
        double fine = std::fabs(std::sin((s.p.y * 0.7 - s.p.z * 0.5) / 12.0 + warp * 10.0));
        Vec3 base = Lerp(Rgb(222, 214, 200), Rgb(206, 198, 186), Fbm(q * 2.0, 3, 72));
        base = Lerp(Rgb(150, 158, 150), base, 0.35 + 0.65 * Smoothstep(0.0, 0.3, vein));
        return Lerp(base * 0.94, base, Smoothstep(0.0, 0.1, fine));
    };
    model.Add(std::make_shared<Sphere>(Vec3(0, 0, r), r), marble);
    return model;
}

Model Make_Pilar() {
    Model model;
    model.name = "pilar";
    Material stone{[](const Surface_Point& s) { return Stone_Colour(s.p); }, Stone_Bump};
    Material shaft;
    shaft.albedo = [](const Surface_Point& s) {
        double angle = std::atan2(s.p.y, s.p.x);
        double flute = std::pow(std::sin(angle * 10.0), 2.0);
        return Stone_Colour(s.p) * (1.0 - 0.06 * flute);
    };
    shaft.bump = [](const Vec3& q, const Vec3& n) {
        if (std::fabs(n.z) > 0.9) return Stone_Bump(q, n);
        double angle = std::atan2(q.y, q.x);
        double fade = Smoothstep(112.0, 130.0, q.z) * (1.0 - Smoothstep(765.0, 783.0, q.z));
        return -4.0 * std::pow(std::sin(angle * 10.0), 2.0) * fade + 0.5 * Stone_Bump(q, n);
    };
    model.Add(Box(-170, -170, 0, 170, 170, 50), stone);          // plinth
    model.Add(std::make_shared<Frustum>(0, 0, 50, 78, 150, 150), stone);   // torus band
    model.Add(std::make_shared<Frustum>(0, 0, 78, 108, 146, 120), stone);  // moulding
    model.Add(std::make_shared<Frustum>(0, 0, 108, 785, 118, 106), shaft); // fluted shaft
    model.Add(std::make_shared<Frustum>(0, 0, 780, 796, 116, 116), stone); // neck ring
    model.Add(std::make_shared<Frustum>(0, 0, 796, 850, 108, 156), stone); // echinus
    model.Add(Box(-170, -170, 850, 170, 170, 900), stone);       // abacus
    return model;
}

Model Make_Light() {
    Model model;
    model.name = "light";
    Material glass;
    glass.albedo = [](const Surface_Point& s) {
        // A warm bulb, a touch paler toward its top.
        return Lerp(Rgb(255, 222, 150), Rgb(255, 240, 200), Smoothstep(10.0, 44.0, s.p.z));
    };
    Material iron;
    iron.albedo = [](const Surface_Point& s) {
        return Rgb(66, 60, 52) * (0.9 + 0.2 * Value_Noise(s.p / 4.0, 81));
    };
    Material brass;
    brass.albedo = [](const Surface_Point& s) {
        double ring = Smoothstep(0.4, 0.6, std::fabs(std::sin(s.p.z / 2.5)));
        return Rgb(150, 118, 64) * (0.85 + 0.15 * ring);
    };
    brass.bump = [](const Vec3& q, const Vec3&) { return 0.4 * std::sin(q.z / 2.5); };
    const double r = 24.0;
    model.Add(std::make_shared<Sphere>(Vec3(0, 0, r), r), glass);
    model.Add(std::make_shared<Frustum>(0, 0, 0, 5, 21, 27), brass);  // bottom ring
    for (int i = 0; i < 4; ++i) {
        double a = PI / 4 + i * PI / 2;
        double x = std::cos(a);
        double y = std::sin(a);
        model.Add(std::make_shared<Capsule>(Vec3(x * 24.5, y * 24.5, 5), Vec3(x * 27, y * 27, 49), 2.4), iron);
    }
    model.Add(std::make_shared<Frustum>(0, 0, 48, 53, 30, 30), iron);  // cap rim
    model.Add(std::make_shared<Frustum>(0, 0, 53, 64, 27, 8), iron);   // cap
    model.Add(std::make_shared<Frustum>(0, 0, 64, 71, 5, 5), brass);   // finial stem
    model.Add(std::make_shared<Sphere>(Vec3(0, 0, 75), 5.5), brass);    // finial knob
    return model;
}

}  // namespace Asset_Baker
