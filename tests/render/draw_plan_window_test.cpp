// What the fast path leaves out: lights, casters and marches that cannot change
// a pixel, on the demo's floor tile with its house standing on it.

#include "render/draw_plan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <list>
#include <stdexcept>
#include <string>
#include <vector>

#include "render/vobject_complex.h"
#include "resources/bitmap_manager.h"
#include "support/scratch_dir.h"
#include "support/window.h"
#include "world/camera.h"
#include "world/light.h"

namespace {

using namespace Kelvane;

const March_Rules& RULES = MARCH_RULES;
const Rect OUTPUT{0.0f, 0.0f, 1920.0f, 1080.0f};

class Draw_Plan_Test : public Kelvane_Test::Window_Test {
protected:
    void SetUp() override {
        Window_Test::SetUp();
        std::filesystem::copy(scratch.Previous() + "/assets", "assets", std::filesystem::copy_options::recursive);
        camera.Set_Map_Width(3000.0f);
        sun.Normalize();
        floor = Place("tiles", 960.0f, 200.0f, 1.0f);  // output x 419-1501, y 199-744
        house = Place("house", 850.0f, 550.0f, 0.3f);  // x 709-992, y 364-616
    }

    void TearDown() override {
        for (VObject* object : objects) delete object;
        for (Light* light : lights) delete light;
    }

    VObject_Complex* Place(const std::string& name, float sx, float sy, float scale) {
        Vec2D at = camera.Screen_To_Proj(sx, sy, 0.0f);
        objects.push_back(new VObject_Complex(&store, &camera, name, at.x, at.y, 0.0f, scale, true));
        return static_cast<VObject_Complex*>(objects.back());
    }

    void Add_Light(float sx, float sy, float z, float range) {
        Vec2D at = camera.Screen_To_Proj(sx, sy, 0.0f);
        lights.push_back(new Light(at.x, at.y, z, range, 1.0f, 1.0f, 1.0f, 0));
    }

    // Output pixels are screen units here: the view at the origin, no zoom.
    Draw_Plan Plan() {
        Tile_Index last{static_cast<int>(OUTPUT.right) / Draw_Plan::TILE_PIXELS,
                        static_cast<int>(OUTPUT.bottom) / Draw_Plan::TILE_PIXELS};
        Draw_Plan plan(&camera, &sun, RULES, 1.0f, Vec2D(0.0f, 0.0f), Tile_Index{0, 0}, last, false);
        plan.Plan(&objects, &lights);
        return plan;
    }

    // The floor's cells, or the one that holds an output point.
    const std::vector<Cell>& Floor_Cells(const Draw_Plan& plan) {
        for (const Planned_Object& planned : plan.Get_Objects())
            if (planned.object == floor) return planned.cells;
        throw std::runtime_error("floor not planned");
    }
    const Cell& Floor_Cell(const Draw_Plan& plan, float x, float y) {
        for (const Cell& cell : Floor_Cells(plan))
            if (Draw_Plan::Tile_Area(cell.tile).left <= x && x < Draw_Plan::Tile_Area(cell.tile).right &&
                Draw_Plan::Tile_Area(cell.tile).top <= y && y < Draw_Plan::Tile_Area(cell.tile).bottom)
                return cell;
        throw std::runtime_error("no floor cell at " + ToString(x) + ", " + ToString(y));
    }

    Kelvane_Test::Scratch_Dir scratch;
    Bitmap_Manager store;
    Camera camera;
    Light sun{5.0f, 1.5f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0};  // the demo's sun: rays climb toward screen right
    std::list<VObject*> objects;
    std::list<Light*> lights;
    VObject_Complex *floor = nullptr, *house = nullptr;
};

TEST_F(Draw_Plan_Test, Only_The_House_Casts_Only_Its_Lee_Marches_And_Cells_Get_The_First_24_Lights_That_Reach) {
    Draw_Plan plan = Plan();
    ASSERT_EQ(plan.Get_Casters().size(), 1u);
    EXPECT_EQ(plan.Get_Casters().front().object, house);
    const Rect& shadow = plan.Get_Casters().front().area;
    float middle = 0.5f * (shadow.top + shadow.bottom);
    EXPECT_TRUE(Floor_Cell(plan, shadow.left - 100.0f, middle).Marches()) << "a ray from here crosses the house";
    EXPECT_FALSE(Floor_Cell(plan, shadow.right + 160.0f, middle).Marches()) << "rays from here leave the house";
    const Cell& far = Floor_Cell(plan, shadow.left - 300.0f, middle);
    EXPECT_GT(far.first_step, 1) << "the house lies a long way along these rays: the first steps fall short of it";
    EXPECT_LT(far.last_step, RULES.steps) << "the last steps pass over it";

    Add_Light(500.0f, 250.0f, 50.0f, 150.0f);  // near the floor's top-left part only
    Add_Light(1400.0f, 700.0f, 50.0f, 0.0f);   // no range: lights nothing
    for (int i = 0; i < 30; i++) Add_Light(960.0f, 540.0f, 100.0f, 5000.0f);  // everywhere
    house->Set_Visible(false);
    plan = Plan();
    for (const Cell& cell : Floor_Cells(plan)) EXPECT_FALSE(cell.Marches()) << "no caster left";
    std::vector<Light*> first_24(std::next(lights.begin(), 2), std::next(lights.begin(), 26));  // of those everywhere
    EXPECT_EQ(Floor_Cell(plan, 1400.0f, 700.0f).lights, first_24);
    first_24.insert(first_24.begin(), lights.front()), first_24.pop_back();
    EXPECT_EQ(Floor_Cell(plan, 500.0f, 250.0f).lights, first_24) << "the near light first";
}

}  // namespace

// Against the plan of the frame before, a tile changes only where something
// that moved can reach: the soundness of these parts is the kept-tiles test's.
TEST_F(Draw_Plan_Test, A_Tile_Changes_Only_Where_A_Moved_Light_Or_Caster_Reaches_And_Wholly_In_Another_Frame) {
    Add_Light(500.0f, 250.0f, 50.0f, 150.0f);
    Draw_Plan before = Plan();
    before.Sign_Tiles(1);
    auto changes_after = [&](uint64_t frame) {
        Draw_Plan after = Plan();
        after.Sign_Tiles(frame);
        int changed = 0, in_part = 0;
        for (const Planned_Tile& tile : after.Get_Tiles()) {
            Rect whole = Draw_Plan::Tile_Area(tile.index), part = after.Changes_Since(before, tile);
            bool same = before.Find_Tile(tile.index)->signature == tile.signature;
            EXPECT_TRUE(!same || Is_Empty(part)) << "a tile signed alike changed";
            changed += !Is_Empty(part);
            in_part += !Is_Empty(part) && (part.right - part.left) * (part.bottom - part.top) <
                                              (whole.right - whole.left) * (whole.bottom - whole.top);
        }
        return std::pair(changed, in_part);
    };
    lights.front()->Set_X(lights.front()->Get_X() + 30.0f);
    auto [lit, lit_in_part] = changes_after(1);
    EXPECT_GT(lit, 0);
    EXPECT_GT(lit_in_part, 0) << "the edge of the light's reach crosses tiles";
    EXPECT_EQ(changes_after(2).second, 0) << "another frame signature: whole tiles";
    lights.front()->Set_X(lights.front()->Get_X() - 30.0f);
    house->Set_X(house->Get_X() + 4.0f);
    auto [shaded, shaded_in_part] = changes_after(1);
    EXPECT_GT(shaded_in_part, 0) << "the house and its lee cross tiles";
    EXPECT_LT(shaded, static_cast<int>(before.Get_Tiles().size()));
}
