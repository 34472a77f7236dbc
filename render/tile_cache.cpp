#include "render/tile_cache.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_opengl.h>  // Required for: the GL calls that draw and show tiles

#include <algorithm>  // Required for: std::max()
#include <cmath>      // Required for: std::ceil(), std::sqrt()

#include "resources/shader.h"

namespace Kelvane {

Tile_Cache::Tile_Cache(int tile_pixels) : tile_pixels(tile_pixels) {}

bool Tile_Cache::Reserve(int wanted_columns, int wanted_rows, int tiles) {
    // Grown alike both ways until it holds `tiles`.
    double grow = std::sqrt(std::max(1.0, tiles / static_cast<double>(wanted_columns * wanted_rows)));
    int new_columns = static_cast<int>(std::ceil(wanted_columns * grow));
    int new_rows = static_cast<int>(std::ceil(wanted_rows * grow));
    if (new_columns == columns && new_rows == rows) return true;
    slots.clear();
    columns = rows = 0;
    if (!atlas.Resize(new_columns * tile_pixels, new_rows * tile_pixels)) return false;
    columns = new_columns;
    rows = new_rows;
    slots.resize(static_cast<size_t>(columns * rows));
    return true;
}

bool Tile_Cache::Begin_Tiles(const std::vector<Tile_Drawing>& drawn) {
    if (slots.empty()) return false;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &saved_framebuffer);
    glGetIntegerv(GL_VIEWPORT, saved_viewport);
    glGetIntegerv(GL_SCISSOR_BOX, saved_scissor_box);
    saved_scissor = glIsEnabled(GL_SCISSOR_TEST);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, tile_pixels, tile_pixels, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    atlas.Bind();
    // Nothing drawn for a tile may reach its neighbours' slots.
    glEnable(GL_SCISSOR_TEST);
    Clear_Slots(drawn);
    return true;
}

// Parts one by one, and each row's runs of whole slots at once.
void Tile_Cache::Clear_Slots(const std::vector<Tile_Drawing>& cleared) {
    const Tile_Part whole{0, 0, tile_pixels, tile_pixels};
    std::vector<bool> marked(slots.size(), false);
    for (const Tile_Drawing& drawing : cleared) {
        int slot = Slot_Of(drawing.tile);
        slots[slot].used = false;
        if (drawing.part.Covers(whole)) {
            marked[slot] = true;
            continue;
        }
        const Tile_Part& part = drawing.part;
        Vec2D corner = Slot_Corner(drawing.tile);
        atlas.Clear(static_cast<int>(corner.x) + part.left, static_cast<int>(corner.y) + tile_pixels - part.bottom,
                    part.right - part.left, part.bottom - part.top);
    }
    for (int row = 0; row < rows; row++) {
        for (int column = 0, end = 0; column < columns; column = end + 1) {
            for (end = column; end < columns && marked[row * columns + end];) end++;
            if (end > column)
                atlas.Clear(column * tile_pixels, row * tile_pixels, (end - column) * tile_pixels, tile_pixels);
        }
    }
}

void Tile_Cache::Begin_Tile(Tile_Index tile, const Tile_Part& part) {
    Vec2D corner = Slot_Corner(tile);
    int x = static_cast<int>(corner.x), y = static_cast<int>(corner.y);
    glViewport(x, y, tile_pixels, tile_pixels);
    glScissor(x + part.left, y + tile_pixels - part.bottom, part.right - part.left, part.bottom - part.top);
}

void Tile_Cache::End_Tiles() {
    if (!saved_scissor) glDisable(GL_SCISSOR_TEST);
    glScissor(saved_scissor_box[0], saved_scissor_box[1], saved_scissor_box[2], saved_scissor_box[3]);
    glBindFramebuffer(GL_FRAMEBUFFER, saved_framebuffer);
    glViewport(saved_viewport[0], saved_viewport[1], saved_viewport[2], saved_viewport[3]);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

int Tile_Cache::Slot_Of(Tile_Index tile) const {
    return Wrapped(tile.row, rows) * columns + Wrapped(tile.column, columns);
}

Vec2D Tile_Cache::Slot_Corner(Tile_Index tile) const {
    return Vec2D(static_cast<float>(Wrapped(tile.column, columns) * tile_pixels),
                 static_cast<float>(Wrapped(tile.row, rows) * tile_pixels));
}

Tile_Part Tile_Cache::Kept_Part(Tile_Index tile, uint64_t signature) const {
    if (slots.empty()) return NO_PART;
    const Slot& slot = slots[Slot_Of(tile)];
    bool kept = slot.used && slot.tile == tile && slot.signature == signature;
    return kept ? slot.part : NO_PART;
}

void Tile_Cache::Keep(Tile_Index tile, uint64_t signature, const Tile_Part& part) {
    slots[Slot_Of(tile)] = Slot{true, tile, signature, part};
}

// Texel for pixel: each quad lies on whole output pixels and samples whole texels.
void Tile_Cache::Show(const std::vector<Tile_Index>& tiles, const std::vector<Vec2D>& origins, Shader* compose) {
    compose->Apply();
    compose->Set_GL_Texture("tile_colour", 0, atlas.Get_Colour());
    compose->Set_GL_Texture("tile_depth", 1, atlas.Get_Depth());
    glActiveTexture(GL_TEXTURE0);
    // Without the program the colour still shows, through the fixed pipeline;
    // the depth then stays as cleared.
    bool depth = compose->Is_Usable();
    if (!depth) glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glBlendEquation(GL_FUNC_ADD);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_ALWAYS);
    glDepthMask(depth ? GL_TRUE : GL_FALSE);
    float size = static_cast<float>(tile_pixels);
    float width = static_cast<float>(atlas.Get_Width()), height = static_cast<float>(atlas.Get_Height());
    glBegin(GL_QUADS);
    for (size_t i = 0; i < tiles.size(); i++) {
        Vec2D from = Slot_Corner(tiles[i]), to = origins[i];
        float s0 = from.x / width, s1 = (from.x + size) / width;
        float t0 = from.y / height, t1 = (from.y + size) / height;
        glTexCoord2f(s0, t1), glVertex2f(to.x, to.y);
        glTexCoord2f(s0, t0), glVertex2f(to.x, to.y + size);
        glTexCoord2f(s1, t0), glVertex2f(to.x + size, to.y + size);
        glTexCoord2f(s1, t1), glVertex2f(to.x + size, to.y);
    }
    glEnd();
    glDepthFunc(GL_LESS);
    glDepthMask(GL_TRUE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    Shader::Clear();
}

}  // namespace Kelvane
