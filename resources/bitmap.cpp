#include "resources/bitmap.h"

#include <allegro5/allegro.h>

#include <cstdio>   // Required for: printf(), fprintf(), fflush()
#include <cstdlib>  // Required for: exit()

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

}  // namespace

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

ALLEGRO_BITMAP* Bitmap::Load_Usable(std::string path) {
    std::string ignored;
    return Load_Image(path, ignored);
}

}  // namespace Kelvane
