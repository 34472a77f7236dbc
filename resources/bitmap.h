#pragma once
// One entry of the bitmap store: a name (the file path, or a name chosen by
// whoever made the image) and the image it owns.

#include <cstdint>
#include <string>
#include <vector>

#include "core/common.h"  // Required for: Pixel_Box

struct ALLEGRO_BITMAP;
struct ALLEGRO_LOCKED_REGION;

namespace Kelvane {

// Row y of a region locked as 32-bit words.
uint32_t* Locked_Row(ALLEGRO_LOCKED_REGION* region, int y);

class Bitmap {
public:
    // Loads the file. A missing or undecodable file, or one too large for a
    // texture when a texture is asked for, gets the fallback image and one
    // message on standard output; no fallback ends the process with status 1.
    explicit Bitmap(std::string path);
    // Takes ownership of an image made by the caller; loads nothing.
    // `fallback`: the image was made from the fallback image.
    Bitmap(std::string name, ALLEGRO_BITMAP* image, bool fallback = false);

    // The file's image, or null (nothing printed) when the file is missing,
    // undecodable or too large for a texture.
    static ALLEGRO_BITMAP* Load_Usable(std::string path);
    // True when a texture was asked for (no memory-image flag, a display
    // current) but Allegro could only make a memory image, which the shaders
    // cannot draw: the GL cannot hold an image that large.
    static bool Is_Refused_Texture(ALLEGRO_BITMAP* image);

    ALLEGRO_BITMAP* Get_Bit() { return bit; }
    std::string Get_Name() { return name; }
    // True when the entry holds the fallback image in place of its file's, or
    // an image made from it.
    bool Is_Fallback() { return fallback; }
    // The image cut into cells of `cell_w` x `cell_h` pixels, numbered row by
    // row: per cell, the box around its pixels that have any of `bits` set as
    // ARGB 8888 words, relative to the cell's corner. Worked out on the first
    // call with those values and kept with the image; no boxes at all when the
    // image can't be read.
    const std::vector<Pixel_Box>& Cell_Bounds(int cell_w, int cell_h, uint32_t bits);

private:
    std::string name;
    ALLEGRO_BITMAP* bit;
    bool fallback;
    int bounds_w = 0;
    int bounds_h = 0;
    uint32_t bounds_bits = 0;
    std::vector<Pixel_Box> bounds;
};

}  // namespace Kelvane
