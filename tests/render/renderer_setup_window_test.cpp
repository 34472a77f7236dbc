// Renderer construction, the conversions between the internal picture and
// output pixels on several output sizes, and the depth order of an object list.

#include <allegro5/allegro.h>
#include <gtest/gtest.h>

#include <cmath>
#include <list>
#include <vector>

#include "render/renderer.h"
#include "render/vobject.h"
#include "support/window.h"

using namespace Kelvane;

namespace {

class Renderer_Setup_Test : public Kelvane_Test::Window_Test {
protected:
    Renderer Make(float width, float height) {
        return Renderer(display, nullptr, 1920.0f, 1080.0f, width, height, 0, 0);
    }
};

}  // namespace

TEST_F(Renderer_Setup_Test, Takes_The_Display_Size_And_Makes_A_Square_Shadow_Map) {
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    Renderer renderer = Make(0, 0);
    EXPECT_EQ(renderer.Get_Width(), al_get_display_width(display));
    EXPECT_EQ(renderer.Get_Height(), al_get_display_height(display));
    ASSERT_NE(renderer.Get_Shadow_Map(), nullptr);
    EXPECT_EQ(al_get_bitmap_width(renderer.Get_Shadow_Map()), 2048);
    EXPECT_EQ(al_get_bitmap_height(renderer.Get_Shadow_Map()), 2048);
    EXPECT_FALSE(al_get_bitmap_flags(renderer.Get_Shadow_Map()) & ALLEGRO_MEMORY_BITMAP) << "a GPU texture";
    EXPECT_EQ(al_get_new_bitmap_flags(), 0) << "the new-bitmap flags are put back to 0";

    Renderer explicit_size = Make(300, 200);
    EXPECT_EQ(explicit_size.Get_Width(), 300) << "an explicit output size wins over the display's";
}

TEST_F(Renderer_Setup_Test, Conversions_Keep_Proportions_On_Every_Output) {
    Renderer wide = Make(1280, 720);
    EXPECT_FLOAT_EQ(wide.Get_Aspect(), 1280.0f / 720.0f);
    EXPECT_FLOAT_EQ(wide.XtoRX(1920), 1280);
    EXPECT_FLOAT_EQ(wide.YtoRY(1080), 720);
    EXPECT_FLOAT_EQ(wide.RXtoX(1280), 1920);

    Renderer square = Make(1280, 1024);
    EXPECT_FLOAT_EQ(square.XtoRX(1920), 1920.0f * 1024 / 1080) << "one factor for both axes";
    EXPECT_FLOAT_EQ(square.RXtoX(1280), 1350);
    EXPECT_FLOAT_EQ(square.YtoRY(1080), 1024);
    EXPECT_FLOAT_EQ(square.XtoSX(1920), 1280) << "only S space stretches each axis";
    EXPECT_FLOAT_EQ(square.YtoSX(1080), 1024);
    EXPECT_FLOAT_EQ(square.GXtoX(square.XtoGX(77)), 77);
    EXPECT_FLOAT_EQ(square.GYtoY(square.YtoGY(77)), 77);

    Renderer small = Make(640, 480);
    EXPECT_FLOAT_EQ(small.XtoRX(10), 10.0f * 480 / 1080);
    EXPECT_FLOAT_EQ(small.XtoRX(3), 3.0f * 480 / 1080);
    EXPECT_FLOAT_EQ(small.RYtoY(small.YtoRY(333)), 333);
}

TEST_F(Renderer_Setup_Test, Sorting_Is_Stable_And_Ascending_In_Z) {
    Renderer renderer = Make(0, 0);
    ALLEGRO_BITMAP* image = al_create_bitmap(2, 2);
    std::vector<VObject> objects(5, VObject(image, 0, 0, 0, 0));
    float heights[] = {5, 1, 5, 3, NAN};
    for (int i = 0; i < 5; i++) objects[i].Set_Z(heights[i]);
    std::list<VObject*> list = {&objects[0], &objects[1], &objects[2], &objects[3]};
    renderer.Sort_Z_List(&list);
    std::list<VObject*> expected = {&objects[1], &objects[3], &objects[0], &objects[2]};
    EXPECT_EQ(list, expected) << "equal heights keep their order";

    // NaN is never put in front of another: it lands behind what was sorted before it.
    std::list<VObject*> with_nan = {&objects[0], &objects[4], &objects[1]};
    renderer.Sort_Z_List(&with_nan);
    std::list<VObject*> nan_expected = {&objects[1], &objects[0], &objects[4]};
    EXPECT_EQ(with_nan, nan_expected);

    std::list<VObject*> empty;
    renderer.Sort_Z_List(&empty);
    EXPECT_TRUE(empty.empty());
    al_destroy_bitmap(image);
}

TEST_F(Renderer_Setup_Test, A_Plain_Visual_Object_Takes_Its_Size_And_Pivot_From_The_Image) {
    ALLEGRO_BITMAP* image = al_create_bitmap(101, 60);
    VObject sized_by_image(image, 4, 5, 0, 0);
    EXPECT_EQ(sized_by_image.Get_W(), 101);
    EXPECT_EQ(sized_by_image.Get_H(), 60);
    EXPECT_EQ(sized_by_image.Get_CX(), 50) << "an odd width rounds the pivot down";
    EXPECT_EQ(sized_by_image.Get_CY(), 30);
    EXPECT_EQ(sized_by_image.Get_Type(), VOBJECT_TYPE_SPRITE);
    VObject sized_by_caller(image, 0, 0, -1, 7);
    EXPECT_EQ(sized_by_caller.Get_W(), 101);
    EXPECT_EQ(sized_by_caller.Get_H(), 7);
    EXPECT_EQ(sized_by_caller.Get_CX(), 50) << "the pivot comes from the image, not the size";
    VObject not_a_number(image, 0, 0, NAN, 3);
    EXPECT_TRUE(std::isnan(not_a_number.Get_W()));
    EXPECT_DEATH(VObject(nullptr, 0, 0, 0, 0), "render/vobject");
    al_destroy_bitmap(image);
}
