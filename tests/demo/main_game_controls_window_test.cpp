// The demonstration scene's controls, driven through the input arrays the input poll fills.
#include "demo_scene_fixture.h"
#include "support/window.h"

namespace Kelvane_Test {
namespace {

using Ids = std::vector<int>;
const int MOUSE_LEFT = INPUT_MOUSE_FIRST, MOUSE_RIGHT = INPUT_MOUSE_FIRST + 1, MOUSE_MIDDLE = INPUT_MOUSE_FIRST + 2;
const bool HOVERED = true, SELECTED = false;

void Point_At(Vec2D display) { mouse_x = display.x, mouse_y = display.y; }

// Editor mode on, the view on an empty part of the plane with the sphere's pivot in its middle.
class Demo_Scene_Editor_Test : public Demo_Scene_Test {
protected:
    void SetUp() override {
        Demo_Scene_Test::SetUp();
        if (HasFatalFailure()) return;
        debug_mode = Kelvane::DEBUG_EDITOR;
        Move_View(-6000.0f, -6000.0f);
        Vec2D floor = cam->Screen_To_Proj(cam->Get_X() + renderer()->RXtoX(DISPLAY_W / 2),
                                          cam->Get_Y() + renderer()->RYtoY(DISPLAY_H / 2), 0.0f);
        sphere = Object(SPHERE);
        sphere->Set_X(floor.x), sphere->Set_Y(floor.y);
    }

    Kelvane::Renderer* renderer() { return game->Get_First_Renderer(); }
    Vec2D Screen_To_Display(Vec2D screen) {
        return Vec2D(renderer()->XtoRX(screen.x - cam->Get_X()), renderer()->YtoRY(screen.y - cam->Get_Y()));
    }

    // Points at the middle of the object's first opaque (or clear) image pixel; (cx, cy) pictures its position.
    void Point_At_Pixel_Of(VObject_Complex* object, bool opaque) {
        ALLEGRO_BITMAP* image = object->Get_Actual_Bit();
        int k = 0, w = al_get_bitmap_width(image);
        al_lock_bitmap(image, ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READONLY);
        while ((Read_Pixel(image, k % w, k / w).a > 1) != opaque) k++;
        al_unlock_bitmap(image);
        Vec2D at = cam->Proj_To_Screen(object->Get_X(), object->Get_Y(), object->Get_Z());
        float s = object->Get_Scale();
        at.x += (k % w + 0.5f - object->Get_CX()) * s, at.y += (k / w + 0.5f - object->Get_CY()) * s;
        Point_At(Screen_To_Display(at));
    }

    // One tick pressing `inputs`; then the positions in `vobjects` of the hovered (or selected) objects.
    Ids Marked_After(std::initializer_list<int> inputs, bool hovered) {
        Tick_Pressing(inputs);
        Ids marked;
        for (int i = 0; i < static_cast<int>(vobjects.size()); i++)
            if (hovered ? Object(i)->Get_Hover() : Object(i)->Is_Selected()) marked.push_back(i);
        return marked;
    }

