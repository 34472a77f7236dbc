// The complex object against real image files: folder set-up, caches, the cooked normal map and the shadow sprite.

#include "render/vobject_complex.h"

#include <allegro5/allegro.h>
#include <gtest/gtest.h>
#include <sys/wait.h>  // Required for: waitpid(), to have the id of a process that ended
#include <unistd.h>    // Required for: fork(), getpid(), getppid()

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "core/common.h"
#include "game/game.h"  // Required for: DEFAULT_FPS, the tick rate the objects are left with
#include "render/scene_builder.h"
#include "resources/bitmap.h"
#include "resources/bitmap_manager.h"
#include "support/scratch_dir.h"
#include "support/window.h"
#include "world/camera.h"
#include "world/light.h"

namespace {

using Kelvane_Test::Write_Image;
using Rgba = std::array<int, 4>;
using Byte_Rule = std::function<int(int x, int y)>;
using Image = std::vector<std::vector<Rgba>>;  // pixels by row

const Rgba CLEAR{0, 0, 0, 0}, SHADOW_AT_FLOOR{0, 0, 0, 255};
const Rgba COOKED{128, 128, 255, 200};  // Make_Folder's flat normal and height 200

Byte_Rule Constant(int value) { return [value](int, int) { return value; }; }
Byte_Rule Block(int left, int top, int right, int bottom, int alpha = 255) {  // inclusive bounds
    return [=](int x, int y) { return x >= left && x <= right && y >= top && y <= bottom ? alpha : 0; };
}
std::string Folder(const std::string& name) { return "assets/objects/" + name + "/"; }
const std::array<std::string, 4> SOURCES{"diffuse.png", "normal.png", "height.png", "settings.ini"};
const std::array<std::string, 2> CACHES{"normal_cooked.png", "shadow.png"};
const std::string FULL_SETTINGS = "Height=500\nCenter_X=100\nCenter_Y=100";
const std::string RECORD = "cache_sources.ini";
const std::string STALE = "Object assets/objects/rock/: caches older than their sources; cooking them again.\n";

// Flat normals, diffuse alpha and height red per pixel, and settings.ini lines if any.
void Make_Folder(const std::string& name, int w, int h, const Byte_Rule& alpha = Constant(255),
                 const Byte_Rule& height = Constant(200), const std::string& settings = "") {
    Write_Image(Folder(name) + "diffuse.png", w, h,
                [&](int x, int y) { return al_map_rgba(200, 100, 50, alpha(x, y)); });
    Write_Image(Folder(name) + "normal.png", w, h, [](int, int) { return al_map_rgba(128, 128, 255, 255); });
    Write_Image(Folder(name) + "height.png", w, h, [&](int x, int y) { return al_map_rgba(height(x, y), 0, 0, 255); });
    if (!settings.empty()) Kelvane_Test::Write_File(Folder(name) + "settings.ini", "[General]\n" + settings + "\n");
}

Rgba Of(Kelvane_Test::Pixel p) { return {p.r, p.g, p.b, p.a}; }

std::array<ALLEGRO_BITMAP*, 3> Images(Kelvane::VObject_Complex* o) {
    return {o->Get_Actual_Bit(), o->Get_Actual_Bit_Normal(), o->Get_Actual_Bit_Shadow()};
}

bool Is_Texture(ALLEGRO_BITMAP* bitmap) { return bitmap && !(al_get_bitmap_flags(bitmap) & ALLEGRO_MEMORY_BITMAP); }

Image Snapshot(ALLEGRO_BITMAP* bitmap) {
    Image rows(static_cast<size_t>(al_get_bitmap_height(bitmap)));
    al_lock_bitmap(bitmap, ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READONLY);  // one lock, not one per pixel
    for (size_t y = 0; y < rows.size(); y++)
        for (int x = 0; x < al_get_bitmap_width(bitmap); x++)
            rows[y].push_back(Of(Kelvane_Test::Read_Pixel(bitmap, x, static_cast<int>(y))));
    al_unlock_bitmap(bitmap);
    return rows;
}

// Rows of an image as text: '#' opaque, '.' transparent, '?' anything else.
std::string Mask(const Image& image, int first_row, int last_row) {
    std::string text;
    for (int y = first_row; y <= last_row; y++, text += '\n')
        for (Rgba p : image[static_cast<size_t>(y)]) text += p[3] == 255 ? '#' : p[3] ? '?' : '.';
    return text;
}

// Frame 0 touches its right border and frame 1 has nothing at its left one, so a cast spilling over from
// frame 0 shows; frame 2 is empty, so it gets the corners an empty image gets, which only a frame cleaned up
// on its own has.
Byte_Rule Flag_Frames(int frame_w) {
    return [frame_w](int x, int y) {
        int frame = x / frame_w, column = x % frame_w;
        return frame == 0 ? Block(10, 4, 15, 11)(column, y) : frame == 1 ? Block(4, 2, 9, 13)(column, y) : 0;
    };
}
const std::string FLAP = "\n[Clip flap]\nFirst=0\nCount=3\nFrame_Rate=10\nLoop=1";

class Complex_Object_Test : public Kelvane_Test::Window_Test {
protected:
    void SetUp() override {
        Window_Test::SetUp();
        std::filesystem::create_directories("assets");
        std::filesystem::copy_file(scratch.Previous() + "/" + Kelvane::DEFAULT_MISSING_BITMAP,
                                   Kelvane::DEFAULT_MISSING_BITMAP);
    }
    Kelvane::VObject_Complex* Build(const std::string& name, bool shadow = true) {
        built.push_back(
            std::make_unique<Kelvane::VObject_Complex>(&store, &camera, name, 10.0f, 20.0f, 30.0f, 0.5f, shadow));
        return built.back().get();
    }
    // Another run of the program building one object of the folder: what it printed, its normal map and shadow.
    std::tuple<std::string, Image, Image> Start_Again(const std::string& name) {
        Kelvane::Bitmap_Manager next_run;
        testing::internal::CaptureStdout();
        Kelvane::VObject_Complex object(&next_run, &camera, name, 0.0f, 0.0f, 0.0f, 1.0f, true);
        std::string said = testing::internal::GetCapturedStdout();
        return {said, Snapshot(object.Get_Actual_Bit_Normal()), Snapshot(object.Get_Actual_Bit_Shadow())};
    }
    // Another run of the program building nine objects of the folder: what it printed. They must share their images.
    std::string Nine_In_Another_Run(const std::string& name) {
        Kelvane::Bitmap_Manager next_run;
        std::vector<std::unique_ptr<Kelvane::VObject_Complex>> tiles;
        std::string said = Kelvane_Test::Printed([&] {
            for (int i = 0; i < 9; i++)
                tiles.push_back(std::make_unique<Kelvane::VObject_Complex>(&next_run, &camera, name, 0.0f, 0.0f, 0.0f,
                                                                           1.0f, true));
        });
        for (const auto& tile : tiles) EXPECT_EQ(Images(tile.get()), Images(tiles[0].get()));
        return said;
    }
    // A sheet of three 16 x 16 frames with a looping clip.
    Kelvane::VObject_Complex* Flag() {
        Make_Folder("flag", 48, 16, Flag_Frames(16), Constant(0), "Frames=3" + FLAP);
        return Build("flag");
    }
    Image Cast(const std::string& name, int w, int h, const Byte_Rule& alpha, const Byte_Rule& height, float tall) {
        Make_Folder(name, w, h, alpha, height, "Height=" + ToString(tall));
        ALLEGRO_BITMAP* shadow = Build(name)->Get_Actual_Bit_Shadow();
        return shadow ? Snapshot(shadow) : Image{};
    }

