#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>

#include "core/config.h"
#include "support/scratch_dir.h"
#include "tools/asset_baker/badges.h"
#include "tools/asset_baker/encoding.h"
#include "tools/asset_baker/models.h"
#include "tools/asset_baker/raster.h"
#include "tools/asset_baker/writer.h"

using namespace Asset_Baker;

static std::vector<int> Channels(Rgba c) { return {c.r, c.g, c.b, c.a}; }
static bool Opaque(const Image& image, int x, int y) {
    return x >= 0 && y >= 0 && x < image.width && y < image.height && image.Get(x, y).a >= 254;
}

// Draws a 2 x 2 block of tiles as the renderer does at zoom 1 (image top-left at Proj_To_Screen(position)
// - view - pivot, nearest texel per pixel centre) at several sub-pixel view positions.
TEST(Asset_Baker, TilesInterlockWithoutGaps) {
    Kelvane::Camera camera;
    const Baked_Object tiles = Bake(Make_Tiles(camera), camera);
    const double t = TILE_SIZE, seam = 1.0 / camera.Get_Projection_Factor() + 0.2;
    Vec2D at[4];  // tiles (0, 0), (0, t), (t, 0), (t, t)
    for (int k = 0; k < 4; ++k) at[k] = camera.Proj_To_Screen(float(t * (k / 2)), float(t * (k % 2)), 0);
    for (double view_x : {0.03, 0.53})
        for (double view_y : {0.01, 0.385, 0.76, 0.885}) {
            long faults = 0;
            for (int Y = -290; Y < 830; ++Y)
                for (int X = -560; X < 1640; ++X) {
                    double sx = X + 0.5 + view_x, sy = Y + 0.5 + view_y;  // the pixel centre on screen
                    Vec2D f = camera.Screen_To_Proj(float(sx), float(sy), 0);
                    int count = 0, owner = -1;
                    for (int k = 0; k < 4; ++k)
                        if (Opaque(tiles.diffuse, int(std::floor(sx - at[k].x + tiles.center_x)),
                                   int(std::floor(sy - at[k].y + tiles.center_y))))
                            ++count, owner = k;
                    // The block's footprint is x in [-t, t), y in [0, 2t); its rim is left out.
                    if (f.x < -t - 4 || f.x > t + 4 || f.y < -4 || f.y > 2 * t + 4) faults += count > 0;
                    if (!(f.x > -t + 4 && f.x < t - 4 && f.y > 4 && f.y < 2 * t - 4)) continue;
                    // Off the seams only the tile whose half-open footprint holds the point covers it.
                    bool off_seam = std::min<double>(std::fabs(f.x), std::fabs(f.y - t)) > seam;
                    faults += count == 0 || (off_seam && (count > 1 || owner != (f.x >= 0) * 2 + (f.y >= t)));
                }
            EXPECT_EQ(faults, 0) << "view (" << view_x << ", " << view_y << ")";
        }
}

TEST(Asset_Baker, TilePatternRunsOnAcrossTileBorders) {
    Kelvane::Camera camera;
    const Material stone = Make_Tiles(camera).parts.at(0).material;
    for (double y = 1.3; y < TILE_SIZE; y += 2.7) {  // along the border x = 0 between two tiles
        Surface_Point a{Vec3(-0.04, y, 0), Vec3(0, 0, 1)}, b{Vec3(0.04, y, 0), Vec3(0, 0, 1)};
        EXPECT_LT(Length(stone.albedo(a) - stone.albedo(b)), 0.03) << y;
        EXPECT_LT(std::fabs(stone.bump(a.p, a.n) - stone.bump(b.p, b.n)), 0.05) << y;
    }
}

TEST(Asset_Baker, NormalEncoding) {
    EXPECT_EQ(Channels(Encode_Normal(Vec3(0, 0, 1))), (std::vector<int>{128, 128, 255, 255}));
    EXPECT_EQ(Channels(Encode_Normal(Vec3(1, 0, 0))), (std::vector<int>{255, 128, 128, 255}));
    EXPECT_EQ(Channels(Encode_Normal(Vec3(0, -1, 0))), (std::vector<int>{128, 0, 128, 255}));
    for (int i = 0; i < 200; ++i) {
        Vec3 n = Normalize(Vec3(std::sin(i * 1.3), std::cos(i * 0.7), std::sin(i * 2.9 + 1)));
        EXPECT_GT(Dot(Decode_Normal(Encode_Normal(n)), n), 0.9998) << i;
    }
}

