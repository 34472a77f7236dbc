#pragma once
// How a world changes from frame to frame while it is measured. A motion's
// state is a function of the frame number alone, so every path drawing frame
// k draws the same world; making the motion takes the world's state as it is,
// and ending it (the destructor) puts that state back.

#include <string>
#include <vector>

#include "core/common.h"  // Required for: Vec2D

namespace Kelvane {
class Bitmap_Manager;
class Light;
class Renderer;
class VObject_Complex;
class World;
}  // namespace Kelvane

namespace Frame_Bench {

class Motion {
public:
    // still: nothing changes. pan: the view moves diagonally by a fixed number
    // of output pixels a frame. lamp: the world's first point light circles the
    // view's centre. walker: a robot walks a circle there, carrying that light
    // lifted, so its shadow and its light move. sun: the sun's direction turns
    // about the vertical a little every frame, so every pixel's light changes.
    // A world without a point light gets one for the lamp and the walker.
    static inline const std::vector<std::string> NAMES = {"still", "pan", "lamp", "walker", "sun"};

    // `name` is one of NAMES; `renderer` converts output pixels for the pan
    // and finds the view's centre; `store` gives the walker its images.
    Motion(const std::string& name, Kelvane::World* world, Kelvane::Renderer* renderer, Kelvane::Bitmap_Manager* store);
    ~Motion();
    Motion(const Motion&) = delete;
    Motion& operator=(const Motion&) = delete;

    // Sets the world to the motion's state at frame `frame`.
    void Apply(int frame);
    std::string Get_Name() { return name; }

    // How far the pan has moved the view at frame `frame`, in screen units.
    static Vec2D Pan_Shift(Kelvane::Renderer* renderer, int frame);

private:
    // The world's first point light, or one added for the motion.
    Kelvane::Light* Borrow_Light();
    Vec2D On_Circle(float radius, float degrees);
    void Pan(int frame);
    void Circle_Lamp(int frame);
    void Walk(int frame);
    void Turn_Sun(int frame);

    std::string name;
    Kelvane::World* world;
    Kelvane::Renderer* renderer;
    Vec2D view;                       // the view's corner as it was
    Vec2D centre;                     // the floor point at the output's centre
    Kelvane::Light* light = nullptr;  // the lamp: moved, and put back at the end
    float light_x = 0.0f, light_y = 0.0f, light_z = 0.0f;
    bool light_added = false;
    Kelvane::VObject_Complex* walker = nullptr;
    float sun_x, sun_y, sun_z;  // the sun's direction as it was
};

}  // namespace Frame_Bench
