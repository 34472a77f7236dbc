// The demonstration scene's drawing: the grey background, the world on it, and
// the depth-buffer view while D is held.

#include <string>
#include <vector>

#include "demo_scene_fixture.h"
#include "support/window.h"

namespace Kelvane_Test {
namespace {

using Kelvane::VObject_Complex;

const Pixel BACKGROUND = {100, 100, 100, 255};
const int WHITE = 255;

bool Same_Colour(const Pixel& a, const Pixel& b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}
bool Is_Grey_Level(const Pixel& p) {
    return p.r == p.g && p.g == p.b;
}
std::string Describe(const Pixel& p) {
    return "(" + std::to_string(p.r) + ", " + std::to_string(p.g) + ", " + std::to_string(p.b) + ")";
}

// The back buffer as one frame left it.
struct Frame {
    int w = 0, h = 0;
    std::vector<Pixel> pixels;
    const Pixel& At(int x, int y) const { return pixels[static_cast<size_t>(y) * w + x]; }
};

// Only the sphere is left in the world, in the middle of the display. (The
// view stays over the map: the lighting program gives no depth outside it.)
class Demo_Scene_Draw_Test : public Demo_Scene_Test {
protected:
    void SetUp() override {
        Demo_Scene_Test::SetUp();
        if (HasFatalFailure()) return;
        sphere = Object(SPHERE);
        vobjects = {sphere};
        Vec2D home = cam->Proj_To_Screen(sphere->Get_X(), sphere->Get_Y(), sphere->Get_Z());
        Look_At(home.x - Renderer()->RXtoX(DEMO_DISPLAY_W / 2), home.y - Renderer()->RYtoY(DEMO_DISPLAY_H / 2));
    }

    Frame Draw_Frame() {
        MainGame_Draw(game);
        ALLEGRO_BITMAP* back = al_get_backbuffer(game->Get_Display());
        Frame frame;
        frame.w = al_get_bitmap_width(back);
        frame.h = al_get_bitmap_height(back);
        al_lock_bitmap(back, ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READONLY);
        for (int y = 0; y < frame.h; y++)
            for (int x = 0; x < frame.w; x++) frame.pixels.push_back(Read_Pixel(back, x, y));
        al_unlock_bitmap(back);
        return frame;
    }

    // Where the centre pixel of the sphere's image is drawn; that pixel is opaque.
    Vec2D Sphere_Centre() {
        int cx = al_get_bitmap_width(sphere->Get_Actual_Bit()) / 2;
        int cy = al_get_bitmap_height(sphere->Get_Actual_Bit()) / 2;
        EXPECT_EQ(Read_Pixel(sphere->Get_Actual_Bit(), cx, cy).a, 255) << "the sphere's image is opaque in its centre";
        return Image_Pixel_On_Display(sphere, cx, cy);
    }

    // True when the display pixel lies outside every object's quad, with a margin.
    bool Clear_Of_Objects(int x, int y) {
        for (Kelvane::VObject* object : vobjects) {
            auto* complex = static_cast<VObject_Complex*>(object);
            ALLEGRO_BITMAP* image = complex->Get_Actual_Bit();
            Vec2D first = Image_Pixel_On_Display(complex, 0, 0);
            Vec2D last = Image_Pixel_On_Display(complex, al_get_bitmap_width(image) - 1, al_get_bitmap_height(image) - 1);
            if (x > first.x - 3 && x < last.x + 3 && y > first.y - 3 && y < last.y + 3) return false;
        }
        return true;
    }

    // The display's corners that no object covers show `expected`.
    void Expect_Free_Corners(const Frame& frame, const Pixel& expected) {
        int free_corners = 0;
        for (int x : {0, frame.w - 1})
            for (int y : {0, frame.h - 1}) {
                if (!Clear_Of_Objects(x, y)) continue;
                free_corners++;
                EXPECT_TRUE(Same_Colour(frame.At(x, y), expected))
                    << "corner " << x << ", " << y << " is " << Describe(frame.At(x, y)) << ", expected "
                    << Describe(expected);
            }
        EXPECT_GT(free_corners, 0) << "every corner is covered: nothing to compare";
    }

    VObject_Complex* sphere = nullptr;
};

TEST_F(Demo_Scene_Draw_Test, Where_No_Object_Is_Drawn_The_Picture_Is_Grey_100) {
    vobjects.clear();
    Frame empty = Draw_Frame();
    ASSERT_EQ(empty.w, DEMO_DISPLAY_W);
    ASSERT_EQ(empty.h, DEMO_DISPLAY_H);
    int other = 0;
    for (const Pixel& p : empty.pixels) other += !Same_Colour(p, BACKGROUND);
    EXPECT_EQ(other, 0) << "pixels not grey with nothing to draw";

    vobjects = {sphere};
    Vec2D centre = Sphere_Centre();
    Frame frame = Draw_Frame();
    EXPECT_FALSE(Same_Colour(frame.At(static_cast<int>(centre.x), static_cast<int>(centre.y)), BACKGROUND))
        << "the sphere is drawn over the background";
    Expect_Free_Corners(frame, BACKGROUND);
}

TEST_F(Demo_Scene_Draw_Test, While_D_Is_Held_The_Whole_Picture_Shows_The_Depth_Buffer_Over_The_Overlays) {
    Vec2D centre = Sphere_Centre();
    // Overlays in colour: the sphere's selection frame and the marker of a new lamp.
    sphere->Select_Toggle();
    debug_mode = Kelvane::DEBUG_EDITOR | Kelvane::DEBUG_LIGHTS;
    Point_At(Vec2D(DEMO_DISPLAY_W / 4, DEMO_DISPLAY_H / 2));
    Tick_Pressing(ALLEGRO_KEY_L);

    KB_Active[ALLEGRO_KEY_D] = true;
    Frame depth = Draw_Frame();
    int coloured = 0;
    for (const Pixel& p : depth.pixels) coloured += !Is_Grey_Level(p);
    EXPECT_EQ(coloured, 0) << "every pixel is a grey level while D is held";
    // The background keeps the cleared depth, the sphere is nearer.
    Expect_Free_Corners(depth, Pixel{WHITE, WHITE, WHITE, 255});
    EXPECT_LT(depth.At(static_cast<int>(centre.x), static_cast<int>(centre.y)).r, WHITE);

    KB_Active[ALLEGRO_KEY_D] = false;
    Frame normal = Draw_Frame();
    Expect_Free_Corners(normal, BACKGROUND);
    coloured = 0;
    for (const Pixel& p : normal.pixels) coloured += !Is_Grey_Level(p);
    EXPECT_GT(coloured, 0) << "once D is up the frame shows colour again";
}

}  // namespace
}  // namespace Kelvane_Test
