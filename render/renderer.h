#pragma once
// Turns the scene's objects and lights into a picture: conversions between the
// internal 1920 x 1080 picture and output pixels, depth order, and the frame.

#include <allegro5/color.h>  // Required for: ALLEGRO_COLOR (passed by value)

#include <array>
#include <list>
#include <memory>  // Required for: the frame painter, kept out of this header

#include "core/common.h"  // Required for: Vec2D

struct ALLEGRO_BITMAP;
struct ALLEGRO_DISPLAY;

namespace Kelvane {

class Camera;
class Frame_Painter;
class Light;
class Log;
class Shader;
class Shader_Manager;
class VObject;
class VObject_Complex;
class World;
struct Placement;
struct Rect;

class Renderer {
public:
    // Output width or height of 0 or less take the display's size. Creates the
    // shadow map: 4096 or 2048 texels square, 1024 as a last fallback (saying
    // so), else exits with status 1.
    Renderer(ALLEGRO_DISPLAY* display, Shader_Manager* shader_manager, float internal_w, float internal_h,
             float width, float height, float offset_x, float offset_y);

    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // Stable sort by ascending z, in place as the caller sees it.
    void Sort_Z_List(std::list<VObject*>* objects);
    // Draws one frame onto the current target, its view on whole output pixels
    // (the camera keeps its smooth position). Parts of the picture that nothing
    // changed since an earlier frame are shown as they were drawn then. The
    // target and the GL state it changes are the caller's again afterwards. Without a lighting program
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

    ALLEGRO_BITMAP* Get_Shadow_Map();
    // Replaces the shadow map by a size x size one (a power of two, rounded up;
    // a smaller one spares a weak GPU, its texels then standing for more of the
    // picture where a frame needs it); false, keeping the old map, when the GL
    // cannot make it.
    bool Resize_Shadow_Map(int size);
    // The screen-space extent after which the shadow map repeats: it covers the
    // picture that a frame's rays read, at any aspect ratio and map size.
    Vec2D Get_Shadow_Extent();
    // The exact reference path: every tile drawn afresh in every frame, every
    // object lit through the plain program with the first 24 lights of the list
    // and every caster. Slower; for comparisons.
    void Set_Reference_Path(bool on) { reference_path = on; }
    // What the tiles kept between frames take, in bytes: about three pictures of
    // the output, colour and depth.
    long Get_Kept_Bytes();
    // The output is now width x height pixels (a window resized): the picture
    // is drawn at the scale that size gives from the next frame on.
    void Set_Output_Size(float width, float height);
    float Get_Width() { return width; }
    float Get_Height() { return height; }
    float Get_Aspect() { return aspect; }

private:
    // The view's corner in the world's output pixels, on whole pixels.
    Vec2D View_Pixels(Camera* camera);
    // The quad in the world's output pixels.
    Rect Quad_Area(const Placement& placed);
    // True when the object's quad draws a fragment at the world's output point
    // `at` (the alpha test passes there); `nearness` is then its surface's Camera::Nearness.
    bool Surface_At(VObject_Complex* object, Camera* camera, Vec2D at, float* nearness);
    void Draw_Over_Quad(ALLEGRO_BITMAP* image, ALLEGRO_COLOR tint, const Placement& placed, Vec2D view);
    void Draw_Editor_Marks(std::list<VObject*>* objects, Camera* camera);
    void Draw_Light_Marks(std::list<Light*>* lights, Camera* camera);

    ALLEGRO_DISPLAY* display;
    float offset_x;
    float offset_y;
    float width;
    float height;
    float aspect;
    float internal_w;
    float internal_h;
    float scale;
    Shader_Manager* shader_manager;
    bool reference_path = false;
    // The frame's drawing, its shadow map and its kept tiles.
    std::unique_ptr<Frame_Painter> painter;
};

}  // namespace Kelvane
