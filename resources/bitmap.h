#pragma once
// One entry of the bitmap store: a name (the file path, or a name chosen by
// whoever made the image) and the image it owns.

#include <string>

struct ALLEGRO_BITMAP;

namespace Kelvane {

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

private:
    std::string name;
    ALLEGRO_BITMAP* bit;
    bool fallback;
};

}  // namespace Kelvane
