// The demonstration scene in one real game per test program, run like the program: its start, controls,
// drawing and scene file. Each test restarts the scene, inputs released; the exit tests run a whole game.
#include <allegro5/allegro_font.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <thread>

#include "demo/main_game.h"
#include "game/game.h"
#include "game/scene.h"
#include "input/input.h"
#include "render/renderer.h"
#include "render/vobject_complex.h"
#include "render/world.h"
#include "support/scratch_dir.h"
#include "support/window.h"
#include "world/camera.h"
#include "world/light.h"

namespace Kelvane_Test {
namespace {

using Kelvane::VObject_Complex;
using Ids = std::vector<int>;

const int DISPLAY_W = 960, DISPLAY_H = 540;  // half the internal picture
// Positions in `vobjects` after the start: nine tiles, square, house, sphere, robot, pilar, the lamp.
const int SPHERE = 11, ROBOT = 12, LAMP = 14, WORLD_SIZE = 15;
const int MOUSE_LEFT = INPUT_MOUSE_FIRST, MOUSE_RIGHT = INPUT_MOUSE_FIRST + 1, MOUSE_MIDDLE = INPUT_MOUSE_FIRST + 2;

// The demonstration scene's game, run from a copy of what the program reads, in the small window.
Kelvane::Game* New_Demo_Game(const std::string& stage, Kelvane::Scene::Callback start = MainGame_Start,
                             Kelvane::Scene::Update_Callback update = MainGame_Update,
                             Kelvane::Scene::Callback draw = MainGame_Draw,
                             Kelvane::Scene::Callback close = MainGame_Close) {
    namespace fs = std::filesystem;
    fs::copy(fs::path(stage) / "assets", "assets", fs::copy_options::recursive);
    for (const char* image : {"b1.png", "b2.png"})
        if (fs::exists(fs::path(stage) / image)) fs::copy_file(fs::path(stage) / image, image);
    Write_File("game_config.ini", "[Display]\nMode = 1\nWidth = 960\nHeight = 540\n");
    Kelvane::Game* game = new Kelvane::Game("Kelvane");
    game->Set_Scene_List({new Kelvane::Scene("MainGame", start, update, draw, close)});
    return game;
}

// The shared game after Game::Setup, which has started the scene once; null if set-up failed.
Kelvane::Game* Demo_Game() {
    static Scratch_Dir run_directory;
    static Kelvane::Game* game = New_Demo_Game(run_directory.Previous());
    static bool set_up = game->Setup(0, nullptr);
    return set_up ? game : nullptr;
}

auto Position = [](auto* item) { return std::vector<float>{item->Get_X(), item->Get_Y(), item->Get_Z()}; };

class Demo_Scene_Test : public ::testing::Test {
protected:
    void SetUp() override {
        game = Demo_Game();
        ASSERT_NE(game, nullptr) << "Game::Setup failed; see game.log (run under an X server)";
        al_set_target_backbuffer(game->Get_Display());
        for (int i = 0; i < INPUT_ENTRIES; i++) KB_Active[i] = KB_Input[i] = false, KB_TimePressed[i] = 0;
        mouse_x = mouse_y = mouse_z = mick_x = mick_y = mick_z = 0.0f;
        Free_World();
        MainGame_Start(game);
    }

    void TearDown() override { Free_World(); }

    // Closing the scene frees its world, font and images: each test starts afresh.
    static void Free_World() { MainGame_Close(nullptr); }

    void Tick(float dt = 1.0f) { MainGame_Update(game, dt); }

    // One tick on which the inputs go down, as the input poll reports it; released after.
    void Tick_Pressing(std::initializer_list<int> inputs) {
        for (int input : inputs) KB_Input[input] = true, Hold(input, 1);
        Tick();
        for (int input : inputs) KB_TimePressed[input] = KB_Input[input] = KB_Active[input] = false;
    }

    // Held for `ticks` ticks already (no press edge on this tick).
    static void Hold(int input, int ticks) { KB_Active[input] = true, KB_TimePressed[input] = ticks; }

    static VObject_Complex* Object(int i) { return static_cast<VObject_Complex*>(*std::next(vobjects.begin(), i)); }

