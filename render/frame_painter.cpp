#include "render/frame_painter.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_opengl.h>  // Required for: the GL calls that draw a tile

#include <algorithm>  // Required for: std::sort(), std::clamp()
#include <cmath>      // Required for: std::floor(), std::cos(), std::sin()
#include <cstdio>     // Required for: printf(), fprintf()
#include <cstdlib>    // Required for: exit(), abs()

#include "core/log.h"
#include "render/signature.h"
#include "render/vobject_complex.h"
#include "resources/shader.h"
#include "resources/shader_manager.h"
#include "world/camera.h"
#include "world/light.h"

namespace Kelvane {

namespace {

const int SHADOW_MAP_SIZES[] = {4096, 2048};
const int SHADOW_MAP_FALLBACK_SIZE = 1024;

const char* const LIGHTING_SHADER_PATH = "assets/shader/object_light.glsl";
const char* const SHADOW_SHADER_PATH = "assets/shader/object_shadow.glsl";
const char* const COMPOSE_SHADER_PATH = "assets/shader/tile_compose.glsl";
// How much the lighting program exaggerates the tilt of the normals.
const float BUMP_FACTOR = 2.0f;

// Kept tiles: about three pictures of the output, and never fewer than the
// tiles a frame shows and draws ahead.
const int KEPT_PICTURES = 3;
// Tiles around the view drawn ahead of it, so that a pan finds them ready.
const int AHEAD_RING = 1;
// How many tiles a frame draws at most, nearest first, counting the visible
// ones it had to draw: a frame that redraws much of the view draws none ahead,
// which would likely change again before they are shown.
const int AHEAD_PER_FRAME = 4;

// A program that doesn't build is reported once (this, then what the frame
// does without it, then the GL's reason), and the frame goes on without it.
const char* const LIGHTING_FAILURE = "Lighting Shader couldn't be loaded";
const char* const LIGHTING_CONSEQUENCE = "Lighting is off: complex objects are drawn unlit, as their colour images.";
const char* const VARIANT_FAILURE = "A Lighting Shader variant couldn't be loaded";
const char* const VARIANT_CONSEQUENCE = "The exact lighting program draws instead: the same picture, more slowly.";
const char* const SHADOW_FAILURE = "Shadow Shader couldn't be loaded";
const char* const SHADOW_CONSEQUENCE = "Shadows are off.";
const char* const COMPOSE_FAILURE = "Tile Shader couldn't be loaded";
const char* const COMPOSE_CONSEQUENCE = "The picture is shown without its depth.";

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

void Make_Shadow_Map(Shadow_Map& map) {
    for (int size : SHADOW_MAP_SIZES)
        if (map.Resize(size)) return;
    Report("The Shadow Map couldn't be created, trying 1024x1024\n");
    if (map.Resize(SHADOW_MAP_FALLBACK_SIZE)) return;
    Report("The lower res shadow map couldn't be created either. Quitting.");
    std::exit(1);
}

int Blocks_For(size_t lights) {
    for (int blocks : LIGHT_BLOCK_VARIANTS)
        if (static_cast<size_t>(blocks) >= lights) return blocks;
    return Draw_Plan::MAX_POINT_LIGHTS;
}

std::string March_Defines(const Cell& cell) {
    if (!cell.Marches()) return "#define SHADOW_MARCH 0\n";
    return "#define MARCH_STEPS " + ToString(MARCH_RULES.steps) + "\n";
}

std::string Lit_Defines(const Cell& cell) {
    std::string defines = FAST_DEFINES;
    defines += "#define POINT_LIGHTS " + ToString(Blocks_For(cell.lights.size())) + "\n";
    return defines + March_Defines(cell);
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

// The first lights of the list, as many as the lighting program holds.
std::vector<Light*> First_Lights(std::list<Light*>* lights) {
    std::vector<Light*> first;
    for (Light* light : *lights) {
        if (first.size() == static_cast<size_t>(Draw_Plan::MAX_POINT_LIGHTS)) break;
        first.push_back(light);
    }
    return first;
}

void Set_Point_Lights(Shader* lighting, const std::vector<Light*>& lights) {
    for (size_t i = 0; i < lights.size(); i++) Set_Point_Light(lighting, static_cast<int>(i), lights[i]);
    lighting->Set_Float("lights_count", static_cast<float>(lights.size()));
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

// The part of the quad over `area`, with the texture coordinates the whole quad gives it.
void Draw_Quad_Part(const Rect& area, const Rect& part) {
    float width = area.right - area.left, height = area.bottom - area.top;
    float s0 = (part.left - area.left) / width, s1 = (part.right - area.left) / width;
    float t0 = (area.bottom - part.bottom) / height, t1 = (area.bottom - part.top) / height;
    glBegin(GL_QUADS);
    Quad_Vertex(s0, t1, part.left, part.top);
    Quad_Vertex(s0, t0, part.left, part.bottom);
    Quad_Vertex(s1, t0, part.right, part.bottom);
    Quad_Vertex(s1, t1, part.right, part.top);
    glEnd();
}

void Draw_Quad(const Rect& area) {
    Draw_Quad_Part(area, area);
}

// A fixed-function quad of an image's part `texture` (s, t, t = 1 at the top)
// in `colour`: what the graphics library itself would draw.
void Draw_Image_Quad(ALLEGRO_BITMAP* image, ALLEGRO_COLOR colour, const Vec2D corners[4], const Rect& texture) {
    glActiveTexture(GL_TEXTURE0);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, al_get_opengl_texture(image));
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glColor4f(colour.r, colour.g, colour.b, colour.a);
    const float s[4] = {texture.left, texture.left, texture.right, texture.right};
    const float t[4] = {texture.top, texture.bottom, texture.bottom, texture.top};
    glBegin(GL_QUADS);
    for (int i = 0; i < 4; i++) {
        glTexCoord2f(s[i], t[i]);
        glVertex2f(corners[i].x, corners[i].y);
    }
    glEnd();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glDisable(GL_TEXTURE_2D);
}

// Tile by tile, which a frame shows and which it may draw ahead.
bool Inside(Tile_Index tile, Tile_Index first, Tile_Index last) {
    return tile.column >= first.column && tile.column <= last.column && tile.row >= first.row && tile.row <= last.row;
}

int Distance(Tile_Index tile, Tile_Index first, Tile_Index last) {
    int columns = std::max(first.column - tile.column, tile.column - last.column);
    int rows = std::max(first.row - tile.row, tile.row - last.row);
    return std::max(columns, rows);
}

}  // namespace

Frame_Painter::Frame_Painter(Shader_Manager* shader_manager)
    : shader_manager(shader_manager), tiles(Draw_Plan::TILE_PIXELS) {
    Make_Shadow_Map(shadow_map);
}

void Frame_Painter::Paint(const Frame_View& frame, std::list<VObject*>* objects, std::list<Light*>* lights,
                          bool exact) {
    Shader* lighting = shader_manager->Get_Shader(LIGHTING_SHADER_PATH);
    bool lit = Usable_Or_Reported(frame.log, lighting, LIGHTING_FAILURE, LIGHTING_CONSEQUENCE);
    prepared_programs.clear();
    Tile_Index first, last;
    Visible_Tiles(frame, &first, &last);
    // Both paths plan the tiles drawn ahead too: the shadow map's texel follows
    // what the planned rays read, and must be the same whichever path draws.
    Draw_Plan plan(frame.camera, frame.directional, MARCH_RULES, frame.pixels_per_unit, frame.sprite_offset,
                   Tile_Index{first.column - AHEAD_RING, first.row - AHEAD_RING},
                   Tile_Index{last.column + AHEAD_RING, last.row + AHEAD_RING}, exact);
    plan.Plan(objects, lights);
    if (lit) {
        // The programs' frame uniforms include the map's extent: after the map's update.
        Update_Shadow_Map(plan, frame, exact);
        // What the exact program holds between frames: the first lights of the list.
        Prepared(lighting, frame);
        Set_Point_Lights(lighting, First_Lights(lights));
        Shader::Clear();
    }
    plan.Sign_Tiles(Frame_Signature(frame, lit));
    glDepthMask(GL_TRUE);
    glClear(GL_DEPTH_BUFFER_BIT);
    Shader* program = lit ? lighting : nullptr;
    std::vector<Tile_Index> shown;
    if (Reserve_Tiles(frame)) {
        std::vector<Tile_Drawn> drawn = Tiles_To_Draw(plan, frame, first, last, exact);
        std::vector<Tile_Drawing> cleared;
        for (const Tile_Drawn& tile : drawn)
            if (!tile.part.Empty()) cleared.push_back(Tile_Drawing{tile.tile->index, tile.part});
        if (tiles.Begin_Tiles(cleared)) {
            for (const Tile_Drawn& tile : drawn) Paint_Tile(plan, tile, frame, program, exact);
            tiles.End_Tiles();
            for (const Planned_Tile& tile : plan.Get_Tiles())
                if (Inside(tile.index, first, last)) shown.push_back(tile.index);
        }
    }
    Show_Tiles(shown, frame);
    if (exact)
        previous.reset();
    else
        previous = std::move(plan);
}

bool Frame_Painter::Usable_Or_Reported(Log* log, Shader* program, const std::string& failure,
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

// Without a shadow program the map holds no caster at all.
void Frame_Painter::Update_Shadow_Map(const Draw_Plan& plan, const Frame_View& frame, bool exact) {
    Shader* shadow = shader_manager->Get_Shader(SHADOW_SHADER_PATH);
    shadows = Usable_Or_Reported(frame.log, shadow, SHADOW_FAILURE, SHADOW_CONSEQUENCE);
    // Nothing the caller left on may drop or hide a caster. Where shadows overlap
    // the tallest caster must win: the map's encoding grows with height in every
    // channel, so keeping the per-channel maximum does that without reading back
    // what this pass writes.
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glBlendEquation(GL_MAX);
    static const std::vector<Caster> NO_CASTERS;
    shadow_map.Update(plan.Get_Reads(), shadows ? plan.Get_Casters() : NO_CASTERS, exact,
                      [&](const Caster& caster) { Draw_Caster(shadow, caster); });
    glBlendEquation(GL_FUNC_ADD);
}

void Frame_Painter::Draw_Caster(Shader* shadow, const Caster& caster) {
    const Placement& placed = caster.placed;
    shadow->Apply();
    shadow->Set_Float("obj_w", placed.image_w);
    shadow->Set_Float("obj_h", placed.image_h);
    shadow->Set_Float("obj_z", placed.z);
    shadow->Set_Float("scale", placed.scale);
    shadow->Set_Float("shadow_segment", MARCH_RULES.segment);
    Set_Sheet_Uniforms(shadow, placed);
    shadow->Set_Float("screen_x", caster.area.left);
    shadow->Set_Float("screen_y", caster.area.top);
    shadow->Set_Float("screen_w", shadow_map.Get_Extent());
    shadow->Set_Float("screen_h", shadow_map.Get_Extent());
    // Only the sprite: the map is this pass's target, and a texture drawn into may not be read.
    shadow->Set_Texture("texture", 0, caster.object->Get_Actual_Bit_Shadow());
    // Beyond the part that casts, the sprite holds nothing that shades.
    Draw_Quad_Part(caster.area, caster.casting);
    Shader::Clear();
}

uint64_t Frame_Painter::Frame_Signature(const Frame_View& frame, bool lit) const {
    Light* sun = frame.directional;
    Camera* camera = frame.camera;
    Signature signature;
    signature.Add(sun->Get_X()).Add(sun->Get_Y()).Add(sun->Get_Z()).Add(sun->Get_R()).Add(sun->Get_G());
    signature.Add(sun->Get_B()).Add(sun->Get_Strength()).Add(sun->Get_Ambience());
    signature.Add(camera->Get_Projection_Factor()).Add(camera->Get_Height_Factor()).Add(camera->Get_Zoom());
    signature.Add(camera->Get_Map_Width()).Add(camera->Get_Map_Height()).Add(camera->Get_Map_Tall());
    signature.Add(frame.pixels_per_unit).Add(frame.sprite_offset.x).Add(frame.sprite_offset.y);
    signature.Add(frame.debug_flags & DEBUG_NORMALS).Add(static_cast<int>(lit)).Add(static_cast<int>(shadows));
    signature.Add(shadow_map.Get_Texel()).Add(shadow_map.Get_Extent());
    return signature.Value();
}

// Room for every tile a frame of this output shows or draws ahead, and for
// about KEPT_PICTURES pictures in all.
bool Frame_Painter::Reserve_Tiles(const Frame_View& frame) {
    const float tile = static_cast<float>(Draw_Plan::TILE_PIXELS);
    int columns = static_cast<int>(std::ceil(frame.output.x / tile)) + 1 + 2 * AHEAD_RING;
    int rows = static_cast<int>(std::ceil(frame.output.y / tile)) + 1 + 2 * AHEAD_RING;
    float pictures = KEPT_PICTURES * frame.output.x * frame.output.y / (tile * tile);
    return tiles.Reserve(columns, rows, static_cast<int>(std::ceil(pictures)));
}

// The reference path draws every visible tile; the fast path those it does not
// keep as they are now, and a few of those just around the view ahead of need.
// A tile kept as the frame before planned it is mended where it changed, ahead
// of need too. A frame that has more to draw than that budget draws only what
// is seen of the tiles that changed: they are likely to change again before
// the rest is shown. A tile that only has more of it seen now is drawn whole,
// and so is a tile kept in part, ahead of the others, when a frame has time.
std::vector<Frame_Painter::Tile_Drawn> Frame_Painter::Tiles_To_Draw(const Draw_Plan& plan, const Frame_View& frame,
                                                                    Tile_Index first, Tile_Index last,
                                                                    bool exact) const {
    const Tile_Part whole{0, 0, Draw_Plan::TILE_PIXELS, Draw_Plan::TILE_PIXELS};
    std::vector<Tile_Drawn> drawn, ahead, mended;
    for (const Planned_Tile& tile : plan.Get_Tiles()) {
        bool visible = Inside(tile.index, first, last);
        if (!visible && exact) continue;
        Tile_Part needed = visible ? Shown_Part(tile.index, frame) : whole;
        Tile_Part kept = exact ? NO_PART : tiles.Kept_Part(tile.index, tile.signature);
        Tile_Part before = exact || kept.Covers(needed) ? NO_PART : Kept_Before(plan, tile);
        if (kept.Covers(needed)) {
            if (!kept.Covers(whole))  // all it shows is kept, not all of it: finished when there is time
                ahead.push_back(Tile_Drawn{&tile, whole, whole, false});
        } else if (before.Covers(needed)) {
            Tile_Part changed = before.Common(Part_Of(tile.index, plan.Changes_Since(*previous, tile)));
            (visible ? mended : ahead).push_back(Tile_Drawn{&tile, changed, before, false});
        } else {
            (visible ? drawn : ahead).push_back(Tile_Drawn{&tile, needed, needed, kept.Empty()});
        }
    }
    bool busy = drawn.size() > static_cast<size_t>(AHEAD_PER_FRAME);
    for (Tile_Drawn& tile : drawn)
        if (!exact && !(busy && tile.changed)) tile.part = tile.kept = whole;
    std::sort(ahead.begin(), ahead.end(), [&](const Tile_Drawn& a, const Tile_Drawn& b) {
        return Distance(a.tile->index, first, last) < Distance(b.tile->index, first, last);
    });
    for (size_t i = 0; i < ahead.size() && drawn.size() < static_cast<size_t>(AHEAD_PER_FRAME); i++)
        drawn.push_back(ahead[i]);
    drawn.insert(drawn.end(), mended.begin(), mended.end());
    return drawn;
}

Tile_Part Frame_Painter::Kept_Before(const Draw_Plan& plan, const Planned_Tile& tile) const {
    if (!previous || previous->Get_Frame_Signature() != plan.Get_Frame_Signature()) return NO_PART;
    const Planned_Tile* was = previous->Find_Tile(tile.index);
    return was ? tiles.Kept_Part(tile.index, was->signature) : NO_PART;
}

void Frame_Painter::Show_Tiles(const std::vector<Tile_Index>& shown, const Frame_View& frame) {
    Shader* compose = shader_manager->Get_Shader(COMPOSE_SHADER_PATH);
    Usable_Or_Reported(frame.log, compose, COMPOSE_FAILURE, COMPOSE_CONSEQUENCE);
    std::vector<Vec2D> origins;
    for (Tile_Index tile : shown) origins.push_back(Origin_On_Target(tile, frame));
    tiles.Show(shown, origins, compose);
}

// Objects in list order; lit ones are depth-tested among themselves, and a
// fragment whose colour is as good as clear stores neither colour nor depth.
// Only the fast path keeps what it drew: a frame of the reference path shows
// nothing drawn before it, and the two are compared.
void Frame_Painter::Paint_Tile(const Draw_Plan& plan, const Tile_Drawn& drawn, const Frame_View& frame,
                               Shader* lighting, bool exact) {
    const Planned_Tile& tile = *drawn.tile;
    if (!exact) tiles.Keep(tile.index, tile.signature, drawn.kept);
    if (drawn.part.Empty()) return;
    tiles.Begin_Tile(tile.index, drawn.part);
    slot_corner = tiles.Slot_Corner(tile.index);
    glAlphaFunc(GL_GREATER, MAX_DROPPED_ALPHA / 255.0f);
    glEnable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    // Colour images are premultiplied: their colour already carries the coverage.
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glBlendEquation(GL_FUNC_ADD);
    glDepthFunc(GL_LESS);
    glDepthMask(GL_TRUE);
    Rect area = Draw_Plan::Tile_Area(tile.index);
    Vec2D origin(area.left, area.top);
    // What lies wholly outside the part drawn adds nothing to it.
    Rect part{area.left + drawn.part.left, area.top + drawn.part.top, area.left + drawn.part.right,
              area.top + drawn.part.bottom};
    for (const auto& [o, c] : tile.cells) {
        const Planned_Object& object = plan.Get_Objects()[o];
        if (!Overlaps(object.area, part))
            continue;
        else if (!object.complex)
            Draw_Sprite(object, origin, frame);
        else if (!lighting)
            Draw_Unlit(object, origin);
        else
            Draw_Lit(object, object.cells[c], origin, frame, lighting, exact);
    }
    glDisable(GL_ALPHA_TEST);
}

void Frame_Painter::Draw_Lit(const Planned_Object& object, const Cell& cell, Vec2D origin, const Frame_View& frame,
                             Shader* lighting, bool exact) {
    glEnable(GL_DEPTH_TEST);
    Shader* program = exact ? Prepared(lighting, frame) : Variant_For(cell, frame, lighting);
    Set_Object_Uniforms(program, object, origin, frame);
    Set_Point_Lights(program, cell.lights);
    Draw_Quad(Moved(object.area, origin));
    glActiveTexture(GL_TEXTURE0);
    glDisable(GL_DEPTH_TEST);
    Shader::Clear();
}

// Its colour image over the quad the lit path fills, as a plain sprite is drawn:
// no depth is stored, so list order alone decides what lies in front.
void Frame_Painter::Draw_Unlit(const Planned_Object& object, Vec2D origin) {
    Rect area = Moved(object.area, origin);
    const Vec2D corners[4] = {Vec2D(area.left, area.top), Vec2D(area.left, area.bottom),
                              Vec2D(area.right, area.bottom), Vec2D(area.right, area.top)};
    Draw_Image_Quad(object.complex->Get_Actual_Bit(), al_map_rgb(255, 255, 255), corners,
                    object.placed.Frame_Texture());
}

// As the graphics library draws it: its image scaled, then turned about its
// pivot, which lands at its position; tinted, and flipped as its flags say.
void Frame_Painter::Draw_Sprite(const Planned_Object& planned, Vec2D origin, const Frame_View& frame) {
    VObject* object = planned.object;
    ALLEGRO_BITMAP* image = object->Get_Actual_Bit();
    float f = frame.pixels_per_unit;
    float width = static_cast<float>(al_get_bitmap_width(image)), height = static_cast<float>(al_get_bitmap_height(image));
    float scale_x = f * object->Get_W() / width, scale_y = f * object->Get_H() / height;
    Vec2D pivot(f * object->Get_X() + frame.sprite_offset.x - origin.x,
                f * object->Get_Y() + frame.sprite_offset.y - origin.y);
    float c = std::cos(object->Get_Angle()), s = std::sin(object->Get_Angle());
    const Vec2D image_corners[4] = {Vec2D(0.0f, 0.0f), Vec2D(0.0f, height), Vec2D(width, height), Vec2D(width, 0.0f)};
    Vec2D corners[4];
    for (int i = 0; i < 4; i++) {
        float x = (image_corners[i].x - object->Get_CX()) * scale_x;
        float y = (image_corners[i].y - object->Get_CY()) * scale_y;
        corners[i] = Vec2D(pivot.x + c * x - s * y, pivot.y + s * x + c * y);
    }
    bool flip_x = object->Get_Flags() & ALLEGRO_FLIP_HORIZONTAL, flip_y = object->Get_Flags() & ALLEGRO_FLIP_VERTICAL;
    Rect texture{flip_x ? 1.0f : 0.0f, flip_y ? 0.0f : 1.0f, flip_x ? 0.0f : 1.0f, flip_y ? 1.0f : 0.0f};
    Draw_Image_Quad(image, object->Get_Tint(), corners, texture);
}

Shader* Frame_Painter::Prepared(Shader* program, const Frame_View& frame) {
    program->Apply();
    if (prepared_programs.insert(program).second) Set_Frame_Uniforms(program, frame);
    return program;
}

// The smallest variant that holds the cell's lights, marching only where a
// caster may shade it; the exact program where a variant didn't build, which
// the cell's own lights list keeps exact.
Shader* Frame_Painter::Variant_For(const Cell& cell, const Frame_View& frame, Shader* lighting) {
    Shader* variant = shader_manager->Get_Shader(LIGHTING_SHADER_PATH, Lit_Defines(cell));
    if (!Usable_Or_Reported(frame.log, variant, VARIANT_FAILURE, VARIANT_CONSEQUENCE)) variant = lighting;
    return Prepared(variant, frame);
}

void Frame_Painter::Set_Frame_Uniforms(Shader* lighting, const Frame_View& frame) {
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
    lighting->Set_Float("shadow_steps", static_cast<float>(MARCH_RULES.steps));
    lighting->Set_Float("alpha_cutoff", MAX_DROPPED_ALPHA / 255.0f);
    lighting->Set_Float("screen_w", shadow_map.Get_Extent());
    lighting->Set_Float("screen_h", shadow_map.Get_Extent());
}

// Binds the object's images and sets what the lighting program needs to place
// its pixels, all in the world's picture: nothing depends on the view.
void Frame_Painter::Set_Object_Uniforms(Shader* lighting, const Planned_Object& object, Vec2D origin,
                                        const Frame_View& frame) {
    Camera* camera = frame.camera;
    const Placement& placed = object.placed;
    VObject_Complex* complex = object.complex;
    lighting->Set_Texture("texture", 0, complex->Get_Actual_Bit());
    if (frame.debug_flags & DEBUG_NORMALS) lighting->Set_Texture("texture", 0, complex->Get_Actual_Bit_Normal());
    lighting->Set_Texture("texture_normal", 1, complex->Get_Actual_Bit_Normal());
    lighting->Set_Texture("texture_shadow_map", 2, shadow_map.Get_Bitmap());
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
    lighting->Set_Float("obj_sw", frame.pixels_per_unit * placed.image_w);
    lighting->Set_Float("obj_sh", frame.pixels_per_unit * placed.image_h);
    Set_Sheet_Uniforms(lighting, placed);
    lighting->Set_Float("screen_x", placed.quad.x);
    lighting->Set_Float("screen_y", placed.quad.y);
    lighting->Set_Float("picture_origin_x", origin.x - slot_corner.x);
    lighting->Set_Float("picture_origin_y", origin.y + Draw_Plan::TILE_PIXELS + slot_corner.y);
    lighting->Set_Float("quad_left", object.area.left);
    lighting->Set_Float("quad_top", object.area.top);
    lighting->Set_Float("quad_width", object.area.right - object.area.left);
    lighting->Set_Float("quad_height", object.area.bottom - object.area.top);
}

void Frame_Painter::Visible_Tiles(const Frame_View& frame, Tile_Index* first, Tile_Index* last) const {
    const float tile = static_cast<float>(Draw_Plan::TILE_PIXELS);
    *first = Tile_Index{static_cast<int>(std::floor(frame.view.x / tile)), static_cast<int>(std::floor(frame.view.y / tile))};
    *last = Tile_Index{static_cast<int>(std::floor((frame.view.x + frame.output.x - 1.0f) / tile)),
                       static_cast<int>(std::floor((frame.view.y + frame.output.y - 1.0f) / tile))};
}

Tile_Part Frame_Painter::Shown_Part(Tile_Index tile, const Frame_View& frame) const {
    return Part_Of(tile, Rect{frame.view.x, frame.view.y, frame.view.x + frame.output.x, frame.view.y + frame.output.y});
}

Tile_Part Frame_Painter::Part_Of(Tile_Index tile, const Rect& area) {
    if (Is_Empty(area)) return NO_PART;
    Rect tile_area = Draw_Plan::Tile_Area(tile);
    const float size = static_cast<float>(Draw_Plan::TILE_PIXELS);
    auto within = [size](float pixel) { return static_cast<int>(std::clamp(pixel, 0.0f, size)); };
    return Tile_Part{within(std::floor(area.left - tile_area.left)), within(std::floor(area.top - tile_area.top)),
                     within(std::ceil(area.right - tile_area.left)), within(std::ceil(area.bottom - tile_area.top))};
}

Vec2D Frame_Painter::Origin_On_Target(Tile_Index tile, const Frame_View& frame) const {
    Rect area = Draw_Plan::Tile_Area(tile);
    return Vec2D(area.left - frame.view.x, area.top - frame.view.y);
}

}  // namespace Kelvane
