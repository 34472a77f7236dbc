#include "render/shadow_map.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_opengl.h>  // Required for: the GL calls that draw blocks of the map

#include <algorithm>  // Required for: std::min(), std::max()
#include <cmath>      // Required for: std::floor()

#include "render/frame_buffer.h"  // Required for: Clear_Texture_Part()
#include "render/signature.h"

namespace Kelvane {

namespace {

// A block's side, in texels: the map is redrawn in squares this large.
const int BLOCK_TEXELS = 256;
// Past this a picture is too large for any map; what lies beyond is not read.
const float LARGEST_TEXEL = 64.0f;

int Power_Of_Two_From(int size) {
    int power = BLOCK_TEXELS;
    while (power < size) power *= 2;
    return power;
}

// The lighting program reads past the map's edges as its other side: it repeats.
void Repeat(ALLEGRO_BITMAP* map) {
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glBindTexture(GL_TEXTURE_2D, al_get_opengl_texture(map));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, previous);
}

}  // namespace

Shadow_Map::~Shadow_Map() {
    if (map) al_destroy_bitmap(map);
}

bool Shadow_Map::Resize(int wanted) {
    int new_size = Power_Of_Two_From(wanted);
    int previous = al_get_new_bitmap_flags();
    al_set_new_bitmap_flags(ALLEGRO_VIDEO_BITMAP | ALLEGRO_NO_PRESERVE_TEXTURE);
    ALLEGRO_BITMAP* made = al_create_bitmap(new_size, new_size);
    al_set_new_bitmap_flags(previous);
    if (!made) return false;
    if (map) al_destroy_bitmap(map);
    map = made;
    size = new_size;
    Repeat(map);
    blocks.assign(static_cast<size_t>(size / BLOCK_TEXELS) * (size / BLOCK_TEXELS), Block());
    return true;
}

float Shadow_Map::Texel_For(const Rect& reads) const {
    float wanted = std::max(reads.right - reads.left, reads.bottom - reads.top);
    float chosen = 1.0f;
    // A block's worth of room: the blocks read start on whole blocks.
    while (chosen < LARGEST_TEXEL && chosen * size < wanted + chosen * BLOCK_TEXELS) chosen *= 2.0f;
    return chosen;
}

Rect Shadow_Map::Block_Area(int column, int row) const {
    float side = texel * BLOCK_TEXELS;
    return Rect{column * side, row * side, (column + 1) * side, (row + 1) * side};
}

uint64_t Shadow_Map::Block_Signature(int column, int row, const std::vector<Caster>& casters) const {
    Rect area = Block_Area(column, row);
    // A texel on the block's edge takes a caster whose quad ends just beyond it.
    Rect reach = Grown(area, texel);
    Signature signature;
    signature.Add(texel).Add(column).Add(row);
    for (const Caster& caster : casters)
        if (Overlaps(caster.casting, reach)) signature.Add(caster.signature);
    return signature.Value();
}

void Shadow_Map::Update(const Rect& reads, const std::vector<Caster>& casters, bool all,
                        const std::function<void(const Caster&)>& draw) {
    if (!map || Is_Empty(reads)) return;
    float wanted = Texel_For(reads);
    if (wanted != texel) {
        texel = wanted;
        for (Block& block : blocks) block.drawn = false;
    }
    int per_side = size / BLOCK_TEXELS;
    float side = texel * BLOCK_TEXELS;
    int first_column = static_cast<int>(std::floor(reads.left / side));
    int first_row = static_cast<int>(std::floor(reads.top / side));
    Block_Range read{first_column, first_row,
                     std::min(static_cast<int>(std::floor(reads.right / side)), first_column + per_side - 1),
                     std::min(static_cast<int>(std::floor(reads.bottom / side)), first_row + per_side - 1)};
    std::vector<Block_Index> stale;
    for (int row = read.first_row; row <= read.last_row; row++) {
        for (int column = read.first_column; column <= read.last_column; column++) {
            Block& block = blocks[Wrapped(row, per_side) * per_side + Wrapped(column, per_side)];
            uint64_t signature = Block_Signature(column, row, casters);
            if (!all && block.drawn && block.column == column && block.row == row && block.signature == signature)
                continue;
            stale.push_back(Block_Index{column, row});
            block = Block{column, row, signature, !all};
        }
    }
    if (stale.empty()) return;
    ALLEGRO_BITMAP* target = al_get_target_bitmap();
    al_set_target_bitmap(map);
    // The blocks read fall in at most two repeats of the map across and two down.
    int first_repeat_x = Repeat_Of(read.first_column), first_repeat_y = Repeat_Of(read.first_row);
    for (int y = first_repeat_y; y <= Repeat_Of(read.last_row); y++)
        for (int x = first_repeat_x; x <= Repeat_Of(read.last_column); x++)
            Draw_Repeat(x, y, read, stale, casters, draw);
    al_set_target_bitmap(target);
}

