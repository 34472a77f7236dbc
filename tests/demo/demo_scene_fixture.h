#pragma once
// One real game per test program, set up like the program in a scratch copy of
// the staged run directory and running the demonstration scene, plus a fixture
// that rebuilds the scene's world and releases every input before each test.

#include <allegro5/allegro.h>
#include <gtest/gtest.h>

#include <cstring>  // Required for: std::memset()
#include <filesystem>
#include <iterator>
#include <string>

#include "core/common.h"
#include "demo/main_game.h"
#include "game/game.h"
#include "game/scene.h"
#include "input/input.h"
#include "render/renderer.h"
#include "render/vobject_complex.h"
#include "support/scratch_dir.h"
#include "world/camera.h"
#include "world/light.h"

namespace Kelvane_Test {

// A small window at exactly half the internal picture's size.
const int DEMO_DISPLAY_W = 960;
const int DEMO_DISPLAY_H = 540;

// Positions in `vobjects` right after the scene's start.
const int TILE_COUNT = 9;
const int SQUARE = 9;
const int HOUSE = 10;
const int SPHERE = 11;
const int ROBOT = 12;
const int PILAR = 13;
const int LAMP = 14;
const int WORLD_SIZE = 15;

const int MOUSE_LEFT = INPUT_MOUSE_FIRST;
const int MOUSE_RIGHT = INPUT_MOUSE_FIRST + 1;
const int MOUSE_MIDDLE = INPUT_MOUSE_FIRST + 2;

// Copies what the program reads from its working directory into the current
// folder, with a configuration file asking for the small window.
inline void Stage_Run_Directory(const std::string& stage) {
    namespace fs = std::filesystem;
    fs::copy(fs::path(stage) / "assets", "assets", fs::copy_options::recursive);
    for (const char* image : {"b1.png", "b2.png"})
        if (fs::exists(fs::path(stage) / image)) fs::copy_file(fs::path(stage) / image, image);
    Write_File("game_config.ini", "[Display]\nMode = 1\nWidth = " + std::to_string(DEMO_DISPLAY_W) +
                                      "\nHeight = " + std::to_string(DEMO_DISPLAY_H) + "\n");
}

// A game with the scene's four callbacks, as the entry point builds it.
inline Kelvane::Game* New_Demo_Game(Kelvane::Scene* scene) {
    Kelvane::Game* game = new Kelvane::Game("Kelvane");
    game->Set_Scene_List({scene});
    return game;
}

inline Kelvane::Scene* New_Demo_Scene() {
    return new Kelvane::Scene("MainGame", MainGame_Start, MainGame_Update, MainGame_Draw, MainGame_Close);
}

// The shared game after Game::Setup, which has started the scene once; null if set-up failed.
inline Kelvane::Game* Demo_Game() {
    static Scratch_Dir run_directory;
    static Kelvane::Game* game = [] {
        Stage_Run_Directory(run_directory.Previous());
        Kelvane::Game* created = New_Demo_Game(New_Demo_Scene());
        return created->Setup(0, nullptr) ? created : nullptr;
    }();
    return game;
}

class Demo_Scene_Test : public ::testing::Test {
protected:
    void SetUp() override {
        game = Demo_Game();
        ASSERT_NE(game, nullptr) << "Game::Setup failed; see game.log (run under an X server)";
        al_set_target_backbuffer(game->Get_Display());
        Release_All_Inputs();
        // The scene never clears its lists itself: it starts once per run.
        vobjects.clear();
        lights.clear();
        MainGame_Start(game);
    }

    static void Release_All_Inputs() {
        std::memset(KB_Active, 0, sizeof KB_Active);
        std::memset(KB_Input, 0, sizeof KB_Input);
        std::memset(KB_Released, 0, sizeof KB_Released);
        std::memset(KB_DoublePressed, 0, sizeof KB_DoublePressed);
        std::memset(KB_TimePressed, 0, sizeof KB_TimePressed);
        mouse_x = mouse_y = mouse_z = 0.0f;
        mick_x = mick_y = mick_z = 0.0f;
    }

    void Tick(float dt = 1.0f) { MainGame_Update(game, dt); }

    // One tick on which `input` goes down, as the input poll reports it; released after.
    void Tick_Pressing(int input) {
        KB_Input[input] = KB_Active[input] = true;
        KB_TimePressed[input] = 1;
        Tick();
        KB_Input[input] = KB_Active[input] = false;
        KB_TimePressed[input] = 0;
    }

    // Held for `ticks` ticks already (no press edge on this tick).
    static void Hold(int input, int ticks) {
        KB_Active[input] = true;
        KB_TimePressed[input] = ticks;
    }

    Kelvane::Renderer* Renderer() { return game->Get_First_Renderer(); }

    static Kelvane::VObject_Complex* Object(int index) {
        return static_cast<Kelvane::VObject_Complex*>(*std::next(vobjects.begin(), index));
    }

    // Eases the view onto a screen position (the camera is fresh: target 0, 0).
    static void Look_At(float screen_x, float screen_y) {
        cam->Move_Target_X(screen_x);
        cam->Move_Target_Y(screen_y);
        for (int i = 0; i < 2000 && (cam->Get_X() != screen_x || cam->Get_Y() != screen_y); i++) cam->Update(1.0f);
    }

    // The display pixel at which a screen-space point is drawn with the current view.
    Vec2D Screen_To_Display(Vec2D screen) {
        return Vec2D(Renderer()->XtoRX(screen.x - cam->Get_X()), Renderer()->YtoRY(screen.y - cam->Get_Y()));
    }

    // Where the centre of image pixel (ix, iy) of an object is drawn, from the
    // pivot rule: image pixel (cx, cy) lies on the picture of the object's position.
    Vec2D Image_Pixel_On_Display(Kelvane::VObject_Complex* object, int ix, int iy) {
        Vec2D screen = cam->Proj_To_Screen(object->Get_X(), object->Get_Y(), object->Get_Z());
        float scale = object->Get_Scale();
        screen.x += (ix + 0.5f - object->Get_CX()) * scale;
        screen.y += (iy + 0.5f - object->Get_CY()) * scale;
        return Screen_To_Display(screen);
    }

    // Moves an object so that its pivot is drawn at the given display pixel.
    void Place_On_Display(Kelvane::VObject_Complex* object, float display_x, float display_y) {
        float sx = cam->Get_X() + Renderer()->RXtoX(display_x);
        float sy = cam->Get_Y() + Renderer()->RYtoY(display_y);
        Vec2D floor = cam->Screen_To_Proj(sx, sy, object->Get_Z());
        object->Set_X(floor.x);
        object->Set_Y(floor.y);
    }

    static void Point_At(Vec2D display) {
        mouse_x = display.x;
        mouse_y = display.y;
    }

    Kelvane::Game* game = nullptr;
};

}  // namespace Kelvane_Test
