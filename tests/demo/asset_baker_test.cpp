#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <tuple>

#include "core/config.h"
#include "render/animation.h"
#include "support/scratch_dir.h"
#include "tools/asset_baker/badges.h"
#include "tools/asset_baker/encoding.h"
#include "tools/asset_baker/models.h"
#include "tools/asset_baker/writer.h"

using namespace Asset_Baker;

static Kelvane::Camera camera;  // the default view, which every object is baked for
static uint32_t Packed(Rgba c) { return uint32_t(c.r) << 24 | c.g << 16 | c.b << 8 | c.a; }  // 0xRRGGBBAA
static bool Opaque(const Image& image, double x, double y) {  // (x, y) anywhere in the pixel
    return x >= 0 && y >= 0 && x < image.width && y < image.height && image.Get(int(x), int(y)).a >= 254;
}

// Pixel (i, j) of the w x h frame at (left, top): opaque or clear colour; outside the object a black normal and
// zero height; a clear border all round.
static bool Keeps_The_Image_Rules(const Baked_Object& b, int left, int top, int w, int h, int i, int j) {
    Rgba d = b.diffuse.Get(left + i, top + j), n = b.normal.Get(left + i, top + j), e = b.height.Get(left + i, top + j);
    return (d.a == 0 || d.a == 255) && n.a == d.a && e.a == 255 &&
           (d.a ? n.r + n.g + n.b > 0 && i && j && i < w - 1 && j < h - 1 : n.r + n.g + n.b == 0 && e.r == 0);
}

// A 2 x 2 block of tiles t apart drawn as at zoom 1 (image at Proj_To_Screen(position) - view - pivot, nearest
// texel per pixel): no gaps, overlaps only along the seams, and the pattern runs on across tile borders.
static void Expect_Tiles_Interlock(const Model& model, double t) {
    SCOPED_TRACE(model.name);
    const Baked_Object b = Bake(model, camera);
    const double pf = camera.Get_Projection_Factor(), seam = 1.0 / pf + 0.2;
    const int width = int(2 * t + 40), height = int(2 * t * pf + 35);  // screen pixels around the block
    const double left = -t / 2 - 19.5, top = std::round(-t * pf / 2) - 18.5;
    Vec2D at[4];  // tiles (0, 0), (0, t), (t, 0), (t, t)
    for (int k = 0; k < 4; ++k) at[k] = camera.Proj_To_Screen(float(t * (k / 2)), float(t * (k % 2)), 0);
    long faults = 0;  // over several sub-pixel view positions
    for (double view_x : {0.03, 0.53})
        for (double view_y : {0.01, 0.385, 0.76, 0.885})
            for (int p = 0; p < width * height; ++p) {
                double sx = p % width + left + view_x, sy = p / width + top + view_y;  // a pixel centre on screen
                Vec2D f = camera.Screen_To_Proj(float(sx), float(sy), 0);
                int n = 0, owner = -1;  // how many tiles cover the pixel, and the last of them
                for (int k = 0; k < 4; ++k)
                    if (Opaque(b.diffuse, sx - at[k].x + b.center_x, sy - at[k].y + b.center_y)) ++n, owner = k;
                // The block's footprint is x in [-t, t), y in [0, 2t); its rim is left out.
                if (f.x < -t - 4 || f.x > t + 4 || f.y < -4 || f.y > 2 * t + 4) faults += n > 0;
                if (!(f.x > -t + 4 && f.x < t - 4 && f.y > 4 && f.y < 2 * t - 4)) continue;
                // Off the seams only the tile whose half-open footprint holds the point covers it.
                bool off_seam = std::min<double>(std::fabs(f.x), std::fabs(f.y - t)) > seam;
                faults += n == 0 || (off_seam && (n > 1 || owner != (f.x >= 0) * 2 + (f.y >= t)));
            }
    EXPECT_EQ(faults, 0);
    const Material& ground = model.parts.at(0).material;
    for (double y = 1.3; y < t; y += 2.7) {  // along the border x = 0 between two tiles
        Surface_Point l{Vec3(-0.04, y, 0), Vec3(0, 0, 1)}, r{Vec3(0.04, y, 0), Vec3(0, 0, 1)};
        EXPECT_LT(Length(ground.albedo(l) - ground.albedo(r)), 0.03) << y;
        EXPECT_LT(std::fabs(ground.bump(l.p, l.n) - ground.bump(r.p, r.n)), 0.05) << y;
    }
}

