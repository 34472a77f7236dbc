// The demonstration scene's controls, driven through the input arrays the input poll fills.
#include "demo_scene_fixture.h"
#include "support/window.h"

namespace Kelvane_Test {
namespace {

using Kelvane::VObject_Complex;
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
        Object(SPHERE)->Set_X(floor.x);
        Object(SPHERE)->Set_Y(floor.y);
    }

    Kelvane::Renderer* renderer() { return game->Get_First_Renderer(); }
    Vec2D Screen_To_Display(Vec2D screen) {
        return Vec2D(renderer()->XtoRX(screen.x - cam->Get_X()), renderer()->YtoRY(screen.y - cam->Get_Y()));
    }

    // Points at the centre of the first opaque (or clear) pixel of the object's picture, whose
    // image pixel (cx, cy) lies on the picture of the object's position.
    void Point_At_Pixel_Of(VObject_Complex* object, bool opaque) {
        ALLEGRO_BITMAP* image = object->Get_Actual_Bit();
        int k = 0, w = al_get_bitmap_width(image);
        al_lock_bitmap(image, ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READONLY);
        while ((Read_Pixel(image, k % w, k / w).a > 1) != opaque) k++;
        al_unlock_bitmap(image);
        Vec2D at = cam->Proj_To_Screen(object->Get_X(), object->Get_Y(), object->Get_Z());
        float scale = object->Get_Scale();
        Point_At(Screen_To_Display(
            Vec2D(at.x + (k % w + 0.5f - object->Get_CX()) * scale, at.y + (k / w + 0.5f - object->Get_CY()) * scale)));
    }

    // The positions in `vobjects` of the hovered (or selected) objects.
    static Ids Marked(bool hovered) {
        Ids marked;
        for (int i = 0; i < static_cast<int>(vobjects.size()); i++)
            if (hovered ? Object(i)->Get_Hover() : Object(i)->Is_Selected()) marked.push_back(i);
        return marked;
    }
};

TEST_F(Demo_Scene_Editor_Test, The_Pointer_Hovers_The_Latest_Opaque_Pixel_And_Middle_Click_Selects_What_It_Hovers) {
    VObject_Complex *sphere = Object(SPHERE), *lamp = Object(LAMP);
    lamp->Set_X(sphere->Get_X());  // the small lamp wholly in front of the sphere's picture
    lamp->Set_Y(sphere->Get_Y());
    lamp->Set_Z(100.0f);
    for (int i : {0, ROBOT}) Object(i)->Select_Toggle();
    Point_At_Pixel_Of(sphere, true);
    // Editor mode is read before F5 flips it: switched on, it counts from the next tick.
    debug_mode = 0;
    Tick_Pressing({ALLEGRO_KEY_F5, MOUSE_MIDDLE});
    EXPECT_EQ(Marked(SELECTED), (Ids{0, ROBOT}));
    Tick_Pressing({MOUSE_MIDDLE});
    EXPECT_EQ(Marked(SELECTED), Ids{SPHERE}) << "selected alone";

    Point_At_Pixel_Of(lamp, true);
    Tick();
    EXPECT_EQ(Marked(HOVERED), Ids{LAMP}) << "both are under the pointer: the latest in the list wins";
    Point_At_Pixel_Of(lamp, false);
    Tick();
    EXPECT_EQ(Marked(HOVERED), Ids{SPHERE}) << "a clear pixel lets the pointer through";

    // Not looked for once button 1 has been held more than 4 ticks: the old mark stays.
    Point_At(Vec2D(5.0f, 5.0f));
    KB_TimePressed[MOUSE_LEFT] = 5;
    Tick();
    EXPECT_EQ(Marked(HOVERED), Ids{SPHERE});
    KB_TimePressed[MOUSE_LEFT] = 4;
    Tick_Pressing({MOUSE_MIDDLE});
    EXPECT_EQ(Marked(HOVERED), Ids{});
    EXPECT_EQ(Marked(SELECTED), Ids{}) << "a middle click on nothing clears the selection";
}

TEST_F(Demo_Scene_Editor_Test, Dragging_Puts_The_Selected_Objects_Own_Position_Under_The_Pointer_At_Its_Height) {
    VObject_Complex* sphere = Object(SPHERE);
    sphere->Set_Z(50.0f);
    sphere->Select_Toggle();
    Point_At(Vec2D(300.0f, 200.0f));
    Hold(MOUSE_LEFT, 10);
    Tick();
    Vec2D floor = Screen_To_Display(cam->Proj_To_Screen(sphere->Get_X(), sphere->Get_Y(), 0.0f));
    EXPECT_NEAR(floor.x, 300.0f, 0.05f);
    EXPECT_NEAR(floor.y, 200.0f, 0.05f);
    EXPECT_EQ(sphere->Get_Z(), 50.0f);
    EXPECT_EQ(Object(ROBOT)->Get_X(), 600.0f) << "unselected objects stay";
}

