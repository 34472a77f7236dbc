#include "render/draw_plan.h"

#include <allegro5/allegro.h>  // Required for: ALLEGRO_COLOR, al_get_bitmap_width(), al_get_bitmap_height()

#include <algorithm>  // Required for: std::max(), std::min(), std::remove_if()
#include <cmath>      // Required for: std::ceil(), std::floor(), std::sqrt(), std::fabs()

#include "render/signature.h"
#include "render/vobject_complex.h"
#include "world/camera.h"
#include "world/light.h"

namespace Kelvane {

namespace {

// Rounding of positions in the lighting program: a light this much beyond a
// cell's box, or a caster this much beyond a march's reach, is surely out.
const float WORLD_SLACK = 1.0f;
// The march reads the map's nearest texel, so a caster shows up to a texel
// beyond its quad; the renderer keeps texels no larger than this (screen units).
const float MAP_TEXEL_SLACK = 4.0f;

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

// The part of the segment from the origin to `end` inside the rectangle, as
// fractions of the segment (slab clipping); false when it misses.
bool Segment_Span(Vec2D end, const Rect& rect, float* enter, float* leave) {
    *enter = 0.0f;
    *leave = 1.0f;
    const float steps[2] = {end.x, end.y};
    const float lows[2] = {rect.left, rect.top};
    const float highs[2] = {rect.right, rect.bottom};
    for (int axis = 0; axis < 2; axis++) {
        if (steps[axis] == 0.0f) {
            if (0.0f < lows[axis] || 0.0f > highs[axis]) return false;
            continue;
        }
        float a = lows[axis] / steps[axis];
        float b = highs[axis] / steps[axis];
        *enter = std::max(*enter, std::min(a, b));
        *leave = std::min(*leave, std::max(a, b));
    }
    return *enter <= *leave;
}

// The steps whose reads may lie between `from` and `to` along the ray (world
// units): step i reads between reach x ((i - 1) / steps)^2 and reach x (i / steps)^2.
void Steps_Between(const March_Rules& rules, float from, float to, Cell& cell) {
    float n = static_cast<float>(rules.steps);
    cell.first_step = std::max(1, static_cast<int>(std::ceil(n * std::sqrt(std::max(from, 0.0f) / rules.reach))));
    cell.last_step =
        std::min(rules.steps, static_cast<int>(std::floor(n * std::sqrt(std::max(to, 0.0f) / rules.reach))) + 1);
}

float Top_Of(const Placement& placed) {
    return placed.z + placed.tall * placed.scale;
}

// The shadow map keeps heights in steps of segment / 255 units per channel: a
// decoded height reads at most half a step above the caster's.
float Caster_Rounding(const March_Rules& rules) {
    return 0.5f * rules.segment / 255.0f;
}

// A plain sprite is its image scaled, then turned about its pivot, which lands
// at its position (plus the renderer's offset): the box around every turn.
Rect Sprite_Area(VObject* object, float pixels_per_unit, Vec2D offset) {
    ALLEGRO_BITMAP* image = object->Get_Actual_Bit();
    float pivot_x = object->Get_CX() * object->Get_W() / al_get_bitmap_width(image);
    float pivot_y = object->Get_CY() * object->Get_H() / al_get_bitmap_height(image);
    float reach = std::hypot(std::max(std::fabs(pivot_x), std::fabs(object->Get_W() - pivot_x)),
                             std::max(std::fabs(pivot_y), std::fabs(object->Get_H() - pivot_y)));
    return Rect{(object->Get_X() - reach) * pixels_per_unit + offset.x,
                (object->Get_Y() - reach) * pixels_per_unit + offset.y,
                (object->Get_X() + reach) * pixels_per_unit + offset.x,
                (object->Get_Y() + reach) * pixels_per_unit + offset.y};
}

void Add_Placement(Signature& signature, const Placement& placed) {
    signature.Add(placed.corner.x).Add(placed.corner.y).Add(placed.z).Add(placed.scale);
    signature.Add(placed.image_w).Add(placed.image_h).Add(placed.frame_origin.x).Add(placed.frame_origin.y);
    signature.Add(placed.tall);
}

void Add_Light(Signature& signature, Light* light) {
    signature.Add(light->Get_X()).Add(light->Get_Y()).Add(light->Get_Z());
    signature.Add(light->Get_R()).Add(light->Get_G()).Add(light->Get_B()).Add(light->Get_Range());
}

void Add_Colour(Signature& signature, ALLEGRO_COLOR colour) {
    signature.Add(colour.r).Add(colour.g).Add(colour.b).Add(colour.a);
}

}  // namespace

Draw_Plan::Draw_Plan(Camera* camera, Light* directional, const March_Rules& rules, float pixels_per_unit,
                     Vec2D sprite_offset, Tile_Index first, Tile_Index last, bool exact)
    : camera(camera), directional(directional), rules(rules), pixels_per_unit(pixels_per_unit),
      sprite_offset(sprite_offset), first(first), last(last), exact(exact), sinking(true), sweep(0.0f, 0.0f),
      climb(0.0f), reads{0.0f, 0.0f, -1.0f, -1.0f} {
    float length = std::sqrt(directional->Get_X() * directional->Get_X() + directional->Get_Y() * directional->Get_Y() +
                             directional->Get_Z() * directional->Get_Z());
    sinking = !(directional->Get_Z() >= 0.0f) || !(length > 0.0f);
    if (sinking) return;
    float reach = rules.reach + WORLD_SLACK;
    sweep = camera->Proj_To_Screen(directional->Get_X() / length * reach, directional->Get_Y() / length * reach, 0.0f);
    climb = directional->Get_Z() / length;
}

Rect Draw_Plan::Tile_Area(Tile_Index tile) {
    return Rect{static_cast<float>(tile.column * TILE_PIXELS), static_cast<float>(tile.row * TILE_PIXELS),
                static_cast<float>((tile.column + 1) * TILE_PIXELS), static_cast<float>((tile.row + 1) * TILE_PIXELS)};
}

void Draw_Plan::Plan(std::list<VObject*>* objects, std::list<Light*>* lights) {
    Plan_Objects(objects, lights);
    Keep_Read_Casters();
    for (Planned_Object& object : planned)
        if (object.complex)
            for (Cell& cell : object.cells) Plan_March(cell);
    Gather_Tiles();
}

void Draw_Plan::Plan_Objects(std::list<VObject*>* objects, std::list<Light*>* lights) {
    planned.clear();
    casters.clear();
    Rect planned_area = Union(Tile_Area(first), Tile_Area(last));
    Vec2D per_unit(pixels_per_unit, pixels_per_unit);
    for (VObject* object : *objects) {
        if (VObject_Complex* complex = VObject_Complex::Drawn(object)) {
            Placement placed = Placement::Of(complex, camera, Vec2D(0.0f, 0.0f));
            Add_Caster(complex, placed);
            Rect area = placed.Area(placed.quad, per_unit);
            if (Overlaps(area, planned_area)) planned.push_back(Planned_Object{object, complex, placed, area, {}});
        } else if (object->Is_Visible() && object->Get_Type() == VOBJECT_TYPE_SPRITE) {
            Rect area = Sprite_Area(object, pixels_per_unit, sprite_offset);
            if (Overlaps(area, planned_area)) planned.push_back(Planned_Object{object, nullptr, Placement(), area, {}});
        }
    }
    for (Planned_Object& object : planned) Cut_Into_Cells(object, lights);
}

void Draw_Plan::Add_Caster(VObject_Complex* complex, const Placement& placed) {
    if (!complex->Get_Actual_Bit_Shadow()) return;
    // A ray never starts below the floor: a caster no higher than the bias shades nothing.
    if (!exact && Top_Of(placed) + Caster_Rounding(rules) <= rules.bias) return;
    Vec2D corner = placed.Shadow_Quad(complex, camera, Vec2D(0.0f, 0.0f), directional, rules.shift);
    casters.push_back(Caster{complex, placed, placed.Area(corner, Vec2D(1.0f, 1.0f)), Top_Of(placed), 0});
}

void Draw_Plan::Keep_Read_Casters() {
    // The march reads a texel's worth beyond a sprite at most.
    casters.erase(std::remove_if(casters.begin(), casters.end(),
                                 [this](const Caster& caster) {
                                     return !Overlaps(Grown(caster.area, MAP_TEXEL_SLACK), reads);
                                 }),
                  casters.end());
    for (Caster& caster : casters) {
        Signature signature;
        signature.Add(caster.object).Add(caster.object->Get_Actual_Bit_Shadow());
        signature.Add(caster.area.left).Add(caster.area.top);
        Add_Placement(signature, caster.placed);
        caster.signature = signature.Value();
    }
}

void Draw_Plan::Cut_Into_Cells(Planned_Object& object, std::list<Light*>* lights) {
    const Rect& quad = object.area;
    int first_column = std::max(first.column, static_cast<int>(std::floor(quad.left / TILE_PIXELS)));
    int last_column = std::min(last.column, static_cast<int>(std::ceil(quad.right / TILE_PIXELS)) - 1);
    int first_row = std::max(first.row, static_cast<int>(std::floor(quad.top / TILE_PIXELS)));
    int last_row = std::min(last.row, static_cast<int>(std::ceil(quad.bottom / TILE_PIXELS)) - 1);
    float width = quad.right - quad.left;
    float height = quad.bottom - quad.top;
    for (int row = first_row; row <= last_row; row++) {
        for (int column = first_column; column <= last_column; column++) {
            Cell cell;
            cell.tile = Tile_Index{column, row};
            Rect area = Tile_Area(cell.tile);
            // The part of the frame the cell shows, as fractions of its width and height.
            cell.s0 = std::max(0.0f, (area.left - quad.left) / width);
            cell.s1 = std::min(1.0f, (area.right - quad.left) / width);
            cell.v0 = std::max(0.0f, (area.top - quad.top) / height);
            cell.v1 = std::min(1.0f, (area.bottom - quad.top) / height);
            cell.first_step = 1;
            cell.last_step = 0;
            cell.ray_starts = Rect{0.0f, 0.0f, -1.0f, -1.0f};
            cell.lowest_start = 0.0f;
            if (object.complex) {
                cell.lights = Cell_Lights(object.placed, cell, lights);
                Plan_Rays(object.placed, cell);
            }
            object.cells.push_back(cell);
        }
    }
}

std::vector<Light*> Draw_Plan::Cell_Lights(const Placement& placed, const Cell& cell,
                                           std::list<Light*>* lights) const {
    Box box = Cell_Box(placed, camera, cell);
    std::vector<Light*> reaching;
    for (Light* light : *lights) {
        if (reaching.size() == static_cast<size_t>(MAX_POINT_LIGHTS)) break;
        if (exact || Reaches(light, box)) reaching.push_back(light);
    }
    return reaching;
}

void Draw_Plan::Plan_Rays(const Placement& placed, Cell& cell) {
    float hf = camera->Get_Height_Factor();
    float rise = placed.tall * placed.scale;
    float shift_length = rules.shift * (1.0f - directional->Get_Z()) * placed.tall * hf * placed.scale;
    Vec2D shift = camera->Proj_To_Screen(directional->Get_X() * shift_length, directional->Get_Y() * shift_length, 0.0f);
    float spread = rules.offset + WORLD_SLACK;
    cell.ray_starts = Rect{placed.quad.x + cell.s0 * placed.size.x + shift.x - spread,
                           placed.quad.y + cell.v0 * placed.size.y + hf * placed.z + shift.y - spread,
                           placed.quad.x + cell.s1 * placed.size.x + shift.x + spread,
                           placed.quad.y + cell.v1 * placed.size.y + hf * (placed.z + rise) + shift.y + spread};
    cell.lowest_start = std::max(0.0f, placed.z - rules.offset);
    const Rect& starts = cell.ray_starts;
    Rect swept = Union(starts, Rect{starts.left + sweep.x, starts.top + sweep.y, starts.right + sweep.x,
                                    starts.bottom + sweep.y});
    reads = Union(reads, Grown(swept, sinking ? rules.reach + WORLD_SLACK : MAP_TEXEL_SLACK));
}

void Draw_Plan::Plan_March(Cell& cell) const {
    // How far along the ray each caster can be met: where the ray's reads cross
    // its sprite, and below the height from which the ray passes over it.
    const Rect& starts = cell.ray_starts;
    float reach = rules.reach + WORLD_SLACK;
    float from = reach, to = 0.0f;
    for (size_t i = 0; i < casters.size(); i++) {
        const Caster& caster = casters[i];
        float clearance = caster.top + Caster_Rounding(rules) - cell.lowest_start - rules.bias;
        if (!sinking && clearance <= 0.0f) continue;
        Rect area = Grown(caster.area, MAP_TEXEL_SLACK);
        Rect reachable{area.left - starts.right, area.top - starts.bottom, area.right - starts.left,
                       area.bottom - starts.top};
        float enter = 0.0f, leave = 1.0f;
        if (!sinking && !Segment_Span(sweep, reachable, &enter, &leave)) continue;
        cell.casters.push_back(static_cast<int>(i));
        from = std::min(from, enter * reach);
        to = std::max(to, climb > 0.0f ? std::min(leave * reach, clearance / climb) : leave * reach);
    }
    if (exact || sinking)
        Steps_Between(rules, 0.0f, rules.reach, cell);
    else if (!cell.casters.empty())
        Steps_Between(rules, from - WORLD_SLACK, to + WORLD_SLACK, cell);
}

void Draw_Plan::Gather_Tiles() {
    std::map<Tile_Index, Planned_Tile> gathered;
    for (size_t o = 0; o < planned.size(); o++)
        for (size_t c = 0; c < planned[o].cells.size(); c++) {
            Planned_Tile& tile = gathered[planned[o].cells[c].tile];
            tile.index = planned[o].cells[c].tile;
            tile.cells.emplace_back(static_cast<int>(o), static_cast<int>(c));
        }
    tiles.clear();
    for (auto& entry : gathered) tiles.push_back(entry.second);
}

void Draw_Plan::Sign_Tiles(uint64_t frame) {
    for (Planned_Tile& tile : tiles) {
        Signature signature;
        signature.Add(frame).Add(tile.index.column).Add(tile.index.row);
        for (const auto& [o, c] : tile.cells) signature.Add(Cell_Signature(planned[o], planned[o].cells[c]));
        tile.signature = signature.Value();
    }
}

// Everything that decides the cell's pixels: the object and where and how it is
// drawn, the lights that reach it, and the casters that may shade it.
uint64_t Draw_Plan::Cell_Signature(const Planned_Object& object, const Cell& cell) const {
    Signature signature;
    VObject* drawn = object.object;
    signature.Add(drawn).Add(drawn->Get_Actual_Bit());
    if (!object.complex) {
        signature.Add(drawn->Get_X()).Add(drawn->Get_Y()).Add(drawn->Get_W()).Add(drawn->Get_H());
        signature.Add(drawn->Get_CX()).Add(drawn->Get_CY()).Add(drawn->Get_Angle()).Add(drawn->Get_Flags());
        Add_Colour(signature, drawn->Get_Tint());
        return signature.Value();
    }
    signature.Add(object.complex->Get_Actual_Bit_Normal());
    Add_Placement(signature, object.placed);
    for (Light* light : cell.lights) Add_Light(signature, light);
    for (int index : cell.casters) signature.Add(casters[index].signature);
    return signature.Value();
}

}  // namespace Kelvane