TEST(Asset_Baker, FloorTilesInterlockWithoutGapsAndTheirPatternRunsOnAcrossTileBorders) {
    Expect_Tiles_Interlock(Make_Tiles(camera), TILE_SIZE);
    Expect_Tiles_Interlock(Make_Grass(camera), GRASS_SIZE);
}

// Encoding exactly is checked by kelvane_normals' tests; decoding here, against the true normal all over the sphere.
TEST(Asset_Baker, TheSpheresHeightAndNormalAgreeWithTheRayHit) {
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
    // z: the shape is symmetric about the vertical through its pivot (NAN), also about that height (>= 0), or neither.
    // A model baked smaller has its symmetry height scaled as its picture.
    const std::pair<Model, double> models[] = {{Make_Square(), 200}, {Make_House(), -1}, {Make_Sphere(), 180},
                                               {Make_Robot(), -1},   {Make_Pilar(), NAN}, {Make_Light(), NAN},
                                               {Make_Village_Crate(), 200 * VILLAGE_CRATE_SCALE},
                                               {Make_Cottage(), -1}};
    for (const auto& [model, z] : models) {
        SCOPED_TRACE(model.name);
        const Baked_Object b = Bake(model, camera);
        const int w = b.diffuse.width, h = b.diffuse.height;
        ASSERT_TRUE(b.normal.width == w && b.height.width == w && b.normal.height == h && b.height.height == h);
        double top = 0, sx = 0, sy = 0, opaque = 0;
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i) {
                Rgba d = b.diffuse.Get(i, j), e = b.height.Get(i, j);
                ASSERT_TRUE(Keeps_The_Image_Rules(b, 0, 0, w, h, i, j)) << i << ", " << j;
                top = std::max<double>(top, e.r);
                if (d.a) sx += i + 0.5, sy += j + 0.5, ++opaque;
            }
        EXPECT_GE(top, 245);  // the highest point is the object's full height
        if (z < 0) continue;
        EXPECT_NEAR(sx / opaque, b.center_x, 0.5);
        if (std::isnan(z)) continue;
        EXPECT_NEAR(sy / opaque, b.center_y - camera.Get_Height_Factor() * z, 0.5);
    }
}

// Frame 0 is the robot itself, pixel for pixel about its pivot, so every pose is the same projection with
// the same pivot; the frames keep the image rules each on its own and differ where the arm moves.
TEST(Asset_Baker, TheWavingRobotIsOneSheetOfPosesSharingTheRobotsProjectionAndPivot) {
    const Baked_Object b = Bake_Sheet(Make_Robot_Wave(), camera);
    const Baked_Object robot = Bake(Make_Robot(), camera);
    ASSERT_EQ((std::vector{b.frames, b.columns, b.diffuse.width % 2, b.diffuse.height % 2}), (std::vector{4, 2, 0, 0}));
    const int w = b.diffuse.width / 2, h = b.diffuse.height / 2;
    EXPECT_EQ(b.tall, robot.tall);
    long differing[4] = {};
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            int ri = i - int(b.center_x) + int(robot.center_x), rj = j - int(b.center_y) + int(robot.center_y);
            bool in_robot = ri >= 0 && rj >= 0 && ri < robot.diffuse.width && rj < robot.diffuse.height;
            for (auto [sheet, alone] : {std::pair{&b.diffuse, &robot.diffuse}, {&b.normal, &robot.normal},
                                        {&b.height, &robot.height}})
                ASSERT_EQ(Packed(sheet->Get(i, j)), in_robot ? Packed(alone->Get(ri, rj)) : Packed(sheet->Get(0, 0)))
                    << "frame 0 at " << i << ", " << j;
            for (int frame = 0; frame < 4; ++frame) {
                int x = frame % 2 * w + i, y = frame / 2 * h + j;
                ASSERT_TRUE(Keeps_The_Image_Rules(b, x - i, y - j, w, h, i, j)) << "frame " << frame << " at " << i << ", " << j;
                differing[frame] += Packed(b.diffuse.Get(x, y)) != Packed(b.diffuse.Get(i, j));
            }
        }
    for (int frame = 1; frame < 4; ++frame) EXPECT_GT(differing[frame], 500) << "frame " << frame;
}