TEST_F(Demo_Scene_Editor_Test, Right_Drag_Raises_The_Selected_Object_Within_The_Map_Or_With_Left_Ctrl_Scales_It) {
    VObject_Complex* sphere = Object(SPHERE);
    sphere->Select_Toggle();
    sphere->Set_Z(100.0f);
    Hold(MOUSE_RIGHT, 10);
    // One tick with the pointer moved by `mick` (up is negative); the height after it.
    auto drag = [&](float mick, float dt) { return mick_y = mick, Tick(dt), sphere->Get_Z(); };
    Hold(ALLEGRO_KEY_LCTRL, 10);
    EXPECT_EQ(drag(-10.0f, 1.0f), 100.0f) << "scaled, not raised";
    EXPECT_FLOAT_EQ(sphere->Get_Scale(), 1.04f);
    drag(1e6f, 1.0f);
    EXPECT_FLOAT_EQ(sphere->Get_Scale(), 0.01f);

    KB_Active[ALLEGRO_KEY_LCTRL] = false;
    EXPECT_EQ(drag(-10.0f, 2.0f), 120.0f);
    EXPECT_EQ(drag(1e6f, 1.0f), 0.01f);
    EXPECT_EQ(drag(-1e6f, 1.0f), 2400.0f - sphere->Get_Tall());
    cam->Set_Map_Tall(sphere->Get_Tall() - 5.0f);  // taller than the map: the upper limit wins over 0.01
    EXPECT_FLOAT_EQ(drag(1e6f, 1.0f), -5.0f);
}

TEST_F(Demo_Scene_Test, Arrow_Keys_Move_The_View_Target_By_5_dt) {
    for (int key : {ALLEGRO_KEY_RIGHT, ALLEGRO_KEY_UP}) Hold(key, 1);
    Tick(2.0f);
    for (int key : {ALLEGRO_KEY_LEFT, ALLEGRO_KEY_DOWN}) Hold(key, 1);
    Tick(3.0f);  // with all four held, opposite keys cancel out
    Move_View(0.0f, 0.0f);
    EXPECT_EQ(std::vector<float>({cam->Get_X(), cam->Get_Y()}), (std::vector<float>{10, -10}));
}

TEST_F(Demo_Scene_Test, L_With_The_Pointer_At_The_Top_Left_Adds_A_Lamp_At_Floor_Origin_Height_300) {
    Point_At(Vec2D(0.0f, 0.0f));
    Tick_Pressing({ALLEGRO_KEY_L});
    ASSERT_EQ(lights.size(), 2u);
    ASSERT_EQ(vobjects.size(), static_cast<size_t>(WORLD_SIZE + 1));
    EXPECT_EQ(Position(lights.back()), (std::vector<float>{0, 0, 300}));
    EXPECT_EQ(Position(pilar), (std::vector<float>{0, 0, 300}));
    EXPECT_EQ(pilar->Get_Actual_Bit(), Object(LAMP)->Get_Actual_Bit()) << "a lamp is a \"light\" object";
    pilar->Set_Y(640.0f);
    Tick();
    EXPECT_EQ(lights.back()->Get_Y(), 640.0f) << "the new lamp carries its light";
}

TEST_F(Demo_Scene_Test, Each_Function_Key_Pressed_Flips_Its_Own_Debug_Flag) {
    Tick_Pressing({ALLEGRO_KEY_F5});
    EXPECT_EQ(debug_mode, Kelvane::DEBUG_EDITOR);
    Tick_Pressing({ALLEGRO_KEY_F5});
    EXPECT_EQ(debug_mode, 0) << "F5 on the next tick switches editor mode off again";
    Hold(ALLEGRO_KEY_F2, 3);  // held, not pressed: no flip
    Tick_Pressing({ALLEGRO_KEY_F1, ALLEGRO_KEY_F3});
    EXPECT_EQ(debug_mode, Kelvane::DEBUG_LIGHTS | Kelvane::DEBUG_NORMALS);
}

}  // namespace
}  // namespace Kelvane_Test