    Kelvane_Test::Scratch_Dir scratch;
    Kelvane::Bitmap_Manager store;
    Kelvane::Camera camera;
    std::vector<std::unique_ptr<Kelvane::VObject_Complex>> built;  // gone before the store
};

TEST_F(Complex_Object_Test, The_First_Object_Completes_The_Folders_Settings_And_Caches_Its_Images_As_Textures) {
    Make_Folder("rock", 40, 30);
    const int caller_flags = ALLEGRO_MEMORY_BITMAP | ALLEGRO_MIN_LINEAR;
    al_set_new_bitmap_flags(caller_flags);
    Kelvane::VObject_Complex* rock = Build("rock");
    EXPECT_EQ(al_get_new_bitmap_flags(), caller_flags) << "the caller's flags come back";
    al_set_new_bitmap_flags(0);
    EXPECT_EQ(Kelvane_Test::Read_File(Folder("rock") + "settings.ini"), "[General]\n" + FULL_SETTINGS + "\n");
    for (const std::string& cache : CACHES) EXPECT_TRUE(Kelvane::File_Exists(Folder("rock") + cache));
    EXPECT_TRUE(Is_Texture(rock->Get_Actual_Bit_Normal()) && Is_Texture(rock->Get_Actual_Bit_Shadow()));
}

TEST_F(Complex_Object_Test, An_Object_Without_A_Shadow_Neither_Writes_Nor_Reads_Shadow_Png) {
    Make_Folder("pillar", 8, 8, Constant(255), Constant(200), "Height=300");
    EXPECT_EQ(Build("pillar", false)->Get_Actual_Bit_Shadow(), nullptr);
    EXPECT_EQ(Kelvane_Test::Read_File(Folder("pillar") + "settings.ini"),
              "[General]\nHeight=300\nCenter_X=100\nCenter_Y=100\n");
    EXPECT_FALSE(Kelvane::File_Exists(Folder("pillar") + "shadow.png"));
    Kelvane_Test::Write_File(Folder("pillar") + "shadow.png", "not an image");
    EXPECT_EQ(Kelvane_Test::Printed([&] { EXPECT_EQ(Build("pillar", false)->Get_Actual_Bit_Shadow(), nullptr); }), "");
    EXPECT_EQ(Kelvane_Test::Read_File(Folder("pillar") + "shadow.png"), "not an image");
}

// Translucent sources catch premultiplying; normal alpha and height g, b, a play no part.
TEST_F(Complex_Object_Test, The_Cooked_Map_Is_The_Normal_Images_Colour_With_The_Height_Red_As_Alpha) {
    Make_Folder("mix", 3, 2);
    Write_Image(Folder("mix") + "normal.png", 3, 2,
                [](int x, int y) { return al_map_rgba(10 + x, 20 + y, 30, x * 100); });
    Write_Image(Folder("mix") + "height.png", 3, 2, [](int x, int y) { return al_map_rgba(120 + x, 9, 9, y * 128); });
    EXPECT_EQ(Snapshot(Build("mix", false)->Get_Actual_Bit_Normal()),
              (Image{{Rgba{10, 20, 30, 120}, {11, 20, 30, 121}, {12, 20, 30, 122}},
                     {Rgba{10, 21, 30, 120}, {11, 21, 30, 121}, {12, 21, 30, 122}}}));
}

TEST_F(Complex_Object_Test, An_Attached_Light_Is_Carried_At_Its_Lift_Above_The_Object_And_Left_Where_Detached) {
    Make_Folder("rock", 8, 8);
    Kelvane::VObject_Complex* rock = Build("rock");
    Kelvane::Light light(0.0f, 0.0f, 0.0f, 300.0f, 1.0f, 1.0f, 1.0f, 0);
    rock->Attach_Light(&light), rock->Update(1.0f);
    rock->Attach_Light(nullptr), rock->Set_X(99.0f), rock->Update(1.0f);
    EXPECT_EQ((std::array{light.Get_X(), light.Get_Y(), light.Get_Z()}), (std::array{10.0f, 20.0f, 30.0f}));
    rock->Attach_Light(&light, 25.0f), rock->Update(1.0f);
    EXPECT_EQ((std::array{light.Get_X(), light.Get_Y(), light.Get_Z()}), (std::array{99.0f, 20.0f, 55.0f}));
}

// 9-wide masks: a 3 x 3 block's five-pixel crosses grow it to 5 x 5 without that square's corners.
std::string Gap(int rows) { return rows ? ".........\n" + Gap(rows - 1) : ""; }
std::string Framed(const std::string& middle) { return "#.......#\n" + middle + "#.......#\n"; }
const std::string DIAMOND = "...###...\n..#####..\n..#####..\n..#####..\n...###...\n";

TEST_F(Complex_Object_Test, The_Shadow_Sprite_Is_Cleaned_Up_Of_Specks_And_Holes_And_Marks_Its_Corners) {
    Image empty = Cast("empty", 9, 9, Constant(0), Constant(0), 500);
    EXPECT_EQ(Mask(empty, 0, 8), Framed(Gap(7)));
    for (auto [x, y] : {std::array{0, 0}, {8, 0}, {0, 8}, {8, 8}}) EXPECT_EQ(empty[y][x], SHADOW_AT_FLOOR);
    EXPECT_EQ(Mask(Cast("lone", 9, 9, Block(4, 4, 4, 4), Constant(0), 500), 0, 8), Framed(Gap(7)));
    EXPECT_EQ(Mask(Cast("faint", 9, 9, Block(3, 3, 5, 5, 253), Constant(0), 500), 0, 8), Framed(Gap(7)));
    Image block = Cast("block", 9, 9, Block(3, 3, 5, 5, 254), Constant(0), 500);  // 253 is too faint to cast
    EXPECT_EQ(Mask(block, 0, 8), Framed(Gap(1) + DIAMOND + Gap(1)));
    EXPECT_EQ(block[4][4], SHADOW_AT_FLOOR);
    EXPECT_EQ(Cast("dot", 1, 1, Constant(0), Constant(0), 500)[0][0], CLEAR);  // a hole with no neighbour
}

TEST_F(Complex_Object_Test, The_Shadow_Sprite_Holds_Heights_In_Base_255_Where_Pixels_Meet_The_Floor) {
    // No cross covers the centre of this ring, so only the clean-up fills it; 51 tall drops it 51 rows.
    Byte_Rule ring = [](int x, int y) {
        return Block(3, 3, 9, 9)(x, y) && std::abs(x - 6) + std::abs(y - 6) > 1 ? 255 : 0;
    };
    EXPECT_EQ(Cast("ring", 13, 70, ring, Constant(255), 51)[57][6], (Rgba{83, 0, 0, 255}));
    // Height byte 255 of a 500 tall object: z = 500 / 0.61138, just under 818 = 3 * 255 + 52.
    Image tall = Cast("tall", 9, 520, Block(3, 2, 5, 4), Constant(255), 500);
    EXPECT_EQ(Mask(tall, 1, 505), Gap(500) + DIAMOND);
    EXPECT_EQ(tall[503][4], (Rgba{52, 3, 0, 255}));
    // Height 255 drops a pixel by its height byte: rows 10-12 (40) and 30-32 (20) meet on 50-52; the taller wins.
    Byte_Rule two_blocks = [](int x, int y) { return Block(3, 10, 5, 12)(x, y) | Block(3, 30, 5, 32)(x, y); };
    Image shared = Cast(
        "shared", 9, 60, two_blocks, [](int, int y) { return y < 20 ? 40 : 20; }, 255);
    for (int y = 49; y <= 53; y++) EXPECT_EQ(shared[y][4], (Rgba{65, 0, 0, 255})) << "row " << y;
}

TEST_F(Complex_Object_Test, An_Object_Too_Tall_For_The_Shadow_Sprite_Casts_None_With_A_Line) {
    // 40000 tall gives z about 65426, so hi would be 256: no sprite, one message; 39900 (hi 255) fits.
    EXPECT_EQ(
        Kelvane_Test::Printed([&] { EXPECT_TRUE(Cast("giant", 3, 3, Constant(255), Constant(255), 40000).empty()); }),
        "Object " + Folder("giant") +
            ": height 65425.8 is beyond what shadow.png can hold (0 to 65279); it casts no shadow.\n");
    EXPECT_EQ(Cast("fits", 3, 3, Constant(255), Constant(255), 39900).size(), 3u);
}

const std::string UNWRITTEN = " couldn't be written; it will be cooked again next time.\n";

// The frame shown: where it lies in the sheet, and its number.
std::array<float, 2> Shown(Kelvane::VObject_Complex* o) { return {o->Get_Frame_Origin().x, float(o->Get_Frame())}; }

TEST_F(Complex_Object_Test, A_Sheet_Shows_One_Frame_And_Casts_Each_Frame_On_Its_Own) {
    Kelvane::VObject_Complex* flag = Flag();
    EXPECT_EQ((std::array{flag->Get_W(), flag->Get_H()}), (std::array{16.0f, 16.0f}));
    EXPECT_EQ(al_get_bitmap_width(flag->Get_Actual_Bit_Normal()), 48) << "the whole sheet is cooked";
    Image sheet = Snapshot(flag->Get_Actual_Bit_Shadow());
    ASSERT_EQ(sheet.size(), 16u);
    for (int frame = 0; frame < 3; frame++) {
        std::string name = "still" + ToString(frame);
        Make_Folder(name, 16, 16, [frame](int x, int y) { return Flag_Frames(16)(x + 16 * frame, y); }, Constant(0),
                    "Frames=1");
        Image still = Snapshot(Build(name)->Get_Actual_Bit_Shadow());
        for (size_t y = 0; y < 16; y++)
            EXPECT_EQ(std::vector<Rgba>(sheet[y].begin() + 16 * frame, sheet[y].begin() + 16 * (frame + 1)), still[y])
                << "frame " << frame << " row " << y << " is cast as the frame alone is";
    }
}

TEST_F(Complex_Object_Test, A_Clip_Steps_In_Seconds_Whatever_The_Tick_Rate) {
    Kelvane::VObject_Complex* flag = Flag();
    EXPECT_EQ(Shown(flag), (std::array{0.0f, 0.0f}));
    ASSERT_TRUE(flag->Play("flap"));
    for (int tick = 0; tick < 6; tick++) flag->Update(1.0f);
    EXPECT_EQ(Shown(flag), (std::array{16.0f, 1.0f})) << "10 frames a second at 60 ticks a second";
    Kelvane::VObject_Complex::Set_Tick_Rate(30);
    for (int tick = 0; tick < 3; tick++) flag->Update(1.0f);
    Kelvane::VObject_Complex::Set_Tick_Rate(Kelvane::DEFAULT_FPS);
    EXPECT_EQ(Shown(flag), (std::array{32.0f, 2.0f})) << "and at 30 ticks a second";
}

TEST_F(Complex_Object_Test, An_Unknown_Clip_Or_Frame_Changes_Nothing_With_A_Line_And_A_Frame_Set_Stops_The_Clip) {
    Kelvane::VObject_Complex* flag = Flag();
    ASSERT_TRUE(flag->Play("flap"));
    EXPECT_EQ(Kelvane_Test::Printed([&] { EXPECT_FALSE(flag->Play("wave")); }),
              "Object " + Folder("flag") + ": its settings.ini has no section [Clip wave]; nothing changes.\n");
    EXPECT_EQ(Kelvane_Test::Printed([&] { EXPECT_FALSE(flag->Set_Frame(3)); }),
              "Object " + Folder("flag") + ": frame 3 is not one of its frames 0 to 2; nothing changes.\n");
    EXPECT_EQ(flag->Get_Clip(), "flap");
    ASSERT_TRUE(flag->Set_Frame(2));
    EXPECT_EQ(Shown(flag), (std::array{32.0f, 2.0f}));
    EXPECT_EQ(flag->Get_Clip(), "");
}

// Said once for the folder; every object of it shows the whole image as one frame.
TEST_F(Complex_Object_Test, A_Sheet_That_Is_Not_Its_Frames_Is_One_Still_Frame_Said_Once) {
    Make_Folder("torn", 47, 16, Flag_Frames(16), Constant(0), "Frames=3" + FLAP);
    EXPECT_EQ(Kelvane_Test::Printed([&] {
                  for (int i = 0; i < 2; i++) {
                      Kelvane::VObject_Complex* torn = Build("torn");
                      EXPECT_EQ((std::array{torn->Get_W(), torn->Get_H()}), (std::array{47.0f, 16.0f}));
                      EXPECT_TRUE(torn->Play("flap"));
                      torn->Update(10.0f);
                      EXPECT_EQ(torn->Get_Frame_Origin().x, 0.0f);
                  }
              }),
              "Object " + Folder("torn") + ": the images are 47 x 16, not 3 x 1 equal frames; they are one still frame.\n");
}

// A world built from a description plays each object's clip, and describes it again.
TEST_F(Complex_Object_Test, A_Built_World_Plays_The_Described_Clips_And_Describes_Them_Again) {
    Make_Folder("flag", 48, 16, Flag_Frames(16), Constant(0), "Frames=3" + FLAP);
    Kelvane::Light sun(0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0);
    Kelvane::Scene_Description scene{100.0f, 200.0f, 300.0f, {{0.0f, 0.0f, 1.0f}, {1.0f, 1.0f, 1.0f}, 1.0f, 0.2f},
                                     {}, {}, {}};
    scene.objects.push_back({"flag", 0.0f, 0.0f, 0.0f, 1.0f, true, true, "flap"});
    scene.objects.push_back({"flag", 0.0f, 0.0f, 0.0f, 1.0f, true, true});
    std::list<Kelvane::VObject*> objects;
    std::list<Kelvane::Light*> lights;
    Kelvane::Scene_Kept kept;
    ASSERT_TRUE(Kelvane::Build_Scene(scene, &store, &camera, &sun, &objects, &lights,
                                     [](std::string, float) { return true; }, &kept));
    for (int tick = 0; tick < 6; tick++)
        for (Kelvane::VObject* object : objects) object->Update(1.0f);
    EXPECT_EQ(static_cast<Kelvane::VObject_Complex*>(objects.front())->Get_Frame(), 1);
    EXPECT_EQ(static_cast<Kelvane::VObject_Complex*>(objects.back())->Get_Frame(), 0);
    Kelvane::Scene_Description described = Kelvane::Describe_Scene(&camera, &sun, &objects, &lights, kept);
    ASSERT_EQ(described.objects.size(), 2u);
    EXPECT_EQ((std::vector{described.objects[0].clip, described.objects[1].clip}),
              (std::vector<std::string>{"flap", ""}));
    for (Kelvane::VObject* object : objects) delete object;
}

TEST_F(Complex_Object_Test, Caches_Cut_Short_By_A_Full_Disk_Leave_Nothing_Behind_And_Are_Cooked_Once_For_All) {
    // Noisy normals make a cooked map too large for Allegro's write buffer, so the write fails mid-image.
    Make_Folder("rock", 64, 64, Constant(255), Constant(200), FULL_SETTINGS);
    auto noise = [](int x, int y) {
        unsigned v = static_cast<unsigned>(x) * 374761393u + static_cast<unsigned>(y) * 668265263u;
        v = (v ^ (v >> 13)) * 1274126177u;
        return static_cast<int>((v ^ (v >> 16)) & 0xFF);
    };
    Write_Image(Folder("rock") + "normal.png", 64, 64,
                [&](int x, int y) { return al_map_rgba(noise(x, y), noise(y, x), 255, 255); });
    std::vector<Kelvane::VObject_Complex*> rocks;
    {
        Kelvane_Test::File_Size_Limit full_disk(1);
        for (int i = 0; i < 9; i++) rocks.push_back(Build("rock"));
    }
    EXPECT_EQ(Kelvane_Test::Folder_Entries(Folder("rock")).size(), SOURCES.size()) << "no cache, no temporary file";
    for (Kelvane::VObject_Complex* rock : rocks) EXPECT_EQ(Images(rock), Images(rocks[0])) << "cooked once, shared";
    EXPECT_EQ(Snapshot(rocks[0]->Get_Actual_Bit_Normal())[3][5], (Rgba{noise(5, 3), noise(3, 5), 255, 200}));
    EXPECT_NE(rocks[0]->Get_Actual_Bit_Shadow(), nullptr);

}

// Folders in the caches' places: what a read-only folder does, even to root.
TEST_F(Complex_Object_Test, Caches_That_Cannot_Be_Written_Are_Said_Once_For_All_The_Folders_Objects) {
    Make_Folder("tiles", 8, 8, Constant(255), Constant(200), FULL_SETTINGS);
    for (const std::string& cache : CACHES) std::filesystem::create_directory(Folder("tiles") + cache);
    std::vector<Kelvane::VObject_Complex*> tiles;
    std::string said = Kelvane_Test::Printed([&] { for (int i = 0; i < 9; i++) tiles.push_back(Build("tiles")); });
    std::string expected;
    for (const std::string& cache : CACHES)
        expected += "Cache " + Folder("tiles") + cache + " can't be used; cooking it again.\n" + "Cache " +
                    Folder("tiles") + cache + UNWRITTEN;
    EXPECT_EQ(said, expected);
    for (Kelvane::VObject_Complex* tile : tiles) EXPECT_EQ(Images(tile), Images(tiles[0]));
    EXPECT_EQ(Snapshot(tiles[8]->Get_Actual_Bit_Normal())[4][4], COOKED);
}

TEST_F(Complex_Object_Test, Unusable_Sources_And_Settings_Are_Shown_But_Never_Cached) {
    Make_Folder("rock", 8, 8);
    std::filesystem::create_directory(Folder("rock") + "settings.ini");
    Kelvane::VObject_Complex* rock = nullptr;
    EXPECT_EQ(Kelvane_Test::Printed([&] { rock = Build("rock"), Build("rock"); }),
              "Object " + Folder("rock") +
                  ": settings.ini couldn't be read; using the defaults and leaving the file as it is.\n");
    EXPECT_EQ((std::array{rock->Get_Tall(), rock->Get_CX(), rock->Get_CY()}), (std::array{500.0f, 100.0f, 100.0f}));
    EXPECT_TRUE(std::filesystem::is_empty(Folder("rock") + "settings.ini"));

    int largest = al_get_display_option(display, ALLEGRO_MAX_BITMAP_SIZE);
    auto too_wide = [largest](const std::string& path) {
        Write_Image(path, largest + 1, 1, [](int, int) { return al_map_rgba(200, 100, 50, 255); });
    };
    auto missing = [](const std::string& path) { std::filesystem::remove(path); };
    auto locked = [this](const std::string& path) {  // as Allegro leaves an image whose saving failed
        al_lock_bitmap(store.Get_Bitmap(path)->Get_Bit(), ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READONLY);
    };
    auto resized = [](int w, int h) {  // the other images stay 8 x 8
        return [w, h](const std::string& path) {
            Write_Image(path, w, h, [](int, int) { return al_map_rgba(128, 128, 255, 255); });
        };
    };
    const std::string IN_ITS_PLACE = "; using the missing image in its place.\n";
    using Spoiler = std::tuple<std::string, std::function<void(const std::string&)>, std::string>;
    const std::vector<Spoiler> spoilers{
        {"diffuse.png", missing, ""},
        {"height.png", missing, ""},
        {"diffuse.png", too_wide, ""},
        {"normal.png", locked, ""},
        {"height.png", resized(6, 8), ": height.png is 6 x 8 but diffuse.png is 8 x 8" + IN_ITS_PLACE},
        {"normal.png", resized(8, 9), ": normal.png is 8 x 9 but diffuse.png is 8 x 8" + IN_ITS_PLACE}};
    for (size_t i = 0; i < spoilers.size(); i++) {
        std::string name = "spoilt" + std::to_string(i);
        auto [file, spoil, said_after_folder] = spoilers[i];
        Make_Folder(name, 8, 8);
        spoil(Folder(name) + file);
        Kelvane::VObject_Complex* spoilt = nullptr;
        std::string said = Kelvane_Test::Printed([&] { spoilt = Build(name); });
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_NE(said.find(Folder(name) + said_after_folder), std::string::npos) << said;
        EXPECT_TRUE(Is_Texture(spoilt->Get_Actual_Bit()) && Is_Texture(spoilt->Get_Actual_Bit_Normal())) << i;
        EXPECT_NE(spoilt->Get_Actual_Bit_Shadow(), nullptr) << i;
        EXPECT_FALSE(Kelvane::File_Exists(Folder(name) + CACHES[0]) || Kelvane::File_Exists(Folder(name) + CACHES[1]))
            << "nothing outlives the user putting the file back";
    }
}

TEST_F(Complex_Object_Test, Broken_Caches_Are_Cooked_Again_Once_From_The_Real_Sources_Leaving_No_Temporary_File) {
    Make_Folder("rock", 8, 8, Constant(255), Constant(200), FULL_SETTINGS);
    Image cast_first = Snapshot(Build("rock")->Get_Actual_Bit_Shadow());
    std::string cooked = Kelvane_Test::Read_File(Folder("rock") + CACHES[0]);
    // What a crash, a full disk or a second instance used to leave behind.
    Kelvane_Test::Write_File(Folder("rock") + CACHES[0], cooked.substr(0, cooked.size() / 2));
    Kelvane_Test::Write_File(Folder("rock") + CACHES[1], "");
    std::string again = " can't be used; cooking it again.\n";
    for (std::string said : {"Cache " + Folder("rock") + CACHES[0] + again + "Cache " + Folder("rock") + CACHES[1] + again,
                             std::string()}) {
        auto [output, normal, cast] = Start_Again("rock");
        EXPECT_EQ(output, said);
        EXPECT_EQ(normal[4][4], COOKED);
        EXPECT_EQ(cast, cast_first) << "cast from the real heights, not the checker";
    }
    EXPECT_EQ(Kelvane_Test::Folder_Entries(Folder("rock")),
              (std::vector<std::string>{RECORD, "diffuse.png", "height.png", "normal.png", CACHES[0], "settings.ini",
                                        CACHES[1]}))
        << "no temporary file is left";
}

// Hand-edited caches come back as they are, not premultiplied.
// The box of the pixels of a frame of the sprite that hold a height (red or green), from the frame's corner.
Kelvane::Pixel_Box Raised_In(const Image& sprite, int frame, int frame_w) {
    Kelvane::Pixel_Box box{frame_w, static_cast<int>(sprite.size()), 0, 0};
    for (int y = 0; y < static_cast<int>(sprite.size()); y++)
        for (int x = 0; x < frame_w; x++)
            if (sprite[static_cast<size_t>(y)][static_cast<size_t>(frame * frame_w + x)][0] ||
                sprite[static_cast<size_t>(y)][static_cast<size_t>(frame * frame_w + x)][1])
                box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1), std::max(box.bottom, y + 1)};
    return box.Empty() ? Kelvane::Pixel_Box{0, 0, 0, 0} : box;
}

