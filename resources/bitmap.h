#pragma once
// One entry of the bitmap store: a name (the file path, or a name chosen by
// whoever made the image) and the image it owns.

#include <string>

struct ALLEGRO_BITMAP;

namespace Kelvane {

class Bitmap {
public:
    // Loads the file. A missing or undecodable file gets the fallback image and
    // one message on standard output; no fallback ends the process with status 1.
    explicit Bitmap(std::string path);
    // Takes ownership of an image made by the caller; loads nothing.
    Bitmap(std::string name, ALLEGRO_BITMAP* image);

    ALLEGRO_BITMAP* Get_Bit() { return bit; }
    std::string Get_Name() { return name; }

private:
    std::string name;
    ALLEGRO_BITMAP* bit;
};

}  // namespace Kelvane
