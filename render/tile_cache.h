#pragma once
// Tiles of the lit picture kept between frames, in an atlas that repeats over
// the world's picture: a tile always has the same slot (its column and row
// wrapped to the atlas's), and is drawn straight into it, in its own
// coordinates, so the same inputs give the same pixels wherever the view is
// and whichever path draws. All the tiles of a frame are drawn into the one
// target, which lets the rasterizer take them in one go instead of finishing
// each before the next. A kept tile (colour and depth), or the part of it that
// was drawn, is shown again while the signature of what decided its pixels
// holds; it makes room for the tile a whole atlas away, so the tiles farthest
// from the view go first.

#include <cstdint>
#include <vector>

#include "render/draw_plan.h"  // Required for: Tile_Index
#include "render/frame_buffer.h"

namespace Kelvane {

class Shader;

// A part of a tile, in its own pixels.
using Tile_Part = Pixel_Box;

// No part of a tile.
inline constexpr Tile_Part NO_PART{0, 0, 0, 0};

// A part of a tile to draw.
struct Tile_Drawing {
    Tile_Index tile;
    Tile_Part part;
};

class Tile_Cache {
public:
    explicit Tile_Cache(int tile_pixels);

    // Room for any `columns` x `rows` tiles side by side and at least `tiles`
    // in all. Everything kept is dropped when the atlas has to change shape.
    // False when the GL cannot make it: nothing is drawn or kept then.
    bool Reserve(int columns, int rows, int tiles);

    // Makes the atlas the target, and clears the parts `drawn` of their tiles'
    // slots (transparent, the farthest depth), forgetting what was kept in
    // those slots until Keep. The caller's framebuffer, viewport, scissor and matrices come back
    // with End_Tiles. False, with nothing changed, when there is no atlas.
    bool Begin_Tiles(const std::vector<Tile_Drawing>& drawn);
    // Between Begin_Tiles and End_Tiles: a viewport over the tile's slot, a
    // projection of tile-local output pixels (y down) and a scissor over `part`.
    void Begin_Tile(Tile_Index tile, const Tile_Part& part);
    void End_Tiles();
    // Where the tile's slot lies on the target: its bottom-left corner, GL rows
    // counting from the bottom.
    Vec2D Slot_Corner(Tile_Index tile) const;

    // The part of the tile kept with that signature: empty when it is not kept so.
    Tile_Part Kept_Part(Tile_Index tile, uint64_t signature) const;
    // What the tile's slot now holds is `part` of the tile with that signature.
    void Keep(Tile_Index tile, uint64_t signature, const Tile_Part& part);
    // Draws tiles onto the current target, each at its output position
    // (`origins`, whole output pixels), colour blended over what is there and
    // depth written, through `compose`.
    void Show(const std::vector<Tile_Index>& tiles, const std::vector<Vec2D>& origins, Shader* compose);

    // What the atlas takes, in bytes.
    long Get_Bytes() const { return atlas.Get_Bytes(); }

private:
    struct Slot {
        bool used = false;
        Tile_Index tile{0, 0};
        uint64_t signature = 0;
        Tile_Part part{0, 0, 0, 0};
    };

    int Slot_Of(Tile_Index tile) const;
    void Clear_Slots(const std::vector<Tile_Drawing>& cleared);

    int tile_pixels;
    int columns = 0;
    int rows = 0;
    Frame_Buffer atlas;
    std::vector<Slot> slots;
    int saved_framebuffer = 0;
    bool saved_scissor = false;
    int saved_viewport[4] = {0, 0, 0, 0};
    int saved_scissor_box[4] = {0, 0, 0, 0};
};

}  // namespace Kelvane