std::array<int, 4> Sides(Kelvane::Pixel_Box box) { return {box.left, box.top, box.right, box.bottom}; }

TEST_F(Complex_Object_Test, The_Raised_Footprint_Is_Where_The_Frame_Shown_Casts_Above_The_Floor_Or_All_Of_It_When_Unknown) {
    // 3 tall: the blocks drop 3 rows and hold about 4.9 world units; frame 2 holds only the floor's corner marks.
    Make_Folder("flag", 48, 16, Flag_Frames(16), Constant(255), "Height=3\nFrames=3" + FLAP);
    Kelvane::VObject_Complex* flag = Build("flag");
    Image sprite = Snapshot(flag->Get_Actual_Bit_Shadow());
    ASSERT_NE(Sides(Raised_In(sprite, 0, 16)), Sides(Raised_In(sprite, 1, 16))) << "the frames differ";
    for (int frame : {1, 0, 2, 1}) {
        flag->Set_Frame(frame);
        EXPECT_EQ(Sides(flag->Get_Raised_Footprint()), Sides(Raised_In(sprite, frame, 16))) << "frame " << frame;
    }
    EXPECT_NE(Sides(flag->Get_Raised_Footprint()), (std::array{0, 0, 16, 16})) << "frame 1's block, not the frame";
    Kelvane::VObject_Complex* twin = Build("flag");
    twin->Set_Frame(2);
    EXPECT_EQ(Sides(twin->Get_Raised_Footprint()), (std::array{0, 0, 0, 0})) << "the folder's second object";

    // A cached sprite of another size is stretched over the sheet: nothing is known of the frames' parts.
    Write_Image(Folder("flag") + CACHES[1], 96, 32, [](int, int) { return al_map_rgba(0, 0, 0, 0); });
    auto made = std::filesystem::file_time_type::clock::now() + std::chrono::seconds(10);
    std::filesystem::last_write_time(Folder("flag") + CACHES[1], made);
    Kelvane::Bitmap_Manager next_run;
    Kelvane::VObject_Complex stretched(&next_run, &camera, "flag", 0.0f, 0.0f, 0.0f, 1.0f, true);
    ASSERT_EQ(al_get_bitmap_width(stretched.Get_Actual_Bit_Shadow()), 96) << "the cache is used";
    EXPECT_EQ(Sides(stretched.Get_Raised_Footprint()), (std::array{0, 0, 16, 16}));
}

