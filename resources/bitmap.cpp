#include "resources/bitmap.h"

#include <allegro5/allegro.h>

#include <algorithm>  // Required for: std::min(), std::max()
#include <cstddef>    // Required for: std::ptrdiff_t
#include <cstdio>     // Required for: printf(), fprintf(), fflush()
#include <cstdlib>    // Required for: exit()

#include "core/common.h"

namespace Kelvane {

namespace {

// Without the fallback image nothing sensible can be shown: end the process.
ALLEGRO_BITMAP* Load_Fallback() {
    ALLEGRO_BITMAP* fallback = al_load_bitmap(DEFAULT_MISSING_BITMAP.c_str());
    if (fallback) return fallback;
    std::printf("The default missing bitmap couldn't be loaded either.");
    std::fflush(stdout);
    // Standard output may lead nowhere; standard error reaches whoever started the program.
    std::fprintf(stderr, "The default missing bitmap couldn't be loaded either.\n");
    std::exit(1);
}

// The file's image, or null and the line that says why it cannot be used.
ALLEGRO_BITMAP* Load_Image(const std::string& path, std::string& problem) {
    if (!File_Exists(path)) {
        problem = "Bitmap " + path + " doesn't exist. Using the missing image.";
        return nullptr;
    }
    ALLEGRO_BITMAP* image = al_load_bitmap(path.c_str());
    if (!image) {
        problem = "Bitmap " + path + " couldn't be loaded. Is the file valid?";
        return nullptr;
    }
    if (!Bitmap::Is_Refused_Texture(image)) return image;
    int largest = al_get_display_option(al_get_current_display(), ALLEGRO_MAX_BITMAP_SIZE);
    problem = "Bitmap " + path + " is larger than the largest texture (" + ToString(largest) + " x " +
              ToString(largest) + "). Using the missing image.";
    al_destroy_bitmap(image);
    return nullptr;
}

// Grows the box to hold the pixel.
void Take_In(Pixel_Box& box, int x, int y) {
    if (box.Empty()) {
        box = Pixel_Box{x, y, x + 1, y + 1};
        return;
    }
    box = Pixel_Box{std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1), std::max(box.bottom, y + 1)};
}

}  // namespace

// The pitch may be negative (OpenGL locks run bottom-up), so step rows in bytes.
uint32_t* Locked_Row(ALLEGRO_LOCKED_REGION* region, int y) {
    return reinterpret_cast<uint32_t*>(static_cast<char*>(region->data) + static_cast<std::ptrdiff_t>(y) * region->pitch);
}

Bitmap::Bitmap(std::string path) : name(path), bit(nullptr), fallback(false) {
    // NOTE: a missing file gets the fallback too, so no entry ever holds null
    // and a scene with a missing asset shows the checker where it should be.
    std::string problem;
    bit = Load_Image(path, problem);
    if (bit) return;
    std::printf("%s\n", problem.c_str());
    bit = Load_Fallback();
    fallback = true;
}

Bitmap::Bitmap(std::string name, ALLEGRO_BITMAP* image, bool fallback) : name(name), bit(image), fallback(fallback) {}

// NOTE: Allegro quietly falls back to a memory image; without a display every
// image is one, and then that is what the caller asked for.
bool Bitmap::Is_Refused_Texture(ALLEGRO_BITMAP* image) {
    return !(al_get_new_bitmap_flags() & ALLEGRO_MEMORY_BITMAP) && al_get_current_display() &&
           (al_get_bitmap_flags(image) & ALLEGRO_MEMORY_BITMAP);
}

const std::vector<Pixel_Box>& Bitmap::Cell_Bounds(int cell_w, int cell_h, uint32_t bits) {
    if (cell_w == bounds_w && cell_h == bounds_h && bits == bounds_bits) return bounds;
    bounds_w = cell_w;
    bounds_h = cell_h;
    bounds_bits = bits;
    bounds.clear();
    int columns = cell_w > 0 ? al_get_bitmap_width(bit) / cell_w : 0;
    int rows = cell_h > 0 ? al_get_bitmap_height(bit) / cell_h : 0;
    if (columns == 0 || rows == 0) return bounds;
    ALLEGRO_LOCKED_REGION* lock = al_lock_bitmap(bit, ALLEGRO_PIXEL_FORMAT_ARGB_8888, ALLEGRO_LOCK_READONLY);
    if (!lock) return bounds;
    bounds.assign(static_cast<size_t>(columns) * static_cast<size_t>(rows), Pixel_Box{0, 0, 0, 0});
    for (int y = 0; y < rows * cell_h; y++) {
        const uint32_t* row = Locked_Row(lock, y);
        for (int x = 0; x < columns * cell_w; x++)
            if (row[x] & bits) Take_In(bounds[(y / cell_h) * columns + x / cell_w], x % cell_w, y % cell_h);
    }
    al_unlock_bitmap(bit);
    return bounds;
}

ALLEGRO_BITMAP* Bitmap::Load_Usable(std::string path) {
    std::string ignored;
    return Load_Image(path, ignored);
}

}  // namespace Kelvane
