// The demonstration scene's controls, driven through the input arrays the
// input poll fills: view keys, lamps, debug keys and the editor's mouse work.

#include <climits>
#include <cmath>
#include <vector>

#include "demo_scene_fixture.h"

namespace Kelvane_Test {
namespace {

using Kelvane::VObject_Complex;
using Demo_Scene_Controls_Test = Demo_Scene_Test;

// A part of the screen-space plane far from every object of the world.
const float EMPTY_VIEW_X = -6000.0f;
const float EMPTY_VIEW_Y = -6000.0f;
// Pixels this far (in image pixels) around a chosen pixel share its kind, so
// float rounding of the pointer position cannot land on a pixel of the other kind.
const int MARGIN = 2;
const int CLEAR_ALPHA_MAX = 1;  // alpha at or below this lets the pointer through

struct Image_Pixel {
    int x, y;
};

// The pixel nearest the image's centre whose neighbourhood is all opaque (or
// all clear); x = -1 when there is none.
Image_Pixel Find_Pixel(ALLEGRO_BITMAP* image, bool opaque) {
    int w = al_get_bitmap_width(image), h = al_get_bitmap_height(image);
    std::vector<bool> wanted(static_cast<size_t>(w) * h);
    al_lock_bitmap(image, ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READONLY);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            unsigned char r, g, b, a;
            al_unmap_rgba(al_get_pixel(image, x, y), &r, &g, &b, &a);
            wanted[static_cast<size_t>(y) * w + x] = (a > CLEAR_ALPHA_MAX) == opaque;
        }
    al_unlock_bitmap(image);
    auto all_wanted = [&](int cx, int cy) {
        for (int y = cy - MARGIN; y <= cy + MARGIN; y++)
            for (int x = cx - MARGIN; x <= cx + MARGIN; x++)
                if (!wanted[static_cast<size_t>(y) * w + x]) return false;
        return true;
    };
    Image_Pixel best{-1, -1};
    long best_distance = LONG_MAX;
    for (int y = MARGIN; y < h - MARGIN; y++)
        for (int x = MARGIN; x < w - MARGIN; x++) {
            long distance = static_cast<long>(x - w / 2) * (x - w / 2) + static_cast<long>(y - h / 2) * (y - h / 2);
            if (distance < best_distance && all_wanted(x, y)) {
                best = {x, y};
                best_distance = distance;
            }
        }
    return best;
}

// Editor mode on, the view on an empty part of the plane; the tests bring the
// objects they point at into the middle of the display.
class Demo_Scene_Editor_Test : public Demo_Scene_Test {
protected:
    void SetUp() override {
        Demo_Scene_Test::SetUp();
        if (HasFatalFailure()) return;
        Look_At(EMPTY_VIEW_X, EMPTY_VIEW_Y);
        debug_mode = Kelvane::DEBUG_EDITOR;
    }

    void Bring_To_Middle(VObject_Complex* object) { Place_On_Display(object, DEMO_DISPLAY_W / 2, DEMO_DISPLAY_H / 2); }

    // Points at a pixel of the object's picture that is opaque (or clear).
    void Point_At_Pixel_Of(VObject_Complex* object, bool opaque) {
        Image_Pixel pixel = Find_Pixel(object->Get_Actual_Bit(), opaque);
        ASSERT_GE(pixel.x, 0) << "the object's image has no " << (opaque ? "opaque" : "clear") << " area";
        Point_At(Image_Pixel_On_Display(object, pixel.x, pixel.y));
    }

    static void Point_At_Nothing() { Point_At(Vec2D(5.0f, 5.0f)); }

