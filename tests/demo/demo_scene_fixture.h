#pragma once
// One real game per test program, run like the program; each test restarts the scene, inputs released.
#include <allegro5/allegro_font.h>
#include <gtest/gtest.h>

#include <filesystem>

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

using Kelvane::VObject_Complex;

const int DISPLAY_W = 960, DISPLAY_H = 540;  // half the internal picture
// Positions in `vobjects` after the start: nine tiles, square, house, sphere, robot, pilar, the lamp.
const int SPHERE = 11, ROBOT = 12, LAMP = 14, WORLD_SIZE = 15;

// The demonstration scene's game, run from a copy of what the program reads, in the small window.
inline Kelvane::Game* New_Demo_Game(const std::string& stage, Kelvane::Scene::Callback start = MainGame_Start,
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
inline Kelvane::Game* Demo_Game() {
    static Scratch_Dir run_directory;
    static Kelvane::Game* game = New_Demo_Game(run_directory.Previous());
    static bool set_up = game->Setup(0, nullptr);
    return set_up ? game : nullptr;
}

inline auto Position = [](auto* item) { return std::vector<float>{item->Get_X(), item->Get_Y(), item->Get_Z()}; };

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

    // The scene builds its world once per run and never frees it; each test starts afresh.
    static void Free_World() {
        for (Kelvane::VObject* object : vobjects) delete object;
        for (Kelvane::Light* light : lights) delete light;
        vobjects.clear(), lights.clear();
        delete directional, delete cam, al_destroy_font(font), al_destroy_bitmap(b1), al_destroy_bitmap(b2);
        directional = nullptr, cam = nullptr, pilar = nullptr, font = nullptr, b1 = b2 = nullptr;
    }

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

    // Moves the view's target by (dx, dy) (from a fresh camera's 0, 0) and lets the view settle there.
    static void Move_View(float dx, float dy) {
        cam->Move_Target_X(dx), cam->Move_Target_Y(dy);
        for (int i = 0; i < 2000; i++) cam->Update(1.0f);
    }

    Kelvane::Game* game = nullptr;
};

}  // namespace Kelvane_Test
