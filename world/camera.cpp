#include "world/camera.h"

#include <cmath>  // Required for: fabsf()

namespace Kelvane {

namespace {

// One axis of the easing; a NaN on either side counts as "not there yet".
float Ease(float current, float target, float dt) {
    if (target == current) return current;
    float distance = target - current;
    if (std::fabs(distance) < DEFAULT_CAMERA_CLAMP) return target;
    return current + (distance / DEFAULT_CAMERA_SPEED) * dt;
}

}  // namespace

Camera::Camera()
    : target_x(0.0f), target_y(0.0f), x(0.0f), y(0.0f), zoom(1.0f),
      map_width(0.0f), map_height(0.0f), map_tall(0.0f),
      projection_factor(DEFAULT_PROJECTION_FACTOR), height_factor(DEFAULT_HEIGHT_FACTOR) {}

void Camera::Update(float dt) {
    x = Ease(x, target_x, dt);
    y = Ease(y, target_y, dt);
}

Vec2D Camera::Proj_To_Screen(float px, float py, float pz) {
    float sx = px / 2 + py / 2;
    float sy = (px / -2) * projection_factor + (py / 2) * projection_factor - height_factor * pz;
    return Vec2D(sx, sy);
}

Vec2D Camera::Screen_To_Proj(float sx, float sy, float pz) {
    float t = (height_factor * pz + sy) / projection_factor + sx;
    return Vec2D((sx + sx) - t, t);
}

Vec2D Camera::Get_Projection_Offset() {
    return Screen_To_Proj(x, y, 0);
}

float Camera::Nearness(float px, float py, float pz) {
    // The projection flattens the view's ray (1, -1, -projection_factor / height_factor)
    // to a point; the viewer lies toward -x, +y and up.
    return py - px + (projection_factor / height_factor) * pz;
}

void Camera::Set_Target(float sx, float sy) {
    target_x = sx;
    target_y = sy;
}

void Camera::Jump_To_Target() {
    x = target_x;
    y = target_y;
}

Vec2D Camera::Snap_To_Map(Vec2D v) {
    if (v.x < 0) v.x = 0;
    if (v.x > map_width) v.x = map_width;
    if (v.y < 0) v.y = 0;
    if (v.y > map_height) v.y = map_height;
    return v;
}

}  // namespace Kelvane
