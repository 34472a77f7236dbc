#pragma once
// Tiles of the lit picture kept between frames. Every tile is drawn into one
// scratch target of its own size, in its own coordinates, so that the same
// inputs give the same pixels wherever the view is; a drawn tile is copied
// whole (colour and depth) into a slot of an atlas, kept there under the
// signature of what decided its pixels, and shown again while that signature
// holds. The tiles farthest from the view make room first.

#include <cstdint>
#include <vector>

#include "render/draw_plan.h"  // Required for: Tile_Index
#include "render/frame_buffer.h"

namespace Kelvane {

class Shader;

class Tile_Cache {
public:
    explicit Tile_Cache(int tile_pixels);

    // Room for at least `tiles` kept tiles. Everything kept is dropped when the
    // atlas has to change size. False when the GL cannot make it: nothing is kept then.
    bool Reserve(int tiles);

    // Binds the scratch target (made on first use), cleared to transparent and
    // the farthest depth, with a viewport over it and a projection of tile-local
    // output pixels (y down); the caller's framebuffer, viewport and matrices
    // come back with End_Tile. False, with nothing changed, when the GL cannot
    // make the target.
    bool Begin_Tile();
    void End_Tile();

    // A new frame: no tile counts as shown in it yet.
    void Begin_Frame() { frame++; }
    // True, and the tile counts as shown in this frame (it will not make room
    // for another), when it is kept with that signature.
    bool Find(Tile_Index tile, uint64_t signature);
    // Keeps what the scratch target holds as the tile; when no slot is free the
    // one kept farthest from `near` (a tile of the view) and not shown in this
    // frame makes room.
    // False when there is no slot for it (no atlas).
    bool Keep(Tile_Index tile, uint64_t signature, Tile_Index near);
    // Draws tiles onto the current target, each at its output position
    // (`origins`, whole output pixels), colour blended over what is there and
    // depth written, through `compose`: kept tiles from the atlas, or the
    // scratch target's one tile.
    void Show_Kept(const std::vector<Tile_Index>& tiles, const std::vector<Vec2D>& origins, Shader* compose);
    void Show_Scratch(Vec2D origin, Shader* compose);
    // Forgets every kept tile.
    void Clear();

    // What the scratch target and the atlas take, in bytes.
    long Get_Bytes() const { return scratch.Get_Bytes() + atlas.Get_Bytes(); }
    int Get_Slots() const { return static_cast<int>(slots.size()); }

private:
    struct Slot {
        bool used = false;
        Tile_Index tile{0, 0};
        uint64_t signature = 0;
        long frame = 0;  // the last frame that showed or kept it
    };

    int Slot_Of(Tile_Index tile) const;
    // The tile's own slot, a free one, or the one kept farthest from `near`.
    int Room_For(Tile_Index tile, Tile_Index near) const;
    // Bottom-left corner of the slot in the atlas, GL rows counting from the bottom.
    Vec2D Slot_Origin(int slot) const;
    void Show(const Frame_Buffer& source, const std::vector<Vec2D>& from, const std::vector<Vec2D>& to,
              Shader* compose);

    int tile_pixels;
    int columns = 0;
    Frame_Buffer scratch;
    Frame_Buffer atlas;
    std::vector<Slot> slots;
    long frame = 0;
    int saved_framebuffer = 0;
    bool saved_scissor = false;
    int saved_viewport[4] = {0, 0, 0, 0};
};

}  // namespace Kelvane
