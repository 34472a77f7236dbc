#include "render/draw_plan.h"

#include <algorithm>  // Required for: std::max(), std::min()
#include <cmath>      // Required for: std::ceil(), std::floor(), std::sqrt()

#include "render/vobject_complex.h"
#include "world/camera.h"
#include "world/light.h"

namespace Kelvane {

namespace {

// Rounding of positions in the lighting program: a light this much beyond a
// cell's box, or a caster this much beyond a march's reach, is surely out.
const float WORLD_SLACK = 1.0f;

// A projection-space box around every surface point the lighting program can
// rebuild from a part of an object's quad, heights up to its full height.
struct Box {
    float low[3];
    float high[3];
};

Box Cell_Box(const Placement& placed, Camera* camera, const Cell& cell) {
    float hf = camera->Get_Height_Factor();
    float pf = camera->Get_Projection_Factor();
    float rise = placed.tall * placed.scale;
    float along_low = cell.s0 * placed.image_w * placed.scale;
    float along_high = cell.s1 * placed.image_w * placed.scale;
    float across_low = cell.v0 * placed.image_h * placed.scale / pf;
    float across_high = (cell.v1 * placed.image_h * placed.scale + hf * rise) / pf;
    return Box{{placed.corner.x + along_low - across_high, placed.corner.y + along_low + across_low, placed.z},
               {placed.corner.x + along_high - across_low, placed.corner.y + along_high + across_high,
                placed.z + rise}};
}

float Gap(float value, float low, float high) {
    if (value < low) return low - value;
    if (value > high) return value - high;
    return 0.0f;
}

// The fall-off is 0 from the range on, so a light farther than that from every
// point of the box adds nothing there; a light of no range adds nothing anywhere.
bool Reaches(Light* light, const Box& box) {
    if (!(light->Get_Range() > 0.0f)) return false;
    double gaps[3] = {Gap(light->Get_X(), box.low[0], box.high[0]), Gap(light->Get_Y(), box.low[1], box.high[1]),
                      Gap(light->Get_Z(), box.low[2], box.high[2])};
    double reach = static_cast<double>(light->Get_Range()) + WORLD_SLACK;
    return gaps[0] * gaps[0] + gaps[1] * gaps[1] + gaps[2] * gaps[2] < reach * reach;
}

std::vector<Light*> Reaching_Lights(std::list<Light*>* lights, const Box& box) {
    std::vector<Light*> reaching;
    for (Light* light : *lights) {
        if (reaching.size() == static_cast<size_t>(Draw_Plan::MAX_POINT_LIGHTS)) break;
        if (Reaches(light, box)) reaching.push_back(light);
    }
    return reaching;
}

// Whether the segment from the origin to `end` meets the rectangle (slab clipping).
bool Segment_Meets(Vec2D end, const Rect& rect) {
    float enter = 0.0f;
    float leave = 1.0f;
    const float starts[2] = {0.0f, 0.0f};
    const float steps[2] = {end.x, end.y};
    const float lows[2] = {rect.left, rect.top};
    const float highs[2] = {rect.right, rect.bottom};
    for (int axis = 0; axis < 2; axis++) {
        if (steps[axis] == 0.0f) {
            if (starts[axis] < lows[axis] || starts[axis] > highs[axis]) return false;
            continue;
        }
        float a = (lows[axis] - starts[axis]) / steps[axis];
        float b = (highs[axis] - starts[axis]) / steps[axis];
        enter = std::max(enter, std::min(a, b));
        leave = std::min(leave, std::max(a, b));
    }
    return enter <= leave;
}

float Top_Of(const Placement& placed) {
    return placed.z + placed.tall * placed.scale;
}

// The shadow map keeps heights in steps of segment / 255 units per channel: a
// decoded height reads at most half a step above the caster's.
float Caster_Rounding(const March_Rules& rules) {
    return 0.5f * rules.segment / 255.0f;
}

}  // namespace

Draw_Plan::Draw_Plan(Camera* camera, Vec2D proj_offset, Light* directional, const March_Rules& rules,
                     Vec2D pixels_per_unit, Rect output, Vec2D map_texel)
    : camera(camera), proj_offset(proj_offset), directional(directional), rules(rules),
      pixels_per_unit(pixels_per_unit), output(output), map_texel(map_texel) {}

void Draw_Plan::Plan_Casters(std::list<VObject*>* objects) {
    casters.clear();
    for (VObject* object : *objects) {
        VObject_Complex* complex = VObject_Complex::Drawn(object);
        if (!complex) continue;
        if (!complex->Get_Actual_Bit_Shadow()) continue;
        Placement placed = Placement::Of(complex, camera, proj_offset);
        // A ray never starts below the floor: a caster no higher than the bias shades nothing.
        if (Top_Of(placed) + Caster_Rounding(rules) <= rules.bias) continue;
        Vec2D corner = placed.Shadow_Quad(complex, camera, proj_offset, directional, rules.shift);
        casters.push_back(Caster{complex, placed.Area(corner, Vec2D(1.0f, 1.0f)), Top_Of(placed)});
    }
}

void Draw_Plan::Plan_Objects(std::list<VObject*>* objects, std::list<Light*>* lights) {
    planned.clear();
    for (VObject* object : *objects) {
        VObject_Complex* complex = VObject_Complex::Drawn(object);
        if (!complex) continue;
        Placement placed = Placement::Of(complex, camera, proj_offset);
        planned.push_back(Planned_Object{complex, placed, placed.Area(placed.quad, pixels_per_unit), {}});
    }
    for (Planned_Object& object : planned) Cut_Into_Cells(object, lights);
}

void Draw_Plan::Cut_Into_Cells(Planned_Object& object, std::list<Light*>* lights) const {
    const Rect& quad = object.area;
    Rect shown{std::max(quad.left, output.left), std::max(quad.top, output.top), std::min(quad.right, output.right),
               std::min(quad.bottom, output.bottom)};
    if (!(shown.left < shown.right && shown.top < shown.bottom)) return;
    // Cells are squares of one grid over the output, so every pixel lies in exactly one.
    int first_column = static_cast<int>(std::floor(shown.left / CELL_PIXELS));
    int last_column = static_cast<int>(std::ceil(shown.right / CELL_PIXELS));
    int first_row = static_cast<int>(std::floor(shown.top / CELL_PIXELS));
    int last_row = static_cast<int>(std::ceil(shown.bottom / CELL_PIXELS));
    float width = quad.right - quad.left;
    float height = quad.bottom - quad.top;
    for (int row = first_row; row < last_row; row++) {
        for (int column = first_column; column < last_column; column++) {
            Cell cell;
            cell.area = Rect{static_cast<float>(column * CELL_PIXELS), static_cast<float>(row * CELL_PIXELS),
                             static_cast<float>((column + 1) * CELL_PIXELS), static_cast<float>((row + 1) * CELL_PIXELS)};
            // The part of the image the cell shows, as fractions of its width and height.
            cell.s0 = std::max(0.0f, (cell.area.left - quad.left) / width);
            cell.s1 = std::min(1.0f, (cell.area.right - quad.left) / width);
            cell.v0 = std::max(0.0f, (cell.area.top - quad.top) / height);
            cell.v1 = std::min(1.0f, (cell.area.bottom - quad.top) / height);
            cell.lights = Reaching_Lights(lights, Cell_Box(object.placed, camera, cell));
            cell.march = May_Be_Shaded(object.placed, cell);
            object.cells.push_back(cell);
        }
    }
}

bool Draw_Plan::May_Be_Shaded(const Placement& placed, const Cell& cell) const {
    float length = std::sqrt(directional->Get_X() * directional->Get_X() + directional->Get_Y() * directional->Get_Y() +
                             directional->Get_Z() * directional->Get_Z());
    // A sun below the horizon would let rays sink: nothing can be ruled out.
    if (!(directional->Get_Z() >= 0.0f) || !(length > 0.0f)) return true;
    float hf = camera->Get_Height_Factor();
    float rise = placed.tall * placed.scale;
    float lowest_start = std::max(0.0f, placed.z - rules.offset);
    float shift_length = rules.shift * (1.0f - directional->Get_Z()) * placed.tall * hf * placed.scale;
    Vec2D shift = camera->Proj_To_Screen(directional->Get_X() * shift_length, directional->Get_Y() * shift_length, 0.0f);
    float spread = rules.offset + WORLD_SLACK;
    Rect starts{placed.quad.x + cell.s0 * placed.size.x + shift.x - spread,
                placed.quad.y + cell.v0 * placed.size.y + hf * placed.z + shift.y - spread,
                placed.quad.x + cell.s1 * placed.size.x + shift.x + spread,
                placed.quad.y + cell.v1 * placed.size.y + hf * (placed.z + rise) + shift.y + spread};
    float reach = rules.reach + WORLD_SLACK;
    Vec2D sweep =
        camera->Proj_To_Screen(directional->Get_X() / length * reach, directional->Get_Y() / length * reach, 0.0f);
    for (const Caster& caster : casters) {
        if (caster.top + Caster_Rounding(rules) <= lowest_start + rules.bias) continue;
        // The march reads the map's nearest pixel: a caster shows up to one map pixel beyond its quad.
        Rect reachable{caster.area.left - map_texel.x - starts.right, caster.area.top - map_texel.y - starts.bottom,
                       caster.area.right + map_texel.x - starts.left, caster.area.bottom + map_texel.y - starts.top};
        if (Segment_Meets(sweep, reachable)) return true;
    }
    return false;
}

}  // namespace Kelvane
