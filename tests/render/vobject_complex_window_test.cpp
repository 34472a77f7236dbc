// The complex object against real image files: folder set-up, caching, the
// cooked normal map and the shadow sprite, pixel by pixel.

#include "render/vobject_complex.h"

#include <allegro5/allegro.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/common.h"
#include "core/config.h"
#include "resources/bitmap_manager.h"
#include "support/scratch_dir.h"
#include "support/window.h"
#include "world/camera.h"
#include "world/light.h"

namespace {

using Kelvane_Test::Pixel;
using Rgba = std::array<int, 4>;
using Pixel_Rule = std::function<Pixel(int x, int y)>;

const Pixel OPAQUE_COLOUR{200, 100, 50, 255};
const Pixel FLAT_NORMAL{128, 128, 255, 255};
const Pixel CLEAR{0, 0, 0, 0};

Rgba Of(Pixel pixel) { return {pixel.r, pixel.g, pixel.b, pixel.a}; }

Pixel_Rule Fill(Pixel pixel) {
    return [pixel](int, int) { return pixel; };
}

std::string Folder(const std::string& name) { return "assets/objects/" + name + "/"; }

void Write_Image(const std::string& path, int w, int h, const Pixel_Rule& rule) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    int flags = al_get_new_bitmap_flags();
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    ALLEGRO_BITMAP* image = al_create_bitmap(w, h);
    al_set_new_bitmap_flags(flags);
    ALLEGRO_BITMAP* target = al_get_target_bitmap();
    al_set_target_bitmap(image);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            Pixel p = rule(x, y);
            al_put_pixel(x, y, al_map_rgba(p.r, p.g, p.b, p.a));
        }
    }
    al_set_target_bitmap(target);
    ASSERT_TRUE(al_save_bitmap(path.c_str(), image)) << path;
    al_destroy_bitmap(image);
}

// The three source images: opaque diffuse, flat normal, height red 200.
void Make_Folder(const std::string& name, int w, int h) {
    Write_Image(Folder(name) + "diffuse.png", w, h, Fill(OPAQUE_COLOUR));
    Write_Image(Folder(name) + "normal.png", w, h, Fill(FLAT_NORMAL));
    Write_Image(Folder(name) + "height.png", w, h, Fill(Pixel{200, 0, 0, 255}));
}

// All pixels of an image, read under one lock.
struct Image {
    int w = 0;
    int h = 0;
    std::vector<Pixel> pixels;

    Pixel At(int x, int y) const { return pixels[static_cast<size_t>(y * w + x)]; }
};

Image Snapshot(ALLEGRO_BITMAP* bitmap) {
    Image image;
    image.w = al_get_bitmap_width(bitmap);
    image.h = al_get_bitmap_height(bitmap);
    al_lock_bitmap(bitmap, ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READONLY);
    for (int y = 0; y < image.h; y++)
        for (int x = 0; x < image.w; x++) image.pixels.push_back(Kelvane_Test::Read_Pixel(bitmap, x, y));
    al_unlock_bitmap(bitmap);
    return image;
}

Image Snapshot_File(const std::string& path) {
    int flags = al_get_new_bitmap_flags();
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP | ALLEGRO_NO_PREMULTIPLIED_ALPHA);
    ALLEGRO_BITMAP* bitmap = al_load_bitmap(path.c_str());
    al_set_new_bitmap_flags(flags);
    if (!bitmap) return Image{};
    Image image = Snapshot(bitmap);
    al_destroy_bitmap(bitmap);
    return image;
}

// Rows of an image as text: '#' opaque, '.' transparent, '?' anything else.
std::string Mask(const Image& image, int first_row, int last_row) {
    std::string text;
    for (int y = first_row; y <= last_row; y++) {
        for (int x = 0; x < image.w; x++) {
            int alpha = image.At(x, y).a;
            text += alpha == 255 ? '#' : alpha == 0 ? '.' : '?';
        }
        text += '\n';
    }
    return text;
}

bool Is_Memory_Bitmap(ALLEGRO_BITMAP* bitmap) { return al_get_bitmap_flags(bitmap) & ALLEGRO_MEMORY_BITMAP; }