int Shadow_Map::Repeat_Of(int block) const {
    int per_side = size / BLOCK_TEXELS;
    return (block - Wrapped(block, per_side)) / per_side;
}

// The stale blocks of one repeat of the map, cleared, and every caster over them
// drawn once, with one projection for the whole repeat: a caster's texels then
// do not depend on which blocks are drawn with it. Drawing it again over a block
// that was not stale changes nothing there: that block holds it already, and
// the maximum blend keeps what is there. Rows count up with the picture's y,
// as the lighting program reads them.
void Shadow_Map::Draw_Repeat(int x, int y, const Block_Range& read, const std::vector<Block_Index>& stale,
                             const std::vector<Caster>& casters, const std::function<void(const Caster&)>& draw) {
    int per_side = size / BLOCK_TEXELS;
    Block_Range part{std::max(read.first_column, x * per_side), std::max(read.first_row, y * per_side),
                     std::min(read.last_column, (x + 1) * per_side - 1),
                     std::min(read.last_row, (y + 1) * per_side - 1)};
    glPushAttrib(GL_VIEWPORT_BIT | GL_SCISSOR_BIT | GL_COLOR_BUFFER_BIT);
    glViewport(0, 0, size, size);
    glEnable(GL_SCISSOR_TEST);
    Rect drawn = NO_RECT;
    for (Block_Index block : stale) {
        if (!part.Holds(block)) continue;
        Clear(block);
        drawn = Union(drawn, Block_Area(block.column, block.row));
    }
    if (!Is_Empty(drawn)) {
        // Only the blocks read as this repeat: the others may stand for another.
        Scissor(part);
        float extent = Get_Extent();
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glOrtho(x * extent, (x + 1) * extent, y * extent, (y + 1) * extent, -1.0, 1.0);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        Rect reach = Grown(drawn, texel);
        for (const Caster& caster : casters)
            if (Overlaps(caster.casting, reach)) draw(caster);
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
    }
    glPopAttrib();
}

void Shadow_Map::Clear(Block_Index block) const {
    int per_side = size / BLOCK_TEXELS;
    int x = Wrapped(block.column, per_side) * BLOCK_TEXELS, y = Wrapped(block.row, per_side) * BLOCK_TEXELS;
    if (Clear_Texture_Part(al_get_opengl_texture(map), false, x, y, BLOCK_TEXELS, BLOCK_TEXELS)) return;
    Scissor(Block_Range{block.column, block.row, block.column, block.row});
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

void Shadow_Map::Scissor(const Block_Range& range) const {
    int per_side = size / BLOCK_TEXELS;
    glScissor(Wrapped(range.first_column, per_side) * BLOCK_TEXELS, Wrapped(range.first_row, per_side) * BLOCK_TEXELS,
              (range.last_column - range.first_column + 1) * BLOCK_TEXELS,
              (range.last_row - range.first_row + 1) * BLOCK_TEXELS);
}

}  // namespace Kelvane
