// Escape ends the demonstration scene and with it the game's main loop. Runs a
// whole game in a child process, since a game's set-up happens once per process.

#include <cstdio>
#include <cstdlib>

#include "demo_scene_fixture.h"

namespace Kelvane_Test {
namespace {

// A loop that Escape failed to end is cut off here, so the test fails instead of hanging.
const int MAX_UPDATES = 10;
const int STILL_RUNNING_STATUS = 2;

int updates = 0;
int draws = 0;

// Escape goes down on the first tick, as the input poll would report it.
void Update_Pressing_Escape(void* game, float dt) {
    if (updates == MAX_UPDATES) {
        std::fprintf(stderr, "still running after %d updates\n", updates);
        std::exit(STILL_RUNNING_STATUS);
    }
    KB_Input[ALLEGRO_KEY_ESCAPE] = updates == 0;
    MainGame_Update(game, dt);
    updates++;
}

void Count_Draw(void* game) {
    MainGame_Draw(game);
    draws++;
}

void Report_Close(void* game) {
    MainGame_Close(game);
    std::fprintf(stderr, "closed after %d updates and %d draws\n", updates, draws);
}

int Run_Game_Pressing_Escape() {
    Scratch_Dir run_directory;
    Stage_Run_Directory(run_directory.Previous());
    Kelvane::Game* game = New_Demo_Game(
        new Kelvane::Scene("MainGame", MainGame_Start, Update_Pressing_Escape, Count_Draw, Report_Close));
    return game->Main(0, nullptr);
}

TEST(Demo_Scene_Exit_Test, Escape_Draws_The_Tick_Closes_The_Scene_And_Ends_The_Loop_With_Status_0) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(Run_Game_Pressing_Escape()), ::testing::ExitedWithCode(0),
                "closed after 1 updates and 1 draws");
}

}  // namespace
}  // namespace Kelvane_Test
