#include "render/renderer.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_opengl.h>      // Required for: the GL calls of the two passes
#include <allegro5/allegro_primitives.h>  // Required for: the overlay marks

#include <algorithm>  // Required for: std::max(), std::min()
#include <cmath>      // Required for: floor()
#include <cstdio>     // Required for: printf(), fprintf()
#include <cstdlib>    // Required for: exit()
#include <vector>

#include "core/common.h"
#include "core/log.h"
#include "render/vobject.h"
#include "render/draw_plan.h"
#include "render/placement.h"
#include "render/scissor.h"
#include "render/saved_gl_state.h"
#include "render/vobject_complex.h"
#include "render/world.h"
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
// The shadow map stands for at least this screen-space extent from the view's
// corner, and more where the visible picture plus a margin is wider or taller.
const float SHADOW_MAP_EXTENT = 2048.0f;
// Casters just past the right and bottom edges still shade what is in view.
const float SHADOW_MAP_MARGIN = 128.0f;
// How much the lighting program exaggerates the tilt of the normals.
const float BUMP_FACTOR = 2.0f;
// The lighting program's images: colour on unit 0, normal map on 1, shadow map on 2.
const int TEXTURE_UNITS_USED = 3;
const unsigned char HOVER_ALPHA = 125;
const float SELECTION_THICKNESS = 5.0f;  // output pixels, not converted
const float LIGHT_DOT_RADIUS = 10.0f;    // screen units
const float LIGHT_STALK_WIDTH = 3.0f;    // screen units

// A program that doesn't build is reported once (this, then what the frame
// does without it, then the GL's reason), and the frame goes on without it.
const char* const LIGHTING_FAILURE = "Lighting Shader couldn't be loaded";
const char* const LIGHTING_CONSEQUENCE = "Lighting is off: complex objects are drawn unlit, as their colour images.";
const char* const VARIANT_FAILURE = "A Lighting Shader variant couldn't be loaded";
const char* const VARIANT_CONSEQUENCE = "The exact lighting program draws instead: the same picture, more slowly.";
const char* const SHADOW_FAILURE = "Shadow Shader couldn't be loaded";
const char* const SHADOW_CONSEQUENCE = "Shadows are off.";

// The point-light blocks the lighting program's variants are built with.
const int LIGHT_BLOCK_VARIANTS[] = {0, 1, 2, 4, 8, 16, Draw_Plan::MAX_POINT_LIGHTS};
// The fast path never shows the normal view, so its variants skip that test.
const char* const FAST_DEFINES = "#define NO_NORMAL_VIEW\n";

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

// The lighting program reads past the map's edges as "no caster".
void Clear_Border(ALLEGRO_BITMAP* map) {
    static const GLfloat NOTHING[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glBindTexture(GL_TEXTURE_2D, al_get_opengl_texture(map));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_BORDER);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_BORDER);
    glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, NOTHING);
    glBindTexture(GL_TEXTURE_2D, previous);
}

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

int Blocks_For(size_t lights) {
    for (int blocks : LIGHT_BLOCK_VARIANTS)
        if (static_cast<size_t>(blocks) >= lights) return blocks;
    return Draw_Plan::MAX_POINT_LIGHTS;
}

// The first lights of the list, as many as the lighting program holds.
std::vector<Light*> First_Lights(std::list<Light*>* lights) {
    std::vector<Light*> first;
    for (Light* light : *lights) {
        if (first.size() == static_cast<size_t>(Draw_Plan::MAX_POINT_LIGHTS)) break;
        first.push_back(light);
    }
    return first;
}

