#include "render/draw_plan.h"

#include <allegro5/allegro.h>  // Required for: ALLEGRO_COLOR, al_get_bitmap_width(), al_get_bitmap_height()

#include <algorithm>  // Required for: std::max(), std::min(), std::remove_if(), std::find(), std::lower_bound()
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
// Rounding of where the lighting program puts a pixel: a change is taken to
// reach this many output pixels beyond where it can.
const float PIXEL_SLACK = 2.0f;

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

Rect Scaled(const Rect& rect, float by) {
    if (Is_Empty(rect)) return rect;
    return Rect{rect.left * by, rect.top * by, rect.right * by, rect.bottom * by};
}

// How two sequences of distinct keys differ: the keys of the first that the
// second lacks, the keys of the second that the first lacks, and the places of
// the keys in both.
struct Key_Changes {
    std::vector<size_t> gone;
    std::vector<size_t> came;
    std::vector<std::pair<size_t, size_t>> stayed;
    bool in_order = true;  // the keys in both come in the same order in both
};

Key_Changes Compare_Keys(const std::vector<uint64_t>& was, const std::vector<uint64_t>& now) {
    Key_Changes changes;
    std::vector<bool> found(was.size(), false);
    for (size_t i = 0; i < now.size(); i++) {
        size_t at = static_cast<size_t>(std::find(was.begin(), was.end(), now[i]) - was.begin());
        if (at == was.size()) {
            changes.came.push_back(i);
            continue;
        }
        // A key met twice also puts them out of order: nothing is matched twice.
        if (!changes.stayed.empty() && at <= changes.stayed.back().first) changes.in_order = false;
        changes.stayed.emplace_back(at, i);
        found[at] = true;
    }
    for (size_t j = 0; j < was.size(); j++)
        if (!found[j]) changes.gone.push_back(j);
    return changes;
}

void Add_Placement(Signature& signature, const Placement& placed) {
    signature.Add(placed.corner.x).Add(placed.corner.y).Add(placed.z).Add(placed.scale);
    signature.Add(placed.image_w).Add(placed.image_h).Add(placed.frame_origin.x).Add(placed.frame_origin.y);
    signature.Add(placed.tall);
}

Light_State State_Of(Light* light) {
    Signature signature;
    signature.Add(light).Add(light->Get_X()).Add(light->Get_Y()).Add(light->Get_Z());
    signature.Add(light->Get_R()).Add(light->Get_G()).Add(light->Get_B()).Add(light->Get_Range());
    return Light_State{light->Get_X(), light->Get_Y(), light->Get_Z(), light->Get_Range(), signature.Value()};
}

void Add_Colour(Signature& signature, ALLEGRO_COLOR colour) {
    signature.Add(colour.r).Add(colour.g).Add(colour.b).Add(colour.a);
}

}  // namespace

Draw_Plan::Draw_Plan(Camera* camera, Light* directional, const March_Rules& rules, float pixels_per_unit,
                     Vec2D sprite_offset, Tile_Index first, Tile_Index last, bool exact)
    : camera(camera), directional(directional), rules(rules), pixels_per_unit(pixels_per_unit),
      sprite_offset(sprite_offset), first(first), last(last), exact(exact), sinking(true), sweep(0.0f, 0.0f),
      climb(0.0f), reads(NO_RECT) {
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
    light_states.clear();
    for (Light* light : *lights) light_states[light] = State_Of(light);
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
            if (Overlaps(area, planned_area)) planned.push_back(Planned_Object{object, complex, placed, area, {}, 0});
        } else if (object->Is_Visible() && object->Get_Type() == VOBJECT_TYPE_SPRITE) {
            Rect area = Sprite_Area(object, pixels_per_unit, sprite_offset);
            if (Overlaps(area, planned_area)) planned.push_back(Planned_Object{object, nullptr, Placement(), area, {}, 0});
        }
    }
    for (Planned_Object& object : planned) Cut_Into_Cells(object, lights);
}

void Draw_Plan::Add_Caster(VObject_Complex* complex, const Placement& placed) {
    if (!complex->Get_Actual_Bit_Shadow()) return;
    // A ray never starts below the floor: a caster no higher than the bias shades nothing.
    if (!exact && Top_Of(placed) + Caster_Rounding(rules) <= rules.bias) return;
    Vec2D corner = placed.Shadow_Quad(complex, camera, Vec2D(0.0f, 0.0f), directional, rules.shift);
    Rect area = placed.Area(corner, Vec2D(1.0f, 1.0f));
    Rect casting = area;
    // Nor, when its base is, do the sprite's pixels that hold no height: only its
    // raised footprint shades, for a standing object the bottom of its quad.
    if (!exact && placed.z + Caster_Rounding(rules) <= rules.bias) {
        Pixel_Box raised = complex->Get_Raised_Footprint();
        if (raised.Empty()) return;
        // A sprite pixel more on each side: a filtered sprite blends its neighbours.
        casting = Intersection(area, Rect{area.left + (raised.left - 1) * placed.scale,
                                          area.top + (raised.top - 1) * placed.scale,
                                          area.left + (raised.right + 1) * placed.scale,
                                          area.top + (raised.bottom + 1) * placed.scale});
    }
    casters.push_back(Caster{complex, placed, area, casting, Top_Of(placed), 0});
}

