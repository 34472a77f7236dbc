#include "tools/frame_bench/motion.h"

#include <cmath>  // Required for: std::cos(), std::sin()

#include "render/renderer.h"
#include "render/vobject_complex.h"
#include "render/world.h"
#include "world/camera.h"
#include "world/light.h"

namespace Frame_Bench {

namespace {

const float PI = 3.14159265f;

// A scroll a player would see: this many output pixels right and down a frame.
const float PAN_PIXELS = 6.0f;

// The lamp circles the view's centre this far out, this many degrees a frame.
const float LAMP_RADIUS = 300.0f;
const float LAMP_DEGREES = 6.0f;

// The walker: a robot walking a circle round the view's centre, its lamp held up.
const char* const WALKER_FOLDER = "robot";
const float WALKER_SCALE = 0.6f;
const float WALKER_RADIUS = 300.0f;
const float WALKER_DEGREES = 3.0f;
const float WALKER_LIFT = 200.0f;

// The sun turns this many degrees about the vertical a frame; its height stays.
const float SUN_DEGREES = 1.0f;

// The light a world without one gets: the demonstration's lamp's.
const float ADDED_LIGHT_Z = 150.0f;
const float ADDED_LIGHT_RANGE = 400.0f;
const float ADDED_LIGHT_R = 1.2f, ADDED_LIGHT_G = 1.0f, ADDED_LIGHT_B = 0.8f;

float Radians(float degrees) { return degrees * PI / 180.0f; }

}  // namespace

Motion::Motion(const std::string& name, Kelvane::World* world, Kelvane::Renderer* renderer,
               Kelvane::Bitmap_Manager* store)
    : name(name), world(world), renderer(renderer) {
    Kelvane::Camera* camera = world->Get_Camera();
    view = Vec2D(camera->Get_X(), camera->Get_Y());
    centre = renderer->Output_To_Proj(camera, renderer->Get_Width() / 2.0f, renderer->Get_Height() / 2.0f, 0.0f);
    Kelvane::Light* sun = world->Get_Sun();
    sun_x = sun->Get_X(), sun_y = sun->Get_Y(), sun_z = sun->Get_Z();
    if (name == "lamp" || name == "walker") light = Borrow_Light();
    if (name != "walker") return;
    walker = world->Add_Object(store, WALKER_FOLDER, centre.x, centre.y, 0.0f, WALKER_SCALE, true);
    walker->Attach_Light(light, WALKER_LIFT);
}

Motion::~Motion() {
    Kelvane::Camera* camera = world->Get_Camera();
    camera->Set_Target(view.x, view.y);
    camera->Jump_To_Target();
    Kelvane::Light* sun = world->Get_Sun();
    sun->Set_X(sun_x), sun->Set_Y(sun_y), sun->Set_Z(sun_z);
    if (walker) world->Remove(walker);  // the light it carried stays
    if (light_added) {
        world->Remove(light);
    } else if (light) {
        light->Set_X(light_x), light->Set_Y(light_y), light->Set_Z(light_z);
    }
}

void Motion::Apply(int frame) {
    if (name == "pan") Pan(frame);
    if (name == "lamp") Circle_Lamp(frame);
    if (name == "walker") Walk(frame);
    if (name == "sun") Turn_Sun(frame);
}

Vec2D Motion::Pan_Shift(Kelvane::Renderer* renderer, int frame) {
    return Vec2D(renderer->RXtoX(PAN_PIXELS * frame), renderer->RYtoY(PAN_PIXELS * frame));
}

Kelvane::Light* Motion::Borrow_Light() {
    light_added = world->Get_Lights()->empty();
    if (light_added)
        return world->Add_Light(centre.x, centre.y, ADDED_LIGHT_Z, ADDED_LIGHT_RANGE, ADDED_LIGHT_R, ADDED_LIGHT_G,
                                ADDED_LIGHT_B);
    Kelvane::Light* first = world->Get_Lights()->front();
    light_x = first->Get_X(), light_y = first->Get_Y(), light_z = first->Get_Z();
    return first;
}

Vec2D Motion::On_Circle(float radius, float degrees) {
    return Vec2D(centre.x + radius * std::cos(Radians(degrees)), centre.y + radius * std::sin(Radians(degrees)));
}

void Motion::Pan(int frame) {
    Vec2D shift = Pan_Shift(renderer, frame);
    Kelvane::Camera* camera = world->Get_Camera();
    camera->Set_Target(view.x + shift.x, view.y + shift.y);
    camera->Jump_To_Target();
}

void Motion::Circle_Lamp(int frame) {
    Vec2D at = On_Circle(LAMP_RADIUS, LAMP_DEGREES * frame);
    light->Set_X(at.x);
    light->Set_Y(at.y);
}

void Motion::Walk(int frame) {
    Vec2D at = On_Circle(WALKER_RADIUS, WALKER_DEGREES * frame);
    walker->Set_X(at.x);
    walker->Set_Y(at.y);
    walker->Update(0.0f);  // carries the lamp, and no clip moves on
}

void Motion::Turn_Sun(int frame) {
    float turn = Radians(SUN_DEGREES * frame);
    Kelvane::Light* sun = world->Get_Sun();
    sun->Set_X(sun_x * std::cos(turn) - sun_y * std::sin(turn));
    sun->Set_Y(sun_x * std::sin(turn) + sun_y * std::cos(turn));
    sun->Set_Z(sun_z);
}

}  // namespace Frame_Bench
