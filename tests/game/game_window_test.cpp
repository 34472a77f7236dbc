// The game object run for real: set-up in a real window, the tick loop, scene
// switching, the configuration write-back, the log and the run directory.

#include <allegro5/allegro.h>
#include <gtest/gtest.h>
#include <sys/wait.h>  // Required for: WEXITSTATUS()

#include <algorithm>
#include <chrono>
#include <cstdlib>  // Required for: system()
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "game/game.h"
#include "game/scene.h"
#include "input/input.h"
#include "support/scratch_dir.h"
#include "support/window.h"

using Kelvane::Game;
using Kelvane::Scene;
using Kelvane_Test::Read_File;
using Kelvane_Test::Scratch_Dir;
using Kelvane_Test::Write_File;

namespace {

// What the scenes did, in order, and how they are told to behave.
std::vector<std::string> trace;
int ticks_before_quit = 1;
int a_updates = 0;
std::string switch_to;

void Record(void*, const std::string& what) { trace.push_back(what); }

void A_Start(void* game) { Record(game, "A.start"); }
void A_Draw(void* game) { Record(game, "A.draw"); }
void A_Close(void* game) { Record(game, "A.close"); }
// Asks for `switch_to` on its N-th update and for no scene on every later one.
void A_Update(void* game, float) {
    Record(game, "A.update");
    a_updates++;
    if (a_updates == ticks_before_quit) static_cast<Game*>(game)->Set_Scene(switch_to);
    if (a_updates > ticks_before_quit) static_cast<Game*>(game)->Set_Scene("");
}
void B_Start(void* game) { Record(game, "B.start"); }
void B_Update(void* game, float) {
    Record(game, "B.update");
    static_cast<Game*>(game)->Set_Scene("no such scene");
}
void B_Close(void* game) { Record(game, "B.close"); }

std::list<Scene*> Two_Scenes() {
    return {new Scene("A", A_Start, A_Update, A_Draw, A_Close),
            new Scene("B", B_Start, B_Update, nullptr, B_Close)};
}

// Runs one game in the scratch folder with the given scenes.
int Run_Game(std::list<Scene*> scenes, const std::string& first = "") {
    trace.clear();
    a_updates = 0;
    // Never destroyed, like the program's own; kept reachable for the leak checker.
    static std::vector<Game*>* games = new std::vector<Game*>;
    Game* game = games->emplace_back(new Game("Kelvane"));
    game->Set_Scene_List(scenes);
    if (!first.empty()) game->Set_Scene(first);
    return game->Main(0, nullptr);
}

// The log's messages, without their time-stamp lines.
std::vector<std::string> Log_Messages() {
    std::vector<std::string> messages;
    std::string text = Read_File("game.log");
    size_t at = 0;
    while ((at = text.find("--> ", at)) != std::string::npos) {
        size_t end = text.find('\n', at);
        messages.push_back(text.substr(at + 4, end - at - 4));
        at = end;
    }
    return messages;
}

// True when the messages hold this one.
bool Logged(const std::string& message) {
    std::vector<std::string> messages = Log_Messages();
    return std::find(messages.begin(), messages.end(), message) != messages.end();
}

// The size of the screen the tests' windows open on.
std::pair<int, int> Screen_Size() {
    Kelvane_Test::Init_Allegro();
    ALLEGRO_MONITOR_INFO screen{};
    EXPECT_TRUE(al_get_monitor_info(0, &screen));
    return {screen.x2 - screen.x1, screen.y2 - screen.y1};
}

class Game_Test : public ::testing::Test {
protected:
    void SetUp() override {
        // Set-up needs an assets folder and the fallback image in it.
        std::filesystem::create_directory("assets");
        std::filesystem::copy_file(scratch.Previous() + "/assets/missing.png", "assets/missing.png");
        // A windowed display keeps the test off the whole screen.
        Write_File("game_config.ini", "[Display]\nMode=1\nWidth=320\nHeight=240\n");
        ticks_before_quit = 1;
        switch_to = "";
    }
    Scratch_Dir scratch;
};

}  // namespace

