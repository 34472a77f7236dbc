// The game object run for real: set-up in a real window, the tick loop, scene
// switching, the configuration write-back, the log and the run directory.

#include <allegro5/allegro.h>
#include <allegro5/allegro_font.h>  // Required for: the game font's text
#include <gtest/gtest.h>
#include <sys/wait.h>  // Required for: WEXITSTATUS()

#include <array>
#include <chrono>
#include <cstdlib>  // Required for: system()
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/log.h"
#include "game/game.h"
#include "game/scene.h"
#include "input/input.h"
#include "render/renderer.h"
#include "render/vobject_complex.h"
#include "support/scratch_dir.h"
#include "support/window.h"
#include "world/camera.h"
#include "world/light.h"

using Kelvane::Game;
using Kelvane_Test::Log_Messages;
using Kelvane_Test::Read_File;
using Kelvane_Test::Write_File;

namespace {

// Scene A records what ran and does what the hooks below say; scene B quits on its first update.
std::vector<std::string> trace;
int updates = 0;
std::function<void(Game*)> on_start;
std::function<const char*(Game*, int)> next;  // given the update's number: the scene to ask for, or null
int slow_draws = 0;                           // these first draws take three tick periods each
// Ticks a scene waiting for something that never comes is given before it quits.
const int CUT_OFF_TICKS = 120;

Game* Of(void* game) { return static_cast<Game*>(game); }

std::list<Kelvane::Scene*> Two_Scenes() {
    auto a_start = [](void* game) {
        trace.push_back("A.start");
        if (on_start) on_start(Of(game));
    };
    auto a_update = [](void* game, float) {
        trace.push_back("A.update");
        if (const char* scene = next(Of(game), ++updates)) Of(game)->Set_Scene(scene);
    };
    auto a_draw = [](void*) {
        trace.push_back("A.draw");
        if (updates <= slow_draws) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    };
    auto b_update = [](void* game, float) { trace.push_back("B.update"), Of(game)->Set_Scene("no such scene"); };
    return {new Kelvane::Scene("A", a_start, a_update, a_draw, [](void*) { trace.push_back("A.close"); }),
            new Kelvane::Scene("B", [](void*) { trace.push_back("B.start"); }, b_update, nullptr,  // draws nothing
                               [](void*) { trace.push_back("B.close"); })};
}

// Runs one game in the scratch folder; its exit status.
int Run_Game(std::list<Kelvane::Scene*> scenes = Two_Scenes(), const std::string& first = "") {
    trace.clear(), updates = 0;
    // Never destroyed, like the program's own; kept reachable for the leak checker.
    static std::vector<Game*>* games = new std::vector<Game*>;
    Game* game = games->emplace_back(new Game("Kelvane"));
    game->Set_Scene_List(scenes);
    if (!first.empty()) game->Set_Scene(first);
    return game->Main(0, nullptr);
}

std::string Display_Config(const std::string& mode, int width, int height) {
    return "[Display]\nMode=" + mode + "\nWidth=" + std::to_string(width) + "\nHeight=" + std::to_string(height) + "\n";
}
// Windowed, to keep the tests off the whole screen.
const std::string SMALL_WINDOW = Display_Config("1", 320, 240);
const int GL_WINDOWED = ALLEGRO_OPENGL | ALLEGRO_WINDOWED;

// What every game reads from its run directory: the shaders, the fallback image and the font.
void Copy_Engine_Assets(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::filesystem::create_directories(to / "assets");
    std::filesystem::copy(from / "assets/shader", to / "assets/shader");
    std::filesystem::copy(from / "assets/font", to / "assets/font");
    std::filesystem::copy_file(from / "assets/missing.png", to / "assets/missing.png");
}

class Game_Test : public ::testing::Test {
protected:
    void SetUp() override {
        Copy_Engine_Assets(scratch.Previous(), ".");
        Write_File("game_config.ini", SMALL_WINDOW);
        on_start = nullptr, slow_draws = 0;
        next = [](Game*, int) { return ""; };
    }
    Kelvane_Test::Scratch_Dir scratch;
};

}  // namespace

