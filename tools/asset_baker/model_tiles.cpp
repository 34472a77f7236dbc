// The floor tile: a flat paving of stone slabs in running bond, 1080 x 1080
// world units, with grout joints whose bevelled edges tilt the normal.
#include <cmath>
#include <memory>

#include "tools/asset_baker/materials.h"
#include "tools/asset_baker/models.h"
#include "tools/asset_baker/noise.h"

namespace Asset_Baker {

namespace {

const double SLAB_LENGTH = 270.0;  // along x; divides TILE_SIZE
const double SLAB_COURSE = 180.0;  // along y; an even number of courses per tile
const double GROUT_HALF = 5.0;
const double BEVEL = 7.0;
const double GROUT_DEPTH = 5.0;

// The slab under a floor point, with the pattern repeating every tile so the
// paving runs on across tile borders; u runs from the tile's low-x edge.
struct Slab {
    int column;
    int row;
    double edge;
    double u;
    double v;
};

Slab Slab_At(const Vec3& p) {
    double u = Wrap(p.x + TILE_SIZE, TILE_SIZE);
    double v = Wrap(p.y, TILE_SIZE);
    Bond bond = Running_Bond(u, v, SLAB_LENGTH, SLAB_COURSE);
    int columns = static_cast<int>(TILE_SIZE / SLAB_LENGTH);
    int rows = static_cast<int>(TILE_SIZE / SLAB_COURSE);
    return Slab{((bond.column % columns) + columns) % columns, ((bond.row % rows) + rows) % rows, bond.edge, u, v};
}

Vec3 Slab_Colour(const Slab& slab) {
    static const Vec3 PALETTE[4] = {Rgb(170, 163, 150), Rgb(160, 157, 150), Rgb(176, 167, 150), Rgb(152, 151, 147)};
    Vec3 base = PALETTE[Hash(slab.column, slab.row, 0, 11) % 4] * Block_Variation(slab.column, slab.row, 12, 0.06);
    // Noise that repeats with the tile, so the slabs that straddle a tile
    // border show no break there.
    double mottle = Tiled_Fbm(slab.u / 36.0 + slab.column * 7.0, slab.v / 36.0 + slab.row * 13.0, 30, 4, 13);
    Vec3 colour = base * (0.86 + 0.26 * mottle);
    // Fine dark and light grains.
    double grain = Tiled_Noise(slab.u / 3.0, slab.v / 3.0, 360, 14);
    if (grain > 0.8) colour = colour * (1.0 - (grain - 0.8) * 0.7);
    if (grain < 0.15) colour = colour * (1.0 + (0.15 - grain) * 0.5);
    // Weathered, slightly darker rims.
    colour = colour * (0.92 + 0.08 * Smoothstep(GROUT_HALF, GROUT_HALF + 14.0, slab.edge));
    return colour;
}

Vec3 Grout_Colour(const Slab& slab) {
    double moss = Smoothstep(0.52, 0.68, Tiled_Fbm(slab.u / 45.0, slab.v / 45.0, 24, 3, 21));
    return Lerp(Rgb(100, 96, 88), Rgb(90, 112, 66), moss) * (0.92 + 0.16 * Tiled_Noise(slab.u / 4.0, slab.v / 4.0, 270, 22));
}

double Tile_Bump(const Vec3& q, const Vec3&) {
    Slab slab = Slab_At(q);
    double joint = Joint_Profile(slab.edge, GROUT_HALF, BEVEL, GROUT_DEPTH);
    if (slab.edge <= GROUT_HALF) return joint;
    // Each slab lies a little tilted, and its face is not polished.
    double tilt_u = (Hash01(slab.column, slab.row, 0, 31) - 0.5) * 0.05;
    double tilt_v = (Hash01(slab.column, slab.row, 0, 32) - 0.5) * 0.05;
    double cu = Wrap(slab.u + ((slab.row & 1) ? SLAB_LENGTH * 0.5 : 0.0), SLAB_LENGTH) - SLAB_LENGTH * 0.5;
    double cv = Wrap(slab.v, SLAB_COURSE) - SLAB_COURSE * 0.5;
    double surface = cu * tilt_u + cv * tilt_v + 0.9 * Tiled_Fbm(slab.u / 22.5, slab.v / 22.5, 48, 3, 33);
    // Fade the slab's own relief into the bevel so the joint profile leads there.
    double inside = Smoothstep(GROUT_HALF, GROUT_HALF + BEVEL, slab.edge);
    return joint + surface * inside;
}

}  // namespace

double Tile_Seam_Allowance(Kelvane::Camera& camera, double tile_size) {
    // Neighbouring tiles are drawn (size / 2, +-size / 2 * pf) screen units apart. The
    // vertical fraction makes each tile's pixel grid sample its picture up to
    // (1 - fraction) of a pixel away from its neighbour's: split that between
    // the two edges that meet, as floor units (one screen pixel up or down is
    // 1 / pf along both floor axes), plus a little for rounding.
    double shift = std::fabs(camera.Proj_To_Screen(static_cast<float>(tile_size), 0.0f, 0.0f).y);
    double fraction = shift - std::floor(shift);
    double lag = fraction < 1e-4 ? 0.0 : 1.0 - fraction;
    return lag / (2.0 * camera.Get_Projection_Factor()) + 0.05;
}

Model Make_Tiles(Kelvane::Camera& camera) {
    Model model;
    model.name = "tiles";
    model.min_tall = 1.0f;
    double e = Tile_Seam_Allowance(camera, TILE_SIZE);
    // The tile's position is its footprint corner of greatest x and least y.
    Material stone;
    stone.albedo = [](const Surface_Point& s) {
        Slab slab = Slab_At(s.p);
        if (slab.edge <= GROUT_HALF + 0.5) return Grout_Colour(slab);
        return Slab_Colour(slab);
    };
    stone.bump = Tile_Bump;
    model.Add(std::make_shared<Floor_Rect>(-TILE_SIZE - e, e, -e, TILE_SIZE + e), stone);
    return model;
}

}  // namespace Asset_Baker
