// The house: brick walls on a stone plinth, a slate gabled roof with a ridge
// cap and a chimney, a plank door and windows on the two sides the viewer sees.
#include <cmath>
#include <memory>

#include "tools/asset_baker/materials.h"
#include "tools/asset_baker/models.h"
#include "tools/asset_baker/noise.h"

namespace Asset_Baker {

namespace {

const double HALF_X = 400.0;    // walls
const double HALF_Y = 450.0;
const double WALL_TOP = 480.0;
const double PITCH = 0.7;       // roof rise per unit run
const double ROOF_UNDER = WALL_TOP + PITCH * HALF_Y;  // underside at the ridge
const double ROOF_THICK = 24.0;
const double ROOF_TOP = ROOF_UNDER + ROOF_THICK;
const double EAVE_Y = 500.0;
const double EAVE_X = 440.0;
const double PLINTH = 40.0;

std::shared_ptr<Primitive> Box(double x0, double y0, double z0, double x1, double y1, double z1) {
    return std::make_shared<Convex>(Vec3(x0, y0, z0), Vec3(x1, y1, z1));
}

// Openings in the wall faces, in face coordinates (u along the wall, v = z).
struct Opening {
    int axis;  // 0: the faces across x (u = y), 1: across y (u = x)
    double u0, u1, v0, v1;
    bool door;
};

const Opening OPENINGS[] = {
    {0, -65, 65, PLINTH, 262, true},   {0, -305, -195, 200, 340, false}, {0, 195, 305, 200, 340, false},
    {1, -315, -205, 200, 340, false},  {1, -55, 55, 200, 340, false},    {1, 205, 315, 200, 340, false},
};
const double ROUND_V = 640.0;  // the round window in the gables
const double ROUND_R = 40.0;

enum class Wall_Part { Brick, Lintel, Frame, Glass, Mullion, Door, Door_Frame, Knob };

struct Wall_Hit {
    Wall_Part part;
    double edge;  // distance to the nearest joint (bricks) or frame edge
    Bond bond;
    double u, v;
};

Wall_Hit Classify(const Vec3& p, const Vec3& n) {
    Face_Uv f = Face_Coordinates(p, n);
    Wall_Hit w{Wall_Part::Brick, 100.0, Bond{0, 0, 100.0}, f.u, f.v};
    if (f.axis == 2) return w;
    for (const Opening& o : OPENINGS) {
        if (o.axis != f.axis) continue;
        // Stone lintel above.
        if (f.v >= o.v1 && f.v < o.v1 + 16 && f.u >= o.u0 - 12 && f.u < o.u1 + 12) {
            w.part = Wall_Part::Lintel;
            w.edge = std::min(std::min(f.v - o.v1, o.v1 + 16 - f.v), std::min(f.u - o.u0 + 12, o.u1 + 12 - f.u));
            return w;
        }
        if (f.u < o.u0 || f.u >= o.u1 || f.v < o.v0 || f.v >= o.v1) continue;
        double in = std::min(std::min(f.u - o.u0, o.u1 - f.u), std::min(f.v - o.v0, o.v1 - f.v));
        w.edge = in;
        if (o.door) {
            if (in < 9) {
                w.part = Wall_Part::Door_Frame;
            } else {
                double ku = f.u - (o.u1 - 28);
                double kv = f.v - 150;
                w.part = ku * ku + kv * kv < 36 ? Wall_Part::Knob : Wall_Part::Door;
                double board = Wrap(f.u - o.u0 - 9, 22.4);
                w.edge = std::min(board, 22.4 - board);
            }
            return w;
        }
        double mu = std::fabs(f.u - (o.u0 + o.u1) / 2);
        double mv = std::fabs(f.v - (o.v0 + o.v1) / 2 - 10);
        if (in < 10) {
            w.part = Wall_Part::Frame;
        } else if (mu < 3 || mv < 3) {
            w.part = Wall_Part::Mullion;
            w.edge = std::min(mu, mv);
        } else {
            w.part = Wall_Part::Glass;
        }
        return w;
    }
    if (f.axis == 0) {
        double d = std::sqrt(f.u * f.u + (f.v - ROUND_V) * (f.v - ROUND_V));
        if (d < ROUND_R + 10) {
            w.edge = ROUND_R + 10 - d;
            if (d >= ROUND_R) {
                w.part = Wall_Part::Frame;
            } else if (std::fabs(f.u) < 3 || std::fabs(f.v - ROUND_V) < 3) {
                w.part = Wall_Part::Mullion;
            } else {
                w.part = Wall_Part::Glass;
            }
            return w;
        }
    }
    w.bond = Running_Bond(f.u, f.v - PLINTH, 64.0, 28.0);
    w.edge = w.bond.edge;
    return w;
}

Vec3 Wall_Colour(const Surface_Point& s) {
    Wall_Hit w = Classify(s.p, s.n);
    Vec3 noise_p = s.p / 6.0;
    double speck = 0.92 + 0.16 * Value_Noise(noise_p, 91);
    switch (w.part) {
        case Wall_Part::Lintel:
            return Rgb(192, 184, 168) * speck;
        case Wall_Part::Frame:
        case Wall_Part::Mullion:
            return Rgb(228, 224, 212);
        case Wall_Part::Glass:
            return Lerp(Rgb(56, 76, 96), Rgb(92, 114, 132), Smoothstep(0.3, 0.9, Fbm(Vec3(w.u / 40.0 + w.v / 30.0, 0, 0), 2, 92)));
        case Wall_Part::Door:
            if (w.edge < 1.2) return Rgb(64, 40, 26);
            return Rgb(116, 74, 46) * (0.86 + 0.28 * Fbm(Vec3(w.u / 3.0, w.v / 50.0, 0), 3, 93));
        case Wall_Part::Door_Frame:
            return Rgb(92, 60, 38) * speck;
        case Wall_Part::Knob:
            return Rgb(196, 160, 84);
        case Wall_Part::Brick:
            break;
    }
    if (w.edge < 2.5) return Rgb(206, 198, 184) * speck;
    static const Vec3 BRICKS[4] = {Rgb(168, 92, 70), Rgb(154, 84, 64), Rgb(178, 106, 80), Rgb(146, 90, 74)};
    Vec3 base = BRICKS[Hash(w.bond.column, w.bond.row, 0, 94) % 4] * Block_Variation(w.bond.column, w.bond.row, 95, 0.06);
    return base * (0.88 + 0.2 * Fbm(s.p / 9.0, 3, 96));
}

double Wall_Bump(const Vec3& q, const Vec3& n) {
    Wall_Hit w = Classify(q, n);
    switch (w.part) {
        case Wall_Part::Lintel:
            return 2.0 * Smoothstep(0.0, 2.0, w.edge);
        case Wall_Part::Frame:
            return 2.5 * Smoothstep(0.0, 2.0, w.edge) - 2.5 * Smoothstep(8.0, 10.0, w.edge);
        case Wall_Part::Mullion:
            return -2.5 + 2.0 * (1.0 - Smoothstep(2.0, 3.0, w.edge));
        case Wall_Part::Glass:
            return -6.0;
        case Wall_Part::Door:
            return -4.0 + Joint_Profile(w.edge, 0.8, 1.5, 1.5);
        case Wall_Part::Door_Frame:
            return 1.5 * Smoothstep(0.0, 2.0, w.edge) - 5.5 * Smoothstep(7.0, 9.0, w.edge);
        case Wall_Part::Knob:
            return -2.0;
        case Wall_Part::Brick:
            break;
    }
    return Joint_Profile(w.edge, 2.0, 2.5, 2.5) + 0.5 * Fbm(q / 7.0, 2, 97);
}

// Slate courses counted down the slope by height; shingles lap so that each
// course is thicker at its lower edge.
const double SLATE_COURSE = 17.0;  // in z
const double SLATE_WIDTH = 46.0;

Vec3 Roof_Colour(const Surface_Point& s) {
    if (std::fabs(s.n.x) > 0.9 || std::fabs(s.n.y) > 0.9 || s.n.z < 0) {
        return Rgb(118, 84, 56) * (0.88 + 0.24 * Fbm(s.p / 8.0, 2, 101));  // fascia boards
    }
    double down = ROOF_TOP - s.p.z;
    Bond bond = Running_Bond(s.p.x + 1000.0, down, SLATE_WIDTH, SLATE_COURSE);
    Vec3 base = Rgb(86, 94, 110) * Block_Variation(bond.column, bond.row, 102, 0.09);
    if (bond.edge < 1.0) base = base * 0.62;
    return base * (0.9 + 0.18 * Fbm(s.p / 5.0, 2, 103));
}

double Roof_Bump(const Vec3& q, const Vec3& n) {
    if (std::fabs(n.x) > 0.9 || std::fabs(n.y) > 0.9 || n.z < 0) return 0.4 * Fbm(q / 8.0, 2, 104);
    double down = ROOF_TOP - q.z;
    double course = Wrap(down, SLATE_COURSE) / SLATE_COURSE;  // 0 at the top of a course
    int row = static_cast<int>(std::floor(down / SLATE_COURSE));
    double shifted = Wrap(q.x + 1000.0 + ((row & 1) ? SLATE_WIDTH / 2 : 0.0), SLATE_WIDTH);
    double seam = std::min(shifted, SLATE_WIDTH - shifted);
    return 3.0 * Smoothstep(0.0, 0.9, course) * (1.0 - Smoothstep(0.95, 1.0, course)) +
           Joint_Profile(seam, 0.6, 1.2, 1.0);
}

Vec3 Stone_Block(const Surface_Point& s) {
    Face_Uv f = Face_Coordinates(s.p, s.n);
    Bond bond = Running_Bond(f.u + 2000.0, f.v + 2000.0, 90.0, 40.0);
    Vec3 base = Rgb(150, 146, 138) * Block_Variation(bond.column, bond.row, 111, 0.06);
    if (bond.edge < 1.5) base = Rgb(112, 108, 100);
    return base * (0.88 + 0.22 * Fbm(s.p / 10.0, 3, 112));
}

double Stone_Block_Bump(const Vec3& q, const Vec3& n) {
    Face_Uv f = Face_Coordinates(q, n);
    Bond bond = Running_Bond(f.u + 2000.0, f.v + 2000.0, 90.0, 40.0);
    return Joint_Profile(bond.edge, 1.2, 2.5, 2.0) + 0.7 * Fbm(q / 8.0, 2, 113);
}

}  // namespace

Model Make_House() {
    Model model;
    model.name = "house";
    Material wall{Wall_Colour, Wall_Bump};
    Material roof{Roof_Colour, Roof_Bump};
    Material stone{Stone_Block, Stone_Block_Bump};
    Material ridge;
    ridge.albedo = [](const Surface_Point& s) {
        double joint = Wrap(s.p.x + 1000.0, 40.0);
        return Rgb(150, 84, 62) * (joint < 2.0 ? 0.7 : 0.92 + 0.16 * Value_Noise(s.p / 5.0, 121));
    };
    ridge.bump = [](const Vec3& q, const Vec3&) {
        double joint = Wrap(q.x + 1000.0, 40.0);
        return Joint_Profile(std::min(joint, 40.0 - joint), 1.0, 2.0, 1.5);
    };
    Material chimney{[](const Surface_Point& s) {
                         Face_Uv f = Face_Coordinates(s.p, s.n);
                         Bond bond = Running_Bond(f.u + 1000.0, f.v, 40.0, 20.0);
                         if (bond.edge < 1.8) return Rgb(200, 192, 178);
                         return Rgb(160, 88, 66) * Block_Variation(bond.column, bond.row, 122, 0.08);
                     },
                     [](const Vec3& q, const Vec3& n) {
                         Face_Uv f = Face_Coordinates(q, n);
                         Bond bond = Running_Bond(f.u + 1000.0, f.v, 40.0, 20.0);
                         return Joint_Profile(bond.edge, 1.5, 2.0, 2.0);
                     }};
    Material pot;
    pot.albedo = [](const Surface_Point& s) { return Rgb(170, 96, 66) * (0.9 + 0.2 * Value_Noise(s.p / 4.0, 123)); };

    model.Add(Box(-HALF_X - 12, -HALF_Y - 12, 0, HALF_X + 12, HALF_Y + 12, PLINTH), stone);
    model.Add(Box(-HALF_X - 48, -90, 0, -HALF_X - 12, 90, 24), stone);  // door step
    model.Add(Box(-HALF_X, -HALF_Y, 0, HALF_X, HALF_Y, WALL_TOP), wall);
    // Gable: the wall between the wall top and the roof's underside.
    model.Add(std::make_shared<Convex>(Vec3(-HALF_X, -HALF_Y, WALL_TOP - 10), Vec3(HALF_X, HALF_Y, ROOF_UNDER),
                                       std::vector<Convex::Plane>{{Vec3(0, PITCH, 1), ROOF_UNDER},
                                                                  {Vec3(0, -PITCH, 1), ROOF_UNDER}}),
              wall);
    // Window sills on the two faces the viewer sees.
    for (const Opening& o : OPENINGS) {
        if (o.door) continue;
        if (o.axis == 0)
            model.Add(Box(-HALF_X - 14, o.u0 - 8, o.v0 - 12, -HALF_X, o.u1 + 8, o.v0), stone);
        else
            model.Add(Box(o.u0 - 8, HALF_Y, o.v0 - 12, o.u1 + 8, HALF_Y + 14, o.v0), stone);
    }
    // Roof: one slab per slope, overhanging the walls.
    for (int side = -1; side <= 1; side += 2) {
        double y0 = side > 0 ? 0.0 : -EAVE_Y;
        double y1 = side > 0 ? EAVE_Y : 0.0;
        Vec3 up(0, PITCH * side, 1);
        model.Add(std::make_shared<Convex>(Vec3(-EAVE_X, y0, ROOF_UNDER - PITCH * EAVE_Y - 1), Vec3(EAVE_X, y1, ROOF_TOP),
                                           std::vector<Convex::Plane>{{up, ROOF_TOP}, {-up, -ROOF_UNDER}}),
                  roof);
    }
    model.Add(std::make_shared<Capsule>(Vec3(-EAVE_X - 4, 0, ROOF_TOP - 4), Vec3(EAVE_X + 4, 0, ROOF_TOP - 4), 11.0),
              ridge);
    // Chimney on the slope that faces the viewer.
    model.Add(Box(150, 120, 640, 230, 200, 900), chimney);
    model.Add(Box(142, 112, 900, 238, 208, 914), stone);
    model.Add(std::make_shared<Frustum>(190, 160, 914, 940, 17, 13), pot);
    return model;
}

}  // namespace Asset_Baker
