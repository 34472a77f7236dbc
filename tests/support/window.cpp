#include "support/window.h"

#include <allegro5/allegro_font.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_opengl.h>  // Required for: al_set_current_opengl_context()
#include <allegro5/allegro_primitives.h>
#include <allegro5/allegro_ttf.h>
#include <allegro5/allegro_x.h>  // Required for: al_get_x_window_id()

#include <cstdlib>  // Required for: std::system()
#include <filesystem>

// Last: its macros (None, Bool, Status) would clash with the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>  // Required for: XGetPixel(), XDestroyImage()

namespace Kelvane_Test {

void Init_Allegro() {
    if (al_is_system_installed()) return;
    al_init();
    al_init_image_addon();
    al_init_primitives_addon();
    al_init_font_addon();
    al_init_ttf_addon();
}

namespace {

ALLEGRO_DISPLAY* Open_Test_Display() {
    Init_Allegro();
    al_set_new_display_flags(ALLEGRO_OPENGL | ALLEGRO_WINDOWED);
    al_set_new_display_option(ALLEGRO_DEPTH_SIZE, 24, ALLEGRO_SUGGEST);
    ALLEGRO_DISPLAY* display = al_create_display(800, 600);
    al_set_new_display_flags(0);
    return display;
}

}  // namespace

ALLEGRO_DISPLAY* Shared_Display() {
    static ALLEGRO_DISPLAY* display = nullptr;
    if (display) return display;
    display = Open_Test_Display();
    if (display) return display;
    // Xvfb now and then refuses a connection made right after another; the
    // library connects when it starts, so start it again for a second try.
    al_rest(0.5);
    al_uninstall_system();
    display = Open_Test_Display();
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

void Write_Image(const std::string& path, int w, int h, const std::function<ALLEGRO_COLOR(int x, int y)>& colour) {
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder);
    int flags = al_get_new_bitmap_flags();
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    ALLEGRO_BITMAP* image = al_create_bitmap(w, h);
    al_set_new_bitmap_flags(flags);
    ALLEGRO_BITMAP* target = al_get_target_bitmap();
    al_set_target_bitmap(image);
    for (int i = 0; i < w * h; i++) al_put_pixel(i % w, i / w, colour(i % w, i / w));
    al_set_target_bitmap(target);
    EXPECT_TRUE(al_save_bitmap(path.c_str(), image)) << path;
    al_destroy_bitmap(image);
}

std::vector<Pixel> Shown_Picture(ALLEGRO_DISPLAY* display) {
    std::vector<Pixel> picture;
    Display* server = XOpenDisplay(nullptr);
    if (!server) return picture;
    int w = al_get_display_width(display), h = al_get_display_height(display);
    XImage* image = XGetImage(server, al_get_x_window_id(display), 0, 0, w, h, AllPlanes, ZPixmap);
    for (int y = 0; image && y < h; y++)
        for (int x = 0; x < w; x++) {
            unsigned long value = XGetPixel(image, x, y);  // 24-bit TrueColor, as Xvfb runs it
            picture.push_back(Pixel{static_cast<int>((value >> 16) & 0xff), static_cast<int>((value >> 8) & 0xff),
                                    static_cast<int>(value & 0xff), 255});
        }
    if (image) XDestroyImage(image);
    XCloseDisplay(server);
    return picture;
}

void Press_Close_Button(ALLEGRO_DISPLAY* display) {
    Display* server = XOpenDisplay(nullptr);
    ASSERT_NE(server, nullptr);
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = al_get_x_window_id(display);
    event.xclient.message_type = XInternAtom(server, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(server, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(server, event.xclient.window, False, NoEventMask, &event);
    XCloseDisplay(server);  // flushes the message out
}

bool Tap_Key(ALLEGRO_DISPLAY* display, const std::string& key) {
    std::string window = std::to_string(al_get_x_window_id(display));
    return std::system(("xdotool windowfocus --sync " + window + " key --delay 0 " + key).c_str()) == 0;
}

}  // namespace Kelvane_Test
