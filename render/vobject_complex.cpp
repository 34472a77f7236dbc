#include "render/vobject_complex.h"

#include <allegro5/allegro.h>

#include <algorithm>  // Required for: max()
#include <cstddef>    // Required for: ptrdiff_t
#include <cstdint>
#include <cstdio>      // Required for: printf()
#include <filesystem>  // Required for: last_write_time(), to tell a stale cache
#include <vector>

#include "core/common.h"
#include "core/config.h"
#include "resources/bitmap.h"
#include "resources/bitmap_manager.h"
#include "world/camera.h"
#include "world/light.h"

namespace Kelvane {

namespace {

const std::string DIFFUSE_FILE = "diffuse.png";
const std::string NORMAL_FILE = "normal.png";
const std::string HEIGHT_FILE = "height.png";
const std::string SETTINGS_FILE = "settings.ini";
const std::string NORMAL_CACHE_FILE = "normal_cooked.png";
const std::string SHADOW_CACHE_FILE = "shadow.png";
const std::string SETTINGS_SECTION = "General";

const float DEFAULT_TALL = 500.0f;
const float DEFAULT_CENTER = 100.0f;

// Only fully (254) or nearly fully (255) opaque diffuse pixels cast a shadow.
const int CASTING_ALPHA = 254;
// A shadow pixel below this alpha is a hole the clean-up may fill...
const int HOLE_ALPHA_LIMIT = 250;
// ...and a neighbour above this alpha counts as solid for a pixel that is not.
const int SOLID_ALPHA_LIMIT = 250;
// Fewer than this many solid neighbours and a pixel is filled or removed.
const int NEIGHBOUR_LIMIT = 4;
// Shadow heights are two base-255 digits; hi must fit one byte.
const int MAX_HIGH_DIGIT = 255;

const uint32_t TRANSPARENT_WORD = 0;

// Pixel words of ARGB_8888 locks: alpha in bits 24-31, red 16-23, green 8-15, blue 0-7.
int Alpha_Of(uint32_t word) { return static_cast<int>(word >> 24); }
int Red_Of(uint32_t word) { return static_cast<int>((word >> 16) & 0xFF); }
int Green_Of(uint32_t word) { return static_cast<int>((word >> 8) & 0xFF); }
int Blue_Of(uint32_t word) { return static_cast<int>(word & 0xFF); }

uint32_t Word_Of(int r, int g, int b, int a) {
    return (static_cast<uint32_t>(a & 0xFF) << 24) | (static_cast<uint32_t>(r & 0xFF) << 16) |
           (static_cast<uint32_t>(g & 0xFF) << 8) | static_cast<uint32_t>(b & 0xFF);
}

ALLEGRO_LOCKED_REGION* Lock_Words(ALLEGRO_BITMAP* bitmap, int mode) {
    return al_lock_bitmap(bitmap, ALLEGRO_PIXEL_FORMAT_ARGB_8888, mode);
}

// The pitch may be negative (OpenGL locks run bottom-up), so step rows in bytes.
uint32_t* Row_Of(ALLEGRO_LOCKED_REGION* region, int y) {
    return reinterpret_cast<uint32_t*>(static_cast<char*>(region->data) + static_cast<std::ptrdiff_t>(y) * region->pitch);
}

uint32_t Word_At(ALLEGRO_LOCKED_REGION* region, int x, int y) { return Row_Of(region, y)[x]; }

bool Inside(int x, int y, int width, int rows) { return x >= 0 && y >= 0 && x < width && y < rows; }

// The shadow sprite while it is made: one word per pixel, column after column,
// so that the column-major passes walk memory in order.
using Column_Grid = std::vector<uint32_t>;

size_t Cell(int i, int j, int rows) {
    return static_cast<size_t>(i) * static_cast<size_t>(rows) + static_cast<size_t>(j);
}

// Writes outside the sprite are dropped.
void Put_Cell(Column_Grid& grid, int width, int rows, int i, int j, uint32_t word) {
    if (Inside(i, j, width, rows)) grid[Cell(i, j, rows)] = word;
}

// z as two base-255 digits, red = lo and green = hi; transparent when hi
// would not fit its byte (or z is negative), since then it cannot be decoded.
uint32_t Shadow_Word(float z) {
    int hi = Truncate_To_Int(z / 255.0f);
    if (!(z >= 0.0f && hi <= MAX_HIGH_DIGIT)) return TRANSPARENT_WORD;
    int lo = Truncate_To_Int(z - 255.0f * hi);
    return Word_Of(lo, hi, 0, 255);
}

// The five-pixel cross of a source pixel landed at v. Only the centre is
// tested: a taller point keeps it, equal heights overwrite.
void Stamp_Cross(Column_Grid& grid, int width, int rows, Vec2D v, float z, uint32_t word) {
    int spot_x = Truncate_To_Int(v.x);
    int spot_y = Truncate_To_Int(v.y);
    if (v.x >= 0.0f && v.x < width && v.y >= 0.0f && v.y < rows) {
        uint32_t owner = grid[Cell(spot_x, spot_y, rows)];
        if (Red_Of(owner) + 255 * Green_Of(owner) > z) return;
    }
    Put_Cell(grid, width, rows, spot_x, spot_y, word);
    Put_Cell(grid, width, rows, Truncate_To_Int(v.x - 1.0f), spot_y, word);
    Put_Cell(grid, width, rows, Truncate_To_Int(v.x + 1.0f), spot_y, word);
    Put_Cell(grid, width, rows, spot_x, Truncate_To_Int(v.y + 1.0f), word);
    Put_Cell(grid, width, rows, spot_x, Truncate_To_Int(v.y - 1.0f), word);
}

// One clean-up decision: a hole with few gaps around it takes the last scanned
// neighbour's height, a solid pixel with few solid neighbours is removed.
void Clean_Shadow_Pixel(Column_Grid& grid, int width, int rows, int i, int j) {
    bool hole = Alpha_Of(grid[Cell(i, j, rows)]) < HOLE_ALPHA_LIMIT;
    int count = 0;
    bool any_neighbour = false;
    uint32_t last = TRANSPARENT_WORD;
    for (int di = -1; di <= 1; di++) {
        for (int dj = -1; dj <= 1; dj++) {
            if ((di == 0 && dj == 0) || !Inside(i + di, j + dj, width, rows)) continue;
            last = grid[Cell(i + di, j + dj, rows)];
            any_neighbour = true;
            int alpha = Alpha_Of(last);
            if (hole ? alpha != 255 : alpha > SOLID_ALPHA_LIMIT) count++;
        }
    }
    if (count >= NEIGHBOUR_LIMIT) return;
    // A 1 x 1 image has no neighbour to copy: its hole stays transparent, no footprint.
    if (hole && any_neighbour) grid[Cell(i, j, rows)] = Word_Of(Red_Of(last), Green_Of(last), 0, 255);
    if (!hole) grid[Cell(i, j, rows)] = TRANSPARENT_WORD;
}

// Column-major and in place: each decision sees the changes already made.
void Clean_Shadow(Column_Grid& grid, int width, int rows) {
    for (int i = 0; i < width; i++)
        for (int j = 0; j < rows; j++) Clean_Shadow_Pixel(grid, width, rows, i, j);
}

// False when the image cannot be locked.
bool Store_Grid(const Column_Grid& grid, ALLEGRO_BITMAP* image) {
    int width = al_get_bitmap_width(image);
    int rows = al_get_bitmap_height(image);
    ALLEGRO_LOCKED_REGION* lock = Lock_Words(image, ALLEGRO_LOCK_WRITEONLY);
    if (!lock) return false;
    for (int y = 0; y < rows; y++) {
        uint32_t* row = Row_Of(lock, y);
        for (int x = 0; x < width; x++) row[x] = grid[Cell(x, y, rows)];
    }
    al_unlock_bitmap(image);
    return true;
}

// Loads through the store with the given new-bitmap flags, restoring the caller's.
// Cooked and source data images keep their raw channels: premultiplying on load
// would scale the normal by the height and make a cached map differ from a fresh one.
Bitmap* Load_Raw(Bitmap_Manager* store, std::string path, int flags, Bitmap* (Bitmap_Manager::*load)(std::string)) {
    int previous = al_get_new_bitmap_flags();
    al_set_new_bitmap_flags(flags | ALLEGRO_NO_PREMULTIPLIED_ALPHA);
    Bitmap* entry = (store->*load)(path);
    al_set_new_bitmap_flags(previous);
    return entry;
}

// Written whole or not at all; a read-only folder or a full disk just means
// cooking again next time.
void Save_Cache(const std::string& path, ALLEGRO_BITMAP* image) {
    bool saved = Write_File_Whole(path, [image](ALLEGRO_FILE* file) {
        bool written = al_save_bitmap_f(file, ".png", image);
        // NOTE: Allegro's PNG writer leaves the image locked when a write fails.
        if (al_is_bitmap_locked(image)) al_unlock_bitmap(image);
        return written;
    });
    if (!saved) std::printf("Cache %s couldn't be written; it will be cooked again next time.\n", path.c_str());
}

// A texture copy of a memory image, or null when the GL cannot hold it.
ALLEGRO_BITMAP* Upload(ALLEGRO_BITMAP* image) {
    ALLEGRO_BITMAP* texture = al_clone_bitmap(image);
    if (texture && Bitmap::Is_Refused_Texture(texture)) {
        al_destroy_bitmap(texture);
        return nullptr;
    }
    return texture;
}

void Unlock_If_Locked(ALLEGRO_BITMAP* image, ALLEGRO_LOCKED_REGION* lock) {
    if (lock) al_unlock_bitmap(image);
}

// Copies normal RGB and height red (as alpha) over the normal image's extent,
// clipped to the result; missing height reads as 0. False when an image cannot be locked.
bool Pack_Normal_And_Height(ALLEGRO_BITMAP* normal, ALLEGRO_BITMAP* height, ALLEGRO_BITMAP* result) {
    int normal_w = al_get_bitmap_width(normal);
    int normal_h = al_get_bitmap_height(normal);
    int height_w = al_get_bitmap_width(height);
    int height_h = al_get_bitmap_height(height);
    ALLEGRO_LOCKED_REGION* normal_lock = Lock_Words(normal, ALLEGRO_LOCK_READONLY);
    ALLEGRO_LOCKED_REGION* height_lock = Lock_Words(height, ALLEGRO_LOCK_READONLY);
    ALLEGRO_LOCKED_REGION* result_lock = Lock_Words(result, ALLEGRO_LOCK_WRITEONLY);
    bool locked = normal_lock && height_lock && result_lock;
    int width = al_get_bitmap_width(result);
    int rows = locked ? al_get_bitmap_height(result) : 0;
    for (int y = 0; y < rows; y++) {
        uint32_t* row = Row_Of(result_lock, y);
        for (int x = 0; x < width; x++) {
            if (!Inside(x, y, normal_w, normal_h)) {
                row[x] = TRANSPARENT_WORD;
                continue;
            }
            uint32_t n = Word_At(normal_lock, x, y);
            int height_byte = Inside(x, y, height_w, height_h) ? Red_Of(Word_At(height_lock, x, y)) : 0;
            row[x] = Word_Of(Red_Of(n), Green_Of(n), Blue_Of(n), height_byte);
        }
    }
    Unlock_If_Locked(result, result_lock);
    Unlock_If_Locked(height, height_lock);
    Unlock_If_Locked(normal, normal_lock);
    return locked;
}

std::filesystem::file_time_type Write_Time(const std::string& path) {
    std::error_code missing;
    std::filesystem::file_time_type time = std::filesystem::last_write_time(path, missing);
    return missing ? std::filesystem::file_time_type::min() : time;
}

}  // namespace

VObject_Complex::VObject_Complex(Bitmap_Manager* store, Camera* camera, std::string name, float x, float y,
                                 float z, float scale, bool shadow)
    : actual_bit_normal(nullptr), actual_bit_shadow(nullptr), tall(0.0f), scale(scale), has_shadow(shadow),
      name(name), folder(Folder_Of(name)), fallback_sources(false), selected(false), hover(false), light(nullptr) {
    Read_Settings();
    // After the settings: a settings.ini completed just now makes the caches stale
    // at once, rather than on the next start.
    bool refresh = Caches_Stale();
    Bitmap* diffuse = store->Get_Bitmap(folder + DIFFUSE_FILE);
    actual_bit = diffuse->Get_Bit();
    fallback_sources = diffuse->Is_Fallback();
    type = VOBJECT_TYPE_COMPLEX;
    this->x = x;
    this->y = y;
    this->z = z;
    w = static_cast<float>(al_get_bitmap_width(actual_bit));
    h = static_cast<float>(al_get_bitmap_height(actual_bit));
    tint = al_map_rgb(255, 255, 255);
    angle = 0.0f;
    flags = 0;
    visible = true;
    Load_Or_Cook_Normal_Map(store, refresh);
    if (!has_shadow) return;
    actual_bit_shadow = Load_Or_Make(store, SHADOW_CACHE_FILE, refresh, [this, camera] {
        Generate_Shadow_Bit(camera);
        return actual_bit_shadow;
    });
}

std::string VObject_Complex::Folder_Of(std::string name) {
    return Object_Folder(name);
}

void VObject_Complex::Update(float) {
    if (!light) return;
    light->Set_X(x);
    light->Set_Y(y);
    light->Set_Z(z);
}

void VObject_Complex::Read_Settings() {
    Config settings(folder + SETTINGS_FILE);
    tall = settings.Get_Float(SETTINGS_SECTION, "Height", DEFAULT_TALL);
    cx = settings.Get_Float(SETTINGS_SECTION, "Center_X", DEFAULT_CENTER);
    cy = settings.Get_Float(SETTINGS_SECTION, "Center_Y", DEFAULT_CENTER);
    settings.Save();
}

bool VObject_Complex::Caches_Stale() {
    std::filesystem::file_time_type newest_source = std::filesystem::file_time_type::min();
    for (const std::string& source : {DIFFUSE_FILE, NORMAL_FILE, HEIGHT_FILE, SETTINGS_FILE})
        newest_source = std::max(newest_source, Write_Time(folder + source));
    for (const std::string& cache : {NORMAL_CACHE_FILE, SHADOW_CACHE_FILE}) {
        if (cache == SHADOW_CACHE_FILE && !has_shadow) continue;
        std::filesystem::file_time_type made = Write_Time(folder + cache);
        if (made == std::filesystem::file_time_type::min() || made >= newest_source) continue;
        std::printf("Object %s: caches older than their sources; cooking them again.\n", folder.c_str());
        return true;
    }
    return false;
}

void VObject_Complex::Load_Or_Cook_Normal_Map(Bitmap_Manager* store, bool refresh) {
    actual_bit_normal = Load_Or_Make(store, NORMAL_CACHE_FILE, refresh, [this, store] {
        Generate_Normal_Map(store);
        return actual_bit_normal;
    });
    if (actual_bit_normal) return;
    // The renderer binds every object's normal map: the checker is better than nothing.
    std::printf("Object %s: its normal map couldn't be made. Using the missing image.\n", folder.c_str());
    actual_bit_normal = store->Get_Bitmap(DEFAULT_MISSING_BITMAP)->Get_Bit();
    fallback_sources = true;
}

ALLEGRO_BITMAP* VObject_Complex::Load_Or_Make(Bitmap_Manager* store, const std::string& file, bool refresh,
                                              const std::function<ALLEGRO_BITMAP*()>& make) {
    std::string cache = folder + file;
    if (!refresh && File_Exists(cache)) {
        // Textures whatever the caller's flags: the shaders draw them.
        int flags = al_get_new_bitmap_flags() & ~ALLEGRO_MEMORY_BITMAP;
        Bitmap* cached = Load_Raw(store, cache, flags, &Bitmap_Manager::Get_Usable_Bitmap);
        if (cached) return cached->Get_Bit();
        std::printf("Cache %s can't be used; cooking it again.\n", cache.c_str());
    }
    ALLEGRO_BITMAP* image = make();
    if (!image) return nullptr;
    if (!fallback_sources) Save_Cache(cache, image);
    store->Replace_Bitmap(cache, image);  // objects built after this one share it
    return image;
}

void VObject_Complex::Generate_Normal_Map(Bitmap_Manager* store) {
    std::string normal_path = folder + NORMAL_FILE;
    std::string height_path = folder + HEIGHT_FILE;
    // Memory images, as large as they come: the packing runs on the CPU and the
    // result is uploaded once.
    Bitmap* normal = Load_Raw(store, normal_path, ALLEGRO_MEMORY_BITMAP, &Bitmap_Manager::Get_Bitmap);
    Bitmap* height = Load_Raw(store, height_path, ALLEGRO_MEMORY_BITMAP, &Bitmap_Manager::Get_Bitmap);
    if (normal->Is_Fallback() || height->Is_Fallback()) fallback_sources = true;
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    ALLEGRO_BITMAP* result = al_create_bitmap(Truncate_To_Int(w), Truncate_To_Int(h));
    bool packed = result && Pack_Normal_And_Height(normal->Get_Bit(), height->Get_Bit(), result);
    // The sources are not needed again; dropping their entries makes a second
    // cook (after a failed save) reload them instead of meeting dead images.
    store->Release_Bitmap(normal_path);
    store->Release_Bitmap(height_path);
    al_set_new_bitmap_flags(0);
    actual_bit_normal = packed ? Upload(result) : nullptr;
    if (result) al_destroy_bitmap(result);
}

void VObject_Complex::Generate_Shadow_Bit(Camera* camera) {
    int width = Truncate_To_Int(w);
    int rows = Truncate_To_Int(h);
    Column_Grid grid(static_cast<size_t>(width) * static_cast<size_t>(rows), TRANSPARENT_WORD);
    actual_bit_shadow = nullptr;
    if (!Cast_Footprint(camera, grid)) return;
    Clean_Shadow(grid, width, rows);
    ALLEGRO_BITMAP* sprite = al_create_bitmap(width, rows);
    if (sprite && Store_Grid(grid, sprite)) {
        actual_bit_shadow = sprite;
        return;
    }
    std::printf("Object %s: its shadow sprite couldn't be made; it casts no shadow.\n", folder.c_str());
    if (sprite) al_destroy_bitmap(sprite);
}

bool VObject_Complex::Cast_Footprint(Camera* camera, std::vector<uint32_t>& grid) {
    int width = Truncate_To_Int(w);
    int rows = Truncate_To_Int(h);
    // A stale cached map may be smaller than the diffuse image: height 0 outside it.
    int normal_w = al_get_bitmap_width(actual_bit_normal);
    int normal_h = al_get_bitmap_height(actual_bit_normal);
    ALLEGRO_LOCKED_REGION* diffuse_lock = Lock_Words(actual_bit, ALLEGRO_LOCK_READONLY);
    ALLEGRO_LOCKED_REGION* normal_lock = Lock_Words(actual_bit_normal, ALLEGRO_LOCK_READONLY);
    bool fits = diffuse_lock && normal_lock;
    for (int i = 0; fits && i < width; i++) {
        for (int j = 0; fits && j < rows; j++) {
            if (Alpha_Of(Word_At(diffuse_lock, i, j)) < CASTING_ALPHA) continue;
            int hb = Inside(i, j, normal_w, normal_h) ? Alpha_Of(Word_At(normal_lock, i, j)) : 0;
            fits = Cast_Pixel(camera, i, j, hb, grid);
        }
    }
    Unlock_If_Locked(actual_bit_normal, normal_lock);
    Unlock_If_Locked(actual_bit, diffuse_lock);
    if (!diffuse_lock || !normal_lock)
        std::printf("Object %s: its images couldn't be read; it casts no shadow.\n", folder.c_str());
    return fits;
}

bool VObject_Complex::Cast_Pixel(Camera* camera, int i, int j, int hb, std::vector<uint32_t>& grid) {
    double height_factor = camera->Get_Height_Factor();
    float z = static_cast<float>(((hb / 255.0) * tall) / height_factor);
    uint32_t word = Shadow_Word(z);
    if (word == TRANSPARENT_WORD) {
        std::printf("Object %s: height %g is beyond what shadow.png can hold (0 to %d); it casts no shadow.\n",
                    folder.c_str(), z, (MAX_HIGH_DIGIT + 1) * 255 - 1);
        return false;
    }
    // Through both camera operations, so the landing spot rounds as the projection does.
    Vec2D floor = camera->Screen_To_Proj(static_cast<float>(i), static_cast<float>(j), z);
    Vec2D v = camera->Proj_To_Screen(floor.x, floor.y, 0.0f);
    Stamp_Cross(grid, Truncate_To_Int(w), Truncate_To_Int(h), v, z, word);
    return true;
}

}  // namespace Kelvane
