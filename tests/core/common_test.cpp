#include "core/common.h"

#include <allegro5/allegro.h>
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <filesystem>

#include "support/scratch_dir.h"

TEST(Common, ToString_Uses_Six_Significant_Digits_Without_Trailing_Zeros_And_ToFloat_Reads_It_Back_Or_A_Prefix) {
    const std::pair<float, const char*> written[] = {{0.61138f, "0.61138"}, {2.0f, "2"},     {0.25f, "0.25"},
                                                     {1920.0f, "1920"},     {1e6f, "1e+06"}, {0.00001f, "1e-05"},
                                                     {-7.0f, "-7"},         {-0.5f, "-0.5"}};
    for (const auto& [value, text] : written) {
        EXPECT_EQ(ToString(value), text);
        EXPECT_FLOAT_EQ(ToFloat(text), value) << "what ToString writes must read back, or the config store drifts";
    }
    const std::pair<const char*, float> read[] = {{"  42", 42.0f},      {"1e3", 1000.0f}, {"7abc", 7.0f},
                                                  {" 75 units", 75.0f}, {"0x10", 0.0f},   {"", 0.0f},
                                                  {"abc", 0.0f},        {"7e", 0.0f}};
    for (const auto& [text, value] : read) EXPECT_EQ(ToFloat(text), value) << text;  // "7e": no exponent digits
}

TEST(Common, Truncate_To_Int_Truncates_Toward_Zero_And_Clamps) {
    const std::pair<float, int> cases[] = {{1.7f, 1},        {-1.7f, -1},         {NAN, 0},
                                           {1e10f, INT_MAX}, {INFINITY, INT_MAX}, {-1e10f, INT_MIN}};
    for (const auto& [value, truncated] : cases) EXPECT_EQ(Truncate_To_Int(value), truncated) << value;
}

TEST(Common, File_Exists_Accepts_Files_And_Directories) {
    ASSERT_TRUE(al_install_system(ALLEGRO_VERSION_INT, nullptr));
    Kelvane_Test::Scratch_Dir scratch;
    Kelvane_Test::Write_File("present.txt", "x");
    std::filesystem::create_directory("folder");
    for (const char* present : {"present.txt", "folder"}) EXPECT_TRUE(Kelvane::File_Exists(present)) << present;
    for (const char* absent : {"absent.txt", "folder/absent.txt"}) EXPECT_FALSE(Kelvane::File_Exists(absent)) << absent;
}

TEST(Common, Vec2D_Scales_Both_Fields_In_Place) {
    Vec2D v(3.0f, -4.0f);
    v *= 0.5f;
    EXPECT_TRUE(v.x == 1.5f && v.y == -2.0f);
}

TEST(Common, Is_Plain_Name_Takes_One_Entry_Of_A_Folder_And_Nothing_That_Leaves_It) {
    for (const char* plain : {"tiles", "a.b", "..x", "name with spaces"}) EXPECT_TRUE(Kelvane::Is_Plain_Name(plain)) << plain;
    for (const char* other : {"", ".", "..", "../canary", "a/b", "/etc", "a\\b", "tiles/"})
        EXPECT_FALSE(Kelvane::Is_Plain_Name(other)) << other;
}
