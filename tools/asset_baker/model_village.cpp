// The village example's objects: a grass floor tile, a walking villager, and
// the demonstration's crate and house baked at the village's size.
#include <cmath>
#include <memory>

#include "tools/asset_baker/materials.h"
#include "tools/asset_baker/models.h"
#include "tools/asset_baker/noise.h"

namespace Asset_Baker {

namespace {

// ---- Grass ---------------------------------------------------------------

// The grass's noise cells, in world units; GRASS_SIZE holds a whole number of
// them, so the pattern repeats with the tile and runs on across its borders.
const double GRASS_CELL = 40.0;
const int GRASS_PERIOD = static_cast<int>(GRASS_SIZE / GRASS_CELL);

double Grass_Mottle(const Vec3& p) {
    return Tiled_Fbm(Wrap(p.x, GRASS_SIZE) / GRASS_CELL, Wrap(p.y, GRASS_SIZE) / GRASS_CELL, GRASS_PERIOD, 3, 51);
}

Material Grass() {
    Material m;
    m.albedo = [](const Surface_Point& s) {
        // Lush and dry patches; worn, earthy spots where the mottle is lowest.
        double mottle = Grass_Mottle(s.p);
        Vec3 grass = Lerp(Rgb(72, 118, 52), Rgb(128, 150, 70), Smoothstep(0.35, 0.75, mottle));
        return Lerp(Rgb(120, 100, 70), grass, Smoothstep(0.12, 0.3, mottle));
    };
    m.bump = [](const Vec3& q, const Vec3&) { return 6.0 * Grass_Mottle(q); };
    return m;
}

// ---- The villager --------------------------------------------------------

const double HIP_Z = 110.0;
const double HIP_Y = 20.0;
const double THIGH = 50.0;
const double SHIN = 50.0;
const double SHOULDER_Z = 178.0;
const double SHOULDER_Y = 34.0;
const double ARM = 62.0;
// An arm swings against its side's leg, this much of the leg's swing.
const double ARM_SWING = 0.8;

Material Plain(Vec3 colour, uint32_t seed) {
    Material m;
    m.albedo = [colour, seed](const Surface_Point& s) { return colour * (0.9 + 0.2 * Value_Noise(s.p / 6.0, seed)); };
    return m;
}

// One leg's pose: its swing forward (toward -x) at the hip and how far the
// knee bends back, in radians.
struct Leg_Pose {
    double swing;
    double bend;
};

// A point `length` along a limb that swings `angle` forward from hanging down.
Vec3 Along(const Vec3& from, double angle, double length) {
    return from + Vec3(-std::sin(angle), 0.0, -std::cos(angle)) * length;
}

void Add_Leg(Model& model, double y, Leg_Pose pose) {
    Vec3 hip(0.0, y, HIP_Z);
    Vec3 knee = Along(hip, pose.swing, THIGH);
    Vec3 ankle = Along(knee, pose.swing - pose.bend, SHIN);
    model.Add(std::make_shared<Capsule>(hip, knee, 12.0), Plain(Rgb(70, 82, 116), 61));  // trousers
    model.Add(std::make_shared<Capsule>(knee, ankle, 10.0), Plain(Rgb(70, 82, 116), 61));
    model.Add(std::make_shared<Capsule>(ankle + Vec3(4, 0, -2), ankle + Vec3(-20, 0, -2), 8.0),
              Plain(Rgb(78, 52, 36), 62));  // boot
}

void Add_Arm(Model& model, double y, double swing) {
    Vec3 shoulder(0.0, y, SHOULDER_Z);
    Vec3 hand = Along(shoulder, swing, ARM);
    model.Add(std::make_shared<Capsule>(shoulder, hand, 9.0), Plain(Rgb(168, 64, 52), 63));  // sleeve
    model.Add(std::make_shared<Sphere>(hand + Vec3(0, 0, -4), 9.0), Plain(Rgb(226, 182, 142), 64));
}

// The villager with its legs (left, on -y, then right) in those poses; the
// arms swing against the legs.
Model Villager(Leg_Pose left, Leg_Pose right) {
    Model model;
    model.name = "walker";
    Add_Leg(model, -HIP_Y, left);
    Add_Leg(model, HIP_Y, right);
    Add_Arm(model, -SHOULDER_Y, -ARM_SWING * left.swing);
    Add_Arm(model, SHOULDER_Y, -ARM_SWING * right.swing);
    Material skin = Plain(Rgb(226, 182, 142), 64);
    Material dark = Plain(Rgb(40, 34, 30), 65);
    model.Add(std::make_shared<Frustum>(0, 0, 100, 186, 32, 27), Plain(Rgb(168, 64, 52), 63));  // tunic
    model.Add(std::make_shared<Frustum>(0, 0, 118, 127, 33, 33), dark);                         // belt
    model.Add(std::make_shared<Sphere>(Vec3(0, 0, 212), 24), skin);                             // head
    model.Add(std::make_shared<Sphere>(Vec3(-23, 0, 208), 4.5), skin);                          // nose
    for (int side = -1; side <= 1; side += 2)
        model.Add(std::make_shared<Sphere>(Vec3(-20, side * 9.0, 216), 3.5), dark);
    Material straw = Plain(Rgb(214, 184, 104), 66);
    model.Add(std::make_shared<Frustum>(0, 0, 226, 231, 38, 38), straw);  // hat brim
    model.Add(std::make_shared<Frustum>(0, 0, 230, 254, 21, 16), straw);  // crown
    return model;
}

const Leg_Pose STRAIGHT{0.0, 0.0};
const Leg_Pose FORWARD{0.42, 0.05};
const Leg_Pose BACK{-0.42, 0.25};
const Leg_Pose PASSING{0.2, 0.75};

}  // namespace

Model Make_Grass(Kelvane::Camera& camera) {
    Model model;
    model.name = "grass";
    double e = Tile_Seam_Allowance(camera, GRASS_SIZE);
    model.Add(std::make_shared<Floor_Rect>(-GRASS_SIZE - e, e, -e, GRASS_SIZE + e), Grass());
    return model;
}

Animated_Model Make_Walker() {
    Animated_Model animated;
    animated.name = "walker";
    // Contact, passing, contact with the other foot ahead, passing again.
    animated.poses = {Villager(STRAIGHT, STRAIGHT), Villager(BACK, FORWARD), Villager(PASSING, STRAIGHT),
                      Villager(FORWARD, BACK), Villager(STRAIGHT, PASSING)};
    animated.columns = static_cast<int>(animated.poses.size());
    animated.clips = {{"walk", 1, 4, 6.0f, true}};
    return animated;
}

Model Make_Village_Crate() {
    Model model = Make_Square();
    model.name = "crate";
    model.scale = VILLAGE_CRATE_SCALE;
    return model;
}

Model Make_Cottage() {
    Model model = Make_House();
    model.name = "cottage";
    model.scale = VILLAGE_HOUSE_SCALE;
    return model;
}

}  // namespace Asset_Baker
