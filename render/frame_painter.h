#pragma once
// How the renderer paints the lit picture: the frame's plan, the shadow map
// brought up to date block by block, and the picture drawn tile by tile: each
// tile in its own coordinates, kept between frames on the fast path, shown
// again while nothing that decides its pixels changed, and mended where
// something did; drawn afresh every frame on the exact reference path.

#include <list>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/common.h"  // Required for: Vec2D
#include "render/draw_plan.h"
#include "render/shadow_map.h"
#include "render/tile_cache.h"

namespace Kelvane {

class Camera;
class Light;
class Log;
class Shader;
class Shader_Manager;
class VObject;

// What one frame is drawn from besides the world; none of it outlives the frame.
struct Frame_View {
    Log* log;
    Camera* camera;
    Light* directional;
    int debug_flags;
    float pixels_per_unit;  // output pixels per screen unit, on both axes
    Vec2D view;             // the world's output pixel at the target's top-left corner: whole pixels
    Vec2D output;           // the target's size in output pixels
    Vec2D sprite_offset;    // output pixels added to every plain sprite's position
};

class Frame_Painter {
public:
    // Makes the shadow map: 4096 texels square, or 2048, or 1024 (saying so), or
    // ends the process with status 1.
    explicit Frame_Painter(Shader_Manager* shader_manager);

    // Paints the objects onto the current target at the view (plain sprites
    // and complex objects, lit, or unlit without a lighting program), its depth
    // buffer cleared and holding what the lit objects stored. `exact`: every
    // tile drawn afresh, the full program with the first 24 lights of the list
    // and every caster; otherwise tiles are kept between frames.
    void Paint(const Frame_View& frame, std::list<VObject*>* objects, std::list<Light*>* lights, bool exact);

    Shadow_Map& Get_Shadow_Map() { return shadow_map; }
    // What the kept tiles take, in bytes.
    long Get_Kept_Bytes() const { return tiles.Get_Bytes(); }

private:
    // False when the program didn't build; the first time a `failure` is met it is
    // reported with its `consequence` and the GL's reason.
    bool Usable_Or_Reported(Log* log, Shader* program, const std::string& failure, const std::string& consequence);
    void Update_Shadow_Map(const Draw_Plan& plan, const Frame_View& frame, bool exact);
    void Draw_Caster(Shader* shadow, const Caster& caster);
    // Everything every tile's pixels depend on besides its own cells.
    uint64_t Frame_Signature(const Frame_View& frame, bool lit) const;
    bool Reserve_Tiles(const Frame_View& frame);
    // A tile to draw, the part of it drawn, and the part its slot then holds.
    struct Tile_Drawn {
        const Planned_Tile* tile;
        Tile_Part part;
        Tile_Part kept;
        bool changed;  // not kept as it is now, not even in part
    };
    // The part of the tile its slot holds as the frame before planned it,
    // when this frame is signed alike: mending where it changed brings it up
    // to date. Empty otherwise.
    Tile_Part Kept_Before(const Draw_Plan& plan, const Planned_Tile& tile) const;
    // The tiles the frame draws, in drawing order.
    std::vector<Tile_Drawn> Tiles_To_Draw(const Draw_Plan& plan, const Frame_View& frame, Tile_Index first,
                                          Tile_Index last, bool exact) const;
    void Show_Tiles(const std::vector<Tile_Index>& shown, const Frame_View& frame);
    // Draws the tile into its slot of the cache, which keeps it.
    void Paint_Tile(const Draw_Plan& plan, const Tile_Drawn& drawn, const Frame_View& frame, Shader* lighting,
                    bool exact);
    void Draw_Lit(const Planned_Object& object, const Cell& cell, Vec2D origin, const Frame_View& frame,
                  Shader* lighting, bool exact);
    void Draw_Unlit(const Planned_Object& object, Vec2D origin);
    void Draw_Sprite(const Planned_Object& object, Vec2D origin, const Frame_View& frame);
    // The program, current and with this frame's uniforms set.
    Shader* Prepared(Shader* program, const Frame_View& frame);
    Shader* Variant_For(const Cell& cell, const Frame_View& frame, Shader* lighting);
    void Set_Frame_Uniforms(Shader* lighting, const Frame_View& frame);
    void Set_Object_Uniforms(Shader* lighting, const Planned_Object& object, Vec2D origin, const Frame_View& frame);
    // The tiles the target shows, first to last.
    void Visible_Tiles(const Frame_View& frame, Tile_Index* first, Tile_Index* last) const;
    // The part of a visible tile the target shows.
    Tile_Part Shown_Part(Tile_Index tile, const Frame_View& frame) const;
    // The part of the tile that `area` (the world's output pixels) touches.
    static Tile_Part Part_Of(Tile_Index tile, const Rect& area);
    // The tile's top-left corner on the target.
    Vec2D Origin_On_Target(Tile_Index tile, const Frame_View& frame) const;

    Shader_Manager* shader_manager;
    Shadow_Map shadow_map;
    Tile_Cache tiles;
    // The fast path's plan of the frame before.
    std::optional<Draw_Plan> previous;
    // A broken program is reported once, not on every frame.
    std::set<std::string> reported_failures;
    // Programs whose frame uniforms are set in the frame being drawn.
    std::set<Shader*> prepared_programs;
    // The shadow program built and drew this frame's casters.
    bool shadows = false;
    // Where the slot of the tile being drawn lies on the target, GL rows from the
    // bottom: the lighting program finds each fragment's place in the world's
    // picture from it.
    Vec2D slot_corner;
};

}  // namespace Kelvane
