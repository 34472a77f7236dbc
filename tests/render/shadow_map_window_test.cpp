// The shadow map's blocks where the map repeats: a 512 x 512 map of two blocks
// a side, one texel a screen unit, so picture x and x + 512 share a texel.

#include <gtest/gtest.h>

#include "render/shadow_map.h"
// After the test framework: the GL headers bring X11's macros, which clash with its names.
#include <allegro5/allegro_opengl.h>

#include <vector>

#include "support/window.h"

namespace {

using namespace Kelvane;

class Shadow_Map_Test : public Kelvane_Test::Window_Test {
protected:
    void SetUp() override {
        Window_Test::SetUp();
        ASSERT_TRUE(map.Resize(512));
    }

    // Each caster a white quad casting over all its area; a signature per place.
    static Caster At(const Rect& area) {
        return Caster{nullptr, Placement(), area, area, 0.0f, static_cast<uint64_t>(area.left * 7 + area.top)};
    }

    void Update(const Rect& reads, const std::vector<Caster>& casters) {
        map.Update(reads, casters, false, [](const Caster& caster) {
            glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
            glBegin(GL_QUADS);
            glVertex2f(caster.area.left, caster.area.top);
            glVertex2f(caster.area.left, caster.area.bottom);
            glVertex2f(caster.area.right, caster.area.bottom);
            glVertex2f(caster.area.right, caster.area.top);
            glEnd();
        });
    }

    // Whether the texel that picture point (x, y) reads holds a caster; rows count up with y.
    bool Cast(int x, int y) { return Kelvane_Test::Read_Pixel(map.Get_Bitmap(), x % 512, 511 - y % 512).r > 0; }

    Shadow_Map map;
};

// Blocks read as one repeat never take what another repeat draws over them.
TEST_F(Shadow_Map_Test, A_Caster_Lands_Only_In_The_Blocks_Read_Where_It_Stands) {
    Update(Rect{100.0f, 0.0f, 356.0f, 100.0f}, {At(Rect{300.0f, 10.0f, 600.0f, 50.0f})});
    ASSERT_EQ(map.Get_Extent(), 512.0f);
    EXPECT_TRUE(Cast(350, 30));
    EXPECT_FALSE(Cast(50, 30)) << "x 512-600 lies past the blocks read: not drawn over x 0-88";

    // Now the blocks read are x 256-767: x 512-767 in the map's first column, drawn as the second repeat.
    // Then a caster in x 256-511 moves: only that block is drawn again.
    for (float left : {200.0f, 210.0f}) {
        Update(Rect{400.0f, 0.0f, 650.0f, 100.0f},
               {At(Rect{left, 10.0f, 420.0f, 50.0f}), At(Rect{620.0f, 60.0f, 640.0f, 90.0f}),
                At(Rect{50.0f, 60.0f, 90.0f, 90.0f})});
        EXPECT_TRUE(Cast(300, 30));
        EXPECT_TRUE(Cast(630, 75));
        EXPECT_FALSE(Cast(730, 30)) << "the caster's part left of x 256 must not land where x 722-767 is read";
        EXPECT_FALSE(Cast(572, 75)) << "the caster at x 50-90 is not read: it must not show at x 562-602";
    }
}

}  // namespace
