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

    // The smallest texel for which the map holds the picture `reads` covers.
    float Texel_For(const Rect& reads) const;
    uint64_t Block_Signature(int column, int row, const std::vector<Caster>& casters) const;
    void Draw_Block(int column, int row, const std::vector<Caster>& casters,
                    const std::function<void(const Caster&)>& draw);
    Rect Block_Area(int column, int row) const;

    ALLEGRO_BITMAP* map = nullptr;
    int size = 0;
    float texel = 1.0f;
    std::vector<Block> blocks;  // blocks per side squared, by place in the map
};

}  // namespace Kelvane
