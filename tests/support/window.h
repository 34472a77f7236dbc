#pragma once
// A real OpenGL window for the tests that need one. It fails the test, never
// skips it, when no window can be had (run the suite under Xvfb).

#include <allegro5/allegro.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace Kelvane_Test {

// Starts Allegro and its add-ons once per test program.
void Init_Allegro();
// The program's one shared window (created on first use), or null.
ALLEGRO_DISPLAY* Shared_Display();

// Fixture: Allegro started, the shared window current and its back buffer the target.
class Window_Test : public ::testing::Test {
protected:
    void SetUp() override;
    ALLEGRO_DISPLAY* display = nullptr;
};

// The RGBA bytes of one pixel of a bitmap.
struct Pixel {
    int r, g, b, a;
};
Pixel Read_Pixel(ALLEGRO_BITMAP* bitmap, int x, int y);
// Saves a w x h image of the colour rule's pixels, making its folder; the new-bitmap flags are left as they were.
void Write_Image(const std::string& path, int w, int h, const std::function<ALLEGRO_COLOR(int x, int y)>& colour);

// What the X server shows in a display's window, row by row (empty on failure).
std::vector<Pixel> Shown_Picture(ALLEGRO_DISPLAY* display);
// What a window manager sends when the user clicks the window's close button.
void Press_Close_Button(ALLEGRO_DISPLAY* display);
// Focuses the display's window and taps a key through the X server with
// xdotool (a key name such as "F1"), down and up at once; false on failure.
bool Tap_Key(ALLEGRO_DISPLAY* display, const std::string& key);

}  // namespace Kelvane_Test