    Kelvane::Renderer* renderer() { return game->Get_First_Renderer(); }

    // Moves the view's target by (dx, dy) (from a fresh camera's 0, 0) and lets the view settle there.
    static void Move_View(float dx, float dy) {
        cam->Move_Target_X(dx), cam->Move_Target_Y(dy);
        for (int i = 0; i < 2000; i++) cam->Update(1.0f);
    }

    Kelvane::Game* game = nullptr;
};

TEST_F(Demo_Scene_Test, Start_Logs_Five_Lines_Says_Whether_The_Font_Loaded_And_Clears_The_Flags) {
    for (bool font_there : {true, false}) {
        std::string before = Read_File("game.log");
        debug_mode = Kelvane::DEBUG_EDITOR | Kelvane::DEBUG_LIGHTS;
        if (!font_there) std::filesystem::rename("assets/font/GameFont.ttf", "away.ttf");
        Free_World(), MainGame_Start(game);
        if (!font_there) std::filesystem::rename("away.ttf", "assets/font/GameFont.ttf");
        ASSERT_EQ(Read_File("game.log").compare(0, before.size(), before), 0)
            << "the log was rewritten, not appended to";
        std::string font_line =
            font_there ? "Game Font loaded." : "Game Font couldn't be loaded from assets/font/GameFont.ttf.";
        EXPECT_EQ(Log_Messages(before.size()),
                  (std::vector<std::string>{"Starting Game Scene.", "Lights created.", font_line, "Camera created",
                                            "Objects created"}));
        EXPECT_EQ(debug_mode, 0);
        EXPECT_TRUE(font_there ? font && b1 && b2 : !font) << "the font, b1.png or b2.png did not load";
    }
}

TEST_F(Demo_Scene_Test, The_Built_In_World_Is_Fifteen_Complex_Objects_Under_A_Unit_Sun_And_The_Lamp_Carries_Its_Light) {
    ASSERT_EQ(vobjects.size(), size_t(WORLD_SIZE));
    for (int i = 0; i < WORLD_SIZE; i++)
        EXPECT_EQ((*std::next(vobjects.begin(), i))->Get_Type(), Kelvane::VOBJECT_TYPE_COMPLEX) << "object " << i;
    EXPECT_EQ(pilar, Object(LAMP)) << "pilar must end up as the lamp object";
    ASSERT_EQ(lights.size(), 1u);
    Tick();
    EXPECT_EQ(Position(lights.front()), Position(pilar)) << "moved to the lamp on the first update";
    std::vector<float> sun = Position(directional);
    EXPECT_NEAR(sun[0] * sun[0] + sun[1] * sun[1] + sun[2] * sun[2], 1.0f, 1e-6f);
}

TEST_F(Demo_Scene_Test, L_Adds_A_Lamp_Carrying_Its_Light_Under_The_Pointer) {
    Tick_Pressing({ALLEGRO_KEY_L});  // the pointer is at the top left, over the floor's origin
    ASSERT_TRUE(lights.size() == 2 && vobjects.size() == WORLD_SIZE + 1u);
    for (auto at : {Position(lights.back()), Position(pilar)}) EXPECT_EQ(at, (std::vector<float>{0, 0, 300}));
    EXPECT_EQ(pilar->Get_Actual_Bit(), Object(LAMP)->Get_Actual_Bit()) << "a lamp is a \"light\" object";
    pilar->Set_Y(640.0f), Tick();
    EXPECT_EQ(lights.back()->Get_Y(), 640.0f) << "the new lamp carries its light";
}

TEST_F(Demo_Scene_Test, A_Function_Key_Flips_Its_Flag_On_Its_Press_Only) {
    auto flags_after = [&](std::initializer_list<int> keys) { return Tick_Pressing(keys), debug_mode; };
    EXPECT_EQ(flags_after({ALLEGRO_KEY_F5}), Kelvane::DEBUG_EDITOR);
    EXPECT_EQ(flags_after({ALLEGRO_KEY_F5}), 0) << "F5 on the next tick switches editor mode off again";
    Hold(ALLEGRO_KEY_F2, 3);  // held, not pressed: no flip
    EXPECT_EQ(flags_after({ALLEGRO_KEY_F1, ALLEGRO_KEY_F3}), Kelvane::DEBUG_LIGHTS | Kelvane::DEBUG_NORMALS);
}

TEST_F(Demo_Scene_Test, Held_Arrows_Move_The_View_By_5_dt_And_Opposite_Ones_Cancel_Out) {
    Hold(ALLEGRO_KEY_RIGHT, 1), Hold(ALLEGRO_KEY_UP, 1), Tick(2.0f);
    Hold(ALLEGRO_KEY_LEFT, 1), Hold(ALLEGRO_KEY_DOWN, 1), Tick(3.0f);  // all four held
    Move_View(0.0f, 0.0f);
    EXPECT_EQ(std::vector<float>({cam->Get_X(), cam->Get_Y()}), (std::vector<float>{10, -10}));
}

void Point_At(Vec2D display) { mouse_x = display.x, mouse_y = display.y; }
const bool HOVERED = true, SELECTED = false;

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

