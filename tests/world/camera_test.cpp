#include "world/camera.h"

#include <gtest/gtest.h>

using Kelvane::Camera;

namespace {

void Expect_Near(Vec2D actual, float x, float y, float tolerance = 1e-4f) {
    EXPECT_NEAR(actual.x, x, tolerance);
    EXPECT_NEAR(actual.y, y, tolerance);
}

}  // namespace

TEST(Camera, Projection_Maps_Floor_And_Height_Obliquely_And_Back_And_Snap_To_Map_Clamps_To_The_Map) {
    Camera camera;
    Expect_Near(camera.Proj_To_Screen(0, 0, 0), 0, 0);
    Expect_Near(camera.Proj_To_Screen(100, 0, 0), 50, -50 * Kelvane::DEFAULT_PROJECTION_FACTOR);  // right and up
    Expect_Near(camera.Proj_To_Screen(0, 0, 10), 0, -10 * Kelvane::DEFAULT_HEIGHT_FACTOR);        // straight up
    const float points[][3] = {{1500, 2000, 0}, {1500, 2000, 10}, {-40, 3000, 2400}, {12.5f, -7.25f, -30}};
    for (const auto& p : points) {
        Vec2D screen = camera.Proj_To_Screen(p[0], p[1], p[2]);
        Expect_Near(camera.Screen_To_Proj(screen.x, screen.y, p[2]), p[0], p[1], 0.01f);
    }
    camera.Set_Map_Width(3000);
    camera.Set_Map_Height(4000);
    Expect_Near(camera.Snap_To_Map(Vec2D(-5, 5000)), 0, 4000);
    Expect_Near(camera.Snap_To_Map(Vec2D(3500, -1)), 3000, 0);
    Expect_Near(camera.Snap_To_Map(Vec2D(1234.5f, 0)), 1234.5f, 0);
}

TEST(Camera, Update_Eases_A_Tenth_Per_Tick_Snaps_When_Close_Never_Overshoots_And_Leaves_The_Map) {
    Camera camera;
    Expect_Near(camera.Get_Projection_Offset(), 0, 0);
    camera.Move_Target_X(1.0f);
    camera.Update(1.0f);
    Expect_Near(Vec2D(camera.Get_X(), camera.Get_Y()), 0.1f, 0);  // the axes are independent
    Vec2D offset = camera.Get_Projection_Offset();                // the floor point at the eased view corner
    Expect_Near(camera.Proj_To_Screen(offset.x, offset.y, 0), 0.1f, 0, 0.01f);
    int ticks = 1;
    for (; camera.Get_X() != 1.0f && ticks < 1000; ticks++) camera.Update(1.0f);
    EXPECT_EQ(ticks, 52) << "0.9^n first drops below 0.005 at n = 51; the next tick snaps";

    Camera slow;
    slow.Move_Target_Y(-10.0f);
    slow.Update(2.0f);
    EXPECT_FLOAT_EQ(slow.Get_Y(), -2.0f) << "a delta of 2 takes a fifth";
    offset = slow.Get_Projection_Offset();
    Expect_Near(slow.Proj_To_Screen(offset.x, offset.y, 0), 0, -2, 0.01f);
    for (float dt : {9.99f, 5.0f}) {
        Camera far;
        far.Set_Map_Width(3000);  // the map bounds what is snapped to it, never the view
        far.Move_Target_X(-1000.0f);
        for (int n = 0; n < 40; n++) far.Update(dt);
        EXPECT_EQ(far.Get_X(), -1000.0f) << dt;
    }
}

TEST(Camera, A_Set_Target_Replaces_The_Old_Is_Eased_Toward_Or_Jumped_To) {
    Camera camera;
    camera.Move_Target_X(30.0f);
    camera.Set_Target(200.0f, -50.0f);
    Expect_Near(camera.Get_Target(), 200, -50);
    camera.Update(1.0f);
    Expect_Near(Vec2D(camera.Get_X(), camera.Get_Y()), 20, -5);  // a tenth of the way, as ever
    camera.Move_Target_Y(10.0f);                                 // relative moves still add up
    Expect_Near(camera.Get_Target(), 200, -40);
    camera.Jump_To_Target();
    Expect_Near(Vec2D(camera.Get_X(), camera.Get_Y()), 200, -40);
    camera.Update(1.0f);
    Expect_Near(Vec2D(camera.Get_X(), camera.Get_Y()), 200, -40);
}

// Points along the view's ray share one picture: nearness orders them, growing toward the viewer (-x, +y, up).
TEST(Camera, Nearness_Orders_The_Points_Pictured_At_One_Spot_Toward_The_Viewer) {
    Camera camera;
    const float lift = camera.Get_Projection_Factor() / camera.Get_Height_Factor();
    for (float z : {0.0f, 10.0f, 500.0f}) {
        Vec2D spot = camera.Proj_To_Screen(1500.0f, 2000.0f, z);
        float previous = -1e30f;
        for (float k : {-300.0f, -1.0f, 0.0f, 1.0f, 300.0f}) {
            const float x = 1500.0f - k, y = 2000.0f + k, h = z + k * lift;
            Expect_Near(camera.Proj_To_Screen(x, y, h), spot.x, spot.y, 0.01f);
            float nearness = camera.Nearness(x, y, h);
            EXPECT_GT(nearness, previous) << "z " << z << ", " << k << " toward the viewer";
            previous = nearness;
        }
    }
}