TEST_F(Complex_Object_Test, Fresh_Caches_Are_Used_As_They_Are_And_Cooked_Again_Once_When_A_Source_Is_Newer) {
    Make_Folder("rock", 8, 8, Constant(255), Constant(200), FULL_SETTINGS);
    Build("rock");
    Write_Image(Folder("rock") + CACHES[0], 8, 8, [](int, int) { return al_map_rgba(10, 20, 30, 40); });
    Write_Image(Folder("rock") + CACHES[1], 8, 8, [](int, int) { return al_map_rgba(7, 1, 0, 255); });
    auto base = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    auto made = base + std::chrono::seconds(10);
    auto age_folder = [&] {
        for (const std::string& source : SOURCES) std::filesystem::last_write_time(Folder("rock") + source, base);
        for (const std::string& cache : CACHES) std::filesystem::last_write_time(Folder("rock") + cache, made);
    };
    auto next_start = [&] { return std::get<0>(Start_Again("rock")); };
    auto time_of = [](const std::string& file) { return std::filesystem::last_write_time(Folder("rock") + file); };
    age_folder();
    auto [said, normal, shadow] = Start_Again("rock");
    EXPECT_EQ((std::tuple{said, normal[5][5], shadow[4][4]}),
              (std::tuple{"", Rgba{10, 20, 30, 40}, Rgba{7, 1, 0, 255}}));
    EXPECT_EQ((std::array{time_of(SOURCES[3]), time_of(CACHES[0]), time_of(CACHES[1])}), (std::array{base, made, made}))
        << "a complete settings.ini is not written, and fresh caches are used as they are";
    for (const std::string& source : SOURCES) {
        std::filesystem::last_write_time(Folder("rock") + source, made + std::chrono::seconds(10));
        EXPECT_EQ(next_start(), STALE) << source;
        EXPECT_GT(std::min(time_of(CACHES[0]), time_of(CACHES[1])), time_of(source));
        EXPECT_EQ(next_start(), "") << "a second start cooks nothing";
        age_folder();
    }
}