// The crate baked at the village's size shows what the demonstration's crate shows at that point, shrunk about
// the pivot: coverage and height agree wherever the full picture is the same all around the point.
TEST(Asset_Baker, AModelBakedSmallerIsTheSamePictureShrunkAboutItsPivot) {
    const Baked_Object small = Bake(Make_Village_Crate(), camera), full = Bake(Make_Square(), camera);
    const double s = VILLAGE_CRATE_SCALE;
    EXPECT_NEAR(small.diffuse.width, full.diffuse.width * s, 2.0);
    EXPECT_NEAR(small.diffuse.height, full.diffuse.height * s, 2.0);
    EXPECT_NEAR(small.center_x, full.center_x * s, 1.5);
    EXPECT_NEAR(small.center_y, full.center_y * s, 1.5);
    EXPECT_NEAR(small.tall, full.tall * s, 0.01);
    long compared = 0;
    for (int j = 0; j < small.diffuse.height; ++j)
        for (int i = 0; i < small.diffuse.width; ++i) {
            int fi = int(std::floor((i + 0.5 - small.center_x) / s + full.center_x));
            int fj = int(std::floor((j + 0.5 - small.center_y) / s + full.center_y));
            if (fi < 3 || fj < 3 || fi >= full.diffuse.width - 3 || fj >= full.diffuse.height - 3) continue;
            Rgba d = full.diffuse.Get(fi, fj), e = full.height.Get(fi, fj);
            bool uniform = true;  // the full picture's coverage and height within 3 pixels
            for (int k = 0; k < 49; ++k) {
                Rgba dk = full.diffuse.Get(fi + k % 7 - 3, fj + k / 7 - 3), ek = full.height.Get(fi + k % 7 - 3, fj + k / 7 - 3);
                uniform = uniform && dk.a == d.a && std::abs(ek.r - e.r) <= 2;
            }
            if (!uniform) continue;
            ++compared;
            ASSERT_EQ(small.diffuse.Get(i, j).a, d.a) << i << ", " << j;
            ASSERT_NEAR(small.height.Get(i, j).r, e.r, 3) << i << ", " << j;
        }
    EXPECT_GT(compared, small.diffuse.width * small.diffuse.height / 3);
}

// The villager: a sheet of a standing frame and a four-step walk in one row, every frame keeping the image rules;
// each step differs from the stance and from the step before, the legs and arms being elsewhere.
TEST(Asset_Baker, TheWalkerStandsThenWalksInFourStepsOnOneSheet) {
    const Animated_Model walker = Make_Walker();
    const Baked_Object b = Bake_Sheet(walker, camera);
    ASSERT_EQ((std::vector{b.frames, b.columns, b.diffuse.width % 5}), (std::vector{5, 5, 0}));
    ASSERT_EQ(b.clips.size(), 1u);
    EXPECT_EQ((std::tuple{b.clips[0].name, b.clips[0].first, b.clips[0].count, b.clips[0].loop}),
              (std::tuple{std::string("walk"), 1, 4, true}));
    const int w = b.diffuse.width / 5, h = b.diffuse.height;
    long differing[5][5] = {};
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            for (int frame = 0; frame < 5; ++frame) {
                ASSERT_TRUE(Keeps_The_Image_Rules(b, frame * w, 0, w, h, i, j)) << "frame " << frame << " at " << i << ", " << j;
                for (int other = 0; other < 5; ++other)
                    differing[frame][other] += b.diffuse.Get(frame * w + i, j).a != b.diffuse.Get(other * w + i, j).a;
            }
    for (int step = 1; step < 5; ++step) {
        EXPECT_GT(differing[step][0], 150) << "step " << step << " against the stance";
        EXPECT_GT(differing[step][step % 4 + 1], 150) << "step " << step << " against the next";
    }
}

