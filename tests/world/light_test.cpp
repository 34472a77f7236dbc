#include "world/light.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

using Kelvane::Light;

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
