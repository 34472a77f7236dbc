#include "tools/asset_baker/writer.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_image.h>

#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/common.h"  // Required for: Write_File_Whole(), the folder's file names, Clip_Section()
#include "core/config.h"

namespace Asset_Baker {

bool Init_Image_Output() {
    if (!al_is_system_installed() && !al_init()) return false;
    if (!al_is_image_addon_initialized() && !al_init_image_addon()) return false;
    return true;
}

bool Save_Png(const Image& image, const std::string& path) {
    if (!Init_Image_Output()) return false;
    int old_flags = al_get_new_bitmap_flags();
    int old_format = al_get_new_bitmap_format();
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    al_set_new_bitmap_format(ALLEGRO_PIXEL_FORMAT_ABGR_8888_LE);
    ALLEGRO_BITMAP* bitmap = al_create_bitmap(image.width, image.height);
    al_set_new_bitmap_flags(old_flags);
    al_set_new_bitmap_format(old_format);
    if (!bitmap) return false;
    bool saved = false;
    // ABGR_8888_LE lays out each pixel as the bytes R, G, B, A: the Image order.
    ALLEGRO_LOCKED_REGION* region =
        al_lock_bitmap(bitmap, ALLEGRO_PIXEL_FORMAT_ABGR_8888_LE, ALLEGRO_LOCK_WRITEONLY);
    if (region) {
        for (int y = 0; y < image.height; ++y) {
            std::memcpy(static_cast<char*>(region->data) + static_cast<long>(y) * region->pitch,
                        image.data.data() + static_cast<size_t>(y) * image.width * 4,
                        static_cast<size_t>(image.width) * 4);
        }
        al_unlock_bitmap(bitmap);
        saved = Kelvane::Write_File_Whole(
            path, [bitmap](ALLEGRO_FILE* file) { return al_save_bitmap_f(file, ".png", bitmap); });
    }
    al_destroy_bitmap(bitmap);
    return saved;
}

bool Write_Object_Folder(const std::string& folder, const Baked_Object& baked) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::create_directories(folder, error);
    if (!fs::is_directory(folder)) return false;
    // Stale caches and settings go first, so a failure below leaves no cache
    // that disagrees with the images.
    for (const std::string& stale : {Kelvane::NORMAL_CACHE_FILE, Kelvane::SHADOW_CACHE_FILE, Kelvane::SETTINGS_FILE}) {
        fs::remove(fs::path(folder) / stale, error);
        if (fs::exists(fs::path(folder) / stale)) return false;
    }
    std::string base = (fs::path(folder) / "").string();
    if (!Save_Png(baked.diffuse, base + Kelvane::DIFFUSE_FILE)) return false;
    if (!Save_Png(baked.normal, base + Kelvane::NORMAL_FILE)) return false;
    if (!Save_Png(baked.height, base + Kelvane::HEIGHT_FILE)) return false;
    {
        Kelvane::Config settings(base + Kelvane::SETTINGS_FILE);
        settings.Set_Float("General", "Height", baked.tall);
        settings.Set_Float("General", "Center_X", baked.center_x);
        settings.Set_Float("General", "Center_Y", baked.center_y);
        // A still object's settings name no frames, as the engine expects of one.
        if (baked.frames > 1) {
            settings.Set_Float("General", "Frames", static_cast<float>(baked.frames));
            settings.Set_Float("General", "Columns", static_cast<float>(baked.columns));
        }
        for (const Baked_Clip& clip : baked.clips) {
            std::string section = Kelvane::Clip_Section(clip.name);
            settings.Set_Float(section, "First", static_cast<float>(clip.first));
            settings.Set_Float(section, "Count", static_cast<float>(clip.count));
            settings.Set_Float(section, "Frame_Rate", clip.frame_rate);
            settings.Set_Float(section, "Loop", clip.loop ? 1.0f : 0.0f);
        }
        settings.Save();
    }
    return fs::exists(base + Kelvane::SETTINGS_FILE);
}

}  // namespace Asset_Baker
