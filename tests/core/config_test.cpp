#include "core/config.h"

#include <allegro5/allegro.h>
#include <grp.h>  // Required for: setgroups()
#include <gtest/gtest.h>
#include <sys/wait.h>  // Required for: waitpid(), to run a save as another user
#include <unistd.h>    // Required for: fork(), getuid(), setgid(), setuid()

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "support/scratch_dir.h"

using Kelvane::Config;
using Kelvane_Test::Read_File;

class Config_Test : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(al_install_system(ALLEGRO_VERSION_INT, nullptr)); }
    Kelvane_Test::Scratch_Dir scratch;
};

TEST_F(Config_Test, A_Missing_Key_Keeps_The_First_Default_It_Was_Given) {
    Config config("settings.ini");
    config.Get_Float("General", "Height", 500);
    EXPECT_FLOAT_EQ(config.Get_Float("General", "Height", 7), 500.0f);
    config.Get_Float("General", "Scale", 1000000);
    EXPECT_EQ(config.Get_String("General", "Name", "lamp"), "lamp");
    EXPECT_EQ(config.Get_String("General", "Name", "other"), "lamp");
    config.Set_Float("General", "Height", 0.25f);
    EXPECT_FALSE(std::filesystem::exists("settings.ini")) << "only Save writes";
    config.Save();
    EXPECT_EQ(Read_File("settings.ini"), "[General]\nHeight=0.25\nScale=1e+06\nName=lamp\n");
}

TEST_F(Config_Test, Present_Keys_Are_Read_As_Numbers_Past_A_Byte_Order_Mark_And_Left_As_They_Were) {
    const std::string mark = "\xEF\xBB\xBF";
    Kelvane_Test::Write_File("game_config.ini", mark + "[Display]\nMode=1.7\nWidth= 75 units\nHeight=tall\n");
    Config config("game_config.ini");
    ASSERT_TRUE(config.Is_Loaded());
    EXPECT_EQ((std::array{config.Get_Float("Display", "Mode", 2), config.Get_Float("Display", "Width", 800),
                          config.Get_Float("Display", "Height", 600), config.Get_Float("Game", "FPS", 60)}),
              (std::array{1.7f, 75.0f, 0.0f, 60.0f}));
    config.Save();
    // Allegro trims values; otherwise the mark and present keys are kept and only the missing one is added.
    EXPECT_EQ(Read_File("game_config.ini"),
              mark + "[Display]\nMode=1.7\nWidth=75 units\nHeight=tall\n[Game]\nFPS=60\n");
}

TEST_F(Config_Test, A_Path_That_Cannot_Be_Loaded_Gives_The_Defaults_And_Is_Left_Alone) {
    std::filesystem::create_directory("game_config.ini");
    Config config("game_config.ini");
    EXPECT_FALSE(config.Is_Loaded());
    // What the game asks for first: its default window, not full screen at 0 x 0.
    EXPECT_EQ((std::array{config.Get_Float("Display", "Mode", 2), config.Get_Float("Display", "Height", 600),
                          config.Get_Float("Display", "Width", 800)}),
              (std::array{2.0f, 600.0f, 800.0f}));
    EXPECT_EQ(config.Get_Float("Display", "Width", 1024), 1024.0f) << "no default is stored";
    EXPECT_EQ(config.Get_String("Display", "Name", "x"), "x");
    config.Set_Float("Display", "Width", 5);
    EXPECT_FALSE(config.Save());
    EXPECT_TRUE(std::filesystem::is_directory("game_config.ini") && std::filesystem::is_empty("game_config.ini"));

    Config elsewhere("no_such_folder/settings.ini");  // saving there fails silently
    elsewhere.Get_Float("General", "Height", 500);
    EXPECT_FALSE(elsewhere.Save()) << "a file that could not be written is reported";
    EXPECT_FALSE(std::filesystem::exists("no_such_folder"));
}

