#pragma once
// The shadow map: the height of the tallest caster over each texel of the
// world's picture, in a square texture that repeats (a texel stands for the
// picture points a whole number of map extents apart), so every point of the
// picture reads the same texel whatever the view. It is kept in square blocks:
// a block is drawn again only when it comes to stand for another part of the
// picture or the casters over it change.

#include <cstdint>
#include <functional>
#include <vector>

#include "render/draw_plan.h"  // Required for: Caster, Rect

struct ALLEGRO_BITMAP;

namespace Kelvane {

class Shadow_Map {
public:
    Shadow_Map() = default;
    ~Shadow_Map();
    Shadow_Map(const Shadow_Map&) = delete;
    Shadow_Map& operator=(const Shadow_Map&) = delete;

    // A size x size map, size a power of two (rounded up); false, keeping the
    // map it had, when the GL cannot make it.
    bool Resize(int size);
    ALLEGRO_BITMAP* Get_Bitmap() { return map; }
    // The picture's extent (screen units) after which the map repeats.
    float Get_Extent() const { return texel * size; }
    // What one texel stands for, in screen units: a power of two, 1 unless
    // the picture a frame reads is too large for the map.
    float Get_Texel() const { return texel; }

    // Brings every block that `reads` (screen units of the picture) covers up to
    // date with `casters`: `draw` draws one caster, with the map as the target,
    // whose projection is set to the picture's screen units. With `all` every
    // such block is drawn afresh and counts as out of date after.
    void Update(const Rect& reads, const std::vector<Caster>& casters, bool all,
                const std::function<void(const Caster&)>& draw);

private:
    struct Block {
        int column = 0;
        int row = 0;
        uint64_t signature = 0;
        bool drawn = false;
    };

    struct Block_Index {
        int column;
        int row;
    };
    struct Block_Range {
        int first_column;
        int first_row;
        int last_column;
        int last_row;
        bool Holds(Block_Index block) const {
            return block.column >= first_column && block.column <= last_column && block.row >= first_row &&
                   block.row <= last_row;
        }
    };

    // The smallest texel for which the map holds the picture `reads` covers.
    float Texel_For(const Rect& reads) const;
    uint64_t Block_Signature(int column, int row, const std::vector<Caster>& casters) const;
    // Which repeat of the map (x or y) a block's column or row lies in.
    int Repeat_Of(int block) const;
    void Draw_Repeat(int x, int y, const Block_Range& read, const std::vector<Block_Index>& stale,
                     const std::vector<Caster>& casters, const std::function<void(const Caster&)>& draw);
    // The block's texels to nothing cast; the scissor box may change.
    void Clear(Block_Index block) const;
    // Drawing only in the range's texels, which lie in one repeat.
    void Scissor(const Block_Range& range) const;
    Rect Block_Area(int column, int row) const;

    ALLEGRO_BITMAP* map = nullptr;
    int size = 0;
    float texel = 1.0f;
    std::vector<Block> blocks;  // blocks per side squared, by place in the map
};

}  // namespace Kelvane