    Vec2D Screen_To_Display(Vec2D screen) {
        return Vec2D(renderer()->XtoRX(screen.x - cam->Get_X()), renderer()->YtoRY(screen.y - cam->Get_Y()));
    }

    // Points at the middle of the object's first opaque image pixel among opaque neighbours, so that the display
    // pixel there shows it whichever of the image pixels it covers the GL samples; opaque: drawn, alpha above the
    // renderer's alpha test (0.1). (cx, cy) pictures the object's position.
    void Point_At_Pixel_Of(VObject_Complex* object) {
        ALLEGRO_BITMAP* image = object->Get_Actual_Bit();
        int w = al_get_bitmap_width(image), h = al_get_bitmap_height(image), k = w + 1;
        al_lock_bitmap(image, ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READONLY);
        auto alike = [&](int at) {
            for (int dy = -1; dy <= 1; dy++)
                for (int dx = -1; dx <= 1; dx++)
                    if (Read_Pixel(image, at % w + dx, at / w + dy).a <= 25) return false;
            return true;
        };
        while (k < w * (h - 1) && (k % w == 0 || k % w == w - 1 || !alike(k))) k++;
        al_unlock_bitmap(image);
        ASSERT_LT(k, w * (h - 1)) << "no such pixel";
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

    // The lamp's picture moved wholly over the sphere's, behind it.
    VObject_Complex* Lamp_Behind_Sphere() {
        VObject_Complex* lamp = Object(LAMP);
        lamp->Set_X(sphere->Get_X()), lamp->Set_Y(sphere->Get_Y()), lamp->Set_Z(100.0f);
        return lamp;
    }

    // The sphere alone selected, 100 up, and the mouse drags held for 10 ticks.
    void Drag_Sphere(std::initializer_list<int> held) {
        sphere->Select_Toggle(), sphere->Set_Z(100.0f);
        for (int input : held) Hold(input, 10);
    }
    float Drag_Up(float mick, float dt) { return mick_y = -mick, Tick(dt), sphere->Get_Z(); }

    VObject_Complex* sphere = nullptr;
};

TEST_F(Demo_Scene_Editor_Test, Middle_Click_Selects_The_Object_Under_The_Pointer_Alone_From_The_Tick_After_F5) {
    Lamp_Behind_Sphere();
    for (int i : {0, ROBOT}) Object(i)->Select_Toggle();
    Point_At_Pixel_Of(sphere);
    debug_mode = 0;  // editor mode is read before F5 flips it: switched on, it counts from the next tick
    EXPECT_EQ(Marked_After({ALLEGRO_KEY_F5, MOUSE_MIDDLE}, SELECTED), (Ids{0, ROBOT}));
    EXPECT_EQ(Marked_After({MOUSE_MIDDLE}, SELECTED), Ids{SPHERE});
}

// Which object is drawn where, and the nearest of them, is the renderer's Pick; its tests say so pixel by pixel.
TEST_F(Demo_Scene_Editor_Test, The_Pointer_Hovers_The_Object_Drawn_Under_It_Not_The_Latest_In_The_List) {
    Point_At_Pixel_Of(Lamp_Behind_Sphere());
    EXPECT_EQ(Marked_After({}, HOVERED), Ids{SPHERE}) << "the lamp, latest in the list, is behind the sphere there";
}

TEST_F(Demo_Scene_Editor_Test, A_Button_Held_Over_4_Ticks_Keeps_The_Hover_And_A_Middle_Click_On_Nothing_Clears_All) {
    sphere->Select_Toggle();
    Point_At_Pixel_Of(sphere);
    ASSERT_EQ(Marked_After({}, HOVERED), Ids{SPHERE});
    Point_At(Vec2D(5.0f, 5.0f)), KB_TimePressed[MOUSE_LEFT] = 5;
    EXPECT_EQ(Marked_After({}, HOVERED), Ids{SPHERE}) << "not looked for: the old mark stays";
    KB_TimePressed[MOUSE_LEFT] = 4;
    EXPECT_EQ(Marked_After({MOUSE_MIDDLE}, HOVERED), Ids{});
    EXPECT_EQ(Marked_After({}, SELECTED), Ids{});
}

TEST_F(Demo_Scene_Editor_Test, A_Left_Drag_Puts_The_Selected_Objects_Position_Under_The_Pointer) {
    Drag_Sphere({MOUSE_LEFT});
    Point_At(Vec2D(300.0f, 200.0f)), Tick();
    Vec2D floor = Screen_To_Display(cam->Proj_To_Screen(sphere->Get_X(), sphere->Get_Y(), 0.0f));
    EXPECT_NEAR(floor.x, 300.0f, 0.05f);
    EXPECT_NEAR(floor.y, 200.0f, 0.05f);
    EXPECT_EQ(sphere->Get_Z(), 100.0f);
    EXPECT_EQ(Object(ROBOT)->Get_X(), 600.0f) << "unselected objects stay";
}

TEST_F(Demo_Scene_Editor_Test, A_Right_Drag_With_Ctrl_Scales_The_Selected_Object_Never_Below_0_01) {
    Drag_Sphere({MOUSE_RIGHT, ALLEGRO_KEY_LCTRL});
    EXPECT_EQ(Drag_Up(10.0f, 1.0f), 100.0f) << "scaled, not raised";
    EXPECT_FLOAT_EQ(sphere->Get_Scale(), 1.04f);
    Drag_Up(-1e6f, 1.0f);
    EXPECT_FLOAT_EQ(sphere->Get_Scale(), 0.01f);
}

// The height setting is in screen pixels: as a height, tall / height factor.
TEST_F(Demo_Scene_Editor_Test, A_Right_Drag_Raises_The_Selected_Object_By_dt_Between_0_01_And_The_Maps_Top) {
    Drag_Sphere({MOUSE_RIGHT});
    EXPECT_EQ(Drag_Up(10.0f, 2.0f), 120.0f);
    EXPECT_EQ(Drag_Up(-1e6f, 1.0f), 0.01f);
    float tall = sphere->Get_Tall() / cam->Get_Height_Factor();
    EXPECT_FLOAT_EQ(Drag_Up(1e6f, 1.0f), 2400.0f - tall);
    cam->Set_Map_Tall(tall - 5.0f);  // taller than the map: the upper limit wins over 0.01
    EXPECT_FLOAT_EQ(Drag_Up(-1e6f, 1.0f), -5.0f);
}

bool Grey(const Pixel& p, int level) { return p.r == level && p.g == level && p.b == level; }
bool Grey_Level(const Pixel& p) { return Grey(p, p.r); }

// Only the sphere is left, the picture of its centre in the middle of the display (and the view over the map:
// the lighting program gives no depth outside it). The grey background, and the depth buffer while D is held.
TEST_F(Demo_Scene_Test, The_Picture_Is_Grey_100_Where_Nothing_Is_Drawn_And_Shows_The_Depth_While_D_Is_Held) {
    VObject_Complex* sphere = Object(SPHERE);
    while (vobjects.front() != sphere) demo_world.Remove(vobjects.front());
    while (vobjects.back() != sphere) demo_world.Remove(vobjects.back());
    Vec2D centre = cam->Proj_To_Screen(sphere->Get_X(), sphere->Get_Y(), 180.0f);
    Move_View(centre.x - renderer()->RXtoX(DISPLAY_W / 2), centre.y - renderer()->RYtoY(DISPLAY_H / 2));
    const int MIDDLE = DISPLAY_H / 2 * DISPLAY_W + DISPLAY_W / 2, LAST = DISPLAY_W * DISPLAY_H - 1;
    const int CORNERS[] = {0, DISPLAY_W - 1, LAST - DISPLAY_W + 1, LAST};
    auto draw = [&]() {  // the back buffer, row by row
        MainGame_Draw(game);
        ALLEGRO_BITMAP* back = al_get_backbuffer(game->Get_Display());
        EXPECT_TRUE(al_get_bitmap_width(back) == DISPLAY_W && al_get_bitmap_height(back) == DISPLAY_H);
        std::vector<Pixel> pixels;
        al_lock_bitmap(back, ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READONLY);
        for (int k = 0; k < DISPLAY_W * DISPLAY_H; k++)
            pixels.push_back(Read_Pixel(back, k % DISPLAY_W, k / DISPLAY_W));
        al_unlock_bitmap(back);
        return pixels;
    };
    std::vector<Pixel> frame = draw();
    EXPECT_FALSE(Grey_Level(frame[MIDDLE])) << "the sphere is drawn over the background in its colours";
    for (int corner : CORNERS) EXPECT_TRUE(Grey(frame[corner], 100)) << corner;

    KB_Active[ALLEGRO_KEY_D] = true;
    frame = draw();
    EXPECT_EQ(std::count_if(frame.begin(), frame.end(), [](const Pixel& p) { return !Grey_Level(p); }), 0);
    EXPECT_LT(frame[MIDDLE].r, 255) << "the sphere is nearer than the cleared depth";
    for (int corner : CORNERS) EXPECT_TRUE(Grey(frame[corner], 255)) << corner;

    KB_Active[ALLEGRO_KEY_D] = false;
    demo_world.Remove(sphere);
    frame = draw();
    EXPECT_EQ(std::count_if(frame.begin(), frame.end(), [](const Pixel& p) { return !Grey(p, 100); }), 0)
        << "once D is up, and no object is left";
}

const std::string AT = "Scene file scenes/main.ini: ";
std::string Counts(size_t objects, size_t lights = 1) {
    return " scenes/main.ini (objects: " + std::to_string(objects) + ", point lights: " + std::to_string(lights) + ").";
}
std::string Freed(std::string by) {
    return AT + "[Light 0] Carried_By = " + by + " is no object of the file; the light stays free.";
}
const std::string KEPT = "; the object is skipped and kept in the file.";

// No scene file is left behind, since the other tests start from the built-in world.
class Demo_Scene_File_Test : public Demo_Scene_Test {
protected:
    void SetUp() override { std::filesystem::remove_all("scenes"), Demo_Scene_Test::SetUp(); }
    void TearDown() override { std::filesystem::remove_all("scenes"), Demo_Scene_Test::TearDown(); }

