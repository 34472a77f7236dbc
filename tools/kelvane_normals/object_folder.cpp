#include "tools/kelvane_normals/object_folder.h"

#include <allegro5/allegro.h>  // Required for: memory bitmaps and their locks

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "core/common.h"  // Required for: MAX_DROPPED_ALPHA, the folder's file names
#include "core/config.h"
#include "render/animation.h"  // Required for: the frames of a sheet, read as the engine reads them
#include "tools/asset_baker/writer.h"

namespace Kelvane_Normals {

namespace {

namespace fs = std::filesystem;
using Asset_Baker::Image;

// What the engine takes for an object whose settings.ini has no Height.
const float DEFAULT_TALL = 500.0f;

std::string In_Folder(const std::string& folder, const char* file) { return (fs::path(folder) / file).string(); }

bool Load_Input_Image(const std::string& path, Image& image, std::string& error) {
    if (!fs::exists(path)) {
        error = path + " is missing";
        return false;
    }
    if (!Load_Png(path, image)) {
        error = "cannot read " + path + " as an image";
        return false;
    }
    return true;
}

// Height and the frames of the sheet as the engine reads them; the file is
// never written. What the engine would say of the frames is said too, and
// the normals are made for the frames the engine then shows.
bool Read_Settings(const std::string& folder, const Asset_Baker::Image& sheet, float& tall,
                   Kelvane::Animation& frames, std::string& error) {
    std::string path = In_Folder(folder, Kelvane::SETTINGS_FILE.c_str());
    Kelvane::Config settings(path);
    if (!settings.Is_Loaded()) {
        error = "cannot read " + path;
        return false;
    }
    std::vector<std::string> problems;
    frames.Read_Settings(settings, problems);
    frames.Fit_Sheet(sheet.width, sheet.height, problems);
    for (const std::string& problem : problems) std::printf("kelvane_normals: %s: %s\n", folder.c_str(), problem.c_str());
    tall = settings.Get_Float("General", "Height", DEFAULT_TALL);
    if (!(std::isfinite(tall) && tall > 0.0f)) {
        error = path + ": Height must be a number above 0";
        return false;
    }
    return true;
}

std::string Size_Text(const Image& image) { return std::to_string(image.width) + " x " + std::to_string(image.height); }

bool Check_Folder(const std::string& folder) {
    if (!fs::exists(folder)) {
        std::printf("kelvane_normals: no such folder: %s\n", folder.c_str());
        return false;
    }
    if (!fs::is_directory(folder)) {
        std::printf("kelvane_normals: %s is not a folder\n", folder.c_str());
        return false;
    }
    return true;
}

}  // namespace

bool Load_Png(const std::string& path, Image& image) {
    int old_flags = al_get_new_bitmap_flags();
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP | ALLEGRO_NO_PREMULTIPLIED_ALPHA);
    ALLEGRO_BITMAP* bitmap = al_load_bitmap(path.c_str());
    al_set_new_bitmap_flags(old_flags);
    if (!bitmap) return false;
    image = Image(al_get_bitmap_width(bitmap), al_get_bitmap_height(bitmap));
    // ABGR_8888_LE lays out each pixel as the bytes R, G, B, A: the Image order.
    ALLEGRO_LOCKED_REGION* region = al_lock_bitmap(bitmap, ALLEGRO_PIXEL_FORMAT_ABGR_8888_LE, ALLEGRO_LOCK_READONLY);
    if (region) {
        for (int y = 0; y < image.height; ++y) {
            std::memcpy(image.data.data() + static_cast<size_t>(y) * image.width * 4,
                        static_cast<const char*>(region->data) + static_cast<long>(y) * region->pitch,
                        static_cast<size_t>(image.width) * 4);
        }
        al_unlock_bitmap(bitmap);
    }
    al_destroy_bitmap(bitmap);
    return region != nullptr;
}

bool Read_Height_Field(const std::string& folder, Kelvane::Camera& camera, Height_Field& field, std::string& error) {
    Image height;
    if (!Load_Input_Image(In_Folder(folder, Kelvane::HEIGHT_FILE.c_str()), height, error)) return false;
    Image diffuse;
    std::string diffuse_path = In_Folder(folder, Kelvane::DIFFUSE_FILE.c_str());
    bool has_diffuse = fs::exists(diffuse_path);
    if (has_diffuse && !Load_Input_Image(diffuse_path, diffuse, error)) return false;
    if (has_diffuse && (diffuse.width != height.width || diffuse.height != height.height)) {
        error = diffuse_path + " is " + Size_Text(diffuse) + " but height.png is " + Size_Text(height) +
                "; they must be the same size";
        return false;
    }
    float tall = 0.0f;
    Kelvane::Animation frames;
    if (!Read_Settings(folder, height, tall, frames, error)) return false;
    double world_per_red = tall / 255.0 / camera.Get_Height_Factor();
    field = Height_Field(height.width, height.height);
    field.frame_w = frames.Get_Frame_W();
    field.frame_h = frames.Get_Frame_H();
    for (int j = 0; j < height.height; ++j) {
        for (int i = 0; i < height.width; ++i) {
            Asset_Baker::Rgba h = height.Get(i, j);
            // A pixel the renderer drops shows no surface: no normal, and no bending of its neighbours' slopes.
            bool covered = h.a > Kelvane::MAX_DROPPED_ALPHA &&
                           (!has_diffuse || diffuse.Get(i, j).a > Kelvane::MAX_DROPPED_ALPHA);
            field.Set(i, j, h.r * world_per_red, covered);
        }
    }
    return true;
}

bool Derive_Folder(const Request& request) {
    if (!Check_Folder(request.folder)) return false;
    std::string output = In_Folder(request.folder, Kelvane::NORMAL_FILE.c_str());
    if (fs::exists(output) && !request.force) {
        std::printf("kelvane_normals: %s already exists; use --force to replace it\n", output.c_str());
        return false;
    }
    if (!Asset_Baker::Init_Image_Output()) {
        std::printf("kelvane_normals: cannot start Allegro's image add-on\n");
        return false;
    }
    Kelvane::Camera camera;
    Height_Field field;
    std::string error;
    if (!Read_Height_Field(request.folder, camera, field, error)) {
        std::printf("kelvane_normals: %s\n", error.c_str());
        return false;
    }
    if (!Asset_Baker::Save_Png(Derive_Normals(field, camera, request.strength, request.radius), output)) {
        std::printf("kelvane_normals: cannot write %s\n", output.c_str());
        return false;
    }
    std::printf("kelvane_normals: wrote %s (%d x %d, strength %g, radius %d)\n", output.c_str(), field.width,
                field.height, request.strength, request.radius);
    return true;
}

}  // namespace Kelvane_Normals
