// The demonstration scene's start: log lines, world, lights and flags.
#include <cmath>
#include <sstream>

#include "demo_scene_fixture.h"

namespace Kelvane_Test {
namespace {

using Demo_Scene_Setup_Test = Demo_Scene_Test;

TEST_F(Demo_Scene_Setup_Test, Start_Logs_Five_Lines_In_Order_Loads_Its_Files_And_Clears_The_Debug_Flags) {
    std::string before = Read_File("game.log");
    debug_mode = Kelvane::DEBUG_EDITOR | Kelvane::DEBUG_LIGHTS;
    Free_World();
    MainGame_Start(game);
    std::string text = Read_File("game.log");
    ASSERT_EQ(text.compare(0, before.size(), before), 0) << "the log was rewritten instead of appended to";
    std::vector<std::string> messages;  // each "--> " line follows a time line
    std::istringstream lines(text.substr(before.size()));
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("--> ", 0) == 0) messages.push_back(line.substr(4));
    EXPECT_EQ(messages, (std::vector<std::string>{"Starting Game Scene.", "Lights created.", "Game Font loaded.",
                                                  "Camera created", "Objects created"}));
    EXPECT_EQ(debug_mode, 0);
    EXPECT_TRUE(font && b1 && b2) << "the font, b1.png or b2.png did not load";

    std::filesystem::rename("assets/font/GameFont.ttf", "away.ttf");
    Free_World();
    MainGame_Start(game);
    std::filesystem::rename("away.ttf", "assets/font/GameFont.ttf");
    std::string after = Read_File("game.log").substr(text.size());
    EXPECT_EQ(font, nullptr);
    EXPECT_NE(after.find("--> Game Font couldn't be loaded from assets/font/GameFont.ttf.\n"), std::string::npos);
    EXPECT_EQ(after.find("Game Font loaded."), std::string::npos) << after;
}

TEST_F(Demo_Scene_Setup_Test, The_World_Holds_Nine_Tiles_Five_Props_And_The_Lamp_In_Creation_Order) {
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
}

TEST_F(Demo_Scene_Setup_Test, The_Lamps_Point_Light_Moves_To_It_On_The_First_Update_And_The_Sun_Is_A_Unit_Vector) {
    ASSERT_EQ(lights.size(), 1u);
    Kelvane::Light* light = lights.front();
    EXPECT_EQ(Position(light), (std::vector<float>{0, 50, 10}));
    Tick();
    EXPECT_EQ(Position(light), (std::vector<float>{100, 800, 300}));

    ASSERT_NE(directional, nullptr);
    const double length = std::sqrt(5.0 * 5.0 + 1.5 * 1.5 + 1.0 * 1.0), sun[] = {5.0, 1.5, 1.0};
    for (int k = 0; k < 3; k++) EXPECT_NEAR(Position(directional)[k], sun[k] / length, 1e-6) << "axis " << k;
    EXPECT_FLOAT_EQ(directional->Get_Strength(), 1.0f);
    EXPECT_FLOAT_EQ(directional->Get_Ambience(), 0.3f);
}

}  // namespace
}  // namespace Kelvane_Test
