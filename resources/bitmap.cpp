#include "resources/bitmap.h"

#include <allegro5/allegro.h>

#include <cstdio>   // Required for: printf(), fflush()
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
    std::exit(1);
}

}  // namespace

Bitmap::Bitmap(std::string path) : name(path), bit(nullptr) {
    // NOTE: a missing file gets the fallback too, so no entry ever holds null
    // and a scene with a missing asset shows the checker where it should be.
    if (!File_Exists(path)) {
        std::printf("Bitmap %s doesn't exist. Using the missing image.\n", path.c_str());
        bit = Load_Fallback();
        return;
    }
    bit = al_load_bitmap(path.c_str());
    if (bit) return;
    std::printf("Bitmap %s couldn't be loaded. Is the file valid?\n", path.c_str());
    bit = Load_Fallback();
}

Bitmap::Bitmap(std::string name, ALLEGRO_BITMAP* image) : name(name), bit(image) {}

}  // namespace Kelvane
