#pragma once
// One run of kelvane_normals on an object folder: read height.png, diffuse.png
// and settings.ini, derive the normals, write normal.png.

#include <string>

#include "tools/asset_baker/image.h"
#include "tools/kelvane_normals/height_field.h"
#include "world/camera.h"

namespace Kelvane_Normals {

struct Request {
    std::string folder;
    double strength = 1.0;  // multiplies the height slopes; 1 is the surface as painted
    int radius = 1;         // slopes are fitted over this many pixels to each side
    bool force = false;     // replace an existing normal.png
};

// A PNG's channels as stored (no premultiplied alpha); no display needed.
bool Load_Png(const std::string& path, Asset_Baker::Image& image);
// The folder's height field: height.png's red scaled by settings.ini's Height,
// covered where height.png and diffuse.png (when there is one) are drawn.
// False, with a message naming the file, when the input is unusable.
bool Read_Height_Field(const std::string& folder, Kelvane::Camera& camera, Height_Field& field, std::string& error);
// The whole run, reported on standard output; true when normal.png was written.
bool Derive_Folder(const Request& request);

}  // namespace Kelvane_Normals
