#pragma once
// Writes the baker's results to disk: PNG files through Allegro memory bitmaps
// (no display needed) and settings.ini through the engine's Kelvane::Config.

#include <string>

#include "tools/asset_baker/image.h"
#include "tools/asset_baker/raster.h"

namespace Asset_Baker {

// Starts Allegro and its image add-on if they are not running yet.
bool Init_Image_Output();
// Saves the image as a PNG file, byte for byte (no premultiplied alpha),
// replacing the file whole or not at all.
bool Save_Png(const Image& image, const std::string& path);
// Writes diffuse.png, normal.png, height.png and settings.ini into the
// folder (created when missing) and deletes the folder's stale caches
// normal_cooked.png and shadow.png, which the engine makes again.
bool Write_Object_Folder(const std::string& folder, const Baked_Object& baked);

}  // namespace Asset_Baker
