#include "world/light.h"

#include <gtest/gtest.h>

#include <cmath>

using Kelvane::Light;

TEST(Light, Constructor_Takes_Position_Range_Colour_And_Fixed_Defaults) {
    Light light(10, 20, 30, 400, 1.2f, 0.5f, 1.3f, 0);
    light.Update(1.0f);  // changes nothing
    EXPECT_EQ(light.Get_X(), 10.0f);
    EXPECT_EQ(light.Get_Y(), 20.0f);
    EXPECT_EQ(light.Get_Z(), 30.0f);
    EXPECT_EQ(light.Get_Range(), 400.0f);
    EXPECT_EQ(light.Get_R(), 1.2f);
    EXPECT_EQ(light.Get_G(), 0.5f);
    EXPECT_EQ(light.Get_B(), 1.3f);
    EXPECT_EQ(light.Get_Strength(), 1.0f);
    EXPECT_EQ(light.Get_Ambience(), 0.2f);
}

TEST(Light, Normalize_Makes_The_Direction_Unit_Length) {
    Light light(3, 0, 4, 0, 1, 1, 1, 0);
    light.Normalize();
    EXPECT_FLOAT_EQ(light.Get_X(), 0.6f);
    EXPECT_EQ(light.Get_Y(), 0.0f);
    EXPECT_FLOAT_EQ(light.Get_Z(), 0.8f);
    Light sun(5, 1.5f, 1, 0, 1, 1, 1, 0);
    sun.Normalize();
    const float length = std::sqrt(28.25f), x = sun.Get_X(), y = sun.Get_Y(), z = sun.Get_Z();
    EXPECT_FLOAT_EQ(x, 5 / length);
    EXPECT_FLOAT_EQ(y, 1.5f / length);
    EXPECT_FLOAT_EQ(z, 1 / length);
    sun.Normalize();
    EXPECT_FLOAT_EQ(sun.Get_X(), x);
    EXPECT_FLOAT_EQ(sun.Get_Y(), y);
    EXPECT_FLOAT_EQ(sun.Get_Z(), z);
    // Signs survive, and huge components do not overflow the length.
    Light down(0, -1e30f, -1e30f, 0, 1, 1, 1, 0);
    down.Normalize();
    EXPECT_FLOAT_EQ(down.Get_Y(), -std::sqrt(0.5f));
    EXPECT_FLOAT_EQ(down.Get_Z(), -std::sqrt(0.5f));
}

TEST(Light, Normalize_Leaves_A_Zero_Vector_Zero) {
    Light light(0, 0, 0, 0, 1, 1, 1, 0);
    light.Normalize();
    EXPECT_EQ(light.Get_X(), 0.0f);
    EXPECT_EQ(light.Get_Y(), 0.0f);
    EXPECT_EQ(light.Get_Z(), 0.0f);
}