TEST_F(Game_Test, Quitting_From_An_Update_Still_Draws_That_Frame_Then_Closes) {
    ticks_before_quit = 3;
    EXPECT_EQ(Run_Game(Two_Scenes()), 0);
    std::vector<std::string> expected = {"A.start",  "A.update", "A.draw",   "A.update", "A.draw",
                                         "A.update", "A.draw",   "A.close"};
    EXPECT_EQ(trace, expected);
}

TEST_F(Game_Test, Switching_Closes_The_Old_Scene_Before_Starting_The_New) {
    switch_to = "B";
    EXPECT_EQ(Run_Game(Two_Scenes()), 0);
    std::vector<std::string> expected = {"A.start", "A.update", "A.draw",   "A.close",
                                         "B.start", "B.update", "B.close"};
    EXPECT_EQ(trace, expected);
}

TEST_F(Game_Test, Asking_For_The_Running_Scene_Changes_Nothing) {
    switch_to = "A";
    EXPECT_EQ(Run_Game(Two_Scenes()), 0);
    std::vector<std::string> expected = {"A.start", "A.update", "A.draw", "A.update", "A.draw", "A.close"};
    EXPECT_EQ(trace, expected) << "no restart, no close until the quit on the second update";
}

TEST_F(Game_Test, A_Scene_Asked_For_Before_Main_Starts_First) {
    EXPECT_EQ(Run_Game(Two_Scenes(), "B"), 0);
    std::vector<std::string> expected = {"B.start", "B.update", "B.close"};
    EXPECT_EQ(trace, expected);
}

TEST_F(Game_Test, Set_Up_Logs_Every_Step_And_Saves_Every_Default) {
    std::filesystem::remove("game_config.ini");
    Write_File("game.log", "left over from an earlier run\n");
    EXPECT_EQ(Run_Game(Two_Scenes()), 0);
    std::vector<std::string> expected = {
        "Allegro initialized.", "Keyboard Mapping initialized.", "Starting display setup.",
        "Set ALLEGRO_OPENGL flag", "Set Window Mode Display flags", "Display was created",
        "Shader Manager created succesfully", "Bitmap Manager created succesfully", "Set Display title",
        "Renderer added to the general list", "Display Created.", "Timer set-up", "Saved Configuration file",
        "Game Setup succesfully", "Timer Started and Delta Reset"};
    EXPECT_EQ(Log_Messages(), expected) << "the log starts empty and holds each step once, in order";
    EXPECT_EQ(al_get_new_display_flags(), ALLEGRO_OPENGL | ALLEGRO_WINDOWED | ALLEGRO_FULLSCREEN_WINDOW);
    EXPECT_EQ(Read_File("game_config.ini"), "[Display]\nMode=2\nHeight=600\nWidth=800\n[Game]\nFPS=60\n");
}