    static std::vector<bool> Flags(bool (VObject_Complex::*flag)()) {
        std::vector<bool> result;
        for (int i = 0; i < static_cast<int>(vobjects.size()); i++) result.push_back((Object(i)->*flag)());
        return result;
    }
    // Which objects are hovered / selected, with only `index` set (or none for -1).
    static std::vector<bool> Only(int index) {
        std::vector<bool> result(vobjects.size(), false);
        if (index >= 0) result[index] = true;
        return result;
    }
    static std::vector<bool> Hovered() { return Flags(&VObject_Complex::Get_Hover); }
    static std::vector<bool> Selected() { return Flags(&VObject_Complex::Is_Selected); }
};

TEST_F(Demo_Scene_Editor_Test, Hover_Marks_The_Object_Whose_Opaque_Pixel_Is_Under_The_Pointer) {
    VObject_Complex* sphere = Object(SPHERE);
    Bring_To_Middle(sphere);
    Point_At_Pixel_Of(sphere, true);
    Tick();
    EXPECT_EQ(Hovered(), Only(SPHERE));

    // A clear pixel inside the same picture lets the pointer through to nothing.
    Point_At_Pixel_Of(sphere, false);
    Tick();
    EXPECT_EQ(Hovered(), Only(-1));
}

TEST_F(Demo_Scene_Editor_Test, Where_Pictures_Overlap_The_Object_Latest_In_The_List_Is_Hovered) {
    Bring_To_Middle(Object(0));
    Bring_To_Middle(Object(1));
    Point_At_Pixel_Of(Object(0), true);
    Tick();
    EXPECT_EQ(Hovered(), Only(1));
}

TEST_F(Demo_Scene_Editor_Test, The_Pointer_Is_Looked_For_Only_While_Button_1_Is_Up_Or_Held_At_Most_4_Ticks) {
    Bring_To_Middle(Object(SPHERE));
    Point_At_Pixel_Of(Object(SPHERE), true);
    Tick();
    ASSERT_EQ(Hovered(), Only(SPHERE));

    Point_At_Nothing();
    KB_TimePressed[MOUSE_LEFT] = 5;
    Tick();
    EXPECT_EQ(Hovered(), Only(SPHERE)) << "no search after 5 ticks: the old mark stays";
    KB_TimePressed[MOUSE_LEFT] = 4;
    Tick();
    EXPECT_EQ(Hovered(), Only(-1));
}

TEST_F(Demo_Scene_Editor_Test, Middle_Click_Selects_The_Hovered_Object_Alone_And_On_Nothing_Clears_The_Selection) {
    Object(0)->Select_Toggle();
    Object(ROBOT)->Select_Toggle();
    Bring_To_Middle(Object(SPHERE));
    Point_At_Pixel_Of(Object(SPHERE), true);
    Tick_Pressing(MOUSE_MIDDLE);
    EXPECT_EQ(Selected(), Only(SPHERE));
    Tick_Pressing(MOUSE_MIDDLE);
    EXPECT_EQ(Selected(), Only(SPHERE)) << "a second click keeps it selected";

    Point_At_Nothing();
    Tick_Pressing(MOUSE_MIDDLE);
    EXPECT_EQ(Selected(), Only(-1));
}

TEST_F(Demo_Scene_Editor_Test, Middle_Click_While_Button_1_Is_Held_5_Ticks_Clears_The_Selection_Even_Over_An_Object) {
    Object(SPHERE)->Select_Toggle();
    Bring_To_Middle(Object(SPHERE));
    Point_At_Pixel_Of(Object(SPHERE), true);
    Hold(MOUSE_LEFT, 5);
    Tick_Pressing(MOUSE_MIDDLE);
    EXPECT_EQ(Selected(), Only(-1));
}

TEST_F(Demo_Scene_Editor_Test, Editor_Mode_Switched_On_Counts_From_The_Next_Tick) {
    debug_mode = 0;
    Bring_To_Middle(Object(SPHERE));
    Point_At_Pixel_Of(Object(SPHERE), true);
    KB_Input[ALLEGRO_KEY_F5] = true;
    Tick_Pressing(MOUSE_MIDDLE);
    KB_Input[ALLEGRO_KEY_F5] = false;
    EXPECT_EQ(debug_mode, Kelvane::DEBUG_EDITOR);
    EXPECT_EQ(Hovered(), Only(-1));
    EXPECT_EQ(Selected(), Only(-1));

    Tick_Pressing(MOUSE_MIDDLE);
    EXPECT_EQ(Selected(), Only(SPHERE));
}

TEST_F(Demo_Scene_Editor_Test, Dragging_Puts_The_Selected_Objects_Own_Position_Under_The_Pointer_At_Its_Height) {
    VObject_Complex* sphere = Object(SPHERE);
    VObject_Complex* robot = Object(ROBOT);
    sphere->Set_Z(50.0f);
    sphere->Select_Toggle();
    float robot_x = robot->Get_X(), robot_y = robot->Get_Y();
    Point_At(Vec2D(300.0f, 200.0f));
    Hold(MOUSE_LEFT, 10);
    Tick();

    Vec2D floor = Screen_To_Display(cam->Proj_To_Screen(sphere->Get_X(), sphere->Get_Y(), 0.0f));
    EXPECT_NEAR(floor.x, 300.0f, 0.05f);
    EXPECT_NEAR(floor.y, 200.0f, 0.05f);
    EXPECT_EQ(sphere->Get_Z(), 50.0f);
    EXPECT_EQ(robot->Get_X(), robot_x) << "unselected objects stay";
    EXPECT_EQ(robot->Get_Y(), robot_y);
}

TEST_F(Demo_Scene_Editor_Test, Holding_A_Button_Clears_The_Hover_Mark) {
    Bring_To_Middle(Object(SPHERE));
    Point_At_Pixel_Of(Object(SPHERE), true);
    for (int button : {MOUSE_LEFT, MOUSE_RIGHT}) {
        Hold(button, 1);
        Tick();
        EXPECT_EQ(Hovered(), Only(-1)) << "button " << button - MOUSE_LEFT + 1;
        KB_Active[button] = false;
        KB_TimePressed[button] = 0;
    }
}

TEST_F(Demo_Scene_Editor_Test, Right_Drag_Moves_The_Selected_Object_Up_And_Down_Within_The_Map) {
    VObject_Complex* sphere = Object(SPHERE);
    sphere->Select_Toggle();
    sphere->Set_Z(100.0f);
    Hold(MOUSE_RIGHT, 10);

    mick_y = -20.0f;  // pointer up raises
    Tick();
    EXPECT_FLOAT_EQ(sphere->Get_Z(), 120.0f);
    mick_y = 5.0f;
    Tick(2.0f);
    EXPECT_FLOAT_EQ(sphere->Get_Z(), 110.0f);
    EXPECT_EQ(Object(ROBOT)->Get_Z(), 0.0f) << "unselected objects stay";

    mick_y = 1e6f;
    Tick();
    EXPECT_FLOAT_EQ(sphere->Get_Z(), 0.01f);
    mick_y = -1e6f;
    Tick();
    EXPECT_FLOAT_EQ(sphere->Get_Z(), 2400.0f - sphere->Get_Tall());

    // An object taller than the map: the upper limit wins over the lower one.
    cam->Set_Map_Tall(sphere->Get_Tall() - 5.0f);
    mick_y = 1e6f;
    Tick();
    EXPECT_FLOAT_EQ(sphere->Get_Z(), -5.0f);
}

TEST_F(Demo_Scene_Editor_Test, Right_Drag_With_Left_Ctrl_Scales_The_Selected_Object_Down_To_One_Hundredth) {
    VObject_Complex* sphere = Object(SPHERE);
    sphere->Select_Toggle();
    Hold(MOUSE_RIGHT, 10);
    Hold(ALLEGRO_KEY_LCTRL, 10);

    mick_y = -10.0f;
    Tick();
    EXPECT_FLOAT_EQ(sphere->Get_Scale(), 1.04f);
    EXPECT_EQ(sphere->Get_Z(), 0.0f);
    mick_y = 1e6f;
    Tick();
    EXPECT_FLOAT_EQ(sphere->Get_Scale(), 0.01f);
    Tick();
    EXPECT_FLOAT_EQ(sphere->Get_Scale(), 0.01f);

    // Right Ctrl does not scale: the object is raised instead.
    KB_Active[ALLEGRO_KEY_LCTRL] = false;
    Hold(ALLEGRO_KEY_RCTRL, 10);
    mick_y = -30.0f;
    Tick();
    EXPECT_FLOAT_EQ(sphere->Get_Scale(), 0.01f);
    EXPECT_FLOAT_EQ(sphere->Get_Z(), 30.0f);
}

TEST_F(Demo_Scene_Controls_Test, Outside_Editor_Mode_The_Mouse_Changes_Nothing) {
    VObject_Complex* sphere = Object(SPHERE);
    sphere->Select_Toggle();
    float x = sphere->Get_X(), z = sphere->Get_Z();
    Point_At(Vec2D(300.0f, 200.0f));
    mick_y = -20.0f;
    Hold(MOUSE_LEFT, 10);
    Hold(MOUSE_RIGHT, 10);
    Tick_Pressing(MOUSE_MIDDLE);
    EXPECT_TRUE(sphere->Is_Selected());
    EXPECT_EQ(sphere->Get_X(), x);
    EXPECT_EQ(sphere->Get_Z(), z);
}

TEST_F(Demo_Scene_Controls_Test, Arrow_Keys_Move_The_View_Target_Five_Units_Per_Tick_And_The_View_Eases_After_It) {
    Hold(ALLEGRO_KEY_RIGHT, 1);
    Tick();
    EXPECT_FLOAT_EQ(cam->Get_X(), 0.5f);  // target 5, one tenth of the way
    Hold(ALLEGRO_KEY_LEFT, 1);
    Tick();
    EXPECT_FLOAT_EQ(cam->Get_X(), 0.95f) << "left and right together keep the target at 5";
    KB_Active[ALLEGRO_KEY_RIGHT] = false;
    Tick(2.0f);
    EXPECT_FLOAT_EQ(cam->Get_X(), 0.95f + (-5.0f - 0.95f) / 10.0f * 2.0f) << "left at dt 2 moves the target by -10";
    EXPECT_EQ(cam->Get_Y(), 0.0f);

    KB_Active[ALLEGRO_KEY_LEFT] = false;
    Hold(ALLEGRO_KEY_UP, 1);
    Tick();
    float y = cam->Get_Y();
    EXPECT_FLOAT_EQ(y, -0.5f);
    KB_Active[ALLEGRO_KEY_UP] = false;
    Hold(ALLEGRO_KEY_DOWN, 1);
    Tick();
    EXPECT_FLOAT_EQ(cam->Get_Y(), y + (0.0f - y) / 10.0f) << "down brings the target back to 0";
}

TEST_F(Demo_Scene_Controls_Test, L_With_The_Pointer_At_The_Top_Left_Adds_A_Lamp_At_Floor_Origin_Height_300) {
    Point_At(Vec2D(0.0f, 0.0f));
    Tick_Pressing(ALLEGRO_KEY_L);
    ASSERT_EQ(lights.size(), 2u);
    ASSERT_EQ(vobjects.size(), static_cast<size_t>(WORLD_SIZE + 1));
    Kelvane::Light* light = lights.back();
    EXPECT_EQ(light->Get_X(), 0.0f);
    EXPECT_EQ(light->Get_Y(), 0.0f);
    EXPECT_EQ(light->Get_Z(), 300.0f);
    EXPECT_EQ(light->Get_Range(), 400.0f);
    EXPECT_FLOAT_EQ(light->Get_R(), 1.2f);

    EXPECT_EQ(pilar, vobjects.back());
    EXPECT_EQ(pilar->Get_X(), 0.0f);
    EXPECT_EQ(pilar->Get_Y(), 0.0f);
    EXPECT_EQ(pilar->Get_Z(), 300.0f);
    EXPECT_EQ(pilar->Get_Scale(), 1.0f);
    EXPECT_EQ(pilar->Get_Actual_Bit_Shadow(), nullptr) << "lamps cast no shadow";
    EXPECT_EQ(pilar->Get_Actual_Bit(), Object(LAMP)->Get_Actual_Bit()) << "a lamp is a \"light\" object";

    pilar->Set_Y(640.0f);
    Tick();
    EXPECT_EQ(light->Get_Y(), 640.0f) << "the new lamp carries its light";
}

TEST_F(Demo_Scene_Controls_Test, Every_L_Press_Adds_A_Lamp_Whose_Floor_Point_Is_Under_The_Pointer) {
    Look_At(-250.0f, 130.0f);
    Point_At(Vec2D(410.0f, 333.0f));
    Tick_Pressing(ALLEGRO_KEY_L);
    Point_At(Vec2D(20.0f, 500.0f));
    Tick_Pressing(ALLEGRO_KEY_L);
    ASSERT_EQ(lights.size(), 3u);
    ASSERT_EQ(vobjects.size(), static_cast<size_t>(WORLD_SIZE + 2));
    Kelvane::Light* light = lights.back();
    Vec2D floor = Screen_To_Display(cam->Proj_To_Screen(light->Get_X(), light->Get_Y(), 0.0f));
    EXPECT_NEAR(floor.x, 20.0f, 0.05f);
    EXPECT_NEAR(floor.y, 500.0f, 0.05f);
}

TEST_F(Demo_Scene_Controls_Test, Each_Function_Key_Flips_Its_Own_Debug_Flag) {
    Tick_Pressing(ALLEGRO_KEY_F5);
    EXPECT_EQ(debug_mode, Kelvane::DEBUG_EDITOR);
    Tick_Pressing(ALLEGRO_KEY_F5);
    EXPECT_EQ(debug_mode, 0) << "F5 on the next tick switches editor mode off again";

    KB_Input[ALLEGRO_KEY_F1] = KB_Input[ALLEGRO_KEY_F3] = true;
    Tick();
    KB_Input[ALLEGRO_KEY_F1] = KB_Input[ALLEGRO_KEY_F3] = false;
    EXPECT_EQ(debug_mode, Kelvane::DEBUG_LIGHTS | Kelvane::DEBUG_NORMALS);

    Tick_Pressing(ALLEGRO_KEY_F2);
    Tick_Pressing(ALLEGRO_KEY_F4);
    Tick_Pressing(ALLEGRO_KEY_F1);
    EXPECT_EQ(debug_mode, Kelvane::DEBUG_HEIGHT | Kelvane::DEBUG_NORMALS | Kelvane::DEBUG_NO_LIGHTING);

    // Holding a key is not pressing it.
    Hold(ALLEGRO_KEY_F4, 3);
    Tick();
    EXPECT_EQ(debug_mode, Kelvane::DEBUG_HEIGHT | Kelvane::DEBUG_NORMALS | Kelvane::DEBUG_NO_LIGHTING);
}

TEST_F(Demo_Scene_Controls_Test, Bits_That_Are_No_Debug_Flag_Are_Dropped) {
    debug_mode = 64 | Kelvane::DEBUG_LIGHTS;
    Tick();
    EXPECT_EQ(debug_mode, Kelvane::DEBUG_LIGHTS);
}

}  // namespace
}  // namespace Kelvane_Test