class Complex_Object_Test : public Kelvane_Test::Window_Test {
protected:
    Kelvane::VObject_Complex* Build(const std::string& name, bool shadow = true) {
        return new Kelvane::VObject_Complex(&store, &camera, name, 10.0f, 20.0f, 30.0f, 0.5f, shadow);
    }

    std::string Setting(const std::string& name, const std::string& key) {
        Kelvane::Config settings(Folder(name) + "settings.ini");
        return settings.Get_String("General", key, "absent");
    }

    Kelvane_Test::Scratch_Dir scratch;
    Kelvane::Bitmap_Manager store;
    Kelvane::Camera camera;
};

TEST_F(Complex_Object_Test, First_Object_Completes_The_Folder_And_Takes_Its_Fields) {
    Make_Folder("rock", 40, 30);
    Kelvane::VObject_Complex* rock = Build("rock");

    EXPECT_TRUE(Kelvane::File_Exists(Folder("rock") + "normal_cooked.png"));
    EXPECT_TRUE(Kelvane::File_Exists(Folder("rock") + "shadow.png"));
    EXPECT_EQ(Setting("rock", "Height"), "500");
    EXPECT_EQ(Setting("rock", "Center_X"), "100");
    EXPECT_EQ(Setting("rock", "Center_Y"), "100");

    EXPECT_EQ(rock->Get_Type(), Kelvane::VOBJECT_TYPE_COMPLEX);
    EXPECT_EQ(rock->Get_X(), 10.0f);
    EXPECT_EQ(rock->Get_Y(), 20.0f);
    EXPECT_EQ(rock->Get_Z(), 30.0f);
    EXPECT_EQ(rock->Get_Scale(), 0.5f);
    EXPECT_EQ(rock->Get_W(), 40.0f);
    EXPECT_EQ(rock->Get_H(), 30.0f);
    EXPECT_EQ(rock->Get_CX(), 100.0f);
    EXPECT_EQ(rock->Get_CY(), 100.0f);
    EXPECT_EQ(rock->Get_Tall(), 500.0f);
    EXPECT_TRUE(rock->Is_Visible());
    EXPECT_FALSE(rock->Is_Selected());
    EXPECT_FALSE(rock->Get_Hover());
    EXPECT_EQ(Of(Kelvane_Test::Read_Pixel(rock->Get_Actual_Bit(), 3, 3)), Of(OPAQUE_COLOUR));
    // The renderer binds both derived images as textures.
    ASSERT_NE(rock->Get_Actual_Bit_Normal(), nullptr);
    ASSERT_NE(rock->Get_Actual_Bit_Shadow(), nullptr);
    EXPECT_FALSE(Is_Memory_Bitmap(rock->Get_Actual_Bit_Normal()));
    EXPECT_FALSE(Is_Memory_Bitmap(rock->Get_Actual_Bit_Shadow()));
    EXPECT_EQ(al_get_bitmap_width(rock->Get_Actual_Bit_Shadow()), 40);
    EXPECT_EQ(al_get_bitmap_height(rock->Get_Actual_Bit_Shadow()), 30);
}

TEST_F(Complex_Object_Test, Objects_Of_One_Folder_Share_One_Cook) {
    Make_Folder("tile", 16, 16);
    Kelvane::VObject_Complex* first = Build("tile");
    for (int i = 1; i < 9; i++) {
        Kelvane::VObject_Complex* other = Build("tile");
        EXPECT_EQ(other->Get_Actual_Bit(), first->Get_Actual_Bit());
        EXPECT_EQ(other->Get_Actual_Bit_Normal(), first->Get_Actual_Bit_Normal());
        EXPECT_EQ(other->Get_Actual_Bit_Shadow(), first->Get_Actual_Bit_Shadow());
    }
}

