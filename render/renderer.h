#pragma once
// Turns the scene's objects and lights into a picture: conversions between the
// internal 1920 x 1080 picture and output pixels, depth order, and the frame.

#include <allegro5/color.h>  // Required for: ALLEGRO_COLOR (passed by value)

#include <array>
#include <list>
#include <set>
#include <string>
#include <vector>

#include "core/common.h"  // Required for: Vec2D

struct ALLEGRO_BITMAP;
struct ALLEGRO_DISPLAY;

namespace Kelvane {

class Camera;
class Draw_Plan;
class Light;
class Log;
class Shader;
class Shader_Manager;
class VObject;
class VObject_Complex;
class World;
struct Placement;
struct Planned_Object;
struct Rect;

class Renderer {
public:
    // Output width or height of 0 or less take the display's size. Creates the
    // 2048 x 2048 shadow map (1024 x 1024 as fallback, else exits with status 1).
    Renderer(ALLEGRO_DISPLAY* display, Shader_Manager* shader_manager, float internal_w, float internal_h,
             float width, float height, float offset_x, float offset_y);

    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // Stable insertion sort by ascending z, in place as the caller sees it.
    void Sort_Z_List(std::list<VObject*>* objects);
    // Draws one frame onto the current target. The target and the GL state it
    // changes are the caller's again afterwards. Without a lighting program
    // complex objects are drawn unlit; each program that didn't build is
    // reported once, in the log and on standard error.
    void Render(Log* log, std::list<VObject*>* objects, std::list<Light*>* lights, Light* directional,
                Camera* camera, int debug_flags);
    // The same for everything a world holds: its objects, point lights, sun and camera.
    void Render(Log* log, World* world, int debug_flags);

    // For a game aiming its view and picking; output positions are render space,
    // the mouse's.

    // The screen units the output shows from the view's corner: always internal_h
    // (1080) of height and internal_h x the aspect of width (1440 at 4:3, 1920 at
    // 16:9), so a window narrower than 16:9 crops the picture on the right.
    Vec2D Get_Visible_Size();
    // The projection-space point at height pz that the camera's view draws at
    // output position (rx, ry).
    Vec2D Output_To_Proj(Camera* camera, float rx, float ry, float pz);
    // The floor points (height 0) drawn at the output's corners, clockwise from
    // the top left: the visible floor is the parallelogram between them.
    std::array<Vec2D, 4> Get_Visible_Floor(Camera* camera);
    // Aims the camera so that projection point (x, y, z) is drawn at the output's
    // centre, at any aspect. The view eases there as the camera updates;
    // Camera::Jump_To_Target puts it there at once.
    void Centre_On(Camera* camera, float x, float y, float z = 0.0f);
    // The complex object drawn at output pixel (x, y): of the visible ones whose
    // shown frame has a pixel there that the frame draws, the nearest by the
    // depth the lighting program stores, the first drawn on a tie; null for
    // none. Reads two pixels of each object whose quad lies under the point.
    VObject_Complex* Pick(std::list<VObject*>* objects, Camera* camera, float x, float y);

    // Screen space <-> render space (output pixels).
    float XtoRX(float x);
    float YtoRY(float y);
    float RXtoX(float rx);
    float RYtoY(float ry);
    // Screen space <-> G space (render space without the extra scale).
    float XtoGX(float x);
    float YtoGY(float y);
    float GXtoX(float gx);
    float GYtoY(float gy);
    // Screen space -> S space (each axis stretched on its own).
    float XtoSX(float x);
    float YtoSX(float y);