    void Press_Ctrl_S(int ctrl) { Hold(ctrl, 3), Tick_Pressing({ALLEGRO_KEY_S}), KB_Active[ctrl] = false; }

    // Starts the scene again; the log lines about scene files that it wrote.
    std::vector<std::string> Restart() {
        size_t before = Read_File("game.log").size();
        Free_World(), MainGame_Start(game);
        return Log_Messages(before, "Scene ");
    }

    // Every saved field, exactly: map, sun, objects (which one is `pilar`, which light each carries), lights.
    static std::string World() {
        std::ostringstream text;
        auto put = [&](std::initializer_list<float> values) {
            for (float value : values) text << std::setprecision(9) << " " << value;
        };
        Kelvane::Light* sun = directional;
        put({cam->Get_Map_Width(), cam->Get_Map_Height(), cam->Get_Map_Tall(), sun->Get_X(), sun->Get_Y(), sun->Get_Z(),
             sun->Get_R(), sun->Get_G(), sun->Get_B(), sun->Get_Strength(), sun->Get_Ambience()});
        for (size_t i = 0; i < vobjects.size(); i++) {
            VObject_Complex* o = Object(static_cast<int>(i));
            auto light = std::find(lights.begin(), lights.end(), o->Get_Light());
            text << "\n" << o->Get_Name() << (o == pilar ? " pilar" : "");
            put({o->Get_X(), o->Get_Y(), o->Get_Z(), o->Get_Scale(), float(o->Has_Shadow()), float(o->Is_Visible()),
                 float(std::distance(lights.begin(), light))});
        }
        for (Kelvane::Light* l : lights) {
            text << "\nlight";
            put({l->Get_X(), l->Get_Y(), l->Get_Z(), l->Get_R(), l->Get_G(), l->Get_B(), l->Get_Range()});
        }
        return text.str();
    }
};

TEST_F(Demo_Scene_File_Test, Ctrl_S_Saves_Only_In_Editor_Mode_With_Either_Ctrl_And_Says_So) {
    Press_Ctrl_S(ALLEGRO_KEY_LCTRL);
    debug_mode = Kelvane::DEBUG_EDITOR, Tick_Pressing({ALLEGRO_KEY_S});
    EXPECT_FALSE(std::filesystem::exists("scenes")) << "Ctrl+S outside editor mode, or S alone, saves nothing";
    Press_Ctrl_S(ALLEGRO_KEY_RCTRL);
    EXPECT_EQ(Folder_Entries("scenes"), std::vector<std::string>{"main.ini"}) << "no temporary file left";
    std::string log = Read_File("game.log");
    EXPECT_EQ(log.substr(log.rfind("--> ")), "--> Scene saved to" + Counts(15) + "\n");
}

TEST_F(Demo_Scene_File_Test, The_Saved_World_Loads_Back_Field_For_Field_With_Its_Lamps) {
    VObject_Complex* robot = Object(ROBOT);
    robot->Set_X(123.456789f), robot->Set_Y(-0.1f), robot->Set_Z(77.7f), robot->Set_Scale(0.333333f);
    robot->Set_Visible(false);
    mouse_x = 300.0f, mouse_y = 200.0f, Tick_Pressing({ALLEGRO_KEY_L});                     // a second lamp
    demo_world.Add_Light(1.5f, 2.25f, 1e-7f, 123.0f, 0.1f, 0.2f, 0.3f);  // carried by none
    *directional = Kelvane::Light(-1.0f, 3.0f, 7.0f, 300.0f, 0.9f, 0.8f, 0.7f, 0);
    directional->Normalize(), directional->Set_Strength(0.7f), directional->Set_Ambience(0.123f);
    cam->Set_Map_Width(5000.5f), cam->Set_Map_Height(3333.3f), cam->Set_Map_Tall(1234.5f);
    // A tile drawn last, as the renderer may order them: `pilar` stays the second lamp, the latest non-tile.
    vobjects.splice(vobjects.end(), vobjects, vobjects.begin());
    std::string saved = World();
    debug_mode = Kelvane::DEBUG_EDITOR, Press_Ctrl_S(ALLEGRO_KEY_LCTRL);
    std::string log = Read_File("game.log");
    EXPECT_EQ(log.substr(log.rfind("--> ")), "--> Scene saved to" + Counts(16, 3) + "\n");
    Restart();
    EXPECT_EQ(World(), saved);
    Object(LAMP - 1)->Set_X(42.0f), Tick();  // the first lamp, one place up since the tile moved
    EXPECT_EQ(lights.front()->Get_X(), 42.0f) << "a loaded lamp carries its light";
}

TEST_F(Demo_Scene_File_Test, Bad_Values_Are_Logged_One_Line_Each_What_Can_Be_Is_Loaded_And_The_File_Kept) {
    struct Bad_File {
        std::string line, replacement;      // in the saved built-in world
        size_t objects;                     // built
        bool carried;                       // by the latest object that is no tile
        std::vector<std::string> messages;  // logged, in order
    };
    const std::vector<Bad_File> CASES = {
        {"", "", 15, true, {}},
        {"Folder=light",
         "Folder=lihgt",
         14,
         false,
         {AT + "[Object 14] Folder = lihgt is no folder of assets/objects/" + KEPT,
          AT + "[Light 0] Carried_By = 14 is not loaded; the light stays free and keeps its carrier in the file."}},
        {"Folder=robot\n", "", 14, true, {AT + "[Object 12] has no Folder" + KEPT}},
        {"Scale=0.6", "Scale=-1", 15, true, {AT + "[Object 9] Scale = -1 is not a number above 0; 1 is used."}},
        {"X=600\nY=1750\n",
         "X=nan\n",
         15,
         true,
         {AT + "[Object 12] X = nan is not a finite number; 0 is used.", AT + "[Object 12] has no Y; 0 is used."}},
        {"Carried_By=14", "Carried_By=0.5", 15, false, {Freed("0.5")}},
        {"Objects=15",
         "Objects=-1",
         0,
         false,
         {AT + "[World] Objects = -1 is not a whole number from 0 to 100000; 0 is used.", Freed("14")}},
    };
    debug_mode = Kelvane::DEBUG_EDITOR, Press_Ctrl_S(ALLEGRO_KEY_LCTRL);
    const std::string GOOD = Read_File("scenes/main.ini");
    for (const Bad_File& bad : CASES) {
        std::string text = GOOD;
        if (!bad.line.empty()) text.replace(text.find(bad.line), bad.line.size(), bad.replacement);
        Write_File("scenes/main.ini", text);
        std::vector<std::string> messages = bad.messages;
        messages.push_back("Scene loaded from" + Counts(bad.objects));
        EXPECT_EQ(Restart(), messages) << bad.replacement;
        EXPECT_EQ(vobjects.size(), bad.objects) << bad.replacement;
        EXPECT_EQ(pilar && pilar->Get_Light(), bad.carried) << bad.replacement;
        EXPECT_EQ(Read_File("scenes/main.ini"), text) << "the file must be left as it was";
    }
}

TEST_F(Demo_Scene_File_Test, A_File_That_Gives_Nothing_To_Build_Brings_The_Built_In_World_And_Is_Left_Alone) {
    const std::string UNREADABLE = "Scene file scenes/main.ini couldn't be read; nothing is loaded from it.";
    const std::string NOTHING = "Scene file scenes/main.ini gives no object and no light; the built-in world is built "
                                "and the file is left as it is.";
    const std::pair<std::string, std::string> files[] = {
        {"", NOTHING},
        {"[World]\nObjects=0\nLights=0\n", NOTHING},
        {"Dear diary,\ntoday I made a world.\n", UNREADABLE},
        {std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), UNREADABLE}};
    std::filesystem::create_directory("scenes");
    for (const auto& [text, line] : files) {
        Write_File("scenes/main.ini", text);
        EXPECT_EQ(Restart(), std::vector<std::string>{line});
        EXPECT_EQ(vobjects.size(), size_t(WORLD_SIZE)) << "the built-in world instead";
        EXPECT_EQ(lights.size(), 1u);
        EXPECT_EQ(Read_File("scenes/main.ini"), text);
    }
    std::filesystem::remove("scenes/main.ini"), std::filesystem::create_directory("scenes/main.ini");
    EXPECT_EQ(Restart(), std::vector<std::string>{UNREADABLE});
    EXPECT_EQ(vobjects.size(), size_t(WORLD_SIZE));
}

TEST_F(Demo_Scene_File_Test, A_Folder_That_Is_No_Plain_Name_Is_Skipped_And_Nothing_Outside_The_Objects_Is_Touched) {
    namespace fs = std::filesystem;
    // Folders that such names would reach, each looking like an object folder.
    fs::path scratch = fs::current_path();
    std::string climb;
    for (fs::path part : scratch) climb += "../";
    const std::string names[] = {"../canary", "..", ".", "../../outside", "../../../../" + climb + scratch.relative_path().string() + "/outside",
                                 "tiles/../tiles"};
    for (const fs::path& folder : {fs::path("assets/canary"), fs::path("outside")}) {
        fs::create_directories(folder);
        fs::copy_file("assets/objects/tiles/diffuse.png", folder / "diffuse.png");
    }
    debug_mode = Kelvane::DEBUG_EDITOR, Press_Ctrl_S(ALLEGRO_KEY_LCTRL);
    const std::string GOOD = Read_File("scenes/main.ini");
    for (const std::string& name : names) {
        std::string text = GOOD;
        text.replace(text.find("Folder=robot"), 12, "Folder=" + name);
        Write_File("scenes/main.ini", text);
        std::vector<std::string> messages = Restart();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.front(), AT + "[Object 12] Folder = " + name +
                                        " is not one folder name inside assets/objects/" + KEPT);
        EXPECT_EQ(vobjects.size(), size_t(WORLD_SIZE - 1)) << name;
    }
    for (const fs::path& folder : {fs::path("assets"), fs::path("assets/canary"), fs::path("outside"), fs::path(".")})
        EXPECT_FALSE(fs::exists(folder / "settings.ini")) << folder << " was written into";
    EXPECT_FALSE(fs::exists("assets/canary/normal_cooked.png"));
}

