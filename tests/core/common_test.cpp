#include "core/common.h"

#include <allegro5/allegro.h>
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <filesystem>

#include "support/scratch_dir.h"

TEST(Common, ToString_Uses_Six_Significant_Digits_Without_Trailing_Zeros) {
    EXPECT_EQ(ToString(0.61138f), "0.61138");
    EXPECT_EQ(ToString(2.0f), "2");
    EXPECT_EQ(ToString(0.25f), "0.25");
    EXPECT_EQ(ToString(1920.0f), "1920");
    EXPECT_EQ(ToString(1000000.0f), "1e+06");
    EXPECT_EQ(ToString(0.00001f), "1e-05");
    EXPECT_EQ(ToString(-7), "-7");
}

TEST(Common, ToFloat_Reads_The_Longest_Numeric_Prefix_Else_Zero) {
    EXPECT_FLOAT_EQ(ToFloat("-2"), -2.0f);
    EXPECT_FLOAT_EQ(ToFloat("  42"), 42.0f);
    EXPECT_FLOAT_EQ(ToFloat("1e3"), 1000.0f);
    EXPECT_FLOAT_EQ(ToFloat("7abc"), 7.0f);
    EXPECT_FLOAT_EQ(ToFloat(" 75 units"), 75.0f);
    EXPECT_EQ(ToFloat("0x10"), 0.0f);
    EXPECT_EQ(ToFloat(""), 0.0f);
    EXPECT_EQ(ToFloat("abc"), 0.0f);
    EXPECT_EQ(ToFloat("7e"), 0.0f);  // an exponent with no digits spoils the number
    // Whatever ToString writes must read back, or the config store drifts.
    for (float value : {0.61138f, 1e+06f, 1e-05f, -0.5f}) EXPECT_FLOAT_EQ(ToFloat(ToString(value)), value);
}

TEST(Common, Truncate_To_Int_Truncates_Toward_Zero_And_Clamps) {
    EXPECT_EQ(Truncate_To_Int(1.7f), 1);
    EXPECT_EQ(Truncate_To_Int(-1.7f), -1);
    EXPECT_EQ(Truncate_To_Int(NAN), 0);
    EXPECT_EQ(Truncate_To_Int(1e10f), INT_MAX);
    EXPECT_EQ(Truncate_To_Int(INFINITY), INT_MAX);
    EXPECT_EQ(Truncate_To_Int(-1e10f), INT_MIN);
}

TEST(Common, File_Exists_Accepts_Files_And_Directories) {
    ASSERT_TRUE(al_install_system(ALLEGRO_VERSION_INT, nullptr));
    Kelvane_Test::Scratch_Dir scratch;
    Kelvane_Test::Write_File("present.txt", "x");
    std::filesystem::create_directory("folder");
    EXPECT_TRUE(Kelvane::File_Exists("present.txt"));
    EXPECT_TRUE(Kelvane::File_Exists("folder"));
    EXPECT_FALSE(Kelvane::File_Exists("absent.txt"));
    EXPECT_FALSE(Kelvane::File_Exists("folder/absent.txt"));
}

TEST(Common, Vec2D_Scales_Both_Fields_In_Place) {
    Vec2D v(3.0f, -4.0f);
    v *= 0.5f;
    EXPECT_FLOAT_EQ(v.x, 1.5f);
    EXPECT_FLOAT_EQ(v.y, -2.0f);
}
