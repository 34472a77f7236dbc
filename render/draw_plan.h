#pragma once
// What the renderer decides before it draws a frame. The world's picture is cut
// into square tiles of TILE_PIXELS output pixels, anchored to the world (not to
// the window), and each visible object into the tiles its quad covers: a cell.
// For each cell the plan keeps the point lights that reach it and the shadow
// casters that may shade it; for each tile, what is drawn in it, in drawing
// order, and a signature of everything that decides its pixels, so that a tile
// whose signature did not change is shown again as it was drawn; compared with
// the plan of the frame before, it also tells which part of a tile may have
// changed, so a kept tile is mended there only. Every decision only leaves out
// work that adds exactly nothing to the picture.
//
// It relies on the lighting program's contract (assets/shader/object_light.glsl):
// a point light adds nothing at its range or beyond; the march starts at most
// `march_offset` from the surface and never below the floor, climbs toward the
// sun, reads the shadow map only within `shadow_reach` of its start, and is
// shaded only by a caster more than `shadow_bias` above the ray.

#include <cstdint>
#include <list>
#include <map>
#include <vector>

#include "render/placement.h"

namespace Kelvane {

class Camera;
class Light;
class VObject;
class VObject_Complex;

// How the lighting program marches toward the sun and the shadow map stores
// heights; the renderer passes the same values to both programs.
struct March_Rules {
    float reach;    // world units along the ray
    float offset;   // how far off the surface the ray starts
    float bias;     // how far a caster must stand above the ray to shade it
    float shift;    // share of (1 - dz) x drawn height by which shadow sprites move toward the sun
    float segment;  // world height units per shadow-map channel
    int steps;      // reads of the map along a ray; step i reaches reach x ((i - jitter) / steps)^2
};

// The rules the renderer draws by, in world units: rays start 12 off the
// surface, reach 1600, and are shaded by casters standing more than 6 above
// them; shadow sprites move toward the sun by 0.1 x (1 - dz) x the object's
// drawn height; the map keeps 1024 units of height per channel; a ray reads the
// map 16 times, the steps crowding near the surface.
inline const March_Rules MARCH_RULES{1600.0f, 12.0f, 6.0f, 0.1f, 1024.0f, 16};

// A tile of the world's picture: column and row of TILE_PIXELS squares from its origin.
struct Tile_Index {
    int column;
    int row;
    bool operator<(const Tile_Index& other) const {
        return row < other.row || (row == other.row && column < other.column);
    }
    bool operator==(const Tile_Index& other) const { return column == other.column && row == other.row; }
};

// The part of one object's quad that lies in one tile.
struct Cell {
    Tile_Index tile;
    float s0;  // the image columns it shows, as fractions of the frame's width
    float s1;
    float v0;  // the image rows it shows, as fractions from the frame's top
    float v1;
    std::vector<Light*> lights;  // the first 24 of the list that reach the cell, in list order
    std::vector<int> casters;    // the plan's casters that may shade part of it
    int first_step;              // the march's steps that may meet one of them, 1-based,
    int last_step;               // inclusive; none when first_step > last_step
    Rect ray_starts;             // screen units of the world's picture where its rays may start
    float lowest_start;          // the lowest height they may start from
    bool Marches() const { return first_step <= last_step; }
};

// An object of the frame, complex or a plain sprite, with its cells.
struct Planned_Object {
    VObject* object;
    VObject_Complex* complex;  // null for a plain sprite
    Placement placed;          // complex objects: where the world's picture shows them
    Rect area;                 // the quad in the world's output pixels
    std::vector<Cell> cells;   // only in the tiles planned
    uint64_t signature;        // of the object itself: what it draws and where
};

// A point light as the plan found it, kept for a later plan to compare with.
struct Light_State {
    float x;
    float y;
    float z;
    float range;
    uint64_t signature;  // of the light and everything it lights with
};

// A shadow sprite in the shadow map: where it lies and how high its caster stands.
struct Caster {
    VObject_Complex* object;
    Placement placed;
    Rect area;           // its quad, screen units of the world's picture
    Rect casting;        // the part of the quad its footprint can draw into the map
    float top;           // world height of the caster's highest point
    uint64_t signature;  // of everything that decides what it draws into the map
};

// What one tile shows: its cells, in drawing order, as (object, cell) indices.
struct Planned_Tile {
    Tile_Index index;
    std::vector<std::pair<int, int>> cells;
    uint64_t signature;
};

class Draw_Plan {
public:
    // The side of a tile, in output pixels.
    static constexpr int TILE_PIXELS = 128;
    // The lighting program holds this many point lights.
    static constexpr int MAX_POINT_LIGHTS = 24;