TEST(Asset_Baker, WritingAFolderDeletesStaleCachesAndWritesAStillObjectsSettings) {
    ASSERT_TRUE(Init_Image_Output());
    Kelvane_Test::Scratch_Dir scratch;  // the working directory, written as the folder
    for (const char* stale : {"normal_cooked.png", "shadow.png"}) Kelvane_Test::Write_File(stale, "x");
    const Baked_Object b = Bake(Make_Light(), camera);
    ASSERT_TRUE(Write_Object_Folder(".", b));
    for (const char* stale : {"normal_cooked.png", "shadow.png"}) EXPECT_FALSE(std::filesystem::exists(stale));
    auto get = [](const char* key) { return Kelvane::Config("settings.ini").Get_Float("General", key, -1); };
    EXPECT_EQ((std::vector<float>{get("Height"), get("Center_X"), get("Center_Y")}),
              (std::vector<float>{b.tall, b.center_x, b.center_y}));
    EXPECT_EQ(Kelvane::Config("settings.ini").Get_Sections(), std::vector<std::string>{"General"}) << "still";
}

TEST(Asset_Baker, ASheetsSettingsGiveTheEngineItsFramesAndClips) {
    ASSERT_TRUE(Init_Image_Output());
    Kelvane_Test::Scratch_Dir scratch;
    const Baked_Object b = Bake(Make_Light(), camera);
    Baked_Object sheet = b;
    sheet.frames = 3, sheet.columns = 1, sheet.clips = {{"blink", 1, 2, 7.5f, false}};
    for (Image* image : {&sheet.diffuse, &sheet.normal, &sheet.height}) *image = Image(image->width, 3 * image->height);
    ASSERT_TRUE(Write_Object_Folder(".", sheet));
    Kelvane::Config settings("settings.ini");
    Kelvane::Animation frames;
    std::vector<std::string> problems;
    frames.Read_Settings(settings, problems);
    frames.Fit_Sheet(sheet.diffuse.width, sheet.diffuse.height, problems);
    EXPECT_EQ(problems, std::vector<std::string>{});
    EXPECT_EQ((std::vector{frames.Get_Frames(), frames.Get_Frame_H()}), (std::vector{3, b.diffuse.height}));
    ASSERT_TRUE(frames.Play("blink"));
    frames.Advance(0.2);
    EXPECT_EQ((std::pair{frames.Get_Frame(), frames.Get_Clip()}), (std::pair{2, std::string("blink")}));
    frames.Advance(0.1);
    EXPECT_EQ((std::pair{frames.Get_Frame(), frames.Get_Clip()}), (std::pair{2, std::string()})) << "ran once";
}

TEST(Asset_Baker, TheMissingImageIsAMagentaAndBlackChecker) {
    Image missing = Make_Missing_Image();
    ASSERT_TRUE(missing.width == 64 && missing.height == 64);
    for (int k = 0; k < 64 * 64; ++k)  // 8 x 8 squares, magenta first
        ASSERT_EQ(Packed(missing.Get(k % 64, k / 64)), (k % 64 / 8 + k / 64 / 8) % 2 ? 0x000000FFu : 0xFF00FFFFu) << k;
}