TEST_F(Game_Test, Scenes_Start_Update_Draw_And_Close_In_Order_Across_Switches_And_Quits) {
    struct Run {
        const char* first;  // asked for before Main, if any
        const char* asked;  // by A's first update; A quits on every later one
        std::vector<std::string> trace;
    };
    const Run runs[] = {
        {"", "", {"A.start", "A.update", "A.draw", "A.close"}},  // the quitting update's frame is still drawn
        {"", "A", {"A.start", "A.update", "A.draw", "A.update", "A.draw", "A.close"}},  // no restart
        {"", "B", {"A.start", "A.update", "A.draw", "A.close", "B.start", "B.update", "B.close"}},
        {"B", "", {"B.start", "B.update", "B.close"}}};
    for (const Run& run : runs) {
        next = [&](Game*, int update) { return update == 1 ? run.asked : ""; };
        EXPECT_EQ(Run_Game(Two_Scenes(), run.first), 0);
        EXPECT_EQ(trace, run.trace) << "first " << run.first << ", asked " << run.asked;
    }
}

TEST_F(Game_Test, Set_Up_Logs_Every_Step_Once_In_A_Fresh_Log_And_Saves_Every_Default) {
    std::filesystem::remove("game_config.ini");
    Write_File("game.log", "left over from an earlier run\n");
    EXPECT_EQ(Run_Game(), 0);
    std::vector<std::string> expected = {
        "Run directory: " + scratch.Path() + ", the working directory.", "Allegro initialized.", "Keyboard Mapping initialized.", "Starting display setup.",
        "Set ALLEGRO_OPENGL flag", "Set Window Mode Display flags", "Display was created",
        "Shader Manager created succesfully", "Bitmap Manager created succesfully", "Set Display title",
        "Renderer added to the general list", "Display Created.", "Timer set-up", "Saved Configuration file",
        "Game Setup succesfully", "Timer Started and Delta Reset"};
    EXPECT_EQ(Log_Messages(), expected);
    EXPECT_EQ(al_get_new_display_flags(), GL_WINDOWED | ALLEGRO_FULLSCREEN_WINDOW);
    EXPECT_EQ(Read_File("game_config.ini"), "[Display]\nMode=2\nHeight=600\nWidth=800\n[Game]\nFPS=60\n");
}

TEST_F(Game_Test, Set_Up_Fails_Without_Scenes_After_Saving_The_Configuration) {
    std::filesystem::remove("game_config.ini");
    EXPECT_EQ(Run_Game({}), 1);
    std::vector<std::string> messages = Log_Messages();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[messages.size() - 2], "Can't start the game with no scenes available!");
    EXPECT_TRUE(std::filesystem::exists("game_config.ini"));
}

TEST_F(Game_Test, A_Configuration_That_Cannot_Be_Read_Gives_The_Defaults_And_Is_Never_Saved) {
    std::filesystem::remove("game_config.ini");
    std::filesystem::create_directory("game_config.ini");
    EXPECT_EQ(Run_Game(), 0);
    EXPECT_EQ(al_get_new_display_flags(), GL_WINDOWED | ALLEGRO_FULLSCREEN_WINDOW);
    EXPECT_EQ(Log_Messages(0, "Configuration file"),
              std::vector<std::string>{"Configuration file game_config.ini couldn't be read; the defaults are used and "
                                       "the file is left as it is."});
    EXPECT_EQ(Log_Messages(0, "Saved"), std::vector<std::string>{});
}

TEST_F(Game_Test, A_Configuration_That_Cannot_Be_Saved_Is_Logged_As_Such) {
    // A link into a missing folder: the file reads as empty and cannot be written.
    std::filesystem::remove("game_config.ini");
    std::filesystem::create_symlink("missing/game_config.ini", "game_config.ini");
    EXPECT_EQ(Run_Game(), 0);
    EXPECT_EQ(Log_Messages(0, "Saved"), std::vector<std::string>{});
    EXPECT_EQ(Log_Messages(0, "Configuration file"),
              std::vector<std::string>{"Configuration file game_config.ini couldn't be saved; its values are used all "
                                       "the same."});
}

