#include "world/light.h"

#include <gtest/gtest.h>

#include <cmath>

using Kelvane::Light;

TEST(Light, Takes_Position_Then_Range_Then_Colour_With_Fixed_Defaults) {
    Light light(10, 20, 30, 400, 1.2f, 0.5f, 1.3f, 0);
    light.Update(1.0f);  // changes nothing
    EXPECT_EQ(light.Get_X() + light.Get_Y() + light.Get_Z(), 60.0f);
    EXPECT_EQ(light.Get_Range(), 400.0f);
    EXPECT_EQ(light.Get_R(), 1.2f);
    EXPECT_EQ(light.Get_B(), 1.3f);
    EXPECT_EQ(light.Get_Strength(), 1.0f);
    EXPECT_EQ(light.Get_Ambience(), 0.2f);
}

TEST(Light, Normalize_Makes_Unit_Length_Is_Stable_And_Leaves_Zero_Alone) {
    Light light(3, 0, 4, 0, 1, 1, 1, 0);
    light.Normalize();
    EXPECT_FLOAT_EQ(light.Get_X(), 0.6f);
    EXPECT_FLOAT_EQ(light.Get_Z(), 0.8f);
    Light sun(5, 1.5f, 1, 0, 1, 1, 1, 0);
    sun.Normalize();
    const float length = std::sqrt(28.25f), x = sun.Get_X();
    EXPECT_FLOAT_EQ(x, 5 / length);
    EXPECT_FLOAT_EQ(sun.Get_Y(), 1.5f / length);
    sun.Normalize();
    EXPECT_FLOAT_EQ(sun.Get_X(), x);
    Light huge(0, -1e30f, -1e30f, 0, 1, 1, 1, 0);  // the length must not overflow
    huge.Normalize();
    EXPECT_FLOAT_EQ(huge.Get_Y(), -std::sqrt(0.5f));
    Light zero(0, 0, 0, 0, 1, 1, 1, 0);  // no NaN may reach the lighting program
    zero.Normalize();
    EXPECT_EQ(zero.Get_X() + zero.Get_Y() + zero.Get_Z(), 0.0f);
}
