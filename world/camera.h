#pragma once
// The view position and the oblique projection between projection space
// (floor x, y and height z) and screen space (the internal 1920 x 1080 picture).

#include "core/common.h"

namespace Kelvane {

class Camera {
public:
    Camera();

    // Eases the view toward its target; dt is the frame delta in ticks.
    void Update(float dt);
    Vec2D Proj_To_Screen(float px, float py, float pz);
    // The floor point (x, y) of the screen point that lies at height pz.
    Vec2D Screen_To_Proj(float sx, float sy, float pz);
    // The floor point shown at the picture's top-left corner.
    Vec2D Get_Projection_Offset();
    // The point clamped to the map rectangle; the camera is unchanged.
    Vec2D Snap_To_Map(Vec2D point);
    // How near the viewer a projection-space point lies: points pictured at one
    // screen spot differ only in it, and the larger is drawn in front.
    float Nearness(float px, float py, float pz);

    void Move_Target_X(float offset) { target_x += offset; }
    void Move_Target_Y(float offset) { target_y += offset; }
    // The screen point the view eases toward (it is shown at the picture's
    // top-left corner); Renderer::Centre_On aims at a world point instead.
    void Set_Target(float sx, float sy);
    Vec2D Get_Target() { return Vec2D(target_x, target_y); }
    // The view onto its target at once, without easing: a game placing it at the start or after a cut.
    void Jump_To_Target();
    void Set_Map_Width(float value) { map_width = value; }
    void Set_Map_Height(float value) { map_height = value; }
    void Set_Map_Tall(float value) { map_tall = value; }

    float Get_X() { return x; }
    float Get_Y() { return y; }
    float Get_Zoom() { return zoom; }
    float Get_Map_Width() { return map_width; }
    float Get_Map_Height() { return map_height; }
    float Get_Map_Tall() { return map_tall; }
    float Get_Projection_Factor() { return projection_factor; }
    float Get_Height_Factor() { return height_factor; }

private:
    float target_x;
    float target_y;
    float x;
    float y;
    float zoom;
    // Zero until the owner sets them, so an unset extent is never garbage.
    float map_width;
    float map_height;
    float map_tall;
    float projection_factor;
    float height_factor;
};

}  // namespace Kelvane