// Each game runs with a display of the given request: what it opened, what it logged and what the file kept.
class Game_Display_Test : public Game_Test {
protected:
    void SetUp() override {
        Game_Test::SetUp();
        Kelvane_Test::Init_Allegro();
        ALLEGRO_MONITOR_INFO screen{};  // the one the tests' windows open on
        ASSERT_TRUE(al_get_monitor_info(0, &screen));
        w = screen.x2 - screen.x1, h = screen.y2 - screen.y1;
    }
    struct Request {
        const char* mode;
        int width, height, flags;  // flags besides OpenGL and windowed
        std::string shown, said;
    };
    static std::string Text(int width, int height) { return std::to_string(width) + "x" + std::to_string(height); }
    std::string Shrunk(int width, int height, int fitted_w, int fitted_h) const {
        return "Requested display " + Text(width, height) + " is larger than the screen (" + Text(w, h) + "), using " +
               Text(fitted_w, fitted_h) + ".";
    }
    void Expect_Displays(const std::vector<Request>& requests) {
        for (const Request& r : requests) {
            std::string config = Display_Config(r.mode, r.width, r.height);
            Write_File("game_config.ini", config);
            EXPECT_EQ(Run_Game(), 0) << config;
            ALLEGRO_DISPLAY* display = al_get_current_display();
            ASSERT_NE(display, nullptr);
            EXPECT_EQ(al_get_new_display_flags(), GL_WINDOWED | r.flags) << config;
            EXPECT_EQ(Text(al_get_display_width(display), al_get_display_height(display)), r.shown) << config;
            EXPECT_GE(al_get_display_option(display, ALLEGRO_DEPTH_SIZE), 16) << "per-pixel occlusion needs depth";
            EXPECT_EQ(Log_Messages(0, "Requested"), r.said.empty() ? std::vector<std::string>{} : std::vector{r.said});
            EXPECT_EQ(Read_File("game_config.ini"), config + "[Game]\nFPS=60\n") << "the file keeps the request";
        }
    }
    int w = 0, h = 0;  // the screen's size
};

// Full-screen modes at the screen's own size, so the X server can grant them.
TEST_F(Game_Display_Test, The_Mode_Chooses_A_Window_A_Full_Screen_Window_Or_Full_Screen) {
    Expect_Displays({{"1.9", 320, 240, 0, "320x240", ""},  // truncated to 1
                     {"0", w, h, ALLEGRO_FULLSCREEN, Text(w, h), ""},
                     {"3", w, h, ALLEGRO_FULLSCREEN, Text(w, h), ""},
                     {"-1", w, h, ALLEGRO_FULLSCREEN, Text(w, h), ""},
                     {"2.7", w, h, ALLEGRO_FULLSCREEN_WINDOW, Text(w, h), ""}});
}

TEST_F(Game_Display_Test, A_Display_Larger_Than_The_Screen_Is_Shrunk_To_Fit_With_A_Line) {
    Expect_Displays({{"1", 100000, 100000, 0, Text(w, h), Shrunk(100000, 100000, w, h)},
                     {"1", 40000, 600, 0, Text(w, 600), Shrunk(40000, 600, w, 600)},
                     {"2", 100000, 100000, ALLEGRO_FULLSCREEN_WINDOW, Text(w, h), Shrunk(100000, 100000, w, h)},
                     {"0", 123456, 98765, ALLEGRO_FULLSCREEN, Text(w, h), Shrunk(123456, 98765, w, h)}});
}

// A full-screen mode the screen does not offer, though it would fit.
TEST_F(Game_Display_Test, A_Display_That_Cannot_Be_Opened_Falls_Back_To_A_640_By_480_Window) {
    Expect_Displays({{"0", w - 24, h - 24, 0, "640x480",
                      "Requested Display couldn't be created, defaulting to 640x480 in Windowed Mode."}});
}

// The demonstration program `program`, copied to `installed`, started from the working directory; its exit
// status. Without an X display its set-up stops once the run directory is chosen and the log is open.
int Run_Installed_Program(const std::filesystem::path& program, const std::filesystem::path& installed,
                          bool with_display) {
    std::filesystem::create_directories(installed);
    std::filesystem::copy_file(program, installed / "kelvane", std::filesystem::copy_options::overwrite_existing);
    std::string command = std::string(with_display ? "" : "DISPLAY= ") + installed.string() + "/kelvane 2> errors.txt";
    return WEXITSTATUS(std::system(command.c_str()));
}

