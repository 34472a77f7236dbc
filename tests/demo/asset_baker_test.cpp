// The asset baker (tools/asset_baker): tile interlock, the normal and height
// encodings against independent ray maths, pivots, and the folder writer.
#include <allegro5/allegro.h>
#include <allegro5/allegro_image.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "core/config.h"
#include "support/scratch_dir.h"
#include "tools/asset_baker/badges.h"
#include "tools/asset_baker/encoding.h"
#include "tools/asset_baker/models.h"
#include "tools/asset_baker/raster.h"
#include "tools/asset_baker/writer.h"
#include "world/camera.h"

using namespace Asset_Baker;

namespace {

const Baked_Object& Baked_Tiles() {
    static Kelvane::Camera camera;
    static const Baked_Object baked = Bake(Make_Tiles(camera), camera);
    return baked;
}

const Baked_Object& Baked_Sphere() {
    static Kelvane::Camera camera;
    static const Baked_Object baked = Bake(Make_Sphere(), camera);
    return baked;
}

bool Opaque(const Image& image, int x, int y) {
    return x >= 0 && y >= 0 && x < image.width && y < image.height && image.Get(x, y).a >= 254;
}

// Mean image position of the opaque pixels' centres.
void Alpha_Centroid(const Image& image, double& x, double& y) {
    double sx = 0, sy = 0;
    long count = 0;
    for (int j = 0; j < image.height; ++j)
        for (int i = 0; i < image.width; ++i)
            if (Opaque(image, i, j)) {
                sx += i + 0.5;
                sy += j + 0.5;
                ++count;
            }
    x = sx / count;
    y = sy / count;
}

}  // namespace

// ---- Floor tiles ------------------------------------------------------------

TEST(Asset_Baker, TileFrameAndSettings) {
    const Baked_Object& tiles = Baked_Tiles();
    EXPECT_EQ(tiles.tall, 1.0f);  // flat, but never 0
    // The pivot is the picture of the corner of greatest x and least y, the
    // topmost point: the footprint hangs below and to both sides of it.
    EXPECT_NEAR(tiles.diffuse.width, 1082, 3);
    EXPECT_NEAR(tiles.diffuse.height, 545, 3);
    EXPECT_FALSE(Opaque(tiles.diffuse, static_cast<int>(tiles.center_x), static_cast<int>(tiles.center_y) - 2));
    EXPECT_TRUE(Opaque(tiles.diffuse, static_cast<int>(tiles.center_x), static_cast<int>(tiles.center_y) + 2));
    // Flat: every height is 0.
    for (int j = 0; j < tiles.height.height; ++j) {
        for (int i = 0; i < tiles.height.width; ++i) {
            ASSERT_EQ(tiles.height.Get(i, j).r, 0);
        }
    }
}

