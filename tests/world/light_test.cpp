#include "world/light.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

using Kelvane::Light;

TEST(Light, Takes_Position_Then_Range_Then_Colour_With_Fixed_Defaults) {
    Light light(10, 20, 30, 400, 1.2f, 0.5f, 1.3f, 0);
    light.Update(1.0f);  // changes nothing
    EXPECT_EQ((std::vector{light.Get_X(), light.Get_Y(), light.Get_Z(), light.Get_Range(), light.Get_R(), light.Get_G(),
                           light.Get_B(), light.Get_Strength(), light.Get_Ambience()}),
              (std::vector{10.0f, 20.0f, 30.0f, 400.0f, 1.2f, 0.5f, 1.3f, 1.0f, 0.2f}));
}

TEST(Light, Normalize_Makes_Unit_Length_Is_Stable_And_Leaves_Zero_Alone) {
    // No overflow for huge components; no NaN from zero may reach the lighting program.
    const float root_half = std::sqrt(0.5f), length = std::sqrt(28.25f);
    const std::pair<std::array<float, 3>, std::array<float, 3>> cases[] = {
        {{3, 0, 4}, {0.6f, 0, 0.8f}},
        {{5, 1.5f, 1}, {5 / length, 1.5f / length, 1 / length}},
        {{0, -1e30f, -1e30f}, {0, -root_half, -root_half}},
        {{0, 0, 0}, {0, 0, 0}}};
    for (const auto& [from, to] : cases) {
        Light light(from[0], from[1], from[2], 0, 1, 1, 1, 0);
        for (int twice = 0; twice < 2; twice++) {
            light.Normalize();
            for (int k = 0; k < 3; k++)
                EXPECT_NEAR((std::array{light.Get_X(), light.Get_Y(), light.Get_Z()})[k], to[k], 1e-6f) << from[k];
        }
    }
}