TEST_F(Game_Test, The_Run_Directory_Is_The_One_Whose_Assets_Hold_What_The_Program_Reads) {
    namespace fs = std::filesystem;
    fs::path installed = scratch.Path() + "/installed";
    const fs::path program = scratch.Previous() + "/kelvane";
    // Started from a folder like the repository's root: shaders and fallback image, no object folders.
    Copy_Engine_Assets(scratch.Previous(), installed);
    fs::copy(scratch.Previous() + "/assets/objects", installed / "assets/objects", fs::copy_options::recursive);
    EXPECT_EQ(Run_Installed_Program(program, installed, false), 1);
    std::vector<std::string> messages = Log_Messages(0, "", installed / "game.log");
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front(), "Run directory: " + installed.string() + ", the program's folder. The working "
                                "directory lacks assets/objects/tiles/.");
    EXPECT_FALSE(fs::exists("game.log"));
    EXPECT_EQ(Read_File("game_config.ini"), SMALL_WINDOW) << "the configuration used is the program's folder's";

    // Neither holds it all: the first with an assets folder, saying what it lacks. Here the program's folder,
    // which lacks the fallback image, so set-up stops soon after it moved there.
    fs::remove_all("assets"), fs::remove_all(installed / "assets/missing.png");
    EXPECT_EQ(Run_Installed_Program(program, installed, true), 1);
    const std::string no_fallback = "The fallback image assets/missing.png couldn't be loaded.";
    EXPECT_EQ(Log_Messages(0, "", installed / "game.log"),
              (std::vector<std::string>{"Run directory: " + installed.string() +
                                            ", the program's folder, though it lacks assets/missing.png.",
                                        "Allegro initialized.", "Keyboard Mapping initialized.", no_fallback,
                                        "Setup didn't succeed."}));
    EXPECT_EQ(Read_File("errors.txt"), no_fallback + "\n");

    // Neither has an assets folder: nothing is written anywhere, and standard error says why.
    fs::remove_all(installed / "assets"), fs::remove(installed / "game.log");
    EXPECT_EQ(Run_Installed_Program(program, installed, true), 1);
    EXPECT_EQ(Read_File("errors.txt"), "No assets folder in the working directory " + scratch.Path() +
                                           " nor beside the program in " + installed.string() +
                                           "; nothing to run with.\n");
    for (const fs::path& log : {fs::path("game.log"), installed / "game.log"}) EXPECT_FALSE(fs::exists(log)) << log;
}

TEST_F(Game_Test, An_Unusable_Tick_Rate_Is_Replaced_With_One_Line_And_The_File_Keeps_It) {
    // Far too high a rate once flooded the queue with timer events: the loop hung.
    const std::tuple<const char*, int, const char*> rates[] = {
        {"0.5", 60, "FPS 0.5 is not a usable tick rate, using 60."},
        {"-3", 60, "FPS -3 is not a usable tick rate, using 60."},
        {"fast", 60, "FPS fast is not a usable tick rate, using 60."},
        {"1e9", 1000, "FPS 1e9 is not a usable tick rate, using 1000."},
        {"1e308", 1000, "FPS 1e308 is not a usable tick rate, using 1000."},
        {"30.9", 30, nullptr},
        {"1000", 1000, nullptr}};
    for (const auto& [fps, used, line] : rates) {
        std::string config = SMALL_WINDOW + "[Game]\nFPS=" + fps + "\n";
        Write_File("game_config.ini", config);
        int rate = 0;
        next = [&](Game* game, int update) { return rate = game->Get_FPS(), update == 2 ? "" : nullptr; };
        EXPECT_EQ(Run_Game(), 0) << fps;
        EXPECT_EQ(rate, used) << fps;
        EXPECT_EQ(Log_Messages(0, "FPS "), line ? std::vector<std::string>{line} : std::vector<std::string>{}) << fps;
        EXPECT_EQ(Read_File("game_config.ini"), config);
    }
}

TEST_F(Game_Test, A_Slow_Stretch_Leaves_No_Growing_Backlog_Of_Ticks) {
    const int SLOW = 20, QUICK = 30;
    std::vector<double> quick_times;
    slow_draws = SLOW;
    next = [&](Game*, int update) {
        if (update > SLOW) quick_times.push_back(al_get_time());
        return update == SLOW + QUICK ? "" : nullptr;
    };
    EXPECT_EQ(Run_Game(), 0);
    ASSERT_EQ(quick_times.size(), size_t(QUICK));
    // About 40 ticks queue up while drawing slowly; run all, they would follow each other back to back.
    int back_to_back = 0;
    for (size_t i = 1; i < quick_times.size(); i++) back_to_back += quick_times[i] - quick_times[i - 1] < 0.004;
    EXPECT_LE(back_to_back, 2 * Kelvane::MAX_TICK_BACKLOG);
}

TEST_F(Game_Test, A_Key_Tapped_Between_Two_Ticks_Registers) {
    int seen_on = 0;
    next = [&](Game* game, int update) -> const char* {
        EXPECT_TRUE(update != 1 || Kelvane_Test::Tap_Key(game->Get_Display(), "F1"));
        if (KB_Input[ALLEGRO_KEY_F1] && !seen_on) seen_on = update;
        return seen_on || update == CUT_OFF_TICKS ? "" : nullptr;
    };
    EXPECT_EQ(Run_Game(), 0);
    EXPECT_GT(seen_on, 1) << "down and up before the next input poll, the tap was lost";
}