TEST_F(Complex_Object_Test, A_Later_Run_Uses_The_Caches_As_They_Are_On_Disk) {
    Make_Folder("rock", 8, 8);
    Build("rock");
    // Stand-ins for hand-edited caches; the sources are gone, so only the caches can serve.
    Write_Image(Folder("rock") + "normal_cooked.png", 8, 8, [](int x, int y) {
        return x == 0 && y == 0 ? Pixel{10, 20, 30, 40} : Pixel{128, 128, 255, 200};
    });
    Write_Image(Folder("rock") + "shadow.png", 8, 8, Fill(Pixel{7, 1, 0, 255}));
    std::filesystem::remove(Folder("rock") + "normal.png");
    std::filesystem::remove(Folder("rock") + "height.png");

    Kelvane::Bitmap_Manager next_run;
    testing::internal::CaptureStdout();
    Kelvane::VObject_Complex rock(&next_run, &camera, "rock", 0.0f, 0.0f, 0.0f, 1.0f, true);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    // Raw channels: a translucent texel must not come back premultiplied.
    Image normal = Snapshot(rock.Get_Actual_Bit_Normal());
    EXPECT_EQ(Of(normal.At(0, 0)), (Rgba{10, 20, 30, 40}));
    EXPECT_EQ(Of(normal.At(5, 5)), (Rgba{128, 128, 255, 200}));
    EXPECT_EQ(Of(Snapshot(rock.Get_Actual_Bit_Shadow()).At(4, 4)), (Rgba{7, 1, 0, 255}));
}

