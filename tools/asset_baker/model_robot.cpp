// The robot: a painted box torso with a chest panel, a pill-shaped head with a
// visor and two eyes looking toward -x, jointed limbs, feet and an antenna.
#include <cmath>
#include <memory>

#include "tools/asset_baker/materials.h"
#include "tools/asset_baker/models.h"
#include "tools/asset_baker/noise.h"

namespace Asset_Baker {

namespace {

std::shared_ptr<Primitive> Box(double x0, double y0, double z0, double x1, double y1, double z1) {
    return std::make_shared<Convex>(Vec3(x0, y0, z0), Vec3(x1, y1, z1));
}

const Vec3 PAINT = Rgb(96, 138, 158);
const Vec3 JOINT = Rgb(66, 70, 78);

double Worn(const Vec3& p) { return 0.92 + 0.14 * Fbm(p / 14.0, 3, 131); }

Material Paint() {
    Material m;
    m.albedo = [](const Surface_Point& s) { return PAINT * Worn(s.p); };
    m.bump = [](const Vec3& q, const Vec3&) { return 0.3 * Fbm(q / 10.0, 2, 132); };
    return m;
}

Material Dark_Metal() {
    Material m;
    m.albedo = [](const Surface_Point& s) { return JOINT * (0.9 + 0.2 * Value_Noise(s.p / 5.0, 133)); };
    return m;
}

// The torso: panel seams every 54 units and, on the face toward -x, a chest
// panel with a speaker grille and three lamps.
struct Chest {
    enum Kind { Paint, Seam, Panel, Grille, Lamp_Amber, Lamp_Green, Lamp_Red, Rim } kind;
    double edge;
};

Chest Chest_At(const Vec3& p, const Vec3& n) {
    Face_Uv f = Face_Coordinates(p, n);
    if (f.axis == 0 && n.x < 0 && f.u > -72 && f.u < 72 && f.v > 246 && f.v < 350) {
        double edge = std::min(std::min(f.u + 72, 72 - f.u), std::min(f.v - 246, 350 - f.v));
        if (edge < 4) return Chest{Chest::Rim, edge};
        static const double LAMP_U[3] = {-38, 0, 38};
        for (int i = 0; i < 3; ++i) {
            double du = f.u - LAMP_U[i];
            double dv = f.v - 322;
            double d = std::sqrt(du * du + dv * dv);
            if (d < 10) return Chest{static_cast<Chest::Kind>(Chest::Lamp_Amber + i), 10 - d};
        }
        if (f.v > 262 && f.v < 302 && std::fabs(f.u) < 52) {
            double slot = Wrap(f.v - 262, 8.0);
            if (slot < 4.5) return Chest{Chest::Grille, std::min(slot, 4.5 - slot)};
        }
        return Chest{Chest::Panel, edge};
    }
    double su = Wrap(f.u + 1000.0, 54.0);
    double sv = Wrap(f.v + 1000.0 + 10.0, 54.0);
    double seam = std::min(std::min(su, 54.0 - su), std::min(sv, 54.0 - sv));
    if (seam < 1.2) return Chest{Chest::Seam, seam};
    return Chest{Chest::Paint, seam};
}

Material Torso() {
    Material m;
    m.albedo = [](const Surface_Point& s) {
        Chest c = Chest_At(s.p, s.n);
        switch (c.kind) {
            case Chest::Seam: return PAINT * 0.6;
            case Chest::Panel: return Rgb(186, 190, 192) * (0.94 + 0.1 * Value_Noise(s.p / 6.0, 134));
            case Chest::Rim: return Rgb(120, 126, 132);
            case Chest::Grille: return Rgb(44, 48, 54);
            case Chest::Lamp_Amber: return Rgb(240, 178, 70);
            case Chest::Lamp_Green: return Rgb(126, 206, 112);
            case Chest::Lamp_Red: return Rgb(218, 88, 72);
            case Chest::Paint: break;
        }
        return PAINT * Worn(s.p);
    };
    m.bump = [](const Vec3& q, const Vec3& n) {
        Chest c = Chest_At(q, n);
        switch (c.kind) {
            case Chest::Seam: return -1.5;
            case Chest::Rim: return 2.0 * Smoothstep(0.0, 2.0, c.edge);
            case Chest::Grille: return -2.0;
            case Chest::Lamp_Amber:
            case Chest::Lamp_Green:
            case Chest::Lamp_Red: return 1.0 + 3.0 * std::sqrt(std::max(0.0, c.edge / 10.0));
            case Chest::Panel: return 1.0;
            case Chest::Paint: break;
        }
        return Joint_Profile(c.edge, 1.2, 1.5, 1.5) + 0.3 * Fbm(q / 10.0, 2, 132);
    };
    return m;
}

const Vec3 HEAD_CENTRE(0, 0, 440);
const double HEAD_R = 52.0;

Material Head() {
    Material m;
    auto face = [](const Vec3& p, double& eye) {
        // Eyes: two discs on the -x side at the visor's height.
        eye = 1e9;
        for (int side = -1; side <= 1; side += 2) {
            double dy = p.y - side * 24.0;
            double dz = p.z - 448.0;
            eye = std::min(eye, std::sqrt(dy * dy + dz * dz));
        }
    };
    m.albedo = [face](const Surface_Point& s) {
        double eye;
        face(s.p, eye);
        if (s.n.x < -0.35 && std::fabs(s.p.z - 448.0) < 20.0) {
            if (eye < 11.0) return Lerp(Rgb(200, 246, 250), Rgb(120, 220, 236), Smoothstep(3.0, 10.0, eye));
            return Rgb(40, 46, 56);
        }
        return PAINT * Worn(s.p);
    };
    m.bump = [face](const Vec3& q, const Vec3& n) {
        double eye;
        face(q, eye);
        if (n.x < -0.35 && std::fabs(q.z - 448.0) < 20.0) {
            double rim = 20.0 - std::fabs(q.z - 448.0);
            double visor = -2.0 * Smoothstep(0.0, 2.0, rim);
            if (eye < 11.0) visor += 2.5 * (1.0 - Smoothstep(8.0, 11.0, eye));
            return visor;
        }
        return 0.3 * Fbm(q / 10.0, 2, 135);
    };
    return m;
}

// Where a point of an arm hanging from the shoulder at (0, ys, zs) goes when
// the arm is raised sideways by `raise` radians, away from the body.
Vec3 Raised(const Vec3& p, double ys, double zs, double raise) {
    double side = ys < 0 ? -1.0 : 1.0;
    double dy = p.y - ys, dz = p.z - zs;
    return Vec3(p.x, ys + dy * std::cos(raise) - side * dz * std::sin(raise),
                zs + side * dy * std::sin(raise) + dz * std::cos(raise));
}

// The robot, its arm on the +y side (the viewer's right) raised by `raise` radians.
Model Robot_Pose(double raise) {
    Model model;
    model.name = "robot";
    Material paint = Paint();
    Material dark = Dark_Metal();
    Material feet;
    feet.albedo = [](const Surface_Point& s) {
        // A yellow and grey band around the toe caps.
        bool band = s.p.z > 12 && s.p.z < 20;
        return band ? Rgb(214, 176, 72) : Rgb(84, 88, 96) * (0.9 + 0.2 * Value_Noise(s.p / 5.0, 136));
    };
    Material beacon;
    beacon.albedo = [](const Surface_Point&) { return Rgb(214, 80, 66); };

    for (int side = -1; side <= 1; side += 2) {
        double y = side * 62.0;
        model.Add(Box(-66, y - 38, 0, 44, y + 38, 30), feet);
        model.Add(std::make_shared<Frustum>(0, y, 30, 48, 22, 22), dark);     // ankle
        model.Add(std::make_shared<Frustum>(0, y, 44, 118, 24, 27), paint);   // shin
        model.Add(std::make_shared<Sphere>(Vec3(0, y, 122), 31), dark);        // knee
        model.Add(std::make_shared<Frustum>(0, y, 126, 188, 27, 30), paint);  // thigh
        double ys = side * 136.0;
        double lift = side > 0 ? raise : 0.0;
        auto arm = [ys, lift](double x, double y, double z) { return Raised(Vec3(x, y, z), ys, 350.0, lift); };
        model.Add(std::make_shared<Sphere>(Vec3(0, ys, 350), 34), dark);  // shoulder
        model.Add(std::make_shared<Capsule>(arm(0, side * 150.0, 336), arm(-26, side * 162.0, 254), 20), paint);
        model.Add(std::make_shared<Sphere>(arm(-26, side * 162.0, 252), 22), dark);  // elbow
        model.Add(std::make_shared<Capsule>(arm(-30, side * 162.0, 248), arm(-74, side * 158.0, 200), 18), paint);
        model.Add(std::make_shared<Sphere>(arm(-82, side * 158.0, 190), 23), dark);  // hand
    }
    model.Add(Box(-64, -104, 182, 64, 104, 214), dark);    // hips
    model.Add(Box(-86, -122, 210, 86, 122, 372), Torso());  // torso
    model.Add(std::make_shared<Frustum>(0, 0, 368, 396, 24, 22), dark);  // neck
    model.Add(std::make_shared<Capsule>(HEAD_CENTRE - Vec3(0, 30, 0), HEAD_CENTRE + Vec3(0, 30, 0), HEAD_R), Head());
    model.Add(std::make_shared<Frustum>(0, 0, 488, 530, 4, 3), dark);  // antenna
    model.Add(std::make_shared<Sphere>(Vec3(0, 0, 538), 10), beacon);
    return model;
}

}  // namespace

Model Make_Robot() { return Robot_Pose(0.0); }

Animated_Model Make_Robot_Wave() {
    Animated_Model animated;
    animated.name = "robot_wave";
    for (double degrees : ROBOT_WAVE_DEGREES) animated.poses.push_back(Robot_Pose(degrees * M_PI / 180.0));
    animated.columns = 2;
    animated.clips = {{"raise", 0, 3, 6.0f, false}, {"wave", 2, 2, 4.0f, true}};
    return animated;
}

}  // namespace Asset_Baker