TEST_F(Complex_Object_Test, A_Folder_Is_Read_Once_Per_Run_And_A_Source_Changed_Since_Is_Cooked_Once_In_The_Next) {
    Make_Folder("rock", 8, 8, Constant(255), Constant(200), FULL_SETTINGS);
    Kelvane::VObject_Complex* first = Build("rock");
    // A source changed since does not reach this run's objects...
    Write_Image(Folder("rock") + "height.png", 8, 8, [](int, int) { return al_map_rgba(100, 0, 0, 255); });
    std::vector<Kelvane::VObject_Complex*> tiles;
    EXPECT_EQ(Kelvane_Test::Printed([&] { for (int i = 0; i < 9; i++) tiles.push_back(Build("rock")); }), "");
    for (Kelvane::VObject_Complex* tile : tiles) EXPECT_EQ(Images(tile), Images(first));
    // ...and the next run cooks it once for all nine.
    EXPECT_EQ(Nine_In_Another_Run("rock"), STALE);
    auto [said_next, normal_next, shadow_next] = Start_Again("rock");
    EXPECT_EQ((std::tuple{said_next, normal_next[4][4]}), (std::tuple{"", Rgba{128, 128, 255, 100}}));
}

TEST_F(Complex_Object_Test, A_Cache_Is_Fresh_While_Its_Sources_Are_As_When_It_Was_Cooked_Whatever_Their_Dates) {
    Make_Folder("rock", 8, 8, Constant(255), Constant(200), FULL_SETTINGS);
    auto now = std::filesystem::file_time_type::clock::now();
    auto set_time = [](const std::string& file, auto time) {
        std::filesystem::last_write_time(Folder("rock") + file, time);
    };
    set_time("height.png", now + std::chrono::hours(24));  // copied from a machine whose clock is a day ahead
    EXPECT_EQ(std::get<0>(Start_Again("rock")), "");
    EXPECT_EQ(Nine_In_Another_Run("rock"), "") << "cooked from these very sources: fresh, though older than one";
    set_time("normal.png", now - std::chrono::hours(1));  // an older copy put back: not what the caches were made from
    EXPECT_EQ(Nine_In_Another_Run("rock"), STALE);
    EXPECT_EQ(std::get<0>(Start_Again("rock")), "");

    // Caches without a record (an older version made them) keep the rule of dates.
    std::filesystem::remove(Folder("rock") + RECORD);
    set_time("height.png", now - std::chrono::hours(2));
    EXPECT_EQ(std::get<0>(Start_Again("rock")), "") << "no source newer than the caches";
    set_time("diffuse.png", now + std::chrono::hours(1));
    EXPECT_EQ(std::get<0>(Start_Again("rock")), STALE);
    EXPECT_EQ(std::get<0>(Start_Again("rock")), "") << "recorded again when cooked";
}