TEST_F(Complex_Object_Test, Without_The_Shadow_Flag_Shadow_Png_Is_Neither_Read_Nor_Written) {
    Make_Folder("plain", 8, 8);
    Kelvane::VObject_Complex* plain = Build("plain", false);
    EXPECT_EQ(plain->Get_Actual_Bit_Shadow(), nullptr);
    EXPECT_FALSE(Kelvane::File_Exists(Folder("plain") + "shadow.png"));

    // An undecodable shadow.png would print a message if it were loaded.
    Kelvane_Test::Write_File(Folder("plain") + "shadow.png", "not an image");
    testing::internal::CaptureStdout();
    Kelvane::VObject_Complex* again = Build("plain", false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(again->Get_Actual_Bit_Shadow(), nullptr);
    EXPECT_EQ(Kelvane_Test::Read_File(Folder("plain") + "shadow.png"), "not an image");
}

TEST_F(Complex_Object_Test, Settings_Keep_Given_Values_And_Gain_Missing_Defaults) {
    Make_Folder("pillar", 8, 8);
    Kelvane_Test::Write_File(Folder("pillar") + "settings.ini", "[General]\nHeight=300\n");
    Kelvane::VObject_Complex* pillar = Build("pillar", false);
    EXPECT_EQ(pillar->Get_Tall(), 300.0f);
    EXPECT_EQ(pillar->Get_CX(), 100.0f);
    EXPECT_EQ(pillar->Get_CY(), 100.0f);
    EXPECT_EQ(Setting("pillar", "Height"), "300");
    EXPECT_EQ(Setting("pillar", "Center_X"), "100");
    EXPECT_EQ(Setting("pillar", "Center_Y"), "100");

    Make_Folder("lamp", 8, 8);
    Kelvane_Test::Write_File(Folder("lamp") + "settings.ini", "[General]\nCenter_X=12.5\nCenter_Y=7 px\n");
    Kelvane::VObject_Complex* lamp = Build("lamp", false);
    EXPECT_EQ(lamp->Get_Tall(), 500.0f);
    EXPECT_EQ(lamp->Get_CX(), 12.5f);
    EXPECT_EQ(lamp->Get_CY(), 7.0f);
    EXPECT_EQ(Setting("lamp", "Center_Y"), "7 px");
}

TEST_F(Complex_Object_Test, Missing_Source_Images_Give_The_Fallback_Image) {
    Write_Image("assets/missing.png", 6, 5, Fill(Pixel{255, 0, 255, 255}));
    testing::internal::CaptureStdout();
    Kelvane::VObject_Complex* ghost = Build("ghost");
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_NE(output.find("ghost/diffuse.png"), std::string::npos) << output;
    EXPECT_NE(output.find("ghost/normal.png"), std::string::npos) << output;
    EXPECT_NE(output.find("ghost/height.png"), std::string::npos) << output;

    EXPECT_EQ(ghost->Get_W(), 6.0f);
    EXPECT_EQ(ghost->Get_H(), 5.0f);
    ASSERT_NE(ghost->Get_Actual_Bit(), nullptr);
    ASSERT_NE(ghost->Get_Actual_Bit_Normal(), nullptr);
    ASSERT_NE(ghost->Get_Actual_Bit_Shadow(), nullptr);
    // The fallback's red stands in for the height.
    EXPECT_EQ(Of(Kelvane_Test::Read_Pixel(ghost->Get_Actual_Bit_Normal(), 2, 2)), (Rgba{255, 0, 255, 255}));
}

TEST_F(Complex_Object_Test, A_Cache_That_Cannot_Be_Written_Is_Cooked_Again_From_Reloaded_Sources) {
    Make_Folder("rock", 8, 8);
    // Dangling links into a folder that does not exist: the caches count as
    // absent and cannot be created, even for root.
    for (std::string cache : {"normal_cooked.png", "shadow.png"}) {
        std::filesystem::create_symlink("no_such_folder/" + cache, Folder("rock") + cache);
        ASSERT_FALSE(Kelvane::File_Exists(Folder("rock") + cache));
    }
    Kelvane::VObject_Complex* first = Build("rock");
    testing::internal::CaptureStdout();
    Kelvane::VObject_Complex* second = Build("rock");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    EXPECT_FALSE(Kelvane::File_Exists(Folder("rock") + "normal_cooked.png"));
    EXPECT_NE(second->Get_Actual_Bit_Normal(), first->Get_Actual_Bit_Normal());
    EXPECT_NE(second->Get_Actual_Bit_Shadow(), nullptr);
    for (Kelvane::VObject_Complex* rock : {first, second})
        EXPECT_EQ(Of(Kelvane_Test::Read_Pixel(rock->Get_Actual_Bit_Normal(), 4, 4)), (Rgba{128, 128, 255, 200}));
}

TEST_F(Complex_Object_Test, Cooking_Packs_Normal_Rgb_With_Height_Red_As_Alpha) {
    Make_Folder("mix", 5, 1);
    // Normal alpha and height green, blue and alpha play no part.
    const std::vector<Pixel> normals{{128, 128, 255, 255}, {10, 20, 30, 100}, {50, 60, 70, 255},
                                     {1, 2, 3, 0}, {90, 91, 92, 255}};
    const std::vector<Pixel> heights{{200, 9, 9, 255}, {77, 1, 2, 255}, {0, 255, 255, 255},
                                     {90, 0, 0, 128}, {33, 0, 0, 0}};
    Write_Image(Folder("mix") + "normal.png", 5, 1, [&](int x, int) { return normals[x]; });
    Write_Image(Folder("mix") + "height.png", 5, 1, [&](int x, int) { return heights[x]; });
    Image cooked = Snapshot(Build("mix", false)->Get_Actual_Bit_Normal());
    EXPECT_EQ(Of(cooked.At(0, 0)), (Rgba{128, 128, 255, 200}));
    EXPECT_EQ(Of(cooked.At(1, 0)), (Rgba{10, 20, 30, 77}));
    EXPECT_EQ(Of(cooked.At(2, 0)), (Rgba{50, 60, 70, 0}));
    EXPECT_EQ(Of(cooked.At(3, 0)), (Rgba{1, 2, 3, 90}));
    EXPECT_EQ(Of(cooked.At(4, 0)), (Rgba{90, 91, 92, 33}));
    // The saved cache holds the same bytes.
    Image saved = Snapshot_File(Folder("mix") + "normal_cooked.png");
    ASSERT_EQ(saved.w, 5);
    for (int x = 0; x < 5; x++) EXPECT_EQ(Of(saved.At(x, 0)), Of(cooked.At(x, 0))) << "x " << x;
}

TEST_F(Complex_Object_Test, Cooked_Map_Takes_The_Diffuse_Size_Whatever_The_Sources) {
    Pixel_Rule numbered = [](int x, int y) { return Pixel{x, y, 7, 255}; };
    Make_Folder("small_normal", 6, 4);
    Write_Image(Folder("small_normal") + "normal.png", 3, 2, numbered);
    Image small = Snapshot(Build("small_normal", false)->Get_Actual_Bit_Normal());
    ASSERT_EQ(small.w, 6);
    ASSERT_EQ(small.h, 4);
    EXPECT_EQ(Of(small.At(2, 1)), (Rgba{2, 1, 7, 200}));
    EXPECT_EQ(Of(small.At(3, 1)), Of(CLEAR));
    EXPECT_EQ(Of(small.At(2, 2)), Of(CLEAR));
    EXPECT_EQ(Of(small.At(5, 3)), Of(CLEAR));

    Make_Folder("large_normal", 6, 4);
    Write_Image(Folder("large_normal") + "normal.png", 9, 9, numbered);
    Write_Image(Folder("large_normal") + "height.png", 9, 9, Fill(Pixel{5, 0, 0, 255}));
    Image large = Snapshot(Build("large_normal", false)->Get_Actual_Bit_Normal());
    ASSERT_EQ(large.w, 6);
    ASSERT_EQ(large.h, 4);
    EXPECT_EQ(Of(large.At(5, 3)), (Rgba{5, 3, 7, 5}));

    // Height missing where the normal has pixels reads as height 0.
    Make_Folder("short_height", 6, 4);
    Write_Image(Folder("short_height") + "height.png", 3, 4, Fill(Pixel{120, 0, 0, 255}));
    Image short_height = Snapshot(Build("short_height", false)->Get_Actual_Bit_Normal());
    EXPECT_EQ(Of(short_height.At(2, 3)), (Rgba{128, 128, 255, 120}));
    EXPECT_EQ(Of(short_height.At(3, 3)), (Rgba{128, 128, 255, 0}));
}

TEST_F(Complex_Object_Test, Cooking_Leaves_The_Default_Bitmap_Flags) {
    Make_Folder("rock", 8, 8);
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP | ALLEGRO_MIN_LINEAR);
    Kelvane::VObject_Complex* rock = Build("rock");
    EXPECT_EQ(al_get_new_bitmap_flags(), 0);
    EXPECT_FALSE(Is_Memory_Bitmap(rock->Get_Actual_Bit_Normal()));
    EXPECT_FALSE(Is_Memory_Bitmap(rock->Get_Actual_Bit_Shadow()));
}