// A sample of the sphere's pixels against the view ray through each, built from the camera alone.
TEST(Asset_Baker, SphereHeightAndNormalAgreeWithTheRayHit) {
    Kelvane::Camera camera;
    const Baked_Object s = Bake(Make_Sphere(), camera);
    const double hf = camera.Get_Height_Factor(), r = 180;
    for (int j = 0; j < s.diffuse.height; j += 3)
        for (int i = 0; i < s.diffuse.width; i += 3) {
            float sx = float(i + 0.5 - s.center_x), sy = float(j + 0.5 - s.center_y);
            Vec2D at0 = camera.Screen_To_Proj(sx, sy, 0), at1 = camera.Screen_To_Proj(sx, sy, 1000);
            // From the centre, the ray o + z d meets the sphere nearest the viewer at the greater root.
            Vec3 o(at0.x, at0.y, -r), d((at1.x - at0.x) / 1000, (at1.y - at0.y) / 1000, 1);
            double a = Dot(d, d), b = 2 * Dot(o, d), disc = b * b - 4 * a * (Dot(o, o) - r * r);
            if (disc >= 0 && std::sqrt(disc) / a < 0.5) continue;  // grazing rays
            ASSERT_EQ(Opaque(s.diffuse, i, j), disc >= 0) << i << ", " << j;
            if (disc < 0) continue;
            double z = (-b + std::sqrt(disc)) / (2 * a);
            // Height red is 255 * hf * z / tall, within half a red step.
            ASSERT_NEAR(s.height.Get(i, j).r * s.tall / (255 * hf), z, 360.0 / 510 + 0.01) << i << ", " << j;
            ASSERT_GT(Dot(Decode_Normal(s.normal.Get(i, j)), Normalize(o + d * z)), 0.999) << i << ", " << j;
        }
}

TEST(Asset_Baker, EveryObjectKeepsTheImageRulesAndItsPivot) {
    Kelvane::Camera camera;
    // A shape symmetric about the vertical through its footprint centre has its silhouette's centroid
    // over the pivot; one symmetric through a point at height z (else NAN) pictures it hf * z above.
    const std::map<std::string, double> symmetric = {{"square", 200}, {"sphere", 180}, {"pilar", NAN}, {"light", NAN}};
    for (const Model& model : {Make_Square(), Make_House(), Make_Sphere(), Make_Robot(), Make_Pilar(), Make_Light()}) {
        SCOPED_TRACE(model.name);
        Baked_Object baked = Bake(model, camera);
        const int w = baked.diffuse.width, h = baked.diffuse.height;
        ASSERT_TRUE(baked.normal.width == w && baked.height.width == w && baked.normal.height == h &&
                    baked.height.height == h);
        double top = 0, sx = 0, sy = 0, opaque = 0;
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i) {
                Rgba d = baked.diffuse.Get(i, j), n = baked.normal.Get(i, j), z = baked.height.Get(i, j);
                ASSERT_TRUE((d.a == 0 || d.a == 255) && n.a == d.a && z.a == 255) << i << ", " << j;
                // Outside the object: black normal and zero height; a clear border all round.
                ASSERT_TRUE(d.a ? n.r + n.g + n.b > 0 && i && j && i < w - 1 && j < h - 1
                                : n.r + n.g + n.b == 0 && z.r == 0)
                    << i << ", " << j;
                top = std::max<double>(top, z.r);
                if (d.a) sx += i + 0.5, sy += j + 0.5, ++opaque;
            }
        EXPECT_GE(top, 245);  // the highest point is the object's full height
        if (!symmetric.count(model.name)) continue;
        EXPECT_NEAR(sx / opaque, baked.center_x, 0.5);
        if (std::isnan(symmetric.at(model.name))) continue;
        EXPECT_NEAR(sy / opaque, baked.center_y - camera.Get_Height_Factor() * symmetric.at(model.name), 0.5);
    }
}

TEST(Asset_Baker, WritingAFolderDeletesStaleCaches) {
    ASSERT_TRUE(Init_Image_Output());
    Kelvane_Test::Scratch_Dir scratch;
    const std::string folder = scratch.Path() + "/light/";
    std::filesystem::create_directories(folder);
    for (const char* stale : {"normal_cooked.png", "shadow.png"}) Kelvane_Test::Write_File(folder + stale, "x");
    Kelvane::Camera camera;
    Baked_Object baked = Bake(Make_Light(), camera);
    ASSERT_TRUE(Write_Object_Folder(folder, baked));
    EXPECT_FALSE(std::filesystem::exists(folder + "normal_cooked.png") ||
                 std::filesystem::exists(folder + "shadow.png"));
    Kelvane::Config settings(folder + "settings.ini");
    EXPECT_EQ(settings.Get_Float("General", "Height", -1), baked.tall);
    EXPECT_EQ(settings.Get_Float("General", "Center_X", -1), baked.center_x);
    EXPECT_EQ(settings.Get_Float("General", "Center_Y", -1), baked.center_y);
}

TEST(Asset_Baker, MissingImageIsAMagentaBlackChecker) {
    Image missing = Make_Missing_Image();
    ASSERT_TRUE(missing.width == 64 && missing.height == 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            int level = (x / 8 + y / 8) % 2 == 0 ? 255 : 0;  // 8 x 8 squares, magenta first
            ASSERT_EQ(Channels(missing.Get(x, y)), (std::vector<int>{level, 0, level, 255})) << x << ", " << y;
        }
}