TEST_F(Game_Test, Display_Flags_Follow_The_Mode_And_The_Display_Has_Depth) {
    Write_File("game_config.ini", "[Display]\nMode=1.9\nWidth=320\nHeight=240\n");
    EXPECT_EQ(Run_Game(Two_Scenes()), 0);
    EXPECT_EQ(al_get_new_display_flags(), ALLEGRO_OPENGL | ALLEGRO_WINDOWED) << "Mode 1.9 truncates to 1";
    ALLEGRO_DISPLAY* display = al_get_current_display();
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(al_get_display_width(display), 320);
    EXPECT_GE(al_get_display_option(display, ALLEGRO_DEPTH_SIZE), 16) << "per-pixel occlusion needs depth";
    EXPECT_NE(Read_File("game_config.ini").find("Mode=1.9"), std::string::npos)
        << "a value present in the file is left as it was";

    // Full-screen modes at the screen's own size, so the X server can grant them.
    const std::pair<const char*, int> modes[] = {{"0", ALLEGRO_OPENGL | ALLEGRO_WINDOWED | ALLEGRO_FULLSCREEN},
                                                 {"3", ALLEGRO_OPENGL | ALLEGRO_WINDOWED | ALLEGRO_FULLSCREEN},
                                                 {"-1", ALLEGRO_OPENGL | ALLEGRO_WINDOWED | ALLEGRO_FULLSCREEN},
                                                 {"2.7", ALLEGRO_OPENGL | ALLEGRO_WINDOWED | ALLEGRO_FULLSCREEN_WINDOW}};
    for (const auto& [mode, flags] : modes) {
        Write_File("game_config.ini", std::string("[Display]\nMode=") + mode + "\nWidth=1920\nHeight=1080\n");
        EXPECT_EQ(Run_Game(Two_Scenes()), 0) << mode;
        EXPECT_EQ(al_get_new_display_flags(), flags) << "Mode " << mode;
    }
}

TEST_F(Game_Test, A_Display_That_Cannot_Be_Had_Falls_Back_To_A_640_By_480_Window) {
    // A full-screen mode the screen does not offer, though it would fit.
    auto [w, h] = Screen_Size();
    Write_File("game_config.ini", "[Display]\nMode=0\nWidth=" + std::to_string(w - 24) +
                                      "\nHeight=" + std::to_string(h - 24) + "\n");
    EXPECT_EQ(Run_Game(Two_Scenes()), 0);
    EXPECT_TRUE(Logged("Requested Display couldn't be created, defaulting to 640x480 in Windowed Mode."));
    EXPECT_EQ(al_get_new_display_flags(), ALLEGRO_OPENGL | ALLEGRO_WINDOWED);
    EXPECT_EQ(al_get_display_width(al_get_current_display()), 640);
}

TEST_F(Game_Test, A_Display_Larger_Than_The_Screen_Is_Shrunk_To_It_And_The_File_Keeps_The_Request) {
    auto [w, h] = Screen_Size();
    auto text = [](int width, int height) { return std::to_string(width) + "x" + std::to_string(height); };
    struct Request {
        const char* mode;
        int width, height, fitted_w, fitted_h;
    };
    const Request requests[] = {{"1", 100000, 100000, w, h},
                                {"1", 40000, 600, w, 600},
                                {"2", 100000, 100000, w, h},
                                {"0", 123456, 98765, w, h}};
    for (const Request& r : requests) {
        std::string size = "Width=" + std::to_string(r.width) + "\nHeight=" + std::to_string(r.height) + "\n";
        Write_File("game_config.ini", std::string("[Display]\nMode=") + r.mode + "\n" + size);
        EXPECT_EQ(Run_Game(Two_Scenes()), 0) << size;
        ALLEGRO_DISPLAY* display = al_get_current_display();
        ASSERT_NE(display, nullptr);
        EXPECT_EQ(al_get_display_width(display), r.fitted_w) << size;
        EXPECT_EQ(al_get_display_height(display), r.fitted_h) << size;
        EXPECT_TRUE(Logged("Requested display " + text(r.width, r.height) + " is larger than the screen (" +
                           text(w, h) + "), using " + text(r.fitted_w, r.fitted_h) + "."))
            << size;
        EXPECT_NE(Read_File("game_config.ini").find(size), std::string::npos) << "the file keeps the request";
    }
}

TEST_F(Game_Test, Without_Assets_Here_Or_Beside_The_Program_Set_Up_Fails_And_Says_Why_On_Standard_Error) {
    std::filesystem::remove_all("assets");  // the test program's own folder has none either
    std::string beside = std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
    std::string line = "No assets folder in the working directory " + scratch.Path() + " nor beside the program in " +
                       beside + "; nothing to run with.";
    testing::internal::CaptureStderr();
    EXPECT_EQ(Run_Game(Two_Scenes()), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), line + "\n");
    EXPECT_EQ(Log_Messages(), (std::vector<std::string>{line, "Setup didn't succeed."}));
}