    VObject_Complex* sphere = nullptr;
};

TEST_F(Demo_Scene_Editor_Test, The_Pointer_Hovers_The_Latest_Opaque_Pixel_And_Middle_Click_Selects_What_It_Hovers) {
    VObject_Complex* lamp = Object(LAMP);  // moved wholly in front of the sphere's picture
    lamp->Set_X(sphere->Get_X()), lamp->Set_Y(sphere->Get_Y()), lamp->Set_Z(100.0f);
    for (int i : {0, ROBOT}) Object(i)->Select_Toggle();
    Point_At_Pixel_Of(sphere, true);
    debug_mode = 0;  // editor mode is read before F5 flips it: switched on, it counts from the next tick
    EXPECT_EQ(Marked_After({ALLEGRO_KEY_F5, MOUSE_MIDDLE}, SELECTED), (Ids{0, ROBOT}));
    EXPECT_EQ(Marked_After({MOUSE_MIDDLE}, SELECTED), Ids{SPHERE}) << "selected alone";

    Point_At_Pixel_Of(lamp, true);
    EXPECT_EQ(Marked_After({}, HOVERED), Ids{LAMP}) << "both are under the pointer: the latest in the list wins";
    Point_At_Pixel_Of(lamp, false);
    EXPECT_EQ(Marked_After({}, HOVERED), Ids{SPHERE}) << "a clear pixel lets the pointer through";

    // Not looked for once button 1 has been held more than 4 ticks: the old mark stays.
    Point_At(Vec2D(5.0f, 5.0f)), KB_TimePressed[MOUSE_LEFT] = 5;
    EXPECT_EQ(Marked_After({}, HOVERED), Ids{SPHERE});
    KB_TimePressed[MOUSE_LEFT] = 4;
    EXPECT_EQ(Marked_After({MOUSE_MIDDLE}, HOVERED), Ids{});
    EXPECT_EQ(Marked_After({}, SELECTED), Ids{}) << "a middle click on nothing clears the selection";
}

TEST_F(Demo_Scene_Editor_Test, Dragging_Moves_Raises_Within_The_Map_Or_With_Left_Ctrl_Scales_The_Selected_Objects) {
    sphere->Select_Toggle(), sphere->Set_Z(100.0f);
    Point_At(Vec2D(300.0f, 200.0f)), Hold(MOUSE_LEFT, 10), Tick();
    Vec2D floor = Screen_To_Display(cam->Proj_To_Screen(sphere->Get_X(), sphere->Get_Y(), 0.0f));
    EXPECT_NEAR(floor.x, 300.0f, 0.05f) << "the left drag puts the object's own position under the pointer";
    EXPECT_NEAR(floor.y, 200.0f, 0.05f);
    EXPECT_EQ(Object(ROBOT)->Get_X(), 600.0f) << "unselected objects stay";

    KB_Active[MOUSE_LEFT] = false, Hold(MOUSE_RIGHT, 10), Hold(ALLEGRO_KEY_LCTRL, 10);
    auto drag = [&](float mick, float dt) { return mick_y = mick, Tick(dt), sphere->Get_Z(); };  // up is negative
    EXPECT_EQ(drag(-10.0f, 1.0f), 100.0f) << "scaled, not raised; nor did the left drag change the height";
    EXPECT_FLOAT_EQ(sphere->Get_Scale(), 1.04f);
    drag(1e6f, 1.0f);
    EXPECT_FLOAT_EQ(sphere->Get_Scale(), 0.01f);

    KB_Active[ALLEGRO_KEY_LCTRL] = false;
    EXPECT_EQ(drag(-10.0f, 2.0f), 120.0f);
    EXPECT_EQ(drag(1e6f, 1.0f), 0.01f);
    // The height setting is in screen pixels: as a height, tall / height factor.
    float tall = sphere->Get_Tall() / cam->Get_Height_Factor();
    EXPECT_FLOAT_EQ(drag(-1e6f, 1.0f), 2400.0f - tall);
    cam->Set_Map_Tall(tall - 5.0f);  // taller than the map: the upper limit wins over 0.01
    EXPECT_FLOAT_EQ(drag(1e6f, 1.0f), -5.0f);
}

TEST_F(Demo_Scene_Test, Arrow_Keys_Move_The_View_Target_By_5_dt) {
    Hold(ALLEGRO_KEY_RIGHT, 1), Hold(ALLEGRO_KEY_UP, 1), Tick(2.0f);
    Hold(ALLEGRO_KEY_LEFT, 1), Hold(ALLEGRO_KEY_DOWN, 1), Tick(3.0f);  // all four held: opposite keys cancel out
    Move_View(0.0f, 0.0f);
    EXPECT_EQ(std::vector<float>({cam->Get_X(), cam->Get_Y()}), (std::vector<float>{10, -10}));
}

TEST_F(Demo_Scene_Test, L_With_The_Pointer_At_The_Top_Left_Adds_A_Lamp_At_Floor_Origin_Height_300) {
    Tick_Pressing({ALLEGRO_KEY_L});  // the pointer is at (0, 0)
    ASSERT_TRUE(lights.size() == 2 && vobjects.size() == WORLD_SIZE + 1u);
    for (auto at : {Position(lights.back()), Position(pilar)}) EXPECT_EQ(at, (std::vector<float>{0, 0, 300}));
    EXPECT_EQ(pilar->Get_Actual_Bit(), Object(LAMP)->Get_Actual_Bit()) << "a lamp is a \"light\" object";
    pilar->Set_Y(640.0f), Tick();
    EXPECT_EQ(lights.back()->Get_Y(), 640.0f) << "the new lamp carries its light";
}

TEST_F(Demo_Scene_Test, Each_Function_Key_Pressed_Flips_Its_Own_Debug_Flag) {
    auto flags_after = [&](std::initializer_list<int> keys) { return Tick_Pressing(keys), debug_mode; };
    EXPECT_EQ(flags_after({ALLEGRO_KEY_F5}), Kelvane::DEBUG_EDITOR);
    EXPECT_EQ(flags_after({ALLEGRO_KEY_F5}), 0) << "F5 on the next tick switches editor mode off again";
    Hold(ALLEGRO_KEY_F2, 3);  // held, not pressed: no flip
    EXPECT_EQ(flags_after({ALLEGRO_KEY_F1, ALLEGRO_KEY_F3}), Kelvane::DEBUG_LIGHTS | Kelvane::DEBUG_NORMALS);
}

}  // namespace
}  // namespace Kelvane_Test