TEST_F(Complex_Object_Test, Update_Carries_An_Attached_Light_And_Marks_Toggle) {
    Make_Folder("lamp", 4, 4);
    Kelvane::VObject_Complex* lamp = Build("lamp", false);
    Kelvane::Light light(0.0f, 0.0f, 0.0f, 300.0f, 1.0f, 1.0f, 1.0f, 0);
    lamp->Update(1.0f);  // nothing attached: nothing to move

    lamp->Attach_Light(&light);
    lamp->Set_X(1.0f);
    lamp->Set_Y(-2.0f);
    lamp->Set_Z(3.5f);
    lamp->Update(1.0f);
    EXPECT_EQ(light.Get_X(), 1.0f);
    EXPECT_EQ(light.Get_Y(), -2.0f);
    EXPECT_EQ(light.Get_Z(), 3.5f);

    lamp->Attach_Light(nullptr);
    lamp->Set_X(99.0f);
    lamp->Update(1.0f);
    EXPECT_EQ(light.Get_X(), 1.0f);

    lamp->Deselect();
    EXPECT_FALSE(lamp->Is_Selected());
    lamp->Select_Toggle();
    EXPECT_TRUE(lamp->Is_Selected());
    lamp->Select_Toggle();
    EXPECT_FALSE(lamp->Is_Selected());
    lamp->Select_Toggle();
    lamp->Deselect();
    EXPECT_FALSE(lamp->Is_Selected());
}

// Shadow sprites of folders made for the case: diffuse alpha and height byte
// per pixel, flat normals, and the given object height.
class Shadow_Sprite_Test : public Complex_Object_Test {
protected:
    Image Cast(const std::string& name, int w, int h, const std::function<int(int, int)>& alpha,
               const std::function<int(int, int)>& height_byte, float tall) {
        Write_Image(Folder(name) + "diffuse.png", w, h, [&](int x, int y) { return Pixel{9, 9, 9, alpha(x, y)}; });
        Write_Image(Folder(name) + "normal.png", w, h, Fill(FLAT_NORMAL));
        Write_Image(Folder(name) + "height.png", w, h,
                    [&](int x, int y) { return Pixel{height_byte(x, y), 0, 0, 255}; });
        Kelvane_Test::Write_File(Folder(name) + "settings.ini", "[General]\nHeight=" + ToString(tall) + "\n");
        ALLEGRO_BITMAP* shadow = Build(name)->Get_Actual_Bit_Shadow();
        return shadow ? Snapshot(shadow) : Image{};
    }
};

