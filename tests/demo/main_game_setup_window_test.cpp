// The demonstration scene's start: log lines, world, lights and flags.
#include <array>
#include <cmath>

#include "demo_scene_fixture.h"

namespace Kelvane_Test {
namespace {

using Demo_Scene_Setup_Test = Demo_Scene_Test;

TEST_F(Demo_Scene_Setup_Test, Start_Logs_Five_Lines_In_Order_Says_Whether_The_Font_Loaded_And_Clears_The_Debug_Flags) {
    for (bool font_there : {true, false}) {
        std::string before = Read_File("game.log");
        debug_mode = Kelvane::DEBUG_EDITOR | Kelvane::DEBUG_LIGHTS;
        if (!font_there) std::filesystem::rename("assets/font/GameFont.ttf", "away.ttf");
        Free_World(), MainGame_Start(game);
        if (!font_there) std::filesystem::rename("away.ttf", "assets/font/GameFont.ttf");
        ASSERT_EQ(Read_File("game.log").compare(0, before.size(), before), 0)
            << "the log was rewritten, not appended to";
        std::string font_line =
            font_there ? "Game Font loaded." : "Game Font couldn't be loaded from assets/font/GameFont.ttf.";
        EXPECT_EQ(Log_Messages(before.size()),
                  (std::vector<std::string>{"Starting Game Scene.", "Lights created.", font_line, "Camera created",
                                            "Objects created"}));
        EXPECT_EQ(debug_mode, 0);
        EXPECT_TRUE(font_there ? font && b1 && b2 : !font) << "the font, b1.png or b2.png did not load";
    }
}

TEST_F(Demo_Scene_Setup_Test,
       The_World_Holds_Nine_Tiles_Five_Props_And_The_Lamp_Whose_Light_Follows_It_Under_A_Unit_Sun) {
    // x, y, z, scale, casts a shadow: nine tiles (i outside, j inside), five props and the lamp.
    std::vector<std::vector<float>> world;
    for (float i : {0, 1080, 2160})
        for (float j : {0, 1080, 2160}) world.push_back({i, j, 0, 1, 1});
    const float PROPS[][5] = {{150, 150, 0, 0.6f, 1}, {1350, 750, 0, 0.5f, 1}, {250, 950, 0, 1, 1},
                              {600, 1750, 0, 1, 1},   {1300, 1850, 0, 1, 1},   {100, 800, 300, 1, 0}};
    for (const float* prop : PROPS) world.push_back(std::vector<float>(prop, prop + 5));
    ASSERT_EQ(vobjects.size(), world.size());
    for (int i = 0; i < WORLD_SIZE; i++) {
        ASSERT_EQ((*std::next(vobjects.begin(), i))->Get_Type(), Kelvane::VOBJECT_TYPE_COMPLEX);
        Kelvane::VObject_Complex* o = Object(i);
        EXPECT_EQ(std::vector<float>({o->Get_X(), o->Get_Y(), o->Get_Z(), o->Get_Scale(),
                                      float(o->Get_Actual_Bit_Shadow() != nullptr)}),
                  world[i])
            << "object " << i;
    }
    EXPECT_EQ(pilar, Object(LAMP)) << "pilar must end up as the lamp object";
    EXPECT_EQ(cam->Get_Map_Tall(), 2400.0f);

    ASSERT_EQ(lights.size(), 1u);
    EXPECT_EQ(Position(lights.front()), (std::vector<float>{0, 50, 10}));
    Tick();
    EXPECT_EQ(Position(lights.front()), (std::vector<float>{100, 800, 300})) << "moved to the lamp on the first update";
    const double length = std::sqrt(5.0 * 5.0 + 1.5 * 1.5 + 1.0 * 1.0), sun[] = {5.0, 1.5, 1.0};
    for (int k = 0; k < 3; k++) EXPECT_NEAR(Position(directional)[k], sun[k] / length, 1e-6) << "axis " << k;
    EXPECT_EQ((std::array{directional->Get_Strength(), directional->Get_Ambience()}), (std::array{1.0f, 0.3f}));
}

}  // namespace
}  // namespace Kelvane_Test