TEST_F(Game_Test, The_Program_Started_Elsewhere_Runs_In_Its_Own_Folder) {
    // Its own assets lack the fallback image, so it stops soon after it moved there.
    std::filesystem::path installed = scratch.Path() + "/installed";
    std::filesystem::create_directories(installed / "assets");
    std::filesystem::copy_file(scratch.Previous() + "/kelvane", installed / "kelvane");
    std::filesystem::remove_all("assets");
    int status = std::system((installed.string() + "/kelvane 2> " + installed.string() + "/errors.txt").c_str());
    EXPECT_EQ(WEXITSTATUS(status), 1);
    std::string log = Read_File(installed / "game.log");
    for (std::string line : {"No assets folder in " + scratch.Path() + ": running in the program's folder " +
                                 installed.string() + ".",
                             std::string("The fallback image assets/missing.png couldn't be loaded.")})
        EXPECT_NE(log.find("--> " + line + "\n"), std::string::npos) << log;
    EXPECT_EQ(Read_File(installed / "errors.txt"), "The fallback image assets/missing.png couldn't be loaded.\n");
    EXPECT_FALSE(std::filesystem::exists("game.log")) << "nothing written where it was started";
}

TEST_F(Game_Test, An_Unusable_Tick_Rate_Falls_Back_To_60_With_One_Line) {
    for (const char* fps : {"0.5", "-3", "fast"}) {
        Write_File("game_config.ini", std::string("[Display]\nMode=1\nWidth=320\nHeight=240\n[Game]\nFPS=") + fps + "\n");
        EXPECT_EQ(Run_Game(Two_Scenes()), 0) << fps;
        std::vector<std::string> messages = Log_Messages();
        long said = std::count_if(messages.begin(), messages.end(),
                                  [](const std::string& m) { return m.find("using 60") != std::string::npos; });
        EXPECT_EQ(said, 1) << fps;
    }
}

TEST_F(Game_Test, No_Scenes_Fails_After_The_Configuration_Was_Saved) {
    std::filesystem::remove("game_config.ini");
    EXPECT_EQ(Run_Game({}), 1);
    std::vector<std::string> messages = Log_Messages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[messages.size() - 2], "Can't start the game with no scenes available!");
    EXPECT_EQ(messages.back(), "Setup didn't succeed.");
    EXPECT_TRUE(std::filesystem::exists("game_config.ini"));
}

TEST_F(Game_Test, A_Configuration_That_Cannot_Be_Loaded_Is_Never_Overwritten) {
    std::filesystem::remove("game_config.ini");
    std::filesystem::create_directory("game_config.ini");
    EXPECT_EQ(Run_Game(Two_Scenes()), 0) << "the program still runs, on fallbacks";
    EXPECT_TRUE(std::filesystem::is_directory("game_config.ini"));
}