std::function<int(int, int)> Block(int left, int top, int right, int bottom, int alpha = 255) {
    return [=](int x, int y) { return x >= left && x <= right && y >= top && y <= bottom ? alpha : 0; };
}

std::function<int(int, int)> Constant(int value) {
    return [value](int, int) { return value; };
}

std::string Empty_Rows(int w, int rows) {
    std::string text;
    for (int y = 0; y < rows; y++) text += std::string(static_cast<size_t>(w), '.') + "\n";
    return text;
}

// The mask of a sprite with nothing but its four filled corners.
std::string Corners_Only(int w, int h) {
    std::string edge = "#" + std::string(static_cast<size_t>(w - 2), '.') + "#\n";
    return edge + Empty_Rows(w, h - 2) + edge;
}

const char* GROWN_BLOCK_11 =
    "#.........#\n"
    "...........\n"
    "...........\n"
    "....###....\n"
    "...#####...\n"
    "...#####...\n"
    "...#####...\n"
    "....###....\n"
    "...........\n"
    "...........\n"
    "#.........#\n";

TEST_F(Shadow_Sprite_Test, Clean_Up_Removes_Strays_And_Fills_Corners) {
    Image empty = Cast("empty", 9, 9, Constant(0), Constant(0), 500);
    EXPECT_EQ(Mask(empty, 0, 8), Corners_Only(9, 9));
    const std::pair<int, int> corners[] = {{0, 0}, {8, 0}, {0, 8}, {8, 8}};
    for (auto [x, y] : corners) EXPECT_EQ(Of(empty.At(x, y)), (Rgba{0, 0, 0, 255}));

    // The lone pixel's five-pixel cross goes piece by piece.
    EXPECT_EQ(Mask(Cast("lone", 9, 9, Block(4, 4, 4, 4), Constant(0), 500), 0, 8), Corners_Only(9, 9));

    // Column by column, top to bottom, each decision seeing the earlier ones:
    // a three-pixel line keeps a lopsided shape.
    EXPECT_EQ(Mask(Cast("line", 9, 9, Block(3, 4, 5, 4), Constant(0), 500), 0, 8),
              "#.......#\n"
              ".........\n"
              ".........\n"
              "....##...\n"
              "...###...\n"
              "....##...\n"
              ".........\n"
              ".........\n"
              "#.......#\n");

    // The block, grown by the crosses to 5 x 5, loses that square's corners.
    Image block = Cast("block", 11, 11, Block(4, 4, 6, 6), Constant(0), 500);
    EXPECT_EQ(Mask(block, 0, 10), GROWN_BLOCK_11);
    EXPECT_EQ(Of(block.At(5, 5)), (Rgba{0, 0, 0, 255}));  // height 0 stays in place

    // Only a 1 x 1 image has a hole without neighbours: no footprint at all.
    EXPECT_EQ(Of(Cast("dot", 1, 1, Constant(0), Constant(0), 500).At(0, 0)), Of(CLEAR));
    EXPECT_EQ(Of(Cast("speck", 1, 1, Constant(255), Constant(0), 500).At(0, 0)), Of(CLEAR));
}

TEST_F(Shadow_Sprite_Test, A_Stale_Cached_Map_Smaller_Than_The_Image_Gives_Height_Zero_Beyond_It) {
    // Caches are never refreshed: this one, 2 x 2 of the tallest height, predates an 11 x 11 diffuse image.
    Write_Image(Folder("grown") + "normal_cooked.png", 2, 2, Fill(Pixel{128, 128, 255, 255}));
    Image shadow = Cast("grown", 11, 11, Block(4, 4, 6, 6), Constant(255), 500);
    EXPECT_EQ(Mask(shadow, 0, 10), GROWN_BLOCK_11);
    EXPECT_EQ(Of(shadow.At(5, 5)), (Rgba{0, 0, 0, 255}));
}

