#include "render/vobject_complex.h"

#include <allegro5/allegro.h>

#include <signal.h>  // Required for: kill(), to tell whether a temporary file's writer still runs
#include <unistd.h>  // Required for: getpid()

#include <algorithm>  // Required for: max()
#include <array>
#include <cerrno>  // Required for: errno, EPERM
#include <cstdint>
#include <cstdio>      // Required for: printf()
#include <filesystem>  // Required for: last_write_time(), weakly_canonical(), directory_iterator
#include <vector>

#include "core/common.h"
#include "core/config.h"
#include "resources/bitmap.h"
#include "resources/bitmap_manager.h"
#include "world/camera.h"
#include "world/light.h"

namespace Kelvane {

namespace {

// Per cache, the write times of the cache and of its sources when it was written.
const std::string RECORD_FILE = "cache_sources.ini";
const std::string SETTINGS_SECTION = "General";
// What the caches are made from, and the files this object writes.
const std::array<std::string, 4> SOURCE_FILES{DIFFUSE_FILE, NORMAL_FILE, HEIGHT_FILE, SETTINGS_FILE};
const std::array<std::string, 4> WRITTEN_FILES{NORMAL_CACHE_FILE, SHADOW_CACHE_FILE, SETTINGS_FILE, RECORD_FILE};

const float DEFAULT_TALL = 500.0f;
const float DEFAULT_CENTER = 100.0f;

// Ticks per second of the game's loop: Update's dt counts ticks, clips count seconds.
int tick_rate = DEFAULT_FPS;

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

uint32_t Word_At(ALLEGRO_LOCKED_REGION* region, int x, int y) { return Locked_Row(region, y)[x]; }

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

// The bits of a shadow word that hold its height: red and green.
const uint32_t HEIGHT_BITS = Word_Of(255, 255, 0, 0);

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

// A frame's grid into its place in the sheet's grid (`sheet_rows` rows).
void Place_Grid(const Column_Grid& grid, int width, int rows, Vec2D origin, Column_Grid& sheet, int sheet_rows) {
    int left = Truncate_To_Int(origin.x);
    int top = Truncate_To_Int(origin.y);
    for (int i = 0; i < width; i++)
        for (int j = 0; j < rows; j++) sheet[Cell(left + i, top + j, sheet_rows)] = grid[Cell(i, j, rows)];
}

// False when the image cannot be locked.
bool Store_Grid(const Column_Grid& grid, ALLEGRO_BITMAP* image) {
    int width = al_get_bitmap_width(image);
    int rows = al_get_bitmap_height(image);
    ALLEGRO_LOCKED_REGION* lock = Lock_Words(image, ALLEGRO_LOCK_WRITEONLY);
    if (!lock) return false;
    for (int y = 0; y < rows; y++) {
        uint32_t* row = Locked_Row(lock, y);
        for (int x = 0; x < width; x++) row[x] = grid[Cell(x, y, rows)];
    }
    al_unlock_bitmap(image);
    return true;
}

// One line per problem of the folder's settings or images.
void Say_Problems(const std::string& folder, const std::vector<std::string>& problems) {
    for (const std::string& problem : problems) std::printf("Object %s: %s.\n", folder.c_str(), problem.c_str());
}

// Runs `work` with the given new-bitmap flags, then restores the caller's.
template <typename Work>
auto With_New_Bitmap_Flags(int flags, const Work& work) {
    int previous = al_get_new_bitmap_flags();
    al_set_new_bitmap_flags(flags);
    auto result = work();
    al_set_new_bitmap_flags(previous);
    return result;
}

// The caller's flags, but textures whatever they say: the shaders draw them.
int Texture_Flags() { return al_get_new_bitmap_flags() & ~ALLEGRO_MEMORY_BITMAP; }

// Loads through the store with the given new-bitmap flags.
// Cooked and source data images keep their raw channels: premultiplying on load
// would scale the normal by the height and make a cached map differ from a fresh one.
Bitmap* Load_Raw(Bitmap_Manager* store, std::string path, int flags, Bitmap* (Bitmap_Manager::*load)(std::string)) {
    return With_New_Bitmap_Flags(flags | ALLEGRO_NO_PREMULTIPLIED_ALPHA, [&] { return (store->*load)(path); });
}

ALLEGRO_BITMAP* Missing_Image(Bitmap_Manager* store) {
    return With_New_Bitmap_Flags(Texture_Flags(),
                                 [store] { return store->Get_Bitmap(DEFAULT_MISSING_BITMAP)->Get_Bit(); });
}

// A texture copy of a memory image, or null when the GL cannot hold it.
ALLEGRO_BITMAP* Upload(ALLEGRO_BITMAP* image) {
    return With_New_Bitmap_Flags(Texture_Flags(), [image]() -> ALLEGRO_BITMAP* {
        ALLEGRO_BITMAP* texture = al_clone_bitmap(image);
        if (!texture || !Bitmap::Is_Refused_Texture(texture)) return texture;
        al_destroy_bitmap(texture);
        return nullptr;
    });
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
    // Both may be the missing image, which can be locked only once.
    ALLEGRO_LOCKED_REGION* height_lock = height == normal ? normal_lock : Lock_Words(height, ALLEGRO_LOCK_READONLY);
    ALLEGRO_LOCKED_REGION* result_lock = Lock_Words(result, ALLEGRO_LOCK_WRITEONLY);
    bool locked = normal_lock && height_lock && result_lock;
    int width = al_get_bitmap_width(result);
    int rows = locked ? al_get_bitmap_height(result) : 0;
    for (int y = 0; y < rows; y++) {
        uint32_t* row = Locked_Row(result_lock, y);
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
    if (height != normal) Unlock_If_Locked(height, height_lock);
    Unlock_If_Locked(normal, normal_lock);
    return locked;
}

std::filesystem::file_time_type Write_Time(const std::string& path) {
    std::error_code missing;
    std::filesystem::file_time_type time = std::filesystem::last_write_time(path, missing);
    return missing ? std::filesystem::file_time_type::min() : time;
}

// Exact, so that a record matches only the very same times.
std::string Time_Text(const std::string& path) {
    return ToString(Write_Time(path).time_since_epoch().count());
}

// True when writing the path (through its link, if it is one) puts the file in
// the path's own folder.
bool Writes_Beside(const std::string& path) {
    std::error_code error;
    std::filesystem::path written = std::filesystem::weakly_canonical(
        std::filesystem::path(Write_Target(path)).parent_path(), error);
    std::error_code folder_error;
    std::filesystem::path folder =
        std::filesystem::weakly_canonical(std::filesystem::path(path).parent_path(), folder_error);
    return !error && !folder_error && written == folder;
}

bool Is_Running(int pid) { return kill(pid, 0) == 0 || errno == EPERM; }

// A temporary file of one of WRITTEN_FILES whose writer is gone, or is this
// process, which writes nothing while objects are built: it will never be renamed.
bool Is_Stale_Temporary(const std::filesystem::directory_entry& entry) {
    std::error_code error;
    if (!entry.is_regular_file(error) || entry.is_symlink(error)) return false;
    for (const std::string& file : WRITTEN_FILES) {
        int owner = Temporary_File_Owner(file, entry.path().filename().string());
        if (owner) return owner == getpid() || !Is_Running(owner);
    }
    return false;
}

}  // namespace

VObject_Complex::VObject_Complex(Bitmap_Manager* store, Camera* camera, std::string name, float x, float y,
                                 float z, float scale, bool shadow)
    : actual_bit_normal(nullptr), actual_bit_shadow(nullptr), tall(DEFAULT_TALL), scale(scale),
      has_shadow(shadow), name(name), folder(Is_Plain_Name(name) ? Folder_Of(name) : ""), fallback_sources(false),
      selected(false), hover(false), light(nullptr), light_lift(0.0f), frame_origin(0.0f, 0.0f),
      raised_footprints(nullptr) {
    type = VOBJECT_TYPE_COMPLEX;
    this->x = x;
    this->y = y;
    this->z = z;
    cx = DEFAULT_CENTER;
    cy = DEFAULT_CENTER;
    tint = al_map_rgb(255, 255, 255);
    angle = 0.0f;
    flags = 0;
    visible = true;
    if (folder.empty())
        Show_Missing_Image(store);
    else
        Build_From_Folder(store, camera);
}

void VObject_Complex::Build_From_Folder(Bitmap_Manager* store, Camera* camera) {
    // The first object of the folder in this run tidies and reports; the others share what it made.
    bool first = !store->Get_Stored_Bitmap(folder + NORMAL_CACHE_FILE);
    if (first) Remove_Stale_Temporaries();
    Read_Settings(first);
    // After the settings: a settings.ini completed just now makes the caches stale
    // at once, rather than on the next start.
    bool refresh = Caches_Stale(store);
    Bitmap* diffuse = store->Get_Bitmap(folder + DIFFUSE_FILE);
    actual_bit = diffuse->Get_Bit();
    fallback_sources = diffuse->Is_Fallback();
    Take_Size(first);
    std::vector<std::string> saved;
    Load_Or_Cook_Normal_Map(store, refresh, saved);
    if (has_shadow) {
        actual_bit_shadow = Load_Or_Make(
            store, SHADOW_CACHE_FILE, refresh,
            [this, camera] {
                Generate_Shadow_Bit(camera);
                return actual_bit_shadow;
            },
            saved);
        if (actual_bit_shadow) Take_Raised_Footprints(store);
    }
    Record_Sources(saved);
}

void VObject_Complex::Take_Raised_Footprints(Bitmap_Manager* store) {
    Bitmap* sprite = store->Get_Stored_Bitmap(folder + SHADOW_CACHE_FILE);
    // A cached sprite of another size is stretched over the sheet: its pixels are not the frames'.
    if (!sprite || sprite->Get_Bit() != actual_bit_shadow || al_get_bitmap_width(actual_bit_shadow) != Sheet_W() ||
        al_get_bitmap_height(actual_bit_shadow) != Sheet_H())
        return;
    raised_footprints = &sprite->Cell_Bounds(animation.Get_Frame_W(), animation.Get_Frame_H(), HEIGHT_BITS);
}

Pixel_Box VObject_Complex::Get_Raised_Footprint() {
    size_t frame = static_cast<size_t>(animation.Get_Frame());
    if (raised_footprints && frame < raised_footprints->size()) return (*raised_footprints)[frame];
    return Pixel_Box{0, 0, animation.Get_Frame_W(), animation.Get_Frame_H()};
}

void VObject_Complex::Show_Missing_Image(Bitmap_Manager* store) {
    std::printf("Object name \"%s\" is not one folder name in %s; showing the missing image.\n", name.c_str(),
                OBJECTS_FOLDER.c_str());
    actual_bit = Missing_Image(store);
    actual_bit_normal = actual_bit;
    Take_Size(false);
}

void VObject_Complex::Take_Size(bool report) {
    // The checker image in place of a sheet is one frame.
    if (fallback_sources) animation = Animation();
    std::vector<std::string> problems;
    animation.Fit_Sheet(Sheet_W(), Sheet_H(), problems);
    if (report) Say_Problems(folder, problems);
    w = static_cast<float>(animation.Get_Frame_W());
    h = static_cast<float>(animation.Get_Frame_H());
    Show_Frame();
}

void VObject_Complex::Show_Frame() {
    frame_origin = animation.Origin_Of(animation.Get_Frame());
}

int VObject_Complex::Sheet_W() { return al_get_bitmap_width(actual_bit); }
int VObject_Complex::Sheet_H() { return al_get_bitmap_height(actual_bit); }

VObject_Complex* VObject_Complex::Drawn(VObject* object) {
    if (!object->Is_Visible() || object->Get_Type() != VOBJECT_TYPE_COMPLEX) return nullptr;
    return static_cast<VObject_Complex*>(object);
}

std::string VObject_Complex::Folder_Of(std::string name) {
    return Object_Folder(name);
}

void VObject_Complex::Set_Tick_Rate(int ticks_per_second) {
    KELVANE_ASSERT(ticks_per_second > 0, "a tick rate is a number of ticks per second above 0");
    tick_rate = ticks_per_second;
}

void VObject_Complex::Update(float dt) {
    animation.Advance(dt / static_cast<double>(tick_rate));
    Show_Frame();
    if (!light) return;
    light->Set_X(x);
    light->Set_Y(y);
    light->Set_Z(z + light_lift);
}

bool VObject_Complex::Play(std::string clip) {
    bool known = animation.Play(clip);
    if (!known)
        std::printf("Object %s: its %s has no section [%s]; nothing changes.\n", folder.c_str(),
                    SETTINGS_FILE.c_str(), Clip_Section(clip).c_str());
    Show_Frame();
    return known;
}

void VObject_Complex::Stop() { animation.Stop(); }

bool VObject_Complex::Set_Frame(int frame) {
    bool shown = animation.Set_Frame(frame);
    if (!shown)
        std::printf("Object %s: frame %d is not one of its frames 0 to %d; nothing changes.\n", folder.c_str(), frame,
                    animation.Get_Frames() - 1);
    Show_Frame();
    return shown;
}

void VObject_Complex::Remove_Stale_Temporaries() {
    std::error_code error;
    std::vector<std::filesystem::path> stale;
    std::filesystem::directory_iterator end;
    for (std::filesystem::directory_iterator entry(folder, error); !error && entry != end; entry.increment(error))
        if (Is_Stale_Temporary(*entry)) stale.push_back(entry->path());
    for (const std::filesystem::path& path : stale) std::filesystem::remove(path, error);
}

void VObject_Complex::Read_Settings(bool report) {
    Config settings(folder + SETTINGS_FILE);
    if (report && !settings.Is_Loaded())
        std::printf("Object %s: %s couldn't be read; using the defaults and leaving the file as it is.\n",
                    folder.c_str(), SETTINGS_FILE.c_str());
    tall = Read_Setting(settings, "Height", DEFAULT_TALL, true, report);
    cx = Read_Setting(settings, "Center_X", DEFAULT_CENTER, false, report);
    cy = Read_Setting(settings, "Center_Y", DEFAULT_CENTER, false, report);
    std::vector<std::string> problems;
    animation.Read_Settings(settings, problems);
    if (report) Say_Problems(folder, problems);
    if (May_Write(SETTINGS_FILE, report)) settings.Save();
}

float VObject_Complex::Read_Setting(Config& settings, const std::string& key, float fallback, bool positive,
                                    bool report) {
    std::string text = settings.Get_String(SETTINGS_SECTION, key, ToString(fallback));
    float value = 0.0f;
    if (Read_Float(text, value) && (!positive || value > 0.0f)) return value;
    if (report)
        std::printf("Object %s: %s %s = %s is not a finite number%s; using %s.\n", folder.c_str(),
                    SETTINGS_FILE.c_str(), key.c_str(), text.c_str(), positive ? " above 0" : "",
                    ToString(fallback).c_str());
    return fallback;
}

bool VObject_Complex::Caches_Stale(Bitmap_Manager* store) {
    Config record(folder + RECORD_FILE);
    for (const std::string& cache : {NORMAL_CACHE_FILE, SHADOW_CACHE_FILE}) {
        if (cache == SHADOW_CACHE_FILE && !has_shadow) continue;
        // Taken from the store as it is, whatever the disk holds now.
        if (store->Get_Stored_Bitmap(folder + cache)) continue;
        if (!File_Exists(folder + cache) || Cache_Fresh(record, cache)) continue;
        std::printf("Object %s: caches older than their sources; cooking them again.\n", folder.c_str());
        return true;
    }
    return false;
}

bool VObject_Complex::Cache_Fresh(Config& record, const std::string& cache) {
    // A record of another file (a cache edited by hand, or replaced) tells nothing.
    if (record.Get_String(cache, cache, "") == Time_Text(folder + cache)) {
        for (const std::string& source : SOURCE_FILES)
            if (record.Get_String(cache, source, "") != Time_Text(folder + source)) return false;
        return true;
    }
    std::filesystem::file_time_type newest_source = std::filesystem::file_time_type::min();
    for (const std::string& source : SOURCE_FILES) newest_source = std::max(newest_source, Write_Time(folder + source));
    return Write_Time(folder + cache) >= newest_source;
}

bool VObject_Complex::May_Write(const std::string& file, bool report) {
    if (Writes_Beside(folder + file)) return true;
    if (report)
        std::printf("Object %s: %s is a link that leads out of the folder; it is not written.\n", folder.c_str(),
                    file.c_str());
    return false;
}

// A read-only folder or a full disk just means cooking again next time.
bool VObject_Complex::Save_Cache(const std::string& file, ALLEGRO_BITMAP* image) {
    if (!May_Write(file, true)) return false;
    std::string path = folder + file;
    bool saved = Write_File_Whole(path, [image](ALLEGRO_FILE* written) {
        bool complete = al_save_bitmap_f(written, ".png", image);
        // NOTE: Allegro's PNG writer leaves the image locked when a write fails.
        if (al_is_bitmap_locked(image)) al_unlock_bitmap(image);
        return complete;
    });
    if (!saved) std::printf("Cache %s couldn't be written; it will be cooked again next time.\n", path.c_str());
    return saved;
}

// A source dated in the future (copied from a machine whose clock was ahead)
// then still matches its record on the next start.
void VObject_Complex::Record_Sources(const std::vector<std::string>& caches) {
    if (caches.empty()) return;
    Config record(folder + RECORD_FILE);
    for (const std::string& cache : caches) {
        record.Set_String(cache, cache, Time_Text(folder + cache));
        for (const std::string& source : SOURCE_FILES) record.Set_String(cache, source, Time_Text(folder + source));
    }
    if (May_Write(RECORD_FILE, true)) record.Save();
}

void VObject_Complex::Load_Or_Cook_Normal_Map(Bitmap_Manager* store, bool refresh, std::vector<std::string>& saved) {
    actual_bit_normal = Load_Or_Make(
        store, NORMAL_CACHE_FILE, refresh,
        [this, store] {
            Generate_Normal_Map(store);
            return actual_bit_normal;
        },
        saved);
    if (actual_bit_normal) return;
    // The renderer binds every object's normal map: the checker is better than nothing.
    std::printf("Object %s: its normal map couldn't be made. Using the missing image.\n", folder.c_str());
    actual_bit_normal = Missing_Image(store);
    fallback_sources = true;
}

ALLEGRO_BITMAP* VObject_Complex::Load_Or_Make(Bitmap_Manager* store, const std::string& file, bool refresh,
                                              const std::function<ALLEGRO_BITMAP*()>& make,
                                              std::vector<std::string>& saved) {
    std::string cache = folder + file;
    // An earlier object of the folder loaded or made it in this run: shared, so
    // a folder is cooked once per run whatever the disk does.
    if (Bitmap* shared = store->Get_Stored_Bitmap(cache)) {
        fallback_sources = fallback_sources || shared->Is_Fallback();
        return shared->Get_Bit();
    }
    if (!refresh && File_Exists(cache)) {
        Bitmap* cached = Load_Raw(store, cache, Texture_Flags(), &Bitmap_Manager::Get_Usable_Bitmap);
        if (cached) return cached->Get_Bit();
        std::printf("Cache %s can't be used; cooking it again.\n", cache.c_str());
    }
    ALLEGRO_BITMAP* image = make();
    if (!image) return nullptr;
    if (!fallback_sources && Save_Cache(file, image)) saved.push_back(file);
    store->Replace_Bitmap(cache, image, fallback_sources);
    return image;
}

void VObject_Complex::Generate_Normal_Map(Bitmap_Manager* store) {
    std::string normal_path = folder + NORMAL_FILE;
    std::string height_path = folder + HEIGHT_FILE;
    bool diffuse_usable = !fallback_sources;
    // Memory images, as large as they come: the packing runs on the CPU and the
    // result is uploaded once.
    Bitmap* normal = Load_Raw(store, normal_path, ALLEGRO_MEMORY_BITMAP, &Bitmap_Manager::Get_Bitmap);
    Bitmap* height = Load_Raw(store, height_path, ALLEGRO_MEMORY_BITMAP, &Bitmap_Manager::Get_Bitmap);
    ALLEGRO_BITMAP* normal_image = Matching_Source(store, normal, NORMAL_FILE, diffuse_usable);
    ALLEGRO_BITMAP* height_image = Matching_Source(store, height, HEIGHT_FILE, diffuse_usable);
    ALLEGRO_BITMAP* result = With_New_Bitmap_Flags(
        ALLEGRO_MEMORY_BITMAP, [this] { return al_create_bitmap(Sheet_W(), Sheet_H()); });
    bool packed = result && Pack_Normal_And_Height(normal_image, height_image, result);
    // The sources are not needed again; dropping their entries makes a second
    // cook (after a failed save) reload them instead of meeting dead images.
    store->Release_Bitmap(normal_path);
    store->Release_Bitmap(height_path);
    actual_bit_normal = packed ? Upload(result) : nullptr;
    if (result) al_destroy_bitmap(result);
}

ALLEGRO_BITMAP* VObject_Complex::Matching_Source(Bitmap_Manager* store, Bitmap* source, const std::string& file,
                                                 bool diffuse_usable) {
    if (source->Is_Fallback()) fallback_sources = true;
    ALLEGRO_BITMAP* image = source->Get_Bit();
    int width = al_get_bitmap_width(image);
    int rows = al_get_bitmap_height(image);
    // Against a fallback diffuse image any size differs, and that was said already.
    if (source->Is_Fallback() || !diffuse_usable || (width == Sheet_W() && rows == Sheet_H())) return image;
    std::printf("Object %s: %s is %d x %d but %s is %d x %d; using the missing image in its place.\n",
                folder.c_str(), file.c_str(), width, rows, DIFFUSE_FILE.c_str(), Sheet_W(), Sheet_H());
    fallback_sources = true;
    return Missing_Image(store);
}

void VObject_Complex::Generate_Shadow_Bit(Camera* camera) {
    int width = Sheet_W();
    int rows = Sheet_H();
    Column_Grid sheet(static_cast<size_t>(width) * static_cast<size_t>(rows), TRANSPARENT_WORD);
    actual_bit_shadow = nullptr;
    if (!Cast_Frames(camera, sheet)) return;
    ALLEGRO_BITMAP* sprite = With_New_Bitmap_Flags(Texture_Flags(), [=] { return al_create_bitmap(width, rows); });
    if (sprite && Store_Grid(sheet, sprite)) {
        actual_bit_shadow = sprite;
        return;
    }
    std::printf("Object %s: its shadow sprite couldn't be made; it casts no shadow.\n", folder.c_str());
    if (sprite) al_destroy_bitmap(sprite);
}

bool VObject_Complex::Cast_Frames(Camera* camera, std::vector<uint32_t>& sheet) {
    int width = Truncate_To_Int(w);
    int rows = Truncate_To_Int(h);
    ALLEGRO_LOCKED_REGION* diffuse_lock = Lock_Words(actual_bit, ALLEGRO_LOCK_READONLY);
    ALLEGRO_LOCKED_REGION* normal_lock = Lock_Words(actual_bit_normal, ALLEGRO_LOCK_READONLY);
    bool fits = diffuse_lock && normal_lock;
    for (int frame = 0; fits && frame < animation.Get_Frames(); frame++) {
        Column_Grid grid(static_cast<size_t>(width) * static_cast<size_t>(rows), TRANSPARENT_WORD);
        Vec2D origin = animation.Origin_Of(frame);
        fits = Cast_Footprint(camera, diffuse_lock, normal_lock, origin, grid);
        Clean_Shadow(grid, width, rows);
        Place_Grid(grid, width, rows, origin, sheet, Sheet_H());
    }
    Unlock_If_Locked(actual_bit_normal, normal_lock);
    Unlock_If_Locked(actual_bit, diffuse_lock);
    if (!diffuse_lock || !normal_lock)
        std::printf("Object %s: its images couldn't be read; it casts no shadow.\n", folder.c_str());
    return fits;
}

bool VObject_Complex::Cast_Footprint(Camera* camera, ALLEGRO_LOCKED_REGION* diffuse, ALLEGRO_LOCKED_REGION* normal,
                                     Vec2D origin, std::vector<uint32_t>& grid) {
    int width = Truncate_To_Int(w);
    int rows = Truncate_To_Int(h);
    int left = Truncate_To_Int(origin.x);
    int top = Truncate_To_Int(origin.y);
    // A stale cached map may be smaller than the diffuse image: height 0 outside it.
    int normal_w = al_get_bitmap_width(actual_bit_normal);
    int normal_h = al_get_bitmap_height(actual_bit_normal);
    for (int i = 0; i < width; i++) {
        for (int j = 0; j < rows; j++) {
            if (Alpha_Of(Word_At(diffuse, left + i, top + j)) < CASTING_ALPHA) continue;
            bool inside = Inside(left + i, top + j, normal_w, normal_h);
            int hb = inside ? Alpha_Of(Word_At(normal, left + i, top + j)) : 0;
            if (!Cast_Pixel(camera, i, j, hb, grid)) return false;
        }
    }
    return true;
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