TEST_F(Complex_Object_Test, Temporary_Files_Whose_Writers_Ended_Are_Removed_From_The_Folder_When_It_Is_First_Used) {
    Make_Folder("rock", 8, 8, Constant(255), Constant(200), FULL_SETTINGS);
    pid_t ended = fork();
    if (ended == 0) _exit(0);
    ASSERT_GT(ended, 0);
    waitpid(ended, nullptr, 0);
    auto temporary = [](const std::string& path, long pid) { return path + "." + std::to_string(pid) + ".tmp"; };
    std::vector<std::string> stale, kept;
    for (const std::string& own : {CACHES[0], CACHES[1], std::string("settings.ini"), RECORD})
        stale.push_back(temporary(Folder("rock") + own, ended));
    stale.push_back(temporary(Folder("rock") + CACHES[1], getpid()));  // this process is writing nothing now
    kept = {temporary(Folder("rock") + CACHES[0], getppid()),          // a second instance writing right now
            temporary(Folder("rock") + "diffuse.png", ended),          // not a file the engine writes
            Folder("rock") + CACHES[0] + ".0" + std::to_string(ended) + ".tmp",
            temporary(Folder("rock") + CACHES[0], ended) + ".bak",
            temporary("assets/objects/" + CACHES[0], ended),  // outside any object folder
            temporary(CACHES[0], ended)};
    for (const std::vector<std::string>* files : {&stale, &kept})
        for (const std::string& file : *files) Kelvane_Test::Write_File(file, "half a file");
    Build("rock");
    for (const std::string& file : stale) EXPECT_FALSE(std::filesystem::exists(file)) << file;
    for (const std::string& file : kept) EXPECT_TRUE(std::filesystem::exists(file)) << file;
}