TEST_F(Shadow_Sprite_Test, Only_Nearly_Opaque_Pixels_Cast) {
    EXPECT_EQ(Mask(Cast("faint", 11, 11, Block(4, 4, 6, 6, 253), Constant(0), 500), 0, 10), Corners_Only(11, 11));
    EXPECT_EQ(Mask(Cast("solid", 11, 11, Block(4, 4, 6, 6, 254), Constant(0), 500), 0, 10), GROWN_BLOCK_11);
}

TEST_F(Shadow_Sprite_Test, Heights_Are_Stored_In_Base_255_Where_Each_Pixel_Meets_The_Floor) {
    // Height byte 255 of a 500 tall object: z = 500 / 0.61138, just under 818.
    Image tall = Cast("tall", 11, 520, Block(4, 2, 6, 4), Constant(255), 500);
    EXPECT_EQ(Mask(tall, 500, 506),
              "...........\n"
              "....###....\n"
              "...#####...\n"
              "...#####...\n"
              "...#####...\n"
              "....###....\n"
              "...........\n");
    EXPECT_EQ(Of(tall.At(5, 503)), (Rgba{52, 3, 0, 255}));
    EXPECT_EQ(Mask(tall, 1, 499), Empty_Rows(11, 499));
}

TEST_F(Shadow_Sprite_Test, The_Taller_Point_Keeps_A_Shared_Spot) {
    // With Height 255 a pixel drops by its height byte: rows 10-12 (byte 40)
    // and rows 30-32 (byte 20) both land on rows 50-52.
    auto two_blocks = [](int x, int y) { return Block(4, 10, 6, 12)(x, y) | Block(4, 30, 6, 32)(x, y); };
    Image shared = Cast("shared", 11, 60, two_blocks, [](int, int y) { return y < 20 ? 40 : 20; }, 255);
    EXPECT_EQ(Mask(shared, 48, 54),
              "...........\n"
              "....###....\n"
              "...#####...\n"
              "...#####...\n"
              "...#####...\n"
              "....###....\n"
              "...........\n");
    for (int y = 49; y <= 53; y++) EXPECT_EQ(Of(shared.At(5, y)), (Rgba{65, 0, 0, 255})) << "row " << y;
}

TEST_F(Shadow_Sprite_Test, A_Hole_Among_Opaque_Pixels_Takes_Their_Height) {
    // A 7 x 7 ring around the centre and its four neighbours: no cross covers
    // the centre, so only the clean-up can fill it. Height 51 drops it 51 rows.
    auto ring = [](int x, int y) {
        int dx = std::abs(x - 6), dy = std::abs(y - 6);
        return std::max(dx, dy) <= 3 && dx + dy > 1 ? 255 : 0;
    };
    Image ring_shadow = Cast("ring", 13, 70, ring, Constant(255), 51);
    EXPECT_EQ(Of(ring_shadow.At(6, 57)), (Rgba{83, 0, 0, 255}));
    EXPECT_EQ(Mask(ring_shadow, 53, 62),
              "...#######...\n"
              "..#########..\n"
              "..#########..\n"
              "..#########..\n"
              "..#########..\n"
              "..#########..\n"
              "..#########..\n"
              "..#########..\n"
              "...#######...\n"
              ".............\n");
}

TEST_F(Shadow_Sprite_Test, Heights_Beyond_The_Encoding_Give_No_Shadow) {
    // 40000 gives z about 65426: hi would be 256. 50000 gives z beyond 65536.
    for (float height : {40000.0f, 50000.0f}) {
        std::string name = "giant" + ToString(height);
        testing::internal::CaptureStdout();
        Image shadow = Cast(name, 3, 3, Constant(255), Constant(255), height);
        std::string output = testing::internal::GetCapturedStdout();
        EXPECT_EQ(shadow.w, 0) << height;
        EXPECT_NE(output.find(Folder(name)), std::string::npos) << output;
        EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
        EXPECT_FALSE(Kelvane::File_Exists(Folder(name) + "shadow.png"));
    }
    // 39900 gives z about 65262 (hi 255): still encodable; it lands far below the image.
    testing::internal::CaptureStdout();
    Image fits = Cast("fits", 3, 3, Constant(255), Constant(255), 39900);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(fits.w, 3);
}

}  // namespace
