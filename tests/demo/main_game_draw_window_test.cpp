// The demonstration scene's drawing: the grey background, and the depth buffer while D is held.
#include <algorithm>

#include "demo_scene_fixture.h"
#include "support/window.h"

namespace Kelvane_Test {
namespace {

bool Grey(const Pixel& p, int level) { return p.r == level && p.g == level && p.b == level; }
bool Grey_Level(const Pixel& p) { return Grey(p, p.r); }
const int MIDDLE = DISPLAY_H / 2 * DISPLAY_W + DISPLAY_W / 2;
const int CORNERS[] = {0, DISPLAY_W - 1, (DISPLAY_H - 1) * DISPLAY_W, (DISPLAY_H - 1) * DISPLAY_W + DISPLAY_W - 1};

// Only the sphere is left, the picture of its centre in the middle of the display (and the view
// over the map: the lighting program gives no depth outside it).
class Demo_Scene_Draw_Test : public Demo_Scene_Test {
protected:
    void SetUp() override {
        Demo_Scene_Test::SetUp();
        if (HasFatalFailure()) return;
        Kelvane::VObject* sphere = Object(SPHERE);
        for (Kelvane::VObject* object : vobjects)
            if (object != sphere) delete object;
        vobjects = {sphere};
        Vec2D centre = cam->Proj_To_Screen(Object(0)->Get_X(), Object(0)->Get_Y(), 180.0f);
        Kelvane::Renderer* renderer = game->Get_First_Renderer();
        Move_View(centre.x - renderer->RXtoX(DISPLAY_W / 2), centre.y - renderer->RYtoY(DISPLAY_H / 2));
    }

    // The back buffer, row by row, after drawing a frame.
    std::vector<Pixel> Draw() {
        MainGame_Draw(game);
        ALLEGRO_BITMAP* back = al_get_backbuffer(game->Get_Display());
        EXPECT_TRUE(al_get_bitmap_width(back) == DISPLAY_W && al_get_bitmap_height(back) == DISPLAY_H);
        std::vector<Pixel> pixels;
        al_lock_bitmap(back, ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READONLY);
        for (int y = 0; y < DISPLAY_H; y++)
            for (int x = 0; x < DISPLAY_W; x++) pixels.push_back(Read_Pixel(back, x, y));
        al_unlock_bitmap(back);
        return pixels;
    }
};

TEST_F(Demo_Scene_Draw_Test, The_Picture_Is_Grey_100_Where_Nothing_Is_Drawn_And_Shows_The_Depth_While_D_Is_Held) {
    std::vector<Pixel> frame = Draw();
    EXPECT_FALSE(Grey_Level(frame[MIDDLE])) << "the sphere is drawn over the background in its colours";
    for (int corner : CORNERS) EXPECT_TRUE(Grey(frame[corner], 100)) << corner;

    KB_Active[ALLEGRO_KEY_D] = true;
    frame = Draw();
    EXPECT_EQ(std::count_if(frame.begin(), frame.end(), [](const Pixel& p) { return !Grey_Level(p); }), 0);
    EXPECT_LT(frame[MIDDLE].r, 255) << "the sphere is nearer than the cleared depth";
    for (int corner : CORNERS) EXPECT_TRUE(Grey(frame[corner], 255)) << corner;

    KB_Active[ALLEGRO_KEY_D] = false;
    delete vobjects.front(), vobjects.clear();
    frame = Draw();
    EXPECT_EQ(std::count_if(frame.begin(), frame.end(), [](const Pixel& p) { return !Grey(p, 100); }), 0)
        << "once D is up, and no object is left";
}

}  // namespace
}  // namespace Kelvane_Test
