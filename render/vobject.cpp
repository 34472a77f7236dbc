#include "render/vobject.h"

#include <allegro5/allegro.h>

#include "core/common.h"

namespace Kelvane {

VObject::VObject(ALLEGRO_BITMAP* image, float x, float y, float w, float h)
    : type(VOBJECT_TYPE_SPRITE), x(x), y(y), z(0.0f), w(w), h(h), actual_bit(image) {
    KELVANE_ASSERT(actual_bit, "a visual object needs an image; ask the bitmap store, it never gives null");
    int image_w = al_get_bitmap_width(image);
    int image_h = al_get_bitmap_height(image);
    if (this->w <= 0) this->w = image_w;
    if (this->h <= 0) this->h = image_h;
    tint = al_map_rgb(255, 255, 255);
    angle = 0.0f;
    cx = static_cast<float>(image_w / 2);
    cy = static_cast<float>(image_h / 2);
    flags = 0;
    visible = true;
}

void VObject::Update(float) {}

}  // namespace Kelvane