TEST_F(Game_Test, The_Close_Button_Ends_Main_With_0_And_Nothing_Is_Saved_After_Set_Up) {
    const std::string edited = SMALL_WINDOW + "; edited while it ran\n";
    next = [&](Game* game, int update) -> const char* {
        if (update == 1) Write_File("game_config.ini", edited), Kelvane_Test::Press_Close_Button(game->Get_Display());
        return update == CUT_OFF_TICKS ? "" : nullptr;
    };
    EXPECT_EQ(Run_Game(), 0);
    EXPECT_LT(updates, CUT_OFF_TICKS) << "the close button did not end the loop";
    EXPECT_EQ(trace.back(), "A.close");
    EXPECT_EQ(Read_File("game_config.ini"), edited);
}

TEST_F(Game_Test, The_Loading_Picture_Shows_Progress_And_Escape_Or_Closing_Ends_Loading_Before_Any_Tick) {
    std::vector<std::vector<Kelvane_Test::Pixel>> shown;
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
        const int STEPS = 20;  // of 50 ms each; the user asks to quit after the first
        int step = 0;
        on_start = [&](Game* game) {
            for (; step < STEPS && !game->Show_Loading("step", float(step) / STEPS); step++) {
                if (step == 0) quit(game);
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        };
        EXPECT_EQ(Run_Game(), 0) << how;
        EXPECT_EQ(trace, (std::vector<std::string>{"A.start", "A.close"})) << how;
        EXPECT_LT(step, STEPS) << how << ": the scene was never told";
        EXPECT_EQ(Log_Messages(0, "Loading"), std::vector<std::string>{"Loading cancelled."}) << how;
    }
    // In the 320 x 240 window the bar spans x 64 to 256 at y 120 to 136, the text lies above it.
    ASSERT_EQ(shown.size(), 2u);
    for (size_t k = 0; k < shown.size(); k++) {  // a quarter, then three quarters filled
        auto white = [&](int x, int y) {
            const Kelvane_Test::Pixel& p = shown[k][y * 320 + x];
            return p.r + p.g + p.b == 3 * 255;
        };
        EXPECT_EQ((std::array{white(100, 128), white(170, 128), white(240, 128), white(10, 10)}),
                  (std::array{true, k == 1, false, false}));
        int text = 0;
        for (int i = 60 * 320; i < 110 * 320; i++) text += white(i % 320, i / 320);
        EXPECT_GT(text, 50);
    }
}

// Set-up loads the game font once the display exists, and scenes draw text with it; without the file the built-in
// font stands in.
TEST_F(Game_Test, Scenes_Get_The_Game_Font_Or_Else_The_Built_In_One_With_A_Line) {
    int line_height = 0, builtin_height = 0;
    on_start = [&](Game* game) {
        ASSERT_NE(game->Get_Font(), nullptr);
        line_height = al_get_font_line_height(game->Get_Font());
        ALLEGRO_FONT* builtin = al_create_builtin_font();
        builtin_height = al_get_font_line_height(builtin);
        al_destroy_font(builtin);
    };
    EXPECT_EQ(Run_Game(), 0);
    ALLEGRO_FONT* sized = al_load_font(Kelvane::DEFAULT_FONT_PATH.c_str(), Kelvane::DEFAULT_FONT_SIZE, 0);
    ASSERT_NE(sized, nullptr);
    EXPECT_EQ(line_height, al_get_font_line_height(sized)) << "the TrueType font at its size";
    al_destroy_font(sized);
    EXPECT_NE(line_height, builtin_height);
    EXPECT_EQ(Log_Messages(0, "Game font"), std::vector<std::string>{});

    std::filesystem::remove_all("assets/font");
    EXPECT_EQ(Run_Game(), 0);
    EXPECT_EQ(line_height, builtin_height);
    EXPECT_EQ(Log_Messages(0, "Game font"),
              std::vector<std::string>{"Game font assets/font/GameFont.ttf couldn't be loaded; text is drawn in the "
                                       "built-in font."});
}

TEST(Game_Delta, Measures_From_The_Reset_And_Caps_A_Stall_At_Two_Ticks) {
    Kelvane_Test::Init_Allegro();
    Game game("Kelvane");
    game.Reset_Delta();
    EXPECT_EQ(game.Get_Delta(), 1.0f);
    game.Update_Delta();
    EXPECT_TRUE(game.Get_Delta() >= 0.0f && game.Get_Delta() < 2.0f) << "an immediate tick is far below two periods";
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // six periods at 60 ticks per second
    game.Update_Delta();
    EXPECT_EQ(game.Get_Delta(), 2.0f);
}