    ALLEGRO_BITMAP* Get_Shadow_Map() { return shadow_map; }
    // Replaces the shadow map by a size x size one (a smaller one spares a weak GPU);
    // false, keeping the old map, when the GL cannot make it.
    bool Resize_Shadow_Map(int size);
    // The screen-space extent, from the view's corner, that the shadow map stands
    // for: the whole visible picture at any aspect ratio and map size.
    Vec2D Get_Shadow_Extent();
    // The exact reference path: every object lit through the plain program with
    // the first 24 lights of the list and every caster. Slower; for comparisons.
    void Set_Reference_Path(bool on) { reference_path = on; }
    float Get_Width() { return width; }
    float Get_Height() { return height; }
    float Get_Aspect() { return aspect; }

private:
    // What one frame reads from its arguments and the camera; none of it outlives the frame.
    struct Frame {
        Log* log;
        Camera* camera;
        Vec2D proj_offset;    // the floor point shown at the picture's top-left corner
        Vec2D shadow_extent;  // what the shadow map stands for
        Light* directional;
        int debug_flags;
    };

    // False when the program didn't build; the first time a `failure` is met it is
    // reported with its `consequence` and the GL's reason.
    bool Usable_Or_Reported(Log* log, Shader* program, const std::string& failure, const std::string& consequence);
    // Both passes, with a lighting program that built.
    void Draw_Lit_Frame(std::list<VObject*>* objects, std::list<Light*>* lights, Shader* lighting,
                        const Frame& frame);
    Draw_Plan Plan_Frame(const Frame& frame, ALLEGRO_BITMAP* target);
    // The camera's factors, the sun, the sky and the march: the same for every object of a frame.
    void Set_Frame_Uniforms(Shader* lighting, const Frame& frame);
    std::vector<VObject_Complex*> All_Casters(std::list<VObject*>* objects);
    std::vector<VObject_Complex*> Planned_Casters(const Draw_Plan& plan);
    void Shadow_Pass(Shader* shadow, const std::vector<VObject_Complex*>& casters, const Frame& frame);
    void Draw_Shadow(Shader* shadow, VObject_Complex* object, const Frame& frame);
    // With a plan, each object's cells as planned; without, every object whole
    // through the exact `reference` program; without that either (lighting is
    // off), every object unlit.
    void Colour_Pass(std::list<VObject*>* objects, const Draw_Plan* plan, Shader* reference, const Frame& frame);
    void Draw_Sprite(VObject* object, const Frame& frame);
    // Depth-tested and blended: cell by cell as `planned` when given, else whole through `reference`.
    void Draw_Lit(VObject_Complex* object, const Planned_Object* planned, Shader* reference, const Frame& frame);
    void Draw_Unlit(VObject_Complex* object, const Frame& frame);
    void Draw_Exact(Shader* lighting, VObject_Complex* object, const Frame& frame);
    void Draw_Planned(const Planned_Object& object, const Frame& frame);
    // The variant, current and with this frame's uniforms set.
    Shader* Prepared_Variant(const std::string& defines, const Frame& frame);
    void Set_Object_Uniforms(Shader* lighting, const Planned_Object& object, const Frame& frame);
    // The quad in output pixels.
    Rect Quad_Area(const Placement& placed);
    // True when the object's quad draws a fragment at output point `at` (the
    // alpha test passes there); `nearness` is then its surface's Camera::Nearness.
    bool Surface_At(VObject_Complex* object, Camera* camera, Vec2D proj_offset, Vec2D at, float* nearness);
    // The frame shown of the image, tinted, stretched over the quad.
    void Draw_Over_Quad(ALLEGRO_BITMAP* image, ALLEGRO_COLOR tint, const Placement& placed);
    void Draw_Editor_Marks(std::list<VObject*>* objects, const Frame& frame);
    void Draw_Light_Marks(std::list<Light*>* lights, const Frame& frame);

    ALLEGRO_DISPLAY* display;
    ALLEGRO_BITMAP* shadow_map;
    float offset_x;
    float offset_y;
    float width;
    float height;
    float aspect;
    float internal_w;
    float internal_h;
    float scale;
    Shader_Manager* shader_manager;
    // A broken program is reported once, not on every frame.
    std::set<std::string> reported_failures;
    bool reference_path = false;
    // Variants whose frame uniforms are set in the frame being drawn.
    std::set<Shader*> prepared_programs;
};

}  // namespace Kelvane