void Draw_Plan::Keep_Read_Casters() {
    // The march reads a texel's worth beyond a sprite at most.
    casters.erase(std::remove_if(casters.begin(), casters.end(),
                                 [this](const Caster& caster) {
                                     return !Overlaps(Grown(caster.casting, MAP_TEXEL_SLACK), reads);
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
            cell.ray_starts = NO_RECT;
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
    cell.ray_starts = Ray_Starts(placed, Rect{placed.quad.x + cell.s0 * placed.size.x, placed.quad.y + cell.v0 * placed.size.y,
                                              placed.quad.x + cell.s1 * placed.size.x, placed.quad.y + cell.v1 * placed.size.y});
    cell.lowest_start = std::max(0.0f, placed.z - rules.offset);
    const Rect& starts = cell.ray_starts;
    Rect swept = Union(starts, Rect{starts.left + sweep.x, starts.top + sweep.y, starts.right + sweep.x,
                                    starts.bottom + sweep.y});
    reads = Union(reads, Grown(swept, sinking ? rules.reach + WORLD_SLACK : MAP_TEXEL_SLACK));
}

// A pixel's ray starts off its floor point by the height of the surface it
// shows, by at most the offset off the surface, and by the shift of the
// object's own shadow sprite, which the lighting program undoes.
Rect Draw_Plan::Ray_Starts(const Placement& placed, const Rect& pixels) const {
    float hf = camera->Get_Height_Factor();
    float rise = placed.tall * placed.scale;
    float shift_length = rules.shift * (1.0f - directional->Get_Z()) * placed.tall * hf * placed.scale;
    Vec2D shift = camera->Proj_To_Screen(directional->Get_X() * shift_length, directional->Get_Y() * shift_length, 0.0f);
    float spread = rules.offset + WORLD_SLACK;
    return Rect{pixels.left + shift.x - spread, pixels.top + hf * placed.z + shift.y - spread,
                pixels.right + shift.x + spread, pixels.bottom + hf * (placed.z + rise) + shift.y + spread};
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
        Rect area = Grown(caster.casting, MAP_TEXEL_SLACK);
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
    frame_signature = frame;
    for (Planned_Object& object : planned) object.signature = Object_Signature(object);
    for (Planned_Tile& tile : tiles) {
        Signature signature;
        signature.Add(frame).Add(tile.index.column).Add(tile.index.row);
        for (const auto& [o, c] : tile.cells) signature.Add(Cell_Signature(planned[o], planned[o].cells[c]));
        tile.signature = signature.Value();
    }
}

// The object and where and how it is drawn.
uint64_t Draw_Plan::Object_Signature(const Planned_Object& object) const {
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
    return signature.Value();
}

// Everything that decides the cell's pixels: the object, the lights that
// reach it, and the casters that may shade it.
uint64_t Draw_Plan::Cell_Signature(const Planned_Object& object, const Cell& cell) const {
    Signature signature;
    signature.Add(object.signature);
    for (Light* light : cell.lights) signature.Add(light_states.at(light).signature);
    for (int index : cell.casters) signature.Add(casters[index].signature);
    return signature.Value();
}

const Planned_Tile* Draw_Plan::Find_Tile(Tile_Index index) const {
    auto found = std::lower_bound(tiles.begin(), tiles.end(), index,
                                  [](const Planned_Tile& tile, Tile_Index wanted) { return tile.index < wanted; });
    return found != tiles.end() && found->index == index ? &*found : nullptr;
}

// Where an object stayed, drawn alike and in the same order among those that
// stayed, its pixels change only where its lights or casters do; elsewhere
// what it covers may change, and is also drawn again.
Rect Draw_Plan::Changes_Since(const Draw_Plan& before, const Planned_Tile& tile) const {
    Rect whole = Tile_Area(tile.index);
    const Planned_Tile* was = before.Find_Tile(tile.index);
    if (!was || before.frame_signature != frame_signature) return whole;
    std::vector<uint64_t> old_objects, new_objects;
    for (const auto& [o, c] : was->cells) old_objects.push_back(before.planned[o].signature);
    for (const auto& [o, c] : tile.cells) new_objects.push_back(planned[o].signature);
    Key_Changes objects = Compare_Keys(old_objects, new_objects);
    if (!objects.in_order) return whole;
    Rect changed = NO_RECT;
    for (size_t j : objects.gone) changed = Union(changed, before.planned[was->cells[j].first].area);
    for (size_t i : objects.came) changed = Union(changed, planned[tile.cells[i].first].area);
    for (const auto& [j, i] : objects.stayed) {
        const auto& [old_o, old_c] = was->cells[j];
        const auto& [o, c] = tile.cells[i];
        changed = Union(changed, Cell_Changes(before, before.planned[old_o].cells[old_c], planned[o], planned[o].cells[c]));
    }
    return Intersection(changed, whole);
}

// A plain sprite's pixels are all in its own signature. The lighting program
// adds the lights in list order; one that adds nothing to a pixel (out of
// range) leaves the sum exactly as it was, but lights that stayed must stay in
// order. The shadow map keeps the highest caster, whatever the order.
Rect Draw_Plan::Cell_Changes(const Draw_Plan& before, const Cell& was, const Planned_Object& object,
                             const Cell& cell) const {
    if (!object.complex) return NO_RECT;
    Rect area = Intersection(object.area, Tile_Area(cell.tile));
    std::vector<uint64_t> old_keys, new_keys;
    for (Light* light : was.lights) old_keys.push_back(before.light_states.at(light).signature);
    for (Light* light : cell.lights) new_keys.push_back(light_states.at(light).signature);
    Key_Changes lights = Compare_Keys(old_keys, new_keys);
    if (!lights.in_order) return area;
    Rect changed = NO_RECT;
    for (size_t j : lights.gone) changed = Union(changed, Light_Reach(object.placed, before.light_states.at(was.lights[j])));
    for (size_t i : lights.came) changed = Union(changed, Light_Reach(object.placed, light_states.at(cell.lights[i])));
    old_keys.clear();
    new_keys.clear();
    for (int index : was.casters) old_keys.push_back(before.casters[index].signature);
    for (int index : cell.casters) new_keys.push_back(casters[index].signature);
    Key_Changes shades = Compare_Keys(old_keys, new_keys);
    for (size_t j : shades.gone) changed = Union(changed, Shadow_Reach(object, cell, before.casters[was.casters[j]]));
    for (size_t i : shades.came) changed = Union(changed, Shadow_Reach(object, cell, casters[cell.casters[i]]));
    return Intersection(changed, area);
}

// The object's surface points in a light's range lie at its heights within the
// ball, and no farther across the floor than the ball's slice nearest the
// light's height; each shows where its projection lies, moved as the object's
// quad is (by the zoom).
Rect Draw_Plan::Light_Reach(const Placement& placed, const Light_State& light) const {
    if (!(light.range > 0.0f)) return NO_RECT;
    float reach = light.range + WORLD_SLACK;
    float low = std::max(placed.z, light.z - reach), high = std::min(placed.z + placed.tall * placed.scale, light.z + reach);
    float gap = Gap(light.z, low, high);
    if (low > high || gap >= reach) return NO_RECT;
    // The floor's projection moves sqrt(1/2) across and pf x sqrt(1/2) down per unit at most.
    float across = std::sqrt(0.5f) * std::sqrt(reach * reach - gap * gap);
    float down = across * camera->Get_Projection_Factor();
    Vec2D corner = camera->Proj_To_Screen(placed.corner.x, placed.corner.y, placed.z);
    Vec2D highest = camera->Proj_To_Screen(light.x, light.y, high), lowest = camera->Proj_To_Screen(light.x, light.y, low);
    float x = highest.x + placed.quad.x - corner.x, shift_y = placed.quad.y - corner.y;
    Rect reached{x - across, highest.y + shift_y - down, x + across, lowest.y + shift_y + down};
    return Grown(Scaled(reached, pixels_per_unit), PIXEL_SLACK);
}

// A pixel's ray reads the map from its start along the sun's sweep, and meets
// the caster only below the caster's top: the pixels whose starts, moved along
// that part of the sweep, fall on the sprite (grown by the texel the march
// rounds to).
Rect Draw_Plan::Shadow_Reach(const Planned_Object& object, const Cell& cell, const Caster& caster) const {
    Rect area = Intersection(object.area, Tile_Area(cell.tile));
    if (sinking) return area;
    float clearance = caster.top + Caster_Rounding(rules) - cell.lowest_start - rules.bias;
    if (clearance <= 0.0f) return NO_RECT;
    Rect pixels = Scaled(area, 1.0f / pixels_per_unit);
    Rect starts = Ray_Starts(object.placed, Rect{0.0f, 0.0f, 0.0f, 0.0f});
    Rect sprite = Grown(caster.casting, MAP_TEXEL_SLACK);
    // The pixels whose rays start on the sprite.
    Rect under{sprite.left - starts.right, sprite.top - starts.bottom, sprite.right - starts.left,
               sprite.bottom - starts.top};
    float reach = rules.reach + WORLD_SLACK;
    float share = climb > 0.0f ? std::min(1.0f, (clearance / climb + WORLD_SLACK) / reach) : 1.0f;
    Vec2D along(sweep.x * share, sweep.y * share);
    // `under` moved back by `along` x t meets the cell's pixels for t in [enter, leave].
    Rect meets{under.left - pixels.right, under.top - pixels.bottom, under.right - pixels.left,
               under.bottom - pixels.top};
    float enter = 0.0f, leave = 1.0f;
    if (!Segment_Span(along, meets, &enter, &leave)) return NO_RECT;
    // Each side of the moved rectangle moves one way: the extremes lie at the ends.
    Rect swept = Union(Moved(under, Vec2D(along.x * enter, along.y * enter)),
                       Moved(under, Vec2D(along.x * leave, along.y * leave)));
    return Scaled(Intersection(Grown(swept, PIXEL_SLACK / pixels_per_unit), pixels), pixels_per_unit);
}

}  // namespace Kelvane