TEST_F(Config_Test, Save_Writes_Only_Additions_And_Never_Half_A_File) {
    const std::string mine = "# mine\n[General]\nHeight = 300\n";
    Kelvane_Test::Write_File("settings.ini", mine);
    Config config("settings.ini");
    config.Set_String("General", "Height", "300");
    config.Save();
    EXPECT_EQ(Read_File("settings.ini"), mine) << "nothing new: the file is not touched";

    EXPECT_FLOAT_EQ(config.Get_Float("General", "Center_X", 100), 100.0f);
    {
        Kelvane_Test::File_Size_Limit full_disk(8);
        config.Save();
    }
    EXPECT_EQ(Read_File("settings.ini"), mine) << "a failed write leaves the old file whole";
    EXPECT_EQ(Kelvane_Test::Folder_Entries("."), std::vector<std::string>{"settings.ini"}) << "and no temporary file";
    config.Save();
    EXPECT_EQ(Read_File("settings.ini"), "# mine\n[General]\nHeight=300\nCenter_X=100\n");
}

namespace {

// Adds a key to game_config.ini and saves it.
void Add_Key(const char* key) {
    Config config("game_config.ini");
    config.Get_Float("Display", key, 2);
    config.Save();
}

}  // namespace

TEST_F(Config_Test, A_Replaced_File_Keeps_Its_Link_And_Permissions) {
    namespace fs = std::filesystem;
    const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    Kelvane_Test::Write_File("mine.ini", "[Display]\n");
    fs::create_symlink("mine.ini", "game_config.ini");
    fs::permissions("mine.ini", mode, fs::perm_options::replace);
    Add_Key("Mode");
    EXPECT_TRUE(fs::is_symlink("game_config.ini"));
    EXPECT_EQ(Read_File("mine.ini"), "[Display]\nMode=2\n");
    EXPECT_EQ(fs::status("mine.ini").permissions(), mode);
}

// Root may write any file: the save is tried as the unprivileged user "nobody" then.
TEST_F(Config_Test, A_Read_Only_File_Is_Not_Replaced_Even_In_A_Folder_Anybody_May_Write) {
    namespace fs = std::filesystem;
    Kelvane_Test::Write_File("game_config.ini", "[Display]\n");
    fs::permissions("game_config.ini", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(".", fs::perms::all);
    const unsigned int NOBODY = 65534;  // the unprivileged user and its group
    pid_t child = fork();
    if (child == 0)
        _exit(getuid() == 0 && (setgroups(0, nullptr) || setgid(NOBODY) || setuid(NOBODY)) ? 2 : (Add_Key("Width"), 0));
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(Read_File("game_config.ini"), "[Display]\n");
}

TEST_F(Config_Test, A_File_That_Is_No_INI_Text_Is_Not_Read_And_Never_Rewritten) {
    const std::string utf16 = std::string("\xFF\xFE[\0D\0i\0s\0p\0l\0a\0y\0]\0\n\0", 20);
    const std::string files[] = {utf16, std::string("Mode=1\0\x01\x02", 9), "just some text\nno settings here\n"};
    for (const std::string& bytes : files) {
        Kelvane_Test::Write_File("game_config.ini", bytes);
        Config config("game_config.ini");
        EXPECT_FALSE(config.Is_Loaded()) << bytes;
        EXPECT_EQ(config.Get_Float("Display", "Width", 640), 640.0f) << "the caller's default, not 0";
        EXPECT_FALSE(config.Save()) << "not loaded, so not saved";
        EXPECT_EQ(Read_File("game_config.ini"), bytes) << "left exactly as it was";
    }
    for (const std::string& ini : {std::string(""), std::string("\n  \n"), std::string("# only a comment\n")}) {
        Kelvane_Test::Write_File("game_config.ini", ini);
        EXPECT_TRUE(Config("game_config.ini").Is_Loaded()) << "an empty or comment-only file is INI: '" << ini << "'";
    }
}

TEST_F(Config_Test, Entries_And_Sections_Are_Read_In_The_Files_Order) {
    Kelvane_Test::Write_File("scene.ini", "loose=1\n[Object 3]\n# a note\nFolder=house\nX=1.5\n[Object 4]\nFolder=tiles\n");
    Config config("scene.ini");
    using Entries = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(config.Get_Entries("Object 3"), (Entries{{"Folder", "house"}, {"X", "1.5"}}));
    EXPECT_EQ(config.Get_Entries("Object 9"), Entries{});
    EXPECT_EQ(config.Get_Sections(), (std::vector<std::string>{"Object 3", "Object 4"}));
}
