#include "support/window.h"

#include <allegro5/allegro_font.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_opengl.h>  // Required for: al_set_current_opengl_context()
#include <allegro5/allegro_primitives.h>
#include <allegro5/allegro_ttf.h>

namespace Kelvane_Test {

void Init_Allegro() {
    if (al_is_system_installed()) return;
    al_init();
    al_init_image_addon();
    al_init_primitives_addon();
    al_init_font_addon();
    al_init_ttf_addon();
}

ALLEGRO_DISPLAY* Shared_Display() {
    static ALLEGRO_DISPLAY* display = nullptr;
    if (display) return display;
    Init_Allegro();
    al_set_new_display_flags(ALLEGRO_OPENGL | ALLEGRO_WINDOWED);
    al_set_new_display_option(ALLEGRO_DEPTH_SIZE, 24, ALLEGRO_SUGGEST);
    display = al_create_display(800, 600);
    al_set_new_display_flags(0);
    return display;
}

void Window_Test::SetUp() {
    display = Shared_Display();
    ASSERT_NE(display, nullptr) << "no OpenGL window could be opened: run the tests under an X server (Xvfb)";
    al_set_current_opengl_context(display);
    al_set_target_backbuffer(display);
    al_set_new_bitmap_flags(0);
}

Pixel Read_Pixel(ALLEGRO_BITMAP* bitmap, int x, int y) {
    unsigned char r, g, b, a;
    al_unmap_rgba(al_get_pixel(bitmap, x, y), &r, &g, &b, &a);
    return Pixel{r, g, b, a};
}

}  // namespace Kelvane_Test