    // `pixels_per_unit`: output pixels per screen unit (both axes); `tiles`:
    // the tiles to plan, first to last column and row, inclusive. An exact plan
    // gives every cell the first 24 lights of the list, marches everywhere and
    // keeps every caster; a fast one leaves out what adds nothing.
    // `sprite_offset`: output pixels added to every plain sprite's position.
    Draw_Plan(Camera* camera, Light* directional, const March_Rules& rules, float pixels_per_unit,
              Vec2D sprite_offset, Tile_Index first, Tile_Index last, bool exact);

    // The visible objects in list order with their cells, the tiles they show
    // in, and the casters worth drawing into the shadow map: those whose shadow
    // a ray of a cell may read and, in a fast plan, that can stand above a ray
    // (the flat floor cannot), in list order.
    void Plan(std::list<VObject*>* objects, std::list<Light*>* lights);
    // Each tile's signature, from `frame`, the signature of what every tile
    // depends on (sun, sky, camera, map, output size, flags), and its cells'.
    void Sign_Tiles(uint64_t frame);
    // The world's output pixels of the tile that may show something else than
    // `before` (a signed plan of an earlier frame) planned there: the quads of
    // objects that came, went or changed, and within the others where a light
    // or a caster that came, went or changed may reach. The whole tile when
    // `before` planned it with another frame signature, did not plan it, or
    // drew the objects that stayed in another order. Nothing of `before`
    // but its own copies is read, so what it planned may since be gone.
    Rect Changes_Since(const Draw_Plan& before, const Planned_Tile& tile) const;
    // The planned tile of that index, or null.
    const Planned_Tile* Find_Tile(Tile_Index index) const;
    uint64_t Get_Frame_Signature() const { return frame_signature; }

    const std::vector<Caster>& Get_Casters() const { return casters; }
    const std::vector<Planned_Object>& Get_Objects() const { return planned; }
    // The planned tiles that show something, in row order.
    const std::vector<Planned_Tile>& Get_Tiles() const { return tiles; }
    // Screen units of the world's picture where a ray of a planned cell may
    // read the shadow map; empty when none can.
    Rect Get_Reads() const { return reads; }
    // The tile's rectangle in the world's output pixels.
    static Rect Tile_Area(Tile_Index tile);

private:
    // The planned objects with their cells, and every caster.
    void Plan_Objects(std::list<VObject*>* objects, std::list<Light*>* lights);
    void Add_Caster(VObject_Complex* complex, const Placement& placed);
    // Only the casters some ray may read, with their signatures.
    void Keep_Read_Casters();
    // The cells of the planned tiles that the object's quad covers.
    void Cut_Into_Cells(Planned_Object& object, std::list<Light*>* lights);
    std::vector<Light*> Cell_Lights(const Placement& placed, const Cell& cell, std::list<Light*>* lights) const;
    // Where the cell's rays may start; widens `reads` to where they go.
    void Plan_Rays(const Placement& placed, Cell& cell);
    // Where the rays of the object's pixels within `pixels` (screen units of
    // the world's picture) may start.
    Rect Ray_Starts(const Placement& placed, const Rect& pixels) const;
    // The casters that may shade some pixel of the cell and the steps that may meet them.
    void Plan_March(Cell& cell) const;
    void Gather_Tiles();
    uint64_t Object_Signature(const Planned_Object& object) const;
    uint64_t Cell_Signature(const Planned_Object& object, const Cell& cell) const;
    // Within the cell, where what `before` planned for it may differ from now
    // (the object drawn alike): its lights and its casters that came, went or
    // changed. World's output pixels.
    Rect Cell_Changes(const Draw_Plan& before, const Cell& was, const Planned_Object& object, const Cell& cell) const;
    // The object's pixels a light may reach, or whose rays may read a caster's
    // sprite, in the world's output pixels.
    Rect Light_Reach(const Placement& placed, const Light_State& light) const;
    Rect Shadow_Reach(const Planned_Object& object, const Cell& cell, const Caster& caster) const;

    Camera* camera;
    Light* directional;
    March_Rules rules;
    float pixels_per_unit;
    Vec2D sprite_offset;
    Tile_Index first;
    Tile_Index last;
    bool exact;
    // The sun's, for every ray: a sun below the horizon lets rays sink, so
    // nothing can be ruled out; else how far a ray's reads move on the
    // picture over its reach, and how fast it climbs per unit of travel.
    bool sinking;
    Vec2D sweep;
    float climb;
    std::vector<Caster> casters;
    std::vector<Planned_Object> planned;
    std::vector<Planned_Tile> tiles;
    Rect reads;
    std::map<const Light*, Light_State> light_states;
    uint64_t frame_signature = 0;
};

}  // namespace Kelvane
