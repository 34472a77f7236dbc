#include "core/common.h"

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

TEST(Common, Is_Plain_Name_Takes_One_Entry_Of_A_Folder_And_Nothing_That_Leaves_It) {
    for (const char* plain : {"tiles", "a.b", "..x", "name with spaces"}) EXPECT_TRUE(Kelvane::Is_Plain_Name(plain)) << plain;
    for (const char* other : {"", ".", "..", "../canary", "a/b", "/etc", "a\\b", "tiles/"})
        EXPECT_FALSE(Kelvane::Is_Plain_Name(other)) << other;
}

TEST(Common, Read_Float_Reads_A_Leading_Number_And_Refuses_What_Is_No_Finite_Number) {
    const std::pair<const char*, float> numbers[] = {{"75 px", 75.0f}, {" -2.5", -2.5f}, {"0", 0.0f}, {"1e3", 1000.0f}};
    for (const auto& [text, expected] : numbers) {
        float value = -1.0f;
        EXPECT_TRUE(Read_Float(text, value)) << text;
        EXPECT_EQ(value, expected) << text;
    }
    for (const char* other : {"nan", "inf", "-inf", "1e999", "-1e999", "", "px 75", "7e"}) {
        float value = 42.0f;
        EXPECT_FALSE(Read_Float(other, value)) << other;
        EXPECT_EQ(value, 42.0f) << other << ": left as it was";
    }
}

TEST(Common, A_Temporary_File_Is_Known_By_The_Exact_Name_Its_Writer_Gives_It) {
    EXPECT_EQ(Kelvane::Temporary_File_Of("a/shadow.png", 4321), "a/shadow.png.4321.tmp");
    EXPECT_EQ(Kelvane::Temporary_File_Owner("shadow.png", "shadow.png.4321.tmp"), 4321);
    EXPECT_EQ(Kelvane::Temporary_File_Owner("a/shadow.png", "a/shadow.png.7.tmp"), 7);
    for (const char* other :
         {"shadow.png.tmp", "shadow.png..tmp", "shadow.png.04321.tmp", "shadow.png.+4321.tmp", "shadow.png.-4321.tmp",
          "shadow.png. 4321.tmp", "shadow.png.0.tmp", "shadow.png.4321x.tmp", "shadow.png.4321.tmp.bak",
          "shadow.png.99999999999.tmp", "xshadow.png.4321.tmp", "shadow.pngx.4321.tmp", "normal.png.4321.tmp",
          "shadow.png"})
        EXPECT_EQ(Kelvane::Temporary_File_Owner("shadow.png", other), 0) << other;
}

TEST(Common, Write_Target_Follows_A_Symbolic_Link_One_Step_From_Its_Folder) {
    namespace fs = std::filesystem;
    Kelvane_Test::Scratch_Dir scratch;
    fs::create_directory("sub");
    fs::create_symlink("real.ini", "sub/link.ini");
    fs::create_symlink("../outside.ini", "sub/up.ini");
    fs::create_symlink("/etc/absolute.ini", "absolute.ini");
    fs::create_symlink("link.ini", "sub/twice.ini");
    const std::pair<const char*, const char*> targets[] = {{"plain.ini", "plain.ini"},
                                                           {"sub/link.ini", "sub/real.ini"},
                                                           {"sub/up.ini", "sub/../outside.ini"},
                                                           {"absolute.ini", "/etc/absolute.ini"},
                                                           {"sub/twice.ini", "sub/link.ini"}};
    for (const auto& [path, target] : targets) EXPECT_EQ(Kelvane::Write_Target(path), target) << path;
}