// Draws a 2 x 2 block of tiles the way the renderer does at zoom 1 (image
// top-left at Proj_To_Screen(position) - view - pivot, nearest texel per
// screen pixel centre) for many sub-pixel view positions, and counts how many
// tiles cover each screen pixel.
TEST(Asset_Baker, TilesInterlockWithoutGaps) {
    Kelvane::Camera camera;
    const Baked_Object& tiles = Baked_Tiles();
    const double t = TILE_SIZE;
    const double pf = camera.Get_Projection_Factor();
    const double seam = 1.0 / pf + 0.2;  // one screen pixel up or down, in floor units
    for (int phase_x = 0; phase_x < 2; ++phase_x) {
        for (int phase_y = 0; phase_y < 8; ++phase_y) {
            double view_x = 0.5 * phase_x + 0.03;
            double view_y = phase_y / 8.0 + 0.01;
            double left[4], top[4];
            for (int k = 0; k < 4; ++k) {
                Vec2D s = camera.Proj_To_Screen(static_cast<float>(t * (k / 2)), static_cast<float>(t * (k % 2)), 0);
                left[k] = s.x - view_x - tiles.center_x;
                top[k] = s.y - view_y - tiles.center_y;
            }
            long gaps = 0, overlaps = 0, wide_overlaps = 0, misplaced = 0, interior = 0;
            for (int Y = -290; Y < 830; ++Y) {
                for (int X = -560; X < 1640; ++X) {
                    double cx = X + 0.5, cy = Y + 0.5;
                    Vec2D f = camera.Screen_To_Proj(static_cast<float>(cx + view_x), static_cast<float>(cy + view_y), 0);
                    // The union of the four footprints: x in [-t, t), y in [0, 2t).
                    bool inside = f.x > -t + 4 && f.x < t - 4 && f.y > 4 && f.y < 2 * t - 4;
                    bool outside = f.x < -t - 4 || f.x > t + 4 || f.y < -4 || f.y > 2 * t + 4;
                    int count = 0, owner = -1;
                    for (int k = 0; k < 4; ++k) {
                        if (Opaque(tiles.diffuse, static_cast<int>(std::floor(cx - left[k])),
                                   static_cast<int>(std::floor(cy - top[k])))) {
                            ++count;
                            owner = k;
                        }
                    }
                    if (outside) {
                        if (count) ++misplaced;
                        continue;
                    }
                    if (!inside) continue;
                    ++interior;
                    double to_edge = std::min(std::fabs(static_cast<double>(f.x)), std::fabs(f.y - t));
                    if (count == 0) ++gaps;
                    if (count > 1) ++overlaps;
                    if (count > 1 && to_edge > seam) ++wide_overlaps;
                    if (count == 1 && to_edge > seam) {
                        // Away from the seams a pixel belongs to the tile whose
                        // half-open footprint holds its floor point.
                        int a = f.x >= 0 ? 1 : 0;
                        int b = f.y >= t ? 1 : 0;
                        if (owner != a * 2 + b) ++misplaced;
                    }
                }
            }
            SCOPED_TRACE(testing::Message() << "view (" << view_x << ", " << view_y << ")");
            std::printf("view (%.2f, %.2f): %ld overlapping pixels\n", view_x, view_y, overlaps);
            EXPECT_GT(interior, 500000);
            EXPECT_EQ(gaps, 0);
            EXPECT_EQ(wide_overlaps, 0);
            EXPECT_EQ(misplaced, 0);
            // The seams are at most one pixel thick: each of the two seams of
            // the block spans 1080 screen columns.
            EXPECT_LE(overlaps, 2 * 1080 + 200);
        }
    }
}

// The paving runs on across tile borders: the colour and the normal just
// inside one edge continue just inside the opposite edge of the next tile.
TEST(Asset_Baker, TilePatternIsSeamlessAcrossBorders) {
    Kelvane::Camera camera;
    Model tiles = Make_Tiles(camera);
    const Material& stone = tiles.parts.at(0).material;
    const Vec3 up(0, 0, 1);
    int compared = 0;
    for (int k = 0; k < 400; ++k) {
        double along = 1.3 + k * 2.7;
        // Across the border x = 0 (between tiles i and i + 1) and y = 1080.
        for (int border = 0; border < 2; ++border) {
            Vec3 a = border == 0 ? Vec3(-0.04, along, 0) : Vec3(-along, TILE_SIZE - 0.04, 0);
            Vec3 b = border == 0 ? Vec3(0.04, along, 0) : Vec3(-along, TILE_SIZE + 0.04, 0);
            Vec3 ca = stone.albedo(Surface_Point{a, up});
            Vec3 cb = stone.albedo(Surface_Point{b, up});
            EXPECT_LT(Length(ca - cb), 0.03) << border << " at " << along;
            EXPECT_LT(std::fabs(stone.bump(a, up) - stone.bump(b, up)), 0.05) << border << " at " << along;
            ++compared;
        }
    }
    EXPECT_EQ(compared, 800);
}

// ---- Encodings ------------------------------------------------------------