namespace {

// Draws slowly for a while (each frame three tick periods long), then records
// when each quick tick runs.
const int SLOW_TICKS = 20;
const int QUICK_TICKS = 30;
std::vector<double> quick_tick_times;

void Slow_Then_Quick_Update(void* game, float) {
    a_updates++;
    if (a_updates > SLOW_TICKS) quick_tick_times.push_back(al_get_time());
    if (a_updates == SLOW_TICKS + QUICK_TICKS) static_cast<Game*>(game)->Set_Scene("");
}

void Slow_Then_Quick_Draw(void*) {
    if (a_updates <= SLOW_TICKS) std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

}  // namespace

TEST_F(Game_Test, A_Slow_Stretch_Leaves_No_Growing_Backlog_Of_Ticks) {
    quick_tick_times.clear();
    EXPECT_EQ(Run_Game({new Scene("Slow", nullptr, Slow_Then_Quick_Update, Slow_Then_Quick_Draw, nullptr)}), 0);
    ASSERT_EQ(quick_tick_times.size(), static_cast<size_t>(QUICK_TICKS));
    // About 40 ticks queued up during the slow stretch; had they all been run,
    // they would follow each other back to back instead of keeping time.
    int back_to_back = 0;
    for (size_t i = 1; i < quick_tick_times.size(); i++)
        if (quick_tick_times[i] - quick_tick_times[i - 1] < 0.004) back_to_back++;
    EXPECT_LE(back_to_back, 2 * Kelvane::MAX_TICK_BACKLOG);
}

namespace {

// Ticks a scene that ignores what it waits for is given before it is cut off.
const int CUT_OFF_TICKS = 120;
// Per update: what the test does to the game on the first update, then whether the awaited thing happened.
std::function<void(Game*)> on_first_update;
std::function<bool()> awaited;

void Waiting_Update(void* game, float) {
    Record(game, "A.update");
    if (++a_updates == 1) on_first_update(static_cast<Game*>(game));
    if ((a_updates > 1 && awaited()) || a_updates == CUT_OFF_TICKS) static_cast<Game*>(game)->Set_Scene("");
}

// Runs scene A with the waiting update; the number of updates it took.
int Updates_Until_Done(std::function<void(Game*)> first, std::function<bool()> done) {
    on_first_update = first, awaited = done;
    EXPECT_EQ(Run_Game({new Scene("A", A_Start, Waiting_Update, nullptr, A_Close)}), 0);
    return a_updates;
}

}  // namespace

TEST_F(Game_Test, A_Tick_Rate_Above_1000_Runs_At_1000_With_One_Line_And_The_File_Keeps_It) {
    // Far too high a rate once flooded the queue with timer events: the loop hung.
    for (const char* fps : {"1e9", "1000"}) {
        std::string config = std::string("[Display]\nMode=1\nWidth=320\nHeight=240\n[Game]\nFPS=") + fps + "\n";
        Write_File("game_config.ini", config);
        int rate = 0;
        EXPECT_EQ(Updates_Until_Done([&](Game* game) { rate = game->Get_FPS(); }, [] { return true; }), 2) << fps;
        EXPECT_EQ(rate, 1000) << fps;
        std::vector<std::string> messages = Log_Messages();
        EXPECT_EQ(std::count(messages.begin(), messages.end(), "FPS 1000000000 is not a usable tick rate, using 1000."),
                  fps == std::string("1e9"));
        EXPECT_EQ(Read_File("game_config.ini"), config);
    }
}

TEST_F(Game_Test, The_Close_Button_Closes_The_Scene_And_Main_Returns_0_Without_Saving_Again) {
    const std::string edited = "[Display]\nMode=1\nWidth=320\nHeight=240\n; edited while it ran\n";
    auto press = [&](Game* game) {
        Write_File("game_config.ini", edited);
        Kelvane_Test::Press_Close_Button(game->Get_Display());
    };
    EXPECT_LT(Updates_Until_Done(press, [] { return false; }), CUT_OFF_TICKS);
    EXPECT_EQ(trace.back(), "A.close");
    EXPECT_EQ(Read_File("game_config.ini"), edited) << "the configuration is saved at set-up only";
}

TEST_F(Game_Test, A_Key_Tapped_Between_Two_Ticks_Shows_As_Pressed_On_One_Tick) {
    auto tap = [](Game* game) { EXPECT_TRUE(Kelvane_Test::Tap_Key(game->Get_Display(), "F1")); };
    EXPECT_LT(Updates_Until_Done(tap, [] { return KB_Input[ALLEGRO_KEY_F1]; }), CUT_OFF_TICKS)
        << "down and up before the next input poll, the tap was lost";
}

namespace {

// A scene that builds in LOADING_STEPS steps of LOADING_STEP_MS each, showing
// each; after its first step the user asks to quit.
const int LOADING_STEPS = 20;
const int LOADING_STEP_MS = 50;
int loading_steps = 0;
std::function<void(Game*)> ask_to_quit;

void Loading_Start(void* game_pointer) {
    Game* game = static_cast<Game*>(game_pointer);
    Record(game, "L.start");
    for (loading_steps = 0; loading_steps < LOADING_STEPS; loading_steps++) {
        if (game->Show_Loading("step " + std::to_string(loading_steps), float(loading_steps) / LOADING_STEPS)) return;
        if (loading_steps == 0) ask_to_quit(game);
        std::this_thread::sleep_for(std::chrono::milliseconds(LOADING_STEP_MS));
    }
}
// Should never run; if it does, the game ends after it.
void Loading_Update(void* game, float) {
    Record(game, "L.update");
    static_cast<Game*>(game)->Set_Scene("");
}
void Loading_Close(void* game) { Record(game, "L.close"); }

}  // namespace

TEST_F(Game_Test, The_Loading_Picture_Shows_Progress_And_Escape_Or_Closing_Ends_Loading_Before_Any_Tick) {
    using Picture = std::vector<Kelvane_Test::Pixel>;
    std::vector<Picture> shown;
    const std::pair<const char*, std::function<void(Game*)>> quits[] = {
        {"Escape",
         [&](Game* game) {
             for (float progress : {0.25f, 0.75f}) {
                 game->Show_Loading("assets/objects/tiles/", progress);
                 shown.push_back(Kelvane_Test::Shown_Picture(game->Get_Display()));
             }
             EXPECT_TRUE(Kelvane_Test::Tap_Key(game->Get_Display(), "Escape"));
         }},
        {"close button", [](Game* game) { Kelvane_Test::Press_Close_Button(game->Get_Display()); }}};
    for (const auto& [how, quit] : quits) {
        ask_to_quit = quit;
        EXPECT_EQ(Run_Game({new Scene("L", Loading_Start, Loading_Update, nullptr, Loading_Close)}), 0) << how;
        EXPECT_EQ(trace, (std::vector<std::string>{"L.start", "L.close"})) << how;
        EXPECT_LT(loading_steps, LOADING_STEPS) << how << ": the scene was never told";
        std::vector<std::string> messages = Log_Messages();
        EXPECT_EQ(std::count(messages.begin(), messages.end(), "Loading cancelled."), 1) << how;
    }
    // In the 320 x 240 window the bar spans x 64 to 256 at y 120 to 136, the text lies above it.
    ASSERT_EQ(shown.size(), 2u);
    auto white = [](const Picture& picture, int x, int y) {
        const Kelvane_Test::Pixel& p = picture[y * 320 + x];
        return p.r == 255 && p.g == 255 && p.b == 255;
    };
    for (const Picture& picture : shown) {
        EXPECT_TRUE(white(picture, 100, 128) && !white(picture, 240, 128) && !white(picture, 10, 10));
        int text = 0;
        for (int i = 60 * 320; i < 110 * 320; i++) text += white(picture, i % 320, i / 320);
        EXPECT_GT(text, 50);
    }
    EXPECT_FALSE(white(shown[0], 170, 128)) << "a quarter filled";
    EXPECT_TRUE(white(shown[1], 170, 128)) << "three quarters filled";
}

TEST(Game_Delta, Measures_From_The_Reset_And_Caps_A_Stall_At_Two_Ticks) {
    Kelvane_Test::Init_Allegro();
    Game game("Kelvane");
    game.Reset_Delta();
    EXPECT_EQ(game.Get_Delta(), 1.0f);
    game.Update_Delta();
    EXPECT_GE(game.Get_Delta(), 0.0f);
    EXPECT_LT(game.Get_Delta(), 2.0f) << "an immediate tick is far below two periods";
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // six periods at 60 ticks per second
    game.Update_Delta();
    EXPECT_EQ(game.Get_Delta(), 2.0f);
}
