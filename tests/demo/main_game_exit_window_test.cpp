// Escape ends the demonstration scene and with it the game's main loop, also while the world is
// built. Runs a whole game in a child process, since a game's set-up happens once per process.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "demo_scene_fixture.h"
#include "support/window.h"

namespace Kelvane_Test {
namespace {

int updates = 0, draws = 0;

// Escape goes down on the first tick; a loop that Escape failed to end is cut off at the tenth.
void Update_Pressing_Escape(void* game, float dt) {
    if (updates == 10) std::exit(2);
    KB_Input[ALLEGRO_KEY_ESCAPE] = updates++ == 0;
    MainGame_Update(game, dt);
}

void Count_Draw(void* game) {
    MainGame_Draw(game);
    draws++;
}

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

TEST(Demo_Scene_Exit_Test, Escape_While_The_World_Is_Built_Stops_It_And_Closes_Before_Any_Tick_With_Status_0) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(Run_Demo(Start_With_Escape_Typed)), ::testing::ExitedWithCode(0),
                "built 0 objects\nclosed after 0 updates and 0 draws");
}

TEST(Demo_Scene_Exit_Test, Escape_Draws_The_Tick_Closes_The_Scene_And_Ends_The_Loop_With_Status_0) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(Run_Demo(MainGame_Start)), ::testing::ExitedWithCode(0),
                "closed after 1 updates and 1 draws");
}

}  // namespace
}  // namespace Kelvane_Test
