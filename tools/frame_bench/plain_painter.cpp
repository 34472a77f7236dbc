#include "tools/frame_bench/plain_painter.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_opengl.h>  // Required for: the quads and their GL state

#include "core/common.h"  // Required for: MAX_DROPPED_ALPHA
#include "render/draw_plan.h"  // Required for: MARCH_RULES, the shadow sprites' shift
#include "render/placement.h"
#include "render/renderer.h"
#include "render/vobject_complex.h"
#include "render/world.h"
#include "resources/shader.h"

namespace Frame_Bench {

namespace {

const int SHADOW_MAP_SIZE = 2048;

// A quad of the part `texture` (t = 1 at the top) of the bound image over `area`.
void Quad(const Kelvane::Rect& area, const Kelvane::Rect& texture) {
    glBegin(GL_QUADS);
    glTexCoord2f(texture.left, texture.top), glVertex2f(area.left, area.top);
    glTexCoord2f(texture.left, texture.bottom), glVertex2f(area.left, area.bottom);
    glTexCoord2f(texture.right, texture.bottom), glVertex2f(area.right, area.bottom);
    glTexCoord2f(texture.right, texture.top), glVertex2f(area.right, area.top);
    glEnd();
}

}  // namespace

Plain_Painter::Plain_Painter(Kelvane::Shader* program, Kelvane::Renderer* renderer)
    : program(program), renderer(renderer), shadow_map(al_create_bitmap(SHADOW_MAP_SIZE, SHADOW_MAP_SIZE)) {}

Plain_Painter::~Plain_Painter() {
    if (shadow_map) al_destroy_bitmap(shadow_map);
}

void Plain_Painter::Paint(Kelvane::World* world) {
    renderer->Sort_Z_List(world->Get_Objects());
    ALLEGRO_BITMAP* target = al_get_target_bitmap();
    al_set_target_bitmap(shadow_map);
    al_clear_to_color(al_map_rgba(0, 0, 0, 0));
    Shadow_Pass(world);
    al_set_target_bitmap(target);
    Colour_Pass(world);
}

void Plain_Painter::Apply_Program() {
    program->Apply();
    program->Set_Float("alpha_cutoff", Kelvane::MAX_DROPPED_ALPHA / 255.0f);
}

void Plain_Painter::Shadow_Pass(Kelvane::World* world) {
    Kelvane::Camera* camera = world->Get_Camera();
    Vec2D offset = camera->Get_Projection_Offset();
    Apply_Program();
    for (Kelvane::VObject* object : *world->Get_Objects()) {
        Kelvane::VObject_Complex* caster = Kelvane::VObject_Complex::Drawn(object);
        if (!caster || !caster->Get_Actual_Bit_Shadow()) continue;
        Kelvane::Placement placed = Kelvane::Placement::Of(caster, camera, offset);
        Vec2D corner = placed.Shadow_Quad(caster, camera, offset, world->Get_Sun(), Kelvane::MARCH_RULES.shift);
        program->Set_Texture("texture", 0, caster->Get_Actual_Bit_Shadow());
        Quad(placed.Area(corner, Vec2D(1.0f, 1.0f)), placed.Frame_Texture());
    }
    Kelvane::Shader::Clear();
}

void Plain_Painter::Colour_Pass(Kelvane::World* world) {
    Kelvane::Camera* camera = world->Get_Camera();
    Vec2D offset = camera->Get_Projection_Offset();
    Vec2D per_unit(renderer->XtoRX(1.0f), renderer->YtoRY(1.0f));
    glClear(GL_DEPTH_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    for (Kelvane::VObject* object : *world->Get_Objects()) {
        Kelvane::VObject_Complex* complex = Kelvane::VObject_Complex::Drawn(object);
        if (!complex) {
            if (object->Is_Visible() && object->Get_Type() == Kelvane::VOBJECT_TYPE_SPRITE)
                al_draw_bitmap(object->Get_Actual_Bit(), renderer->XtoRX(object->Get_X() - camera->Get_X()),
                               renderer->YtoRY(object->Get_Y() - camera->Get_Y()), 0);
            continue;
        }
        Kelvane::Placement placed = Kelvane::Placement::Of(complex, camera, offset);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);  // every quad lies at one depth: list order decides
        Apply_Program();
        program->Set_Texture("texture", 0, complex->Get_Actual_Bit());
        Quad(placed.Area(placed.quad, per_unit), placed.Frame_Texture());
        Kelvane::Shader::Clear();
        glDepthFunc(GL_LESS);
        glDisable(GL_DEPTH_TEST);
    }
}

}  // namespace Frame_Bench
