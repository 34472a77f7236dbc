#include "render/tile_cache.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_opengl.h>  // Required for: the GL calls that draw and show tiles

#include <algorithm>  // Required for: std::max()
#include <cmath>      // Required for: std::ceil(), std::sqrt()
#include <cstdlib>    // Required for: std::abs()

#include "resources/shader.h"

namespace Kelvane {

namespace {

// How far apart two tiles lie, in tiles along the farther axis.
int Distance(Tile_Index a, Tile_Index b) {
    return std::max(std::abs(a.column - b.column), std::abs(a.row - b.row));
}

}  // namespace

Tile_Cache::Tile_Cache(int tile_pixels) : tile_pixels(tile_pixels) {}

bool Tile_Cache::Reserve(int tiles) {
    int wanted_columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(tiles))));
    int wanted_rows = (tiles + wanted_columns - 1) / wanted_columns;
    if (wanted_columns == columns && static_cast<int>(slots.size()) == wanted_columns * wanted_rows) return true;
    slots.clear();
    columns = 0;
    if (!atlas.Resize(wanted_columns * tile_pixels, wanted_rows * tile_pixels)) return false;
    columns = wanted_columns;
    slots.resize(static_cast<size_t>(wanted_columns * wanted_rows));
    return true;
}

bool Tile_Cache::Begin_Tile() {
    if (scratch.Get_Width() == 0 && !scratch.Resize(tile_pixels, tile_pixels)) return false;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &saved_framebuffer);
    glGetIntegerv(GL_VIEWPORT, saved_viewport);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, tile_pixels, tile_pixels, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    scratch.Bind();
    glViewport(0, 0, tile_pixels, tile_pixels);
    // The caller's clipping is in its own target's pixels: the tile is drawn whole.
    saved_scissor = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    return true;
}

void Tile_Cache::End_Tile() {
    if (saved_scissor) glEnable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_FRAMEBUFFER, saved_framebuffer);
    glViewport(saved_viewport[0], saved_viewport[1], saved_viewport[2], saved_viewport[3]);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

int Tile_Cache::Slot_Of(Tile_Index tile) const {
    for (size_t slot = 0; slot < slots.size(); slot++)
        if (slots[slot].used && slots[slot].tile == tile) return static_cast<int>(slot);
    return -1;
}

Vec2D Tile_Cache::Slot_Origin(int slot) const {
    return Vec2D(static_cast<float>(slot % columns * tile_pixels), static_cast<float>(slot / columns * tile_pixels));
}

bool Tile_Cache::Find(Tile_Index tile, uint64_t signature) {
    int slot = Slot_Of(tile);
    if (slot < 0 || slots[slot].signature != signature) return false;
    slots[slot].frame = frame;
    return true;
}

int Tile_Cache::Room_For(Tile_Index tile, Tile_Index near) const {
    int slot = Slot_Of(tile);
    if (slot >= 0) return slot;
    int farthest = -1;
    for (size_t i = 0; i < slots.size(); i++) {
        if (!slots[i].used) return static_cast<int>(i);
        if (slots[i].frame == frame) continue;
        if (farthest < 0 || Distance(slots[i].tile, near) > Distance(slots[farthest].tile, near))
            farthest = static_cast<int>(i);
    }
    return farthest;
}

bool Tile_Cache::Keep(Tile_Index tile, uint64_t signature, Tile_Index near) {
    int slot = Room_For(tile, near);
    if (slot < 0) return false;
    Vec2D origin = Slot_Origin(slot);
    scratch.Copy_To(atlas, 0, 0, tile_pixels, tile_pixels, static_cast<int>(origin.x), static_cast<int>(origin.y));
    slots[slot] = Slot{true, tile, signature, frame};
    return true;
}

void Tile_Cache::Clear() {
    for (Slot& slot : slots) slot.used = false;
}

void Tile_Cache::Show_Kept(const std::vector<Tile_Index>& tiles, const std::vector<Vec2D>& origins, Shader* compose) {
    std::vector<Vec2D> from;
    for (Tile_Index tile : tiles) from.push_back(Slot_Origin(Slot_Of(tile)));
    Show(atlas, from, origins, compose);
}

void Tile_Cache::Show_Scratch(Vec2D origin, Shader* compose) {
    Show(scratch, {Vec2D(0.0f, 0.0f)}, {origin}, compose);
}

// Texel for pixel: each quad lies on whole output pixels and samples whole texels.
void Tile_Cache::Show(const Frame_Buffer& source, const std::vector<Vec2D>& from, const std::vector<Vec2D>& to,
                      Shader* compose) {
    compose->Apply();
    compose->Set_GL_Texture("tile_colour", 0, source.Get_Colour());
    compose->Set_GL_Texture("tile_depth", 1, source.Get_Depth());
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
    float width = static_cast<float>(source.Get_Width()), height = static_cast<float>(source.Get_Height());
    glBegin(GL_QUADS);
    for (size_t i = 0; i < from.size(); i++) {
        float s0 = from[i].x / width, s1 = (from[i].x + size) / width;
        float t0 = from[i].y / height, t1 = (from[i].y + size) / height;
        glTexCoord2f(s0, t1), glVertex2f(to[i].x, to[i].y);
        glTexCoord2f(s0, t0), glVertex2f(to[i].x, to[i].y + size);
        glTexCoord2f(s1, t0), glVertex2f(to[i].x + size, to[i].y + size);
        glTexCoord2f(s1, t1), glVertex2f(to[i].x + size, to[i].y);
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