TEST(Asset_Baker, NormalEncodingRoundTrips) {
    Rgba flat = Encode_Normal(Vec3(0, 0, 1));
    EXPECT_EQ(flat.r, 128);
    EXPECT_EQ(flat.g, 128);
    EXPECT_EQ(flat.b, 255);
    EXPECT_EQ(flat.a, 255);
    Rgba along_x = Encode_Normal(Vec3(1, 0, 0));
    EXPECT_EQ(along_x.r, 255);
    EXPECT_EQ(along_x.g, 128);
    EXPECT_EQ(along_x.b, 128);
    Rgba against_y = Encode_Normal(Vec3(0, -1, 0));
    EXPECT_EQ(against_y.r, 128);
    EXPECT_EQ(against_y.g, 0);
    for (int i = 0; i < 200; ++i) {
        Vec3 n = Normalize(Vec3(std::sin(i * 1.3), std::cos(i * 0.7), std::sin(i * 2.9 + 1)));
        EXPECT_GT(Dot(Decode_Normal(Encode_Normal(n)), n), 0.9998) << i;
    }
}

TEST(Asset_Baker, HeightEncoding) {
    Kelvane::Camera camera;
    float hf = camera.Get_Height_Factor();
    float tall = hf * 400.0f;
    EXPECT_EQ(Encode_Height(0.0, hf, tall), 0);
    EXPECT_EQ(Encode_Height(400.0, hf, tall), 255);
    EXPECT_EQ(Encode_Height(200.0, hf, tall), 128);
    EXPECT_EQ(Encode_Height(900.0, hf, tall), 255);  // kept within 0..255
    EXPECT_NEAR(Decode_Height(Encode_Height(123.0, hf, tall), hf, tall), 123.0, 400.0 / 510.0 + 1e-9);
}

// ---- The sphere against independent ray maths --------------------------------

