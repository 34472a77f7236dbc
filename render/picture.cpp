#include "render/picture.h"

#include <allegro5/allegro.h>

#include <algorithm>  // Required for: std::max()
#include <cstddef>    // Required for: ptrdiff_t
#include <cstdlib>    // Required for: std::abs()

namespace Kelvane {

Picture Picture::Read(ALLEGRO_BITMAP* bitmap) {
    Picture picture;
    ALLEGRO_LOCKED_REGION* lock = al_lock_bitmap(bitmap, ALLEGRO_PIXEL_FORMAT_RGB_888, ALLEGRO_LOCK_READONLY);
    if (!lock) return picture;
    picture.width = al_get_bitmap_width(bitmap);
    picture.height = al_get_bitmap_height(bitmap);
    size_t row_bytes = static_cast<size_t>(picture.width) * 3;
    picture.rgb.resize(row_bytes * picture.height);
    // The pitch may be negative (GL rows run bottom-up), so step rows in bytes.
    for (int y = 0; y < picture.height; y++) {
        const unsigned char* row = static_cast<const unsigned char*>(lock->data) + static_cast<std::ptrdiff_t>(y) * lock->pitch;
        std::copy(row, row + row_bytes, picture.rgb.begin() + static_cast<std::ptrdiff_t>(y * row_bytes));
    }
    al_unlock_bitmap(bitmap);
    return picture;
}

Picture::Difference Picture::Compare(const Picture& other) const {
    if (width != other.width || height != other.height || rgb.empty()) return Difference{0.0, 255};
    size_t pixels = rgb.size() / 3;
    size_t within = 0;
    int worst = 0;
    for (size_t pixel = 0; pixel < pixels; pixel++) {
        int largest = 0;
        for (size_t channel = pixel * 3; channel < pixel * 3 + 3; channel++)
            largest = std::max(largest, std::abs(rgb[channel] - other.rgb[channel]));
        worst = std::max(worst, largest);
        if (largest <= 2) within++;
    }
    return Difference{static_cast<double>(within) / pixels, worst};
}

}  // namespace Kelvane
