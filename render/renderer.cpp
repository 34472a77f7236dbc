#include "render/renderer.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_opengl.h>      // Required for: the GL calls of the two passes
#include <allegro5/allegro_primitives.h>  // Required for: the overlay marks

#include <algorithm>  // Required for: std::max()
#include <cstdio>     // Required for: printf(), fprintf()
#include <cstdlib>    // Required for: exit()

#include "core/common.h"
#include "core/log.h"
#include "render/vobject.h"
#include "render/vobject_complex.h"
#include "resources/shader.h"
#include "resources/shader_manager.h"
#include "world/camera.h"
#include "world/light.h"

namespace Kelvane {

namespace {

const int SHADOW_MAP_SIZE = 2048;
const int SHADOW_MAP_FALLBACK_SIZE = 1024;

const char* const LIGHTING_SHADER_PATH = "assets/shader/object_light.glsl";
const char* const SHADOW_SHADER_PATH = "assets/shader/object_shadow.glsl";
// The lighting program has room for this many point lights; later ones are not passed.
const int MAX_POINT_LIGHTS = 24;
// The shadow map stands for at least this screen-space extent from the view's
// corner, and more where the visible picture plus a margin is wider or taller.
const float SHADOW_MAP_EXTENT = 2048.0f;
// Casters just past the right and bottom edges still shade what is in view.
const float SHADOW_MAP_MARGIN = 128.0f;
// How much the lighting program exaggerates the tilt of the normals.
const float BUMP_FACTOR = 2.0f;
// A shadow sprite moves along the light by this share of (1 - dz) x the object's drawn height.
const double SHADOW_SHIFT = 0.1;
// Fragments this transparent or more store neither colour nor depth.
const float ALPHA_TEST_THRESHOLD = 0.1f;
const unsigned char HOVER_ALPHA = 125;
const float SELECTION_THICKNESS = 5.0f;  // output pixels, not converted
const float LIGHT_DOT_RADIUS = 10.0f;    // screen units
const float LIGHT_STALK_WIDTH = 3.0f;    // screen units

// There is no log here: standard output, and standard error for whoever watches that.
void Report(const char* message) {
    std::printf("%s", message);
    std::fflush(stdout);
    std::fprintf(stderr, "%s", message);
}

// A square render target with the flags the shadow pass needs; null when the GL has no room for it.
ALLEGRO_BITMAP* New_Shadow_Map(int size) {
    int previous = al_get_new_bitmap_flags();
    al_set_new_bitmap_flags(ALLEGRO_VIDEO_BITMAP | ALLEGRO_NO_PRESERVE_TEXTURE);
    ALLEGRO_BITMAP* map = al_create_bitmap(size, size);
    al_set_new_bitmap_flags(previous);
    return map;
}

ALLEGRO_BITMAP* Create_Shadow_Map() {
    ALLEGRO_BITMAP* map = New_Shadow_Map(SHADOW_MAP_SIZE);
    if (map) return map;
    Report("The Shadow Map couldn't be created, trying 1024x1024\n");
    map = New_Shadow_Map(SHADOW_MAP_FALLBACK_SIZE);
    if (map) return map;
    Report("The lower res shadow map couldn't be created either. Quitting.");
    std::exit(1);
}

float Image_Width(VObject* object) {
    return static_cast<float>(al_get_bitmap_width(object->Get_Actual_Bit()));
}

float Image_Height(VObject* object) {
    return static_cast<float>(al_get_bitmap_height(object->Get_Actual_Bit()));
}

// Projection-space x, y of the point pictured at the image's top-left corner;
// the object's own position is where its pivot is drawn.
Vec2D Corner_Position(VObject_Complex* object, Camera* camera) {
    float s = object->Get_Scale();
    float zoom = camera->Get_Zoom();
    Vec2D pivot = camera->Screen_To_Proj(zoom * (object->Get_CX() * s), (object->Get_CY() * s) * zoom, 0.0f);
    return Vec2D(object->Get_X() - pivot.x, object->Get_Y() - pivot.y);
}

// Screen position of a projection-space point relative to the view, zoomed.
Vec2D View_Position(Camera* camera, Vec2D proj_offset, float px, float py, float pz) {
    Vec2D position = camera->Proj_To_Screen(px - proj_offset.x, py - proj_offset.y, pz);
    position *= camera->Get_Zoom();
    return position;
}

// The quad's extent in screen units: the diffuse image's size times scale and zoom.
Vec2D Quad_Size(VObject_Complex* object, float zoom) {
    float s = object->Get_Scale();
    return Vec2D(zoom * (Image_Width(object) * s), zoom * (Image_Height(object) * s));
}

// Moves a shadow's corner along the directional light, further for taller objects;
// a light from straight above (dz = 1) moves nothing.
Vec2D Shadow_Shifted(Vec2D corner, VObject_Complex* object, Light* directional, float zoom) {
    float drawn_tall = object->Get_Tall() * object->Get_Scale();
    double reach = static_cast<double>(zoom) * drawn_tall;
    float k = static_cast<float>(((1 - directional->Get_Z()) * reach) * SHADOW_SHIFT);
    return Vec2D(corner.x + directional->Get_X() * k, corner.y + directional->Get_Y() * k);
}

void Set_Point_Light(Shader* lighting, int index, Light* light) {
    std::string element = "[" + ToString(index) + "]";
    lighting->Set_Float("light_x" + element, light->Get_X());
    lighting->Set_Float("light_y" + element, light->Get_Y());
    lighting->Set_Float("light_z" + element, light->Get_Z());
    lighting->Set_Float("light_r" + element, light->Get_R());
    lighting->Set_Float("light_g" + element, light->Get_G());
    lighting->Set_Float("light_b" + element, light->Get_B());
    lighting->Set_Float("light_range" + element, light->Get_Range());
}

void Set_Screen_Uniforms(Shader* shader, Vec2D quad_corner, Vec2D shadow_extent) {
    shader->Set_Float("screen_x", quad_corner.x);
    shader->Set_Float("screen_y", quad_corner.y);
    shader->Set_Float("screen_w", shadow_extent.x);
    shader->Set_Float("screen_h", shadow_extent.y);
}

// Both units get the same coordinates; the top edge carries t = 1, where
// the graphics library keeps an image's first row.
void Quad_Vertex(float s, float t, float x, float y) {
    glMultiTexCoord2f(GL_TEXTURE0, s, t);
    glMultiTexCoord2f(GL_TEXTURE1, s, t);
    glVertex3f(x, y, 0.0f);
}

void Draw_Quad(float x0, float y0, float x1, float y1) {
    glBegin(GL_QUADS);
    Quad_Vertex(0.0f, 1.0f, x0, y0);
    Quad_Vertex(0.0f, 0.0f, x0, y1);
    Quad_Vertex(1.0f, 0.0f, x1, y1);
    Quad_Vertex(1.0f, 1.0f, x1, y0);
    glEnd();
}

VObject_Complex* As_Drawn_Complex(VObject* object) {
    if (!object->Is_Visible() || object->Get_Type() != VOBJECT_TYPE_COMPLEX) return nullptr;
    return static_cast<VObject_Complex*>(object);
}

}  // namespace

Renderer::Renderer(ALLEGRO_DISPLAY* display, Shader_Manager* shader_manager, float internal_w, float internal_h,
                   float width, float height, float offset_x, float offset_y)
    : display(display), shadow_map(nullptr), offset_x(offset_x), offset_y(offset_y), width(width),
      height(height), aspect(0.0f), internal_w(internal_w), internal_h(internal_h), scale(1.0f),
      shader_manager(shader_manager) {
    KELVANE_ASSERT(display, "a renderer needs the display it draws to");
    if (this->width <= 0) this->width = al_get_display_width(display);
    if (this->height <= 0) this->height = al_get_display_height(display);
    aspect = this->width / this->height;
    shadow_map = Create_Shadow_Map();
    al_set_new_bitmap_flags(0);
}

Renderer::~Renderer() {
    al_destroy_bitmap(shadow_map);
}

bool Renderer::Resize_Shadow_Map(int size) {
    KELVANE_ASSERT(size > 0, "a shadow map needs a positive size");
    ALLEGRO_BITMAP* map = New_Shadow_Map(size);
    if (!map) return false;
    al_destroy_bitmap(shadow_map);
    shadow_map = map;
    return true;
}

Vec2D Renderer::Get_Shadow_Extent() {
    return Vec2D(std::max(SHADOW_MAP_EXTENT, RXtoX(width) + SHADOW_MAP_MARGIN),
                 std::max(SHADOW_MAP_EXTENT, RYtoY(height) + SHADOW_MAP_MARGIN));
}

void Renderer::Sort_Z_List(std::list<VObject*>* objects) {
    std::list<VObject*> sorted;
    for (VObject* object : *objects) {
        auto position = sorted.begin();
        while (position != sorted.end() && !((*position)->Get_Z() > object->Get_Z())) ++position;
        sorted.insert(position, object);
    }
    *objects = sorted;
}

void Renderer::Render(Log* log, std::list<VObject*>* objects, std::list<Light*>* lights, Light* directional,
                      Camera* camera, int debug_flags) {
    Sort_Z_List(objects);
    View view{camera, camera->Get_X(), camera->Get_Y(), Vec2D(), Get_Shadow_Extent()};
    Shader* lighting = shader_manager->Get_Shader(LIGHTING_SHADER_PATH);
    Shader* shadow = shader_manager->Get_Shader(SHADOW_SHADER_PATH);
    if (!Usable_Or_Reported(log, lighting, "Lighting Shader couldn't be loaded")) return;
    view.proj_offset = camera->Get_Projection_Offset();
    Set_Light_Uniforms(lighting, lights, directional, camera);

    ALLEGRO_BITMAP* target = al_get_target_bitmap();
    al_set_target_bitmap(shadow_map);
    al_clear_to_color(al_map_rgba(0, 0, 0, 0));
    if (Usable_Or_Reported(log, shadow, "Shadow Shader couldn't be loaded"))
        Shadow_Pass(shadow, objects, directional, view);

    al_set_target_bitmap(target);
    Colour_Pass(lighting, objects, view, debug_flags);
    al_set_target_bitmap(target);

    if (debug_flags & DEBUG_EDITOR) Draw_Editor_Marks(objects, view);
    if (debug_flags & DEBUG_LIGHTS) Draw_Light_Marks(lights, view);
}

bool Renderer::Usable_Or_Reported(Log* log, Shader* program, const std::string& failure) {
    if (program->Is_Usable()) return true;
    if (reported_failures.insert(failure).second) {
        log->Write(failure);
        log->Write(program->Get_Error());
    }
    return false;
}

void Renderer::Set_Light_Uniforms(Shader* lighting, std::list<Light*>* lights, Light* directional,
                                  Camera* camera) {
    lighting->Apply();
    int count = 0;
    for (Light* light : *lights) {
        if (count == MAX_POINT_LIGHTS) break;
        Set_Point_Light(lighting, count, light);
        ++count;
    }
    lighting->Set_Float("projection_factor", camera->Get_Projection_Factor());
    lighting->Set_Float("height_factor", camera->Get_Height_Factor());
    lighting->Set_Float("directional_light[0]", directional->Get_X());
    lighting->Set_Float("directional_light[1]", directional->Get_Y());
    lighting->Set_Float("directional_light[2]", directional->Get_Z());
    lighting->Set_Float("ambient_light_col[0]", directional->Get_R());
    lighting->Set_Float("ambient_light_col[1]", directional->Get_G());
    lighting->Set_Float("ambient_light_col[2]", directional->Get_B());
    lighting->Set_Float("directional_strength", directional->Get_Strength());
    lighting->Set_Float("ambient_light", directional->Get_Ambience());
    lighting->Set_Float("lights_count", static_cast<float>(count));
    lighting->Clear();
}

void Renderer::Shadow_Pass(Shader* shadow, std::list<VObject*>* objects, Light* directional, const View& view) {
    // Where shadows overlap the tallest caster must win. The map's encoding grows
    // with height in every channel, so keeping the per-channel maximum does that
    // without reading back what this pass writes.
    glBlendEquation(GL_MAX);
    for (VObject* object : *objects) {
        VObject_Complex* complex = As_Drawn_Complex(object);
        if (complex && complex->Get_Actual_Bit_Shadow()) Draw_Shadow(shadow, complex, directional, view);
    }
    glBlendEquation(GL_FUNC_ADD);
    // The graphics library draws plain sprites through the active unit.
    glActiveTexture(GL_TEXTURE0);
}

void Renderer::Draw_Shadow(Shader* shadow, VObject_Complex* object, Light* directional, const View& view) {
    float zoom = view.camera->Get_Zoom();
    shadow->Apply();
    shadow->Set_Float("obj_w", Image_Width(object));
    shadow->Set_Float("obj_h", Image_Height(object));
    shadow->Set_Float("obj_z", object->Get_Z());
    shadow->Set_Float("scale", object->Get_Scale() * zoom);
    shadow->Set_Float("obj_sw", XtoRX(Image_Width(object)));
    shadow->Set_Float("obj_sh", YtoRY(Image_Height(object)));
    Vec2D corner = Shadow_Shifted(Corner_Position(object, view.camera), object, directional, zoom);
    // The shadow lies on the floor, whatever the object's own height.
    Vec2D q = View_Position(view.camera, view.proj_offset, corner.x, corner.y, 0.0f);
    Set_Screen_Uniforms(shadow, q, view.shadow_extent);
    shadow->Set_Texture("texture", 0, object->Get_Actual_Bit_Shadow());
    shadow->Set_Texture("texture_shadow_map", 1, shadow_map);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // Screen units to map pixels: the map may be smaller or stand for more than 2048 units.
    float to_map_x = al_get_bitmap_width(shadow_map) / view.shadow_extent.x;
    float to_map_y = al_get_bitmap_height(shadow_map) / view.shadow_extent.y;
    Vec2D size = Quad_Size(object, zoom);
    Draw_Quad(q.x * to_map_x, q.y * to_map_y, (size.x + q.x) * to_map_x, (size.y + q.y) * to_map_y);
    shadow->Clear();
}

void Renderer::Colour_Pass(Shader* lighting, std::list<VObject*>* objects, const View& view, int debug_flags) {
    glClear(GL_DEPTH_BUFFER_BIT);
    glAlphaFunc(GL_GREATER, ALPHA_TEST_THRESHOLD);
    glEnable(GL_ALPHA_TEST);
    for (VObject* object : *objects) {
        if (!object->Is_Visible()) continue;
        if (object->Get_Type() == VOBJECT_TYPE_SPRITE) Draw_Sprite(object, view);
        if (object->Get_Type() == VOBJECT_TYPE_COMPLEX)
            Draw_Complex(lighting, static_cast<VObject_Complex*>(object), view, debug_flags);
    }
}

// A plain sprite's x and y are screen-space coordinates; its pivot lands there.
void Renderer::Draw_Sprite(VObject* object, const View& view) {
    ALLEGRO_BITMAP* image = object->Get_Actual_Bit();
    al_draw_tinted_scaled_rotated_bitmap(image, object->Get_Tint(), object->Get_CX(), object->Get_CY(),
                                         XtoRX(object->Get_X() - view.x) + offset_x,
                                         YtoRY(object->Get_Y() - view.y) + offset_y,
                                         XtoRX(object->Get_W()) / al_get_bitmap_width(image),
                                         YtoRY(object->Get_H()) / al_get_bitmap_height(image), object->Get_Angle(),
                                         object->Get_Flags());
}

void Renderer::Draw_Complex(Shader* lighting, VObject_Complex* object, const View& view, int debug_flags) {
    Camera* camera = view.camera;
    float zoom = camera->Get_Zoom();
    lighting->Apply();
    lighting->Set_Texture("texture", 0, object->Get_Actual_Bit());
    if (debug_flags & DEBUG_NORMALS) lighting->Set_Texture("texture", 0, object->Get_Actual_Bit_Normal());
    lighting->Set_Texture("texture_normal", 1, object->Get_Actual_Bit_Normal());
    lighting->Set_Texture("texture_shadow_map", 2, shadow_map);
    Vec2D corner = Corner_Position(object, camera);
    lighting->Set_Float("obj_w", Image_Width(object));
    lighting->Set_Float("obj_h", Image_Height(object));
    lighting->Set_Float("obj_t", object->Get_Tall() / camera->Get_Height_Factor());
    lighting->Set_Float("scale", object->Get_Scale() * zoom);
    lighting->Set_Float("map_w", camera->Get_Map_Width());
    lighting->Set_Float("map_h", camera->Get_Map_Height());
    lighting->Set_Float("map_t", camera->Get_Map_Tall());
    lighting->Set_Float("bump_factor", BUMP_FACTOR);
    lighting->Set_Float("obj_position[0]", corner.x);
    lighting->Set_Float("obj_position[1]", corner.y);
    lighting->Set_Float("obj_position[2]", object->Get_Z());
    lighting->Set_Float("obj_sw", XtoRX(Image_Width(object)));
    lighting->Set_Float("obj_sh", YtoRY(Image_Height(object)));
    Vec2D q = View_Position(camera, view.proj_offset, corner.x, corner.y, object->Get_Z());
    Set_Screen_Uniforms(lighting, q, view.shadow_extent);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    // Colour images are premultiplied: their colour already carries the coverage.
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    Vec2D size = Quad_Size(object, zoom);
    Draw_Quad(XtoRX(q.x), YtoRY(q.y), XtoRX(size.x + q.x), YtoRY(size.y + q.y));
    glActiveTexture(GL_TEXTURE0);
    glDisable(GL_DEPTH_TEST);
    lighting->Clear();
}

// A translucent copy over the hovered object, a magenta frame around each selected one.
void Renderer::Draw_Editor_Marks(std::list<VObject*>* objects, const View& view) {
    float zoom = view.camera->Get_Zoom();
    for (VObject* object : *objects) {
        VObject_Complex* complex = As_Drawn_Complex(object);
        if (!complex) continue;
        Vec2D corner = Corner_Position(complex, view.camera);
        Vec2D q = View_Position(view.camera, view.proj_offset, corner.x, corner.y, complex->Get_Z());
        Vec2D size = Quad_Size(complex, zoom);
        if (complex->Get_Hover())
            al_draw_tinted_scaled_bitmap(complex->Get_Actual_Bit(), al_premul_rgba(255, 255, 255, HOVER_ALPHA), 0, 0,
                                         Image_Width(complex), Image_Height(complex), XtoRX(q.x), YtoRY(q.y),
                                         XtoRX(size.x), YtoRY(size.y), 0);
        if (complex->Is_Selected())
            al_draw_rectangle(XtoRX(q.x), YtoRY(q.y), XtoRX(size.x + q.x), YtoRY(size.y + q.y),
                              al_map_rgb(255, 0, 255), SELECTION_THICKNESS);
    }
}

// For every point light, also those the lighting program doesn't receive: a dot
// in its colour and a stalk down to the picture of its floor point.
void Renderer::Draw_Light_Marks(std::list<Light*>* lights, const View& view) {
    float height_factor = view.camera->Get_Height_Factor();
    for (Light* light : *lights) {
        Vec2D m = view.camera->Proj_To_Screen(light->Get_X() - view.proj_offset.x,
                                              light->Get_Y() - view.proj_offset.y, light->Get_Z());
        ALLEGRO_COLOR colour = al_map_rgb_f(light->Get_R(), light->Get_G(), light->Get_B());
        al_draw_filled_circle(XtoRX(m.x), YtoRY(m.y), XtoRX(LIGHT_DOT_RADIUS), colour);
        al_draw_line(XtoRX(m.x), YtoRY(m.y), XtoRX(m.x), YtoRY(height_factor * light->Get_Z() + m.y), colour,
                     XtoRX(LIGHT_STALK_WIDTH));
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