// Every entry under the folder with its size and time: what a write would change.
std::vector<std::string> Tree(const std::string& root) {
    std::vector<std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        std::string line = entry.path().string();
        if (entry.is_regular_file())
            line += " " + std::to_string(entry.file_size()) + " " +
                    std::to_string(entry.last_write_time().time_since_epoch().count());
        entries.push_back(line);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

TEST_F(Complex_Object_Test, A_Name_That_Is_Not_One_Folder_Name_Shows_The_Missing_Image_And_Reads_And_Writes_Nothing) {
    // Deep enough that six steps up from assets/objects/ still land in the scratch folder.
    std::filesystem::create_directories("w/x/y/z/assets/objects");
    std::filesystem::copy_file(Kelvane::DEFAULT_MISSING_BITMAP, "w/x/y/z/" + Kelvane::DEFAULT_MISSING_BITMAP);
    std::filesystem::current_path("w/x/y/z");
    const std::vector<std::string> names{"../canary", "..", ".", "../../../../../../etc", "", "canary/", "a\\b"};
    for (const char* name : {"../canary", "..", ".", "../../../../../../etc", "canary/"}) Make_Folder(name, 8, 8);
    std::vector<std::string> before = Tree(scratch.Path());
    ALLEGRO_BITMAP* missing = store.Get_Bitmap(Kelvane::DEFAULT_MISSING_BITMAP)->Get_Bit();
    for (const std::string& name : names) {
        Kelvane::VObject_Complex* refused = nullptr;
        std::string said = Kelvane_Test::Printed([&] { refused = Build(name); });
        EXPECT_EQ(said,
                  "Object name \"" + name + "\" is not one folder name in assets/objects/; showing the missing image.\n");
        EXPECT_EQ(Images(refused), (std::array<ALLEGRO_BITMAP*, 3>{missing, missing, nullptr})) << name;
        EXPECT_EQ((std::array{refused->Get_W(), refused->Get_H()}),
                  (std::array{static_cast<float>(al_get_bitmap_width(missing)),
                              static_cast<float>(al_get_bitmap_height(missing))}));
    }
    EXPECT_EQ(Tree(scratch.Path()), before) << "nothing written anywhere";
}

TEST_F(Complex_Object_Test, Files_Of_The_Folder_That_Link_Out_Of_It_Are_Read_But_Never_Written_Through) {
    namespace fs = std::filesystem;
    Make_Folder("rock", 8, 8);
    fs::create_directory("outside");
    Kelvane_Test::Write_File("outside/settings.ini", "[General]\nHeight=300\n");
    fs::create_symlink("../../../outside/settings.ini", Folder("rock") + "settings.ini");
    fs::create_symlink("../../../outside/" + CACHES[0], Folder("rock") + CACHES[0]);  // leading nowhere yet
    fs::create_symlink(fs::absolute("outside/" + CACHES[1]), Folder("rock") + CACHES[1]);
    const std::string not_written = " is a link that leads out of the folder; it is not written.\n";
    std::string said = Kelvane_Test::Printed([&] {
        Kelvane::VObject_Complex* rock = Build("rock");
        EXPECT_EQ(rock->Get_Tall(), 300.0f) << "read through the link";
        EXPECT_EQ(Snapshot(rock->Get_Actual_Bit_Normal())[4][4], COOKED);
        EXPECT_NE(rock->Get_Actual_Bit_Shadow(), nullptr);
    });
    EXPECT_EQ(said, "Object " + Folder("rock") + ": settings.ini" + not_written + "Object " + Folder("rock") + ": " +
                        CACHES[0] + not_written + "Object " + Folder("rock") + ": " + CACHES[1] + not_written);
    EXPECT_EQ(Kelvane_Test::Folder_Entries("outside"), std::vector<std::string>{"settings.ini"});
    EXPECT_EQ(Kelvane_Test::Read_File("outside/settings.ini"), "[General]\nHeight=300\n");
    for (const std::string& file : {std::string("settings.ini"), CACHES[0], CACHES[1]})
        EXPECT_TRUE(fs::is_symlink(Folder("rock") + file)) << file;

    // Links within the folder are written through; the record links into another object's folder.
    Make_Folder("stone", 8, 8);
    Kelvane_Test::Write_File(Folder("stone") + "own_settings.ini", "[General]\nHeight=300\n");
    fs::create_symlink("own_settings.ini", Folder("stone") + "settings.ini");
    fs::create_symlink("../rock/" + RECORD, Folder("stone") + RECORD);
    EXPECT_EQ(Kelvane_Test::Printed([&] { Build("stone"); }),
              "Object " + Folder("stone") + ": " + RECORD + not_written);
    EXPECT_EQ(Kelvane_Test::Read_File(Folder("stone") + "own_settings.ini"),
              "[General]\nHeight=300\nCenter_X=100\nCenter_Y=100\n");
    for (const std::string& cache : CACHES) EXPECT_TRUE(fs::is_regular_file(Folder("stone") + cache)) << cache;
    EXPECT_FALSE(fs::exists(Folder("rock") + RECORD));
}

TEST_F(Complex_Object_Test, Settings_That_Are_Not_Finite_Numbers_Take_Their_Defaults_With_One_Line_And_Stay_In_The_File) {
    const std::string written = "Height=nan\nCenter_X=inf\nCenter_Y=1e999";
    Make_Folder("rock", 8, 8, Constant(255), Constant(200), written);
    std::vector<Kelvane::VObject_Complex*> rocks;
    EXPECT_EQ(Kelvane_Test::Printed([&] { for (int i = 0; i < 9; i++) rocks.push_back(Build("rock")); }),
              "Object " + Folder("rock") + ": settings.ini Height = nan is not a finite number above 0; using 500.\n" +
                  "Object " + Folder("rock") + ": settings.ini Center_X = inf is not a finite number; using 100.\n" +
                  "Object " + Folder("rock") + ": settings.ini Center_Y = 1e999 is not a finite number; using 100.\n")
        << "said once for the folder";
    for (Kelvane::VObject_Complex* rock : rocks)
        EXPECT_EQ((std::array{rock->Get_Tall(), rock->Get_CX(), rock->Get_CY()}), (std::array{500.0f, 100.0f, 100.0f}));
    EXPECT_EQ(Kelvane_Test::Read_File(Folder("rock") + "settings.ini"), "[General]\n" + written + "\n");

    struct Case {
        std::string written;
        std::array<float, 3> read;  // tall, cx, cy
        int lines;
    };
    const std::vector<Case> cases{{"Height=0", {500, 100, 100}, 1},
                                  {"Height=-5", {500, 100, 100}, 1},
                                  {"Height=", {500, 100, 100}, 1},
                                  {"Height=tall", {500, 100, 100}, 1},
                                  {"Height=75 px", {75, 100, 100}, 0},  // a number followed by words reads as before
                                  {"Height=0.5\nCenter_X=-20\nCenter_Y=abc", {0.5f, -20, 100}, 1}};
    for (size_t i = 0; i < cases.size(); i++) {
        std::string name = "case" + std::to_string(i);
        Make_Folder(name, 8, 8, Constant(255), Constant(200), cases[i].written);
        Kelvane::VObject_Complex* object = nullptr;
        std::string said = Kelvane_Test::Printed([&] { object = Build(name, false); });
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), cases[i].lines) << said;
        EXPECT_EQ((std::array{object->Get_Tall(), object->Get_CX(), object->Get_CY()}), cases[i].read)
            << cases[i].written;
        std::string kept = Kelvane_Test::Read_File(Folder(name) + "settings.ini");
        EXPECT_EQ(kept.rfind("[General]\n" + cases[i].written + "\n", 0), 0u) << kept << "only missing keys are added";
    }
}

}  // namespace
