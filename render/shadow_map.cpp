#include "render/shadow_map.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_opengl.h>  // Required for: the GL calls that draw blocks of the map

#include <algorithm>  // Required for: std::min()
#include <cmath>      // Required for: std::floor()

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

bool Overlaps(const Rect& a, const Rect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
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
    Rect reach{area.left - texel, area.top - texel, area.right + texel, area.bottom + texel};
    Signature signature;
    signature.Add(texel).Add(column).Add(row);
    for (const Caster& caster : casters)
        if (Overlaps(caster.area, reach)) signature.Add(caster.signature);
    return signature.Value();
}

void Shadow_Map::Update(const Rect& reads, const std::vector<Caster>& casters, bool all,
                        const std::function<void(const Caster&)>& draw) {
    if (!map || !(reads.left <= reads.right)) return;
    float wanted = Texel_For(reads);
    if (wanted != texel) {
        texel = wanted;
        for (Block& block : blocks) block.drawn = false;
    }
    int per_side = size / BLOCK_TEXELS;
    float side = texel * BLOCK_TEXELS;
    int first_column = static_cast<int>(std::floor(reads.left / side));
    int first_row = static_cast<int>(std::floor(reads.top / side));
    int last_column = std::min(static_cast<int>(std::floor(reads.right / side)), first_column + per_side - 1);
    int last_row = std::min(static_cast<int>(std::floor(reads.bottom / side)), first_row + per_side - 1);
    ALLEGRO_BITMAP* target = al_get_target_bitmap();
    bool targeted = false;
    for (int row = first_row; row <= last_row; row++) {
        for (int column = first_column; column <= last_column; column++) {
            Block& block = blocks[Wrapped(row, per_side) * per_side + Wrapped(column, per_side)];
            uint64_t signature = Block_Signature(column, row, casters);
            if (!all && block.drawn && block.column == column && block.row == row && block.signature == signature)
                continue;
            if (!targeted) al_set_target_bitmap(map);
            targeted = true;
            Draw_Block(column, row, casters, draw);
            block = Block{column, row, signature, !all};
        }
    }
    if (targeted) al_set_target_bitmap(target);
}

// In the block's own square of the map, with a projection of the part of the
// picture it stands for: rows count up with the picture's y, as the lighting
// program reads them.
void Shadow_Map::Draw_Block(int column, int row, const std::vector<Caster>& casters,
                            const std::function<void(const Caster&)>& draw) {
    int per_side = size / BLOCK_TEXELS;
    int x = Wrapped(column, per_side) * BLOCK_TEXELS, y = Wrapped(row, per_side) * BLOCK_TEXELS;
    Rect area = Block_Area(column, row);
    glPushAttrib(GL_VIEWPORT_BIT | GL_SCISSOR_BIT | GL_COLOR_BUFFER_BIT);
    glViewport(x, y, BLOCK_TEXELS, BLOCK_TEXELS);
    glScissor(x, y, BLOCK_TEXELS, BLOCK_TEXELS);
    glEnable(GL_SCISSOR_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(area.left, area.right, area.top, area.bottom, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    Rect reach{area.left - texel, area.top - texel, area.right + texel, area.bottom + texel};
    for (const Caster& caster : casters)
        if (Overlaps(caster.area, reach)) draw(caster);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

}  // namespace Kelvane
