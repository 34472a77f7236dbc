#include "world/camera.h"

#include <gtest/gtest.h>

using Kelvane::Camera;

TEST(Camera, Projection_Maps_Floor_And_Height_Obliquely) {
    Camera camera;
    const float pf = Kelvane::DEFAULT_PROJECTION_FACTOR, hf = Kelvane::DEFAULT_HEIGHT_FACTOR;
    Vec2D origin = camera.Proj_To_Screen(0, 0, 0);
    EXPECT_EQ(origin.x, 0.0f);
    EXPECT_EQ(origin.y, 0.0f);
    Vec2D along_x = camera.Proj_To_Screen(100, 0, 0);  // right and up
    EXPECT_FLOAT_EQ(along_x.x, 50.0f);
    EXPECT_FLOAT_EQ(along_x.y, -50.0f * pf);
    Vec2D raised = camera.Proj_To_Screen(0, 0, 10);  // straight up
    EXPECT_EQ(raised.x, 0.0f);
    EXPECT_FLOAT_EQ(raised.y, -10.0f * hf);
}

TEST(Camera, Screen_To_Proj_Undoes_Proj_To_Screen_At_The_Same_Height) {
    Camera camera;
    const float points[][3] = {{100, 0, 0}, {1500, 2000, 0}, {1500, 2000, 10}, {-40, 3000, 2400}, {12.5f, -7.25f, -30}};
    for (const auto& p : points) {
        Vec2D screen = camera.Proj_To_Screen(p[0], p[1], p[2]);
        Vec2D back = camera.Screen_To_Proj(screen.x, screen.y, p[2]);
        EXPECT_NEAR(back.x, p[0], 0.01f) << p[0] << ", " << p[1] << ", " << p[2];
        EXPECT_NEAR(back.y, p[1], 0.01f) << p[0] << ", " << p[1] << ", " << p[2];
    }
}

TEST(Camera, Projection_Offset_Is_The_Floor_Point_At_The_View_Corner) {
    Camera camera;
    Vec2D at_origin = camera.Get_Projection_Offset();
    EXPECT_EQ(at_origin.x, 0.0f);
    EXPECT_EQ(at_origin.y, 0.0f);
    camera.Move_Target_X(300);
    camera.Move_Target_Y(-120);
    camera.Update(1.0f);  // the corner follows the eased position, not the target
    ASSERT_FLOAT_EQ(camera.Get_X(), 30.0f);
    ASSERT_FLOAT_EQ(camera.Get_Y(), -12.0f);
    Vec2D offset = camera.Get_Projection_Offset();
    Vec2D corner = camera.Proj_To_Screen(offset.x, offset.y, 0);
    EXPECT_NEAR(corner.x, 30.0f, 0.01f);
    EXPECT_NEAR(corner.y, -12.0f, 0.01f);
}

TEST(Camera, Update_Eases_A_Tenth_Per_Tick_And_Snaps_When_Close) {
    Camera camera;
    camera.Move_Target_X(1.0f);
    camera.Update(1.0f);
    EXPECT_FLOAT_EQ(camera.Get_X(), 0.1f);
    EXPECT_EQ(camera.Get_Y(), 0.0f);  // the axes are independent
    int ticks = 1;
    while (camera.Get_X() != 1.0f && ticks < 1000) {
        float before = camera.Get_X();
        camera.Update(1.0f);
        ticks++;
        if (1.0f - before < Kelvane::DEFAULT_CAMERA_CLAMP) EXPECT_EQ(camera.Get_X(), 1.0f);
        else EXPECT_LT(camera.Get_X(), 1.0f);
    }
    EXPECT_EQ(ticks, 52);  // 0.9^n first drops below 0.005 at n = 51; the next tick snaps
    camera.Update(1.0f);
    EXPECT_EQ(camera.Get_X(), 1.0f);
}

TEST(Camera, A_Longer_Delta_Takes_A_Bigger_Step_Without_Overshooting) {
    Camera camera;
    camera.Move_Target_Y(10.0f);
    camera.Update(2.0f);
    EXPECT_FLOAT_EQ(camera.Get_Y(), 2.0f);  // one fifth
    for (float dt : {9.99f, 5.0f}) {
        Camera falling;
        falling.Move_Target_X(-1000.0f);
        for (int n = 0; n < 40; n++) {
            falling.Update(dt);
            EXPECT_GE(falling.Get_X(), -1000.0f) << dt;
        }
    }
}

TEST(Camera, Snap_To_Map_Clamps_To_The_Map_Rectangle_And_The_View_Is_Unbounded) {
    Camera camera;
    camera.Set_Map_Width(3000);
    camera.Set_Map_Height(4000);
    Vec2D outside = camera.Snap_To_Map(Vec2D(-5, 5000)), other = camera.Snap_To_Map(Vec2D(3500, -1));
    EXPECT_EQ(outside.x, 0.0f);
    EXPECT_EQ(outside.y, 4000.0f);
    EXPECT_EQ(other.x, 3000.0f);
    EXPECT_EQ(other.y, 0.0f);
    Vec2D inside = camera.Snap_To_Map(Vec2D(1234.5f, 0));
    EXPECT_EQ(inside.x, 1234.5f);
    EXPECT_EQ(inside.y, 0.0f);
    camera.Move_Target_X(-5000);
    camera.Move_Target_Y(6000);
    for (int n = 0; n < 300; n++) camera.Update(1.0f);
    EXPECT_EQ(camera.Get_X(), -5000.0f);
    EXPECT_EQ(camera.Get_Y(), 6000.0f);
}
