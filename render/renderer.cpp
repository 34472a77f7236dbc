#include "render/renderer.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_opengl.h>      // Required for: the GL calls of the two passes
#include <allegro5/allegro_primitives.h>  // Required for: the overlay marks

#include <algorithm>  // Required for: std::max(), std::min(), std::is_sorted(), std::any_of()
#include <cmath>      // Required for: floor(), isnan()
#include <vector>

#include "core/common.h"
#include "core/log.h"
#include "render/vobject.h"
#include "render/frame_painter.h"
#include "render/placement.h"
#include "render/saved_gl_state.h"
#include "render/vobject_complex.h"
#include "render/world.h"
#include "resources/shader.h"
#include "resources/shader_manager.h"
#include "world/camera.h"
#include "world/light.h"

namespace Kelvane {

namespace {

// The lighting program's images: colour on unit 0, normal map on 1, shadow map on 2.
const int TEXTURE_UNITS_USED = 3;
const unsigned char HOVER_ALPHA = 125;
const float SELECTION_THICKNESS = 5.0f;  // output pixels, not converted
const float LIGHT_DOT_RADIUS = 10.0f;    // screen units
const float LIGHT_STALK_WIDTH = 3.0f;    // screen units

bool Passes_Alpha_Test(ALLEGRO_COLOR colour) {
    unsigned char r, g, b, alpha;
    al_unmap_rgba(colour, &r, &g, &b, &alpha);
    return alpha > MAX_DROPPED_ALPHA;
}

// The texel of an image `size` texels long that a quad's texture coordinate
// `share` (0 to 1) samples without filtering.
int Texel_At(float share, float size) {
    return std::min(static_cast<int>(std::floor(share * size)), static_cast<int>(size) - 1);
}

}  // namespace

Renderer::Renderer(ALLEGRO_DISPLAY* display, Shader_Manager* shader_manager, float internal_w, float internal_h,
                   float width, float height, float offset_x, float offset_y)
    : display(display), offset_x(offset_x), offset_y(offset_y), width(width), height(height), aspect(0.0f),
      internal_w(internal_w), internal_h(internal_h), scale(1.0f), shader_manager(shader_manager) {
    KELVANE_ASSERT(display, "a renderer needs the display it draws to");
    if (this->width <= 0) this->width = al_get_display_width(display);
    if (this->height <= 0) this->height = al_get_display_height(display);
    aspect = this->width / this->height;
    painter = std::make_unique<Frame_Painter>(shader_manager);
}

Renderer::~Renderer() = default;

void Renderer::Set_Output_Size(float new_width, float new_height) {
    KELVANE_ASSERT(new_width > 0 && new_height > 0, "an output needs a positive size");
    width = new_width;
    height = new_height;
    aspect = width / height;
}

ALLEGRO_BITMAP* Renderer::Get_Shadow_Map() {
    return painter->Get_Shadow_Map().Get_Bitmap();
}

bool Renderer::Resize_Shadow_Map(int size) {
    KELVANE_ASSERT(size > 0, "a shadow map needs a positive size");
    return painter->Get_Shadow_Map().Resize(size);
}

Vec2D Renderer::Get_Shadow_Extent() {
    float extent = painter->Get_Shadow_Map().Get_Extent();
    return Vec2D(extent, extent);
}

long Renderer::Get_Kept_Bytes() {
    return painter->Get_Kept_Bytes();
}

Vec2D Renderer::Get_Visible_Size() {
    return Vec2D(RXtoX(width), RYtoY(height));
}

// The view sits on whole output pixels, so that a tile kept from one frame
// lands on whole pixels in the next.
Vec2D Renderer::View_Pixels(Camera* camera) {
    return Vec2D(std::round(XtoRX(camera->Get_X())), std::round(YtoRY(camera->Get_Y())));
}

Vec2D Renderer::Output_To_Proj(Camera* camera, float rx, float ry, float pz) {
    return camera->Screen_To_Proj(camera->Get_X() + RXtoX(rx), camera->Get_Y() + RYtoY(ry), pz);
}

std::array<Vec2D, 4> Renderer::Get_Visible_Floor(Camera* camera) {
    return {Output_To_Proj(camera, 0.0f, 0.0f, 0.0f), Output_To_Proj(camera, width, 0.0f, 0.0f),
            Output_To_Proj(camera, width, height, 0.0f), Output_To_Proj(camera, 0.0f, height, 0.0f)};
}

void Renderer::Centre_On(Camera* camera, float x, float y, float z) {
    Vec2D point = camera->Proj_To_Screen(x, y, z);
    Vec2D visible = Get_Visible_Size();
    camera->Set_Target(point.x - visible.x / 2.0f, point.y - visible.y / 2.0f);
}

VObject_Complex* Renderer::Pick(std::list<VObject*>* objects, Camera* camera, float x, float y) {
    // The drawing order, the caller's list left as it is: where depths tie,
    // the depth test (GL_LESS) keeps the first drawn.
    std::list<VObject*> drawn = *objects;
    Sort_Z_List(&drawn);
    Vec2D view = View_Pixels(camera);
    // The GL samples a pixel at its centre; the world's picture is the output moved by the view.
    Vec2D centre(std::floor(x) + 0.5f + view.x, std::floor(y) + 0.5f + view.y);
    VObject_Complex* nearest = nullptr;
    float nearest_nearness = 0.0f;
    for (VObject* object : drawn) {
        VObject_Complex* complex = VObject_Complex::Drawn(object);
        float nearness = 0.0f;
        if (!complex || !Surface_At(complex, camera, centre, &nearness)) continue;
        if (!nearest || nearness > nearest_nearness) {
            nearest = complex;
            nearest_nearness = nearness;
        }
    }
    return nearest;
}

// The surface point the lighting program rebuilds for this fragment: the corner
// position plus the floor and height offsets pictured at the fragment's offset
// from the corner, the height read from the cooked normal map's alpha.
bool Renderer::Surface_At(VObject_Complex* object, Camera* camera, Vec2D at, float* nearness) {
    Placement placed = Placement::Of(object, camera, Vec2D(0.0f, 0.0f));
    Rect area = Quad_Area(placed);
    float u = (at.x - area.left) / (area.right - area.left);
    float v = (at.y - area.top) / (area.bottom - area.top);
    if (!(u >= 0.0f && u < 1.0f && v >= 0.0f && v < 1.0f)) return false;
    Vec2D origin = object->Get_Frame_Origin();
    int px = static_cast<int>(origin.x) + Texel_At(u, placed.image_w);
    int py = static_cast<int>(origin.y) + Texel_At(v, placed.image_h);
    if (!Passes_Alpha_Test(al_get_pixel(object->Get_Actual_Bit(), px, py))) return false;
    ALLEGRO_BITMAP* cooked = object->Get_Actual_Bit_Normal();
    float rise = (cooked ? al_get_pixel(cooked, px, py).a : 0.0f) * placed.tall * placed.scale;
    Vec2D shift = camera->Screen_To_Proj(u * placed.image_w * placed.scale, v * placed.image_h * placed.scale, rise);
    *nearness = camera->Nearness(placed.corner.x + shift.x, placed.corner.y + shift.y, placed.z + rise);
    return true;
}

// Stable: objects of equal height keep their order.
void Renderer::Sort_Z_List(std::list<VObject*>* objects) {
    auto lower = [](VObject* a, VObject* b) { return a->Get_Z() < b->Get_Z(); };
    // Most frames find the list as the last one left it. A NaN height compares
    // with nothing, so a list holding one would pass for sorted: it is sorted.
    auto unordered = [](VObject* object) { return std::isnan(object->Get_Z()); };
    if (std::any_of(objects->begin(), objects->end(), unordered) ||
        !std::is_sorted(objects->begin(), objects->end(), lower))
        objects->sort(lower);
}

void Renderer::Render(Log* log, std::list<VObject*>* objects, std::list<Light*>* lights, Light* directional,
                      Camera* camera, int debug_flags) {
    Sort_Z_List(objects);
    Saved_GL_State callers_state(TEXTURE_UNITS_USED);
    ALLEGRO_BITMAP* target = al_get_target_bitmap();
    Frame_View frame{log,
                     camera,
                     directional,
                     debug_flags,
                     XtoRX(1.0f),
                     View_Pixels(camera),
                     Vec2D(static_cast<float>(al_get_bitmap_width(target)), static_cast<float>(al_get_bitmap_height(target))),
                     Vec2D(offset_x, offset_y)};
    // The normal view is a debugging aid: it takes the exact path, as comparisons do.
    painter->Paint(frame, objects, lights, reference_path || (debug_flags & DEBUG_NORMALS));
    al_set_target_bitmap(target);
    if (debug_flags & DEBUG_EDITOR) Draw_Editor_Marks(objects, camera);
    if (debug_flags & DEBUG_LIGHTS) Draw_Light_Marks(lights, camera);
}

void Renderer::Render(Log* log, World* world, int debug_flags) {
    Render(log, world->Get_Objects(), world->Get_Lights(), world->Get_Sun(), world->Get_Camera(), debug_flags);
}

// The quad in the world's output pixels.
Rect Renderer::Quad_Area(const Placement& placed) {
    return placed.Area(placed.quad, Vec2D(XtoRX(1.0f), YtoRY(1.0f)));
}

// The frame shown of the image, tinted, stretched over the quad on the target.
void Renderer::Draw_Over_Quad(ALLEGRO_BITMAP* image, ALLEGRO_COLOR tint, const Placement& placed, Vec2D view) {
    Rect area = Moved(Quad_Area(placed), view);
    al_draw_tinted_scaled_bitmap(image, tint, placed.frame_origin.x, placed.frame_origin.y, placed.image_w,
                                 placed.image_h, area.left, area.top, area.right - area.left, area.bottom - area.top,
                                 0);
}

// A translucent copy over the hovered object, a magenta frame around each selected one.
void Renderer::Draw_Editor_Marks(std::list<VObject*>* objects, Camera* camera) {
    Vec2D view = View_Pixels(camera);
    for (VObject* object : *objects) {
        VObject_Complex* complex = VObject_Complex::Drawn(object);
        if (!complex) continue;
        Placement placed = Placement::Of(complex, camera, Vec2D(0.0f, 0.0f));
        Rect area = Moved(Quad_Area(placed), view);
        if (complex->Get_Hover())
            Draw_Over_Quad(complex->Get_Actual_Bit(), al_premul_rgba(255, 255, 255, HOVER_ALPHA), placed, view);
        if (complex->Is_Selected())
            al_draw_rectangle(area.left, area.top, area.right, area.bottom, al_map_rgb(255, 0, 255),
                              SELECTION_THICKNESS);
    }
}

// For every point light, also those the lighting program doesn't receive: a dot
// in its colour and a stalk down to the picture of its floor point.
void Renderer::Draw_Light_Marks(std::list<Light*>* lights, Camera* camera) {
    Vec2D view = View_Pixels(camera);
    float height_factor = camera->Get_Height_Factor();
    for (Light* light : *lights) {
        Vec2D m = camera->Proj_To_Screen(light->Get_X(), light->Get_Y(), light->Get_Z());
        float x = XtoRX(m.x) - view.x, y = YtoRY(m.y) - view.y;
        ALLEGRO_COLOR colour = al_map_rgb_f(light->Get_R(), light->Get_G(), light->Get_B());
        al_draw_filled_circle(x, y, XtoRX(LIGHT_DOT_RADIUS), colour);
        al_draw_line(x, y, x, y + YtoRY(height_factor * light->Get_Z()), colour, XtoRX(LIGHT_STALK_WIDTH));
    }
}

float Renderer::XtoGX(float x) { return (width / (internal_h * aspect)) * x; }
float Renderer::YtoGY(float y) { return (height / internal_h) * y; }
float Renderer::GXtoX(float gx) { return gx / (width / (internal_h * aspect)); }
float Renderer::GYtoY(float gy) { return gy / (height / internal_h); }
float Renderer::XtoRX(float x) { return ((width * scale) / (internal_h * aspect)) * x; }
float Renderer::YtoRY(float y) { return ((height * scale) / internal_h) * y; }
float Renderer::RXtoX(float rx) { return rx / ((width * scale) / (internal_h * aspect)); }
float Renderer::RYtoY(float ry) { return ry / ((height * scale) / internal_h); }
float Renderer::XtoSX(float x) { return (x / internal_w) * width; }
float Renderer::YtoSX(float y) { return (y / internal_h) * height; }

}  // namespace Kelvane