std::string Lit_Defines(const Cell& cell) {
    std::string defines = FAST_DEFINES;
    defines += "#define POINT_LIGHTS " + ToString(Blocks_For(cell.lights.size())) + "\n";
    if (!cell.march) defines += "#define SHADOW_MARCH 0\n";
    return defines;
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

void Set_Point_Lights(Shader* lighting, const std::vector<Light*>& lights) {
    for (size_t i = 0; i < lights.size(); i++) Set_Point_Light(lighting, static_cast<int>(i), lights[i]);
    lighting->Set_Float("lights_count", static_cast<float>(lights.size()));
}

void Set_Screen_Uniforms(Shader* shader, Vec2D quad_corner, Vec2D shadow_extent) {
    shader->Set_Float("screen_x", quad_corner.x);
    shader->Set_Float("screen_y", quad_corner.y);
    shader->Set_Float("screen_w", shadow_extent.x);
    shader->Set_Float("screen_h", shadow_extent.y);
}

// Where the frame shown lies in the object's sheets: the programs sample
// (frame_s0, frame_t0) + the quad's coordinates x (frame_ds, frame_dt).
void Set_Sheet_Uniforms(Shader* shader, const Placement& placed) {
    Rect frame = placed.Frame_Texture();
    shader->Set_Float("frame_s0", frame.left);
    shader->Set_Float("frame_t0", frame.bottom);
    shader->Set_Float("frame_ds", frame.right - frame.left);
    shader->Set_Float("frame_dt", frame.top - frame.bottom);
}

// Both units get the same coordinates; the top edge carries t = 1, where the
// graphics library keeps an image's first row.
void Quad_Vertex(float s, float t, float x, float y) {
    glMultiTexCoord2f(GL_TEXTURE0, s, t);
    glMultiTexCoord2f(GL_TEXTURE1, s, t);
    glVertex3f(x, y, 0.0f);
}

void Draw_Quad(const Rect& area) {
    glBegin(GL_QUADS);
    Quad_Vertex(0.0f, 1.0f, area.left, area.top);
    Quad_Vertex(0.0f, 0.0f, area.left, area.bottom);
    Quad_Vertex(1.0f, 0.0f, area.right, area.bottom);
    Quad_Vertex(1.0f, 1.0f, area.right, area.top);
    glEnd();
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
    Vec2D visible = Get_Visible_Size();
    return Vec2D(std::max(SHADOW_MAP_EXTENT, visible.x + SHADOW_MAP_MARGIN),
                 std::max(SHADOW_MAP_EXTENT, visible.y + SHADOW_MAP_MARGIN));
}

Vec2D Renderer::Get_Visible_Size() {
    return Vec2D(RXtoX(width), RYtoY(height));
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
    // The colour pass's order, the caller's list left as it is: where depths tie,
    // the depth test (GL_LESS) keeps the first drawn.
    std::list<VObject*> drawn = *objects;
    Sort_Z_List(&drawn);
    Vec2D proj_offset = camera->Get_Projection_Offset();
    // The GL samples a pixel at its centre.
    Vec2D centre(std::floor(x) + 0.5f, std::floor(y) + 0.5f);
    VObject_Complex* nearest = nullptr;
    float nearest_nearness = 0.0f;
    for (VObject* object : drawn) {
        VObject_Complex* complex = VObject_Complex::Drawn(object);
        float nearness = 0.0f;
        if (!complex || !Surface_At(complex, camera, proj_offset, centre, &nearness)) continue;
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
bool Renderer::Surface_At(VObject_Complex* object, Camera* camera, Vec2D proj_offset, Vec2D at, float* nearness) {
    Placement placed = Placement::Of(object, camera, proj_offset);
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
    Saved_GL_State callers_state(TEXTURE_UNITS_USED);
    Frame frame{log, camera, camera->Get_Projection_Offset(), Get_Shadow_Extent(), directional, debug_flags};
    Shader* lighting = shader_manager->Get_Shader(LIGHTING_SHADER_PATH);
    if (Usable_Or_Reported(log, lighting, LIGHTING_FAILURE, LIGHTING_CONSEQUENCE))
        Draw_Lit_Frame(objects, lights, lighting, frame);
    else
        Colour_Pass(objects, nullptr, nullptr, frame);
    if (debug_flags & DEBUG_EDITOR) Draw_Editor_Marks(objects, frame);
    if (debug_flags & DEBUG_LIGHTS) Draw_Light_Marks(lights, frame);
}

void Renderer::Draw_Lit_Frame(std::list<VObject*>* objects, std::list<Light*>* lights, Shader* lighting,
                              const Frame& frame) {
    lighting->Apply();
    Set_Frame_Uniforms(lighting, frame);
    Set_Point_Lights(lighting, First_Lights(lights));
    Shader::Clear();

    ALLEGRO_BITMAP* target = al_get_target_bitmap();
    // The normal view is a debugging aid: it takes the exact path, as comparisons do.
    bool fast = !reference_path && !(frame.debug_flags & DEBUG_NORMALS);
    Draw_Plan plan = Plan_Frame(frame, target);
    if (fast) plan.Plan_Casters(objects);
    al_set_target_bitmap(shadow_map);
    al_clear_to_color(al_map_rgba(0, 0, 0, 0));
    Shader* shadow = shader_manager->Get_Shader(SHADOW_SHADER_PATH);
    if (Usable_Or_Reported(frame.log, shadow, SHADOW_FAILURE, SHADOW_CONSEQUENCE))
        Shadow_Pass(shadow, fast ? Planned_Casters(plan) : All_Casters(objects), frame);

    al_set_target_bitmap(target);
    Clear_Border(shadow_map);
    if (fast) plan.Plan_Objects(objects, lights);
    Colour_Pass(objects, fast ? &plan : nullptr, lighting, frame);
}

void Renderer::Render(Log* log, World* world, int debug_flags) {
    Render(log, world->Get_Objects(), world->Get_Lights(), world->Get_Sun(), world->Get_Camera(), debug_flags);
}

bool Renderer::Usable_Or_Reported(Log* log, Shader* program, const std::string& failure,
                                  const std::string& consequence) {
    if (program->Is_Usable()) return true;
    if (!reported_failures.insert(failure).second) return false;
    std::string reason = program->Get_Error();
    if (!program->Get_Defines().empty()) reason += "\nBuilt with:\n" + program->Get_Defines();
    log->Write(failure);
    log->Write(consequence);
    log->Write(reason);
    // Whoever runs the program sees it too; a log without its file already writes there.
    if (log->Is_Open()) std::fprintf(stderr, "%s. %s\n%s\n", failure.c_str(), consequence.c_str(), reason.c_str());
    return false;
}

Draw_Plan Renderer::Plan_Frame(const Frame& frame, ALLEGRO_BITMAP* target) {
    Rect output{0.0f, 0.0f, static_cast<float>(al_get_bitmap_width(target)),
                static_cast<float>(al_get_bitmap_height(target))};
    Vec2D map_texel(frame.shadow_extent.x / al_get_bitmap_width(shadow_map),
                    frame.shadow_extent.y / al_get_bitmap_height(shadow_map));
    return Draw_Plan(frame.camera, frame.proj_offset, frame.directional, MARCH_RULES, Vec2D(XtoRX(1.0f), YtoRY(1.0f)),
                     output, map_texel);
}

void Renderer::Set_Frame_Uniforms(Shader* lighting, const Frame& frame) {
    Light* directional = frame.directional;
    lighting->Set_Float("projection_factor", frame.camera->Get_Projection_Factor());
    lighting->Set_Float("height_factor", frame.camera->Get_Height_Factor());
    lighting->Set_Float("directional_light[0]", directional->Get_X());
    lighting->Set_Float("directional_light[1]", directional->Get_Y());
    lighting->Set_Float("directional_light[2]", directional->Get_Z());
    lighting->Set_Float("ambient_light_col[0]", directional->Get_R());
    lighting->Set_Float("ambient_light_col[1]", directional->Get_G());
    lighting->Set_Float("ambient_light_col[2]", directional->Get_B());
    lighting->Set_Float("directional_strength", directional->Get_Strength());
    lighting->Set_Float("ambient_light", directional->Get_Ambience());
    lighting->Set_Float("shadow_reach", MARCH_RULES.reach);
    lighting->Set_Float("march_offset", MARCH_RULES.offset);
    lighting->Set_Float("shadow_bias", MARCH_RULES.bias);
    lighting->Set_Float("shadow_shift", MARCH_RULES.shift);
    lighting->Set_Float("shadow_segment", MARCH_RULES.segment);
    lighting->Set_Float("alpha_cutoff", MAX_DROPPED_ALPHA / 255.0f);
}

std::vector<VObject_Complex*> Renderer::All_Casters(std::list<VObject*>* objects) {
    std::vector<VObject_Complex*> casters;
    for (VObject* object : *objects) {
        VObject_Complex* complex = VObject_Complex::Drawn(object);
        if (complex && complex->Get_Actual_Bit_Shadow()) casters.push_back(complex);
    }
    return casters;
}

std::vector<VObject_Complex*> Renderer::Planned_Casters(const Draw_Plan& plan) {
    std::vector<VObject_Complex*> casters;
    for (const Caster& caster : plan.Get_Casters()) casters.push_back(caster.object);
    return casters;
}

void Renderer::Shadow_Pass(Shader* shadow, const std::vector<VObject_Complex*>& casters, const Frame& frame) {
    // Nothing the caller left on may drop or hide a caster.
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_DEPTH_TEST);
    // Where shadows overlap the tallest caster must win. The map's encoding grows
    // with height in every channel, so keeping the per-channel maximum does that
    // without reading back what this pass writes.
    glBlendEquation(GL_MAX);
    for (VObject_Complex* caster : casters) Draw_Shadow(shadow, caster, frame);
    glBlendEquation(GL_FUNC_ADD);
}

void Renderer::Draw_Shadow(Shader* shadow, VObject_Complex* object, const Frame& frame) {
    Placement placed = Placement::Of(object, frame.camera, frame.proj_offset);
    shadow->Apply();
    shadow->Set_Float("obj_w", placed.image_w);
    shadow->Set_Float("obj_h", placed.image_h);
    shadow->Set_Float("obj_z", placed.z);
    shadow->Set_Float("scale", placed.scale);
    shadow->Set_Float("obj_sw", XtoRX(placed.image_w));
    shadow->Set_Float("obj_sh", YtoRY(placed.image_h));
    shadow->Set_Float("shadow_segment", MARCH_RULES.segment);
    Set_Sheet_Uniforms(shadow, placed);
    Vec2D q = placed.Shadow_Quad(object, frame.camera, frame.proj_offset, frame.directional, MARCH_RULES.shift);
    Set_Screen_Uniforms(shadow, q, frame.shadow_extent);
    // Only the sprite: the map is this pass's target, and a texture drawn into may not be read.
    shadow->Set_Texture("texture", 0, object->Get_Actual_Bit_Shadow());
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // Screen units to map pixels: the map may be smaller or stand for more than 2048 units.
    float to_map_x = al_get_bitmap_width(shadow_map) / frame.shadow_extent.x;
    float to_map_y = al_get_bitmap_height(shadow_map) / frame.shadow_extent.y;
    Draw_Quad(placed.Area(q, Vec2D(to_map_x, to_map_y)));
    shadow->Clear();
}

void Renderer::Colour_Pass(std::list<VObject*>* objects, const Draw_Plan* plan, Shader* reference,
                           const Frame& frame) {
    glClear(GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glAlphaFunc(GL_GREATER, MAX_DROPPED_ALPHA / 255.0f);
    glEnable(GL_ALPHA_TEST);
    // The graphics library draws plain sprites through the active unit.
    glActiveTexture(GL_TEXTURE0);
    prepared_programs.clear();
    size_t next_planned = 0;
    for (VObject* object : *objects) {
        if (object->Is_Visible() && object->Get_Type() == VOBJECT_TYPE_SPRITE) Draw_Sprite(object, frame);
        VObject_Complex* complex = VObject_Complex::Drawn(object);
        if (!complex) continue;
        if (!reference)
            Draw_Unlit(complex, frame);
        else
            Draw_Lit(complex, plan ? &plan->Get_Objects()[next_planned++] : nullptr, reference, frame);
    }
}

void Renderer::Draw_Lit(VObject_Complex* object, const Planned_Object* planned, Shader* reference,
                        const Frame& frame) {
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    // Colour images are premultiplied: their colour already carries the coverage.
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    if (planned)
        Draw_Planned(*planned, frame);
    else
        Draw_Exact(reference, object, frame);
    glActiveTexture(GL_TEXTURE0);
    glDisable(GL_DEPTH_TEST);
    Shader::Clear();
}

// Its colour image over the quad the lit path fills, as a plain sprite is drawn:
// no depth is stored, so list order alone decides what lies in front.
void Renderer::Draw_Unlit(VObject_Complex* object, const Frame& frame) {
    Draw_Over_Quad(object->Get_Actual_Bit(), al_map_rgb(255, 255, 255),
                   Placement::Of(object, frame.camera, frame.proj_offset));
}

// A plain sprite's x and y are screen-space coordinates; its pivot lands there.
void Renderer::Draw_Sprite(VObject* object, const Frame& frame) {
    ALLEGRO_BITMAP* image = object->Get_Actual_Bit();
    Camera* camera = frame.camera;
    al_draw_tinted_scaled_rotated_bitmap(image, object->Get_Tint(), object->Get_CX(), object->Get_CY(),
                                         XtoRX(object->Get_X() - camera->Get_X()) + offset_x,
                                         YtoRY(object->Get_Y() - camera->Get_Y()) + offset_y,
                                         XtoRX(object->Get_W()) / al_get_bitmap_width(image),
                                         YtoRY(object->Get_H()) / al_get_bitmap_height(image), object->Get_Angle(),
                                         object->Get_Flags());
}

void Renderer::Draw_Exact(Shader* lighting, VObject_Complex* object, const Frame& frame) {
    Placement placed = Placement::Of(object, frame.camera, frame.proj_offset);
    Planned_Object whole{object, placed, Quad_Area(placed), {}};
    lighting->Apply();
    Set_Object_Uniforms(lighting, whole, frame);
    Draw_Quad(whole.area);
}

// Each cell through the smallest variant that holds its lights, marching only
// where a caster may shade it.
// Every cell draws the whole quad, cut to the cell by the scissor, so each pixel
// gets exactly the coordinates the exact path gives it.
void Renderer::Draw_Planned(const Planned_Object& object, const Frame& frame) {
    Scissor scissor;
    for (const Cell& cell : object.cells) {
        Shader* lighting = Prepared_Variant(Lit_Defines(cell), frame);
        Set_Object_Uniforms(lighting, object, frame);
        Set_Point_Lights(lighting, cell.lights);
        scissor.Limit_To(cell.area);
        Draw_Quad(object.area);
    }
    scissor.Restore();
}

Shader* Renderer::Prepared_Variant(const std::string& defines, const Frame& frame) {
    Shader* variant = shader_manager->Get_Shader(LIGHTING_SHADER_PATH, defines);
    // The exact program draws where a variant didn't build; each cell's own
    // lights list keeps the picture exact.
    if (!Usable_Or_Reported(frame.log, variant, VARIANT_FAILURE, VARIANT_CONSEQUENCE))
        variant = shader_manager->Get_Shader(LIGHTING_SHADER_PATH);
    variant->Apply();
    if (prepared_programs.insert(variant).second) Set_Frame_Uniforms(variant, frame);
    return variant;
}

// Binds the object's images and sets what the lighting program needs to place its pixels.
void Renderer::Set_Object_Uniforms(Shader* lighting, const Planned_Object& object, const Frame& frame) {
    Camera* camera = frame.camera;
    const Placement& placed = object.placed;
    VObject_Complex* complex = object.object;
    lighting->Set_Texture("texture", 0, complex->Get_Actual_Bit());
    if (frame.debug_flags & DEBUG_NORMALS) lighting->Set_Texture("texture", 0, complex->Get_Actual_Bit_Normal());
    lighting->Set_Texture("texture_normal", 1, complex->Get_Actual_Bit_Normal());
    lighting->Set_Texture("texture_shadow_map", 2, shadow_map);
    lighting->Set_Float("obj_w", placed.image_w);
    lighting->Set_Float("obj_h", placed.image_h);
    lighting->Set_Float("obj_t", placed.tall);
    lighting->Set_Float("scale", placed.scale);
    lighting->Set_Float("map_w", camera->Get_Map_Width());
    lighting->Set_Float("map_h", camera->Get_Map_Height());
    lighting->Set_Float("map_t", camera->Get_Map_Tall());
    lighting->Set_Float("bump_factor", BUMP_FACTOR);
    lighting->Set_Float("obj_position[0]", placed.corner.x);
    lighting->Set_Float("obj_position[1]", placed.corner.y);
    lighting->Set_Float("obj_position[2]", placed.z);
    lighting->Set_Float("obj_sw", XtoRX(placed.image_w));
    lighting->Set_Float("obj_sh", YtoRY(placed.image_h));
    Set_Sheet_Uniforms(lighting, placed);
    Set_Screen_Uniforms(lighting, placed.quad, frame.shadow_extent);
}

Rect Renderer::Quad_Area(const Placement& placed) {
    return placed.Area(placed.quad, Vec2D(XtoRX(1.0f), YtoRY(1.0f)));
}

void Renderer::Draw_Over_Quad(ALLEGRO_BITMAP* image, ALLEGRO_COLOR tint, const Placement& placed) {
    Rect area = Quad_Area(placed);
    al_draw_tinted_scaled_bitmap(image, tint, placed.frame_origin.x, placed.frame_origin.y, placed.image_w,
                                 placed.image_h, area.left, area.top,
                                 XtoRX(placed.size.x), YtoRY(placed.size.y), 0);
}

// A translucent copy over the hovered object, a magenta frame around each selected one.
void Renderer::Draw_Editor_Marks(std::list<VObject*>* objects, const Frame& frame) {
    for (VObject* object : *objects) {
        VObject_Complex* complex = VObject_Complex::Drawn(object);
        if (!complex) continue;
        Placement placed = Placement::Of(complex, frame.camera, frame.proj_offset);
        Rect area = Quad_Area(placed);
        if (complex->Get_Hover())
            Draw_Over_Quad(complex->Get_Actual_Bit(), al_premul_rgba(255, 255, 255, HOVER_ALPHA), placed);
        if (complex->Is_Selected())
            al_draw_rectangle(area.left, area.top, area.right, area.bottom, al_map_rgb(255, 0, 255),
                              SELECTION_THICKNESS);
    }
}

// For every point light, also those the lighting program doesn't receive: a dot
// in its colour and a stalk down to the picture of its floor point.
void Renderer::Draw_Light_Marks(std::list<Light*>* lights, const Frame& frame) {
    Camera* camera = frame.camera;
    float height_factor = camera->Get_Height_Factor();
    for (Light* light : *lights) {
        Vec2D m = camera->Proj_To_Screen(light->Get_X() - frame.proj_offset.x, light->Get_Y() - frame.proj_offset.y,
                                         light->Get_Z());
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
