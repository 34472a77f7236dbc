#include "render/renderer.h"

#include <allegro5/allegro.h>

#include <cstdio>   // Required for: printf()
#include <cstdlib>  // Required for: exit()

#include "core/common.h"
#include "render/vobject.h"

namespace Kelvane {

namespace {

const int SHADOW_MAP_SIZE = 2048;
const int SHADOW_MAP_FALLBACK_SIZE = 1024;

ALLEGRO_BITMAP* Create_Shadow_Map() {
    ALLEGRO_BITMAP* map = al_create_bitmap(SHADOW_MAP_SIZE, SHADOW_MAP_SIZE);
    if (map) return map;
    std::printf("The Shadow Map couldn't be created, trying 1024x1024\n");
    map = al_create_bitmap(SHADOW_MAP_FALLBACK_SIZE, SHADOW_MAP_FALLBACK_SIZE);
    if (map) return map;
    std::printf("The lower res shadow map couldn't be created either. Quitting.");
    std::fflush(stdout);
    std::exit(1);
}

}  // namespace

Renderer::Renderer(ALLEGRO_DISPLAY* display, Shader_Manager* shader_manager, float internal_w, float internal_h,
                   float width, float height, float offset_x, float offset_y)
    : display(display), shadow_map(nullptr), offset_x(offset_x), offset_y(offset_y), width(width),
      height(height), aspect(0.0f), internal_w(internal_w), internal_h(internal_h), scale(1.0f),
      shader_manager(shader_manager) {
    KELVANE_ASSERT(display, "a renderer needs the display it draws to");
    if (this->width <= 0) this->width = al_get_display_width(display);
    if (this->height <= 0) this->height = al_get_display_height(display);
    aspect = this->width / this->height;
    al_set_new_bitmap_flags(ALLEGRO_VIDEO_BITMAP | ALLEGRO_NO_PRESERVE_TEXTURE);
    shadow_map = Create_Shadow_Map();
    al_set_new_bitmap_flags(0);
}

void Renderer::Sort_Z_List(std::list<VObject*>* objects) {
    std::list<VObject*> sorted;
    for (VObject* object : *objects) {
        auto position = sorted.begin();
        while (position != sorted.end() && !((*position)->Get_Z() > object->Get_Z())) ++position;
        sorted.insert(position, object);
    }
    *objects = sorted;
}

float Renderer::XtoGX(float x) { return (width / (internal_h * aspect)) * x; }
float Renderer::YtoGY(float y) { return (height / internal_h) * y; }
float Renderer::GXtoX(float gx) { return gx / (width / (internal_h * aspect)); }
float Renderer::GYtoY(float gy) { return gy / (height / internal_h); }
float Renderer::XtoRX(float x) { return ((width * scale) / (internal_h * aspect)) * x; }
float Renderer::YtoRY(float y) { return ((height * scale) / internal_h) * y; }
float Renderer::RXtoX(float rx) { return rx / ((width * scale) / (internal_h * aspect)); }
float Renderer::RYtoY(float ry) { return ry / ((height * scale) / internal_h); }
float Renderer::XtoSX(float x) { return (x / internal_w) * width; }
float Renderer::YtoSX(float y) { return (y / internal_h) * height; }

}  // namespace Kelvane
