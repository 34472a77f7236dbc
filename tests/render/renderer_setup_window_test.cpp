// Renderer construction, the conversions between the internal picture and
// output pixels on several output sizes, what of the world an output shows and
// how a view is centred on it, and the depth order of an object list.

#include <allegro5/allegro.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <list>
#include <utility>
#include <vector>

#include "render/renderer.h"
#include "render/vobject.h"
#include "support/window.h"
#include "world/camera.h"

using namespace Kelvane;

namespace {

class Renderer_Setup_Test : public Kelvane_Test::Window_Test {
protected:
    Renderer Make(float width, float height) {
        return Renderer(display, nullptr, 1920.0f, 1080.0f, width, height, 0, 0);
    }
};

}  // namespace

TEST_F(Renderer_Setup_Test, Takes_The_Display_Size_Makes_A_Square_Shadow_Map_And_Keeps_Proportions_On_Every_Output) {
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP | ALLEGRO_MIN_LINEAR);
    Renderer renderer = Make(0, 0);
    EXPECT_EQ(al_get_new_bitmap_flags(), ALLEGRO_MEMORY_BITMAP | ALLEGRO_MIN_LINEAR) << "the caller's, as they were";
    al_set_new_bitmap_flags(0);
    EXPECT_EQ(renderer.Get_Width(), al_get_display_width(display));
    EXPECT_EQ(renderer.Get_Height(), al_get_display_height(display));
    ALLEGRO_BITMAP* map = renderer.Get_Shadow_Map();
    ASSERT_NE(map, nullptr);
    EXPECT_EQ((std::array{al_get_bitmap_width(map), al_get_bitmap_height(map)}), (std::array{4096, 4096}));
    EXPECT_FALSE(al_get_bitmap_flags(map) & ALLEGRO_MEMORY_BITMAP) << "a GPU texture";

    Renderer wide = Make(1280, 720), square = Make(1280, 1024);
    const std::pair<float, float> got_wanted[] = {
        {wide.XtoRX(1920), 1280}, {wide.YtoRY(1080), 720}, {wide.RXtoX(1280), 1920},
        {square.RXtoX(1280), 1350}, {square.YtoRY(1080), 1024},  // one factor for both axes
        {square.XtoSX(1920), 1280}, {square.YtoSX(1080), 1024},  // S space stretches each
        {square.GXtoX(square.XtoGX(77)), 77}, {square.GYtoY(square.YtoGY(77)), 77}};
    for (auto [got, wanted] : got_wanted) EXPECT_FLOAT_EQ(got, wanted);
}

TEST_F(Renderer_Setup_Test, A_Plain_Object_Takes_Its_Size_And_Pivot_From_The_Image_And_Sorts_Stably_Ascending_In_Z) {
    ALLEGRO_BITMAP* image = al_create_bitmap(101, 60);
    VObject by_image(image, 4, 5, 0, 0), by_caller(image, 0, 0, -1, 7);
    EXPECT_EQ((std::array{by_image.Get_W(), by_image.Get_H(), by_image.Get_CX(), by_image.Get_CY()}),
              (std::array<float, 4>{101, 60, 50, 30})) << "an odd width rounds the pivot down";
    EXPECT_EQ((std::array{by_caller.Get_W(), by_caller.Get_H(), by_caller.Get_CX()}),
              (std::array<float, 3>{101, 7, 50})) << "the pivot comes from the image, not the size";
    EXPECT_DEATH(VObject(nullptr, 0, 0, 0, 0), "render/vobject");

    Renderer renderer = Make(0, 0);
    std::vector<VObject> objects(5, by_image);
    float heights[] = {5, 1, 5, 3, NAN};
    for (int i = 0; i < 5; i++) objects[i].Set_Z(heights[i]);
    auto sorted = [&](std::vector<int> order) {  // the indices of `order`'s objects after sorting
        std::list<VObject*> list;
        for (int i : order) list.push_back(&objects[i]);
        renderer.Sort_Z_List(&list);
        order.clear();
        for (VObject* object : list) order.push_back(static_cast<int>(object - objects.data()));
        return order;
    };
    EXPECT_EQ(sorted({0, 1, 2, 3}), (std::vector{1, 3, 0, 2})) << "equal heights keep their order";
    // NaN is never put in front of another: it lands behind what was sorted before it.
    EXPECT_EQ(sorted({0, 4, 1}), (std::vector{1, 0, 4}));
    EXPECT_EQ(sorted({}), std::vector<int>{});
    al_destroy_bitmap(image);
}

// The output always shows 1080 screen units of height and as many of width as its aspect gives; the floor
// drawn at its corners, and the world point the view is centred on, land where the objects' quads are drawn.
TEST_F(Renderer_Setup_Test, The_Output_Shows_1080_Units_High_And_A_Centred_Point_Lands_In_Its_Middle_At_Any_Aspect) {
    struct Output { float width, height, shown_width; };
    for (Output output : {Output{800, 600, 1440}, Output{1920, 1080, 1920}, Output{1280, 1024, 1350},
                          Output{2520, 1080, 2520}, Output{640, 480, 1440}}) {
        Renderer renderer = Make(output.width, output.height);
        Vec2D shown = renderer.Get_Visible_Size();
        EXPECT_FLOAT_EQ(shown.x, output.shown_width) << output.width;
        EXPECT_FLOAT_EQ(shown.y, 1080.0f) << output.width;
        Camera camera;
        camera.Move_Target_X(-300.0f);  // replaced by the centring, not added to
        renderer.Centre_On(&camera, 1500.0f, 2000.0f, 300.0f);
        camera.Jump_To_Target();
        // Where the renderer puts a point: its picture relative to the view, in output pixels.
        auto drawn_at = [&](float x, float y, float z) {
            Vec2D screen = camera.Proj_To_Screen(x, y, z);
            return std::array{renderer.XtoRX(screen.x - camera.Get_X()), renderer.YtoRY(screen.y - camera.Get_Y())};
        };
        std::array<float, 2> centre = drawn_at(1500.0f, 2000.0f, 300.0f);
        EXPECT_NEAR(centre[0], output.width / 2, 0.01f) << output.width;
        EXPECT_NEAR(centre[1], output.height / 2, 0.01f) << output.width;
        Vec2D back = renderer.Output_To_Proj(&camera, output.width / 2, output.height / 2, 300.0f);
        EXPECT_NEAR(back.x, 1500.0f, 0.05f) << output.width;
        EXPECT_NEAR(back.y, 2000.0f, 0.05f) << output.width;
        std::array<Vec2D, 4> floor = renderer.Get_Visible_Floor(&camera);
        const float corners[4][2] = {{0, 0}, {output.width, 0}, {output.width, output.height}, {0, output.height}};
        for (int k = 0; k < 4; k++) {
            std::array<float, 2> at = drawn_at(floor[k].x, floor[k].y, 0.0f);
            EXPECT_NEAR(at[0], corners[k][0], 0.01f) << output.width << ", corner " << k;
            EXPECT_NEAR(at[1], corners[k][1], 0.01f) << output.width << ", corner " << k;
        }
    }
}