TEST_F(Demo_Scene_File_Test, Saving_Keeps_What_Could_Not_Be_Loaded_As_It_Was_Read) {
    namespace fs = std::filesystem;
    debug_mode = Kelvane::DEBUG_EDITOR, Press_Ctrl_S(ALLEGRO_KEY_LCTRL);
    // The lamp's folder renamed: the lamp object is skipped, its light loaded free.
    fs::rename("assets/objects/light", "assets/objects/lamp_renamed");
    Restart();
    EXPECT_EQ(vobjects.size(), size_t(WORLD_SIZE - 1));
    debug_mode = Kelvane::DEBUG_EDITOR, Press_Ctrl_S(ALLEGRO_KEY_LCTRL);
    std::string log = Read_File("game.log");
    EXPECT_EQ(log.substr(log.rfind("--> ")), "--> Scene saved to scenes/main.ini (objects: 15, point lights: 1); 1 of "
                                             "them could not be loaded and are written back as read.\n");
    fs::rename("assets/objects/lamp_renamed", "assets/objects/light");
    Restart();
    EXPECT_EQ(vobjects.size(), size_t(WORLD_SIZE));
    EXPECT_EQ(Object(WORLD_SIZE - 1)->Get_Light(), lights.front()) << "the lamp carries its light again";
    EXPECT_EQ(Position(Object(WORLD_SIZE - 1)), (std::vector<float>{100, 800, 300}));
}