TEST(Asset_Baker, SphereNormalsPointOutward) {
    Kelvane::Camera camera;
    const Baked_Object& sphere = Baked_Sphere();
    const double r = 180.0;
    auto pixel_at = [&](double x, double y, double z) {
        Vec2D s = camera.Proj_To_Screen(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
        return sphere.normal.Get(static_cast<int>(std::floor(s.x + sphere.center_x)),
                                 static_cast<int>(std::floor(s.y + sphere.center_y)));
    };
    // Top: straight up.
    Rgba top = pixel_at(0, 0, 2 * r - 0.5);
    EXPECT_NEAR(top.r, 128, 2);
    EXPECT_NEAR(top.g, 128, 2);
    EXPECT_NEAR(top.b, 255, 1);
    // The sides the viewer sees: toward -x (screen left and down) and +y (screen right and down).
    EXPECT_GT(Dot(Decode_Normal(pixel_at(-r + 1, 0, r)), Vec3(-1, 0, 0)), 0.98);
    EXPECT_GT(Dot(Decode_Normal(pixel_at(0, r - 1, r)), Vec3(0, 1, 0)), 0.98);
    Rgba side = pixel_at(-r + 1, 0, r);
    EXPECT_LT(side.r, 20);
    EXPECT_NEAR(side.b, 128, 20);
}

TEST(Asset_Baker, SphereHeightAndNormalAgreeWithTheRayHit) {
    Kelvane::Camera camera;
    const Baked_Object& sphere = Baked_Sphere();
    const float hf = camera.Get_Height_Factor();
    const Vec3 centre(0, 0, 180);
    const double r = 180.0;
    EXPECT_FLOAT_EQ(sphere.tall, ToFloat(ToString(hf * 360.0f)));
    long checked = 0;
    for (int j = 0; j < sphere.diffuse.height; ++j) {
        for (int i = 0; i < sphere.diffuse.width; ++i) {
            // The view ray through the pixel centre, from the camera alone.
            float sx = static_cast<float>(i + 0.5 - sphere.center_x);
            float sy = static_cast<float>(j + 0.5 - sphere.center_y);
            Vec2D at0 = camera.Screen_To_Proj(sx, sy, 0);
            Vec2D at1 = camera.Screen_To_Proj(sx, sy, 1000);
            Vec3 o(at0.x, at0.y, 0);
            Vec3 d((at1.x - at0.x) / 1000.0, (at1.y - at0.y) / 1000.0, 1.0);  // per unit of z
            // |o + z d - c|^2 = r^2: the greatest root is the hit nearest the viewer.
            Vec3 oc = o - centre;
            double a = Dot(d, d), b = 2 * Dot(oc, d), c = Dot(oc, oc) - r * r;
            double disc = b * b - 4 * a * c;
            bool hit = disc >= 0;
            double margin = hit ? std::sqrt(disc) / a : 0;  // chord length in z: skip grazing pixels
            if (hit && margin < 0.5) continue;
            ASSERT_EQ(Opaque(sphere.diffuse, i, j), hit) << i << ", " << j;
            if (!hit) continue;
            double z = (-b + std::sqrt(disc)) / (2 * a);
            double decoded = Decode_Height(sphere.height.Get(i, j).r, hf, sphere.tall);
            ASSERT_NEAR(decoded, z, 360.0 / 510.0 + 0.01) << i << ", " << j;
            // The decoded height puts the point back on the sphere, and the
            // normal there is the sphere's.
            Vec2D p = camera.Screen_To_Proj(sx, sy, static_cast<float>(decoded));
            Vec3 point(p.x, p.y, decoded);
            ASSERT_NEAR(Length(point - centre), r, 2.0) << i << ", " << j;
            Vec3 expected = Normalize(o + d * z - centre);
            ASSERT_GT(Dot(Decode_Normal(sphere.normal.Get(i, j)), expected), 0.999) << i << ", " << j;
            ++checked;
        }
    }
    EXPECT_GT(checked, 45000);
}

// ---- Pivots -------------------------------------------------------------

// A shape that is symmetric through a point pictures that point at the centre
// of its silhouette; the pivot must sit hf * height straight below it.
TEST(Asset_Baker, PropPivotIsThePictureOfTheFootprintCentre) {
    Kelvane::Camera camera;
    const double hf = camera.Get_Height_Factor();
    struct Case {
        Model model;
        double symmetric_z;  // height of the point of symmetry over the footprint centre
        bool vertical_too;
    };
    std::vector<Case> cases = {{Make_Sphere(), 180.0, true}, {Make_Square(), 200.0, true}, {Make_Pilar(), 0.0, false}};
    for (Case& c : cases) {
        SCOPED_TRACE(c.model.name);
        Baked_Object baked = Bake(c.model, camera);
        Vec2D origin = camera.Proj_To_Screen(0, 0, 0);
        EXPECT_EQ(origin.x, 0.0f);
        double x, y;
        Alpha_Centroid(baked.diffuse, x, y);
        EXPECT_NEAR(x, baked.center_x + origin.x, 0.5);
        if (c.vertical_too) {
            EXPECT_NEAR(y, baked.center_y + origin.y - hf * c.symmetric_z, 0.5);
        }
        // The footprint centre's floor point is hidden under the object: the
        // pixel at the pivot is opaque.
        EXPECT_TRUE(Opaque(baked.diffuse, static_cast<int>(baked.center_x), static_cast<int>(baked.center_y) - 1));
    }
}

TEST(Asset_Baker, EveryObjectHasBinaryAlphaAndMatchingImages) {
    Kelvane::Camera camera;
    std::vector<Model> models = {Make_Square(), Make_House(), Make_Robot(), Make_Pilar(), Make_Light()};
    for (const Model& model : models) {
        SCOPED_TRACE(model.name);
        Baked_Object baked = Bake(model, camera);
        ASSERT_EQ(baked.normal.width, baked.diffuse.width);
        ASSERT_EQ(baked.height.height, baked.diffuse.height);
        EXPECT_LE(baked.diffuse.width, 1200);
        EXPECT_LE(baked.diffuse.height, 1200);
        EXPECT_GT(baked.tall, 1.0f);
        int top_red = 0;
        for (int j = 0; j < baked.diffuse.height; ++j) {
            for (int i = 0; i < baked.diffuse.width; ++i) {
                Rgba d = baked.diffuse.Get(i, j);
                ASSERT_TRUE(d.a == 0 || d.a == 255);
                Rgba n = baked.normal.Get(i, j);
                ASSERT_EQ(n.a, d.a) << "the normal image has the object's outline";
                ASSERT_EQ(baked.height.Get(i, j).a, 255);
                if (d.a == 0) {
                    ASSERT_EQ(baked.height.Get(i, j).r, 0);
                    ASSERT_EQ(n.r + n.g + n.b, 0) << "outside the object the normal is black";
                } else {
                    ASSERT_GT(n.r + n.g + n.b, 0);
                }
                top_red = std::max<int>(top_red, baked.height.Get(i, j).r);
            }
        }
        EXPECT_GE(top_red, 245);  // Height is the object's full height
        // The frame leaves a transparent border all round.
        for (int i = 0; i < baked.diffuse.width; ++i) {
            ASSERT_EQ(baked.diffuse.Get(i, 0).a, 0);
            ASSERT_EQ(baked.diffuse.Get(i, baked.diffuse.height - 1).a, 0);
        }
    }
}

TEST(Asset_Baker, BakingIsDeterministic) {
    Kelvane::Camera camera;
    Baked_Object a = Bake(Make_Light(), camera);
    Baked_Object b = Bake(Make_Light(), camera);
    EXPECT_EQ(a.diffuse.data, b.diffuse.data);
    EXPECT_EQ(a.normal.data, b.normal.data);
    EXPECT_EQ(a.height.data, b.height.data);
}

// ---- Files ----------------------------------------------------------------

namespace {

Image Load_Png(const std::string& path) {
    Image image;
    ALLEGRO_BITMAP* bitmap = al_load_bitmap_flags(path.c_str(), ALLEGRO_NO_PREMULTIPLIED_ALPHA | ALLEGRO_MEMORY_BITMAP);
    if (!bitmap) return image;
    image = Image(al_get_bitmap_width(bitmap), al_get_bitmap_height(bitmap));
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            unsigned char r, g, b, a;
            al_unmap_rgba(al_get_pixel(bitmap, x, y), &r, &g, &b, &a);
            image.Set(x, y, Rgba{r, g, b, a});
        }
    }
    al_destroy_bitmap(bitmap);
    return image;
}

}  // namespace