// Escape ends the scene and with it the game's main loop, also while the world is built: a whole game
// in a child process, since a game's set-up happens once per process.
int updates = 0, draws = 0;

// Escape goes down on the first tick; a loop that Escape failed to end is cut off at the tenth.
void Update_Pressing_Escape(void* game, float dt) {
    if (updates == 10) std::exit(2);
    KB_Input[ALLEGRO_KEY_ESCAPE] = updates++ == 0;
    MainGame_Update(game, dt);
}
void Count_Draw(void* game) { MainGame_Draw(game), draws++; }
void Report_Close(void* game) {
    MainGame_Close(game);
    std::fprintf(stderr, "closed after %d updates and %d draws\n", updates, draws);
}

// Escape typed just before the world is built, as if during a long start.
void Start_With_Escape_Typed(void* game) {
    ASSERT_TRUE(Tap_Key(static_cast<Kelvane::Game*>(game)->Get_Display(), "Escape"));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // until the key's event is queued
    MainGame_Start(game);
    std::fprintf(stderr, "built %d objects\n", static_cast<int>(vobjects.size()));
}

// The whole game run with these callbacks, in the child process a threadsafe death test starts; Main's result.
int Run_Demo(Kelvane::Scene::Callback start) {
    Scratch_Dir run_directory;
    static Kelvane::Game* game = nullptr;  // kept reachable to the end, like the program's own
    game = New_Demo_Game(run_directory.Previous(), start, Update_Pressing_Escape, Count_Draw, Report_Close);
    return game->Main(0, nullptr);
}

TEST(Demo_Scene_Exit_Test, Escape_Draws_The_Tick_And_Closes_The_Scene_With_Status_0) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(Run_Demo(MainGame_Start)), ::testing::ExitedWithCode(0),
                "closed after 1 updates and 1 draws");
}

TEST(Demo_Scene_Exit_Test, Escape_While_The_World_Is_Built_Stops_Building_Before_Any_Tick) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(Run_Demo(Start_With_Escape_Typed)), ::testing::ExitedWithCode(0),
                "built 0 objects\nclosed after 0 updates and 0 draws");
}

}  // namespace
}  // namespace Kelvane_Test