TEST(Asset_Baker, WritingAFolderDeletesStaleCaches) {
    ASSERT_TRUE(Init_Image_Output());
    Kelvane_Test::Scratch_Dir scratch;
    std::string folder = scratch.Path() + "/assets/objects/light";
    std::filesystem::create_directories(folder);
    Kelvane_Test::Write_File(folder + "/normal_cooked.png", "stale");
    Kelvane_Test::Write_File(folder + "/shadow.png", "stale");
    Kelvane_Test::Write_File(folder + "/settings.ini", "[General]\nHeight=9\nOld=1\n");
    Kelvane::Camera camera;
    Baked_Object baked = Bake(Make_Light(), camera);
    ASSERT_TRUE(Write_Object_Folder(folder, baked));
    EXPECT_FALSE(std::filesystem::exists(folder + "/normal_cooked.png"));
    EXPECT_FALSE(std::filesystem::exists(folder + "/shadow.png"));
    // The PNG files hold exactly the baked bytes.
    EXPECT_EQ(Load_Png(folder + "/diffuse.png").data, baked.diffuse.data);
    EXPECT_EQ(Load_Png(folder + "/normal.png").data, baked.normal.data);
    EXPECT_EQ(Load_Png(folder + "/height.png").data, baked.height.data);
    Kelvane::Config settings(folder + "/settings.ini");
    EXPECT_EQ(settings.Get_Float("General", "Height", -1), baked.tall);
    EXPECT_EQ(settings.Get_Float("General", "Center_X", -1), baked.center_x);
    EXPECT_EQ(settings.Get_Float("General", "Center_Y", -1), baked.center_y);
    EXPECT_EQ(Kelvane_Test::Read_File(folder + "/settings.ini").find("Old"), std::string::npos);
}

TEST(Asset_Baker, MissingImageIsAMagentaBlackChecker) {
    Image missing = Make_Missing_Image();
    ASSERT_EQ(missing.width, 64);
    ASSERT_EQ(missing.height, 64);
    Rgba first = missing.Get(0, 0);
    Rgba next = missing.Get(8, 0);
    EXPECT_EQ(first.r, 255);
    EXPECT_EQ(first.g, 0);
    EXPECT_EQ(first.b, 255);
    EXPECT_EQ(next.r, 0);
    EXPECT_EQ(next.b, 0);
    EXPECT_EQ(missing.Get(8, 8).r, 255);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) ASSERT_EQ(missing.Get(x, y).a, 255);
}
