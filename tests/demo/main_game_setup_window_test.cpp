// The demonstration scene's start: log lines, world, lights, camera, loaded files.

#include <cmath>
#include <sstream>
#include <vector>

#include "core/log.h"
#include "demo_scene_fixture.h"

namespace Kelvane_Test {
namespace {

using Demo_Scene_Setup_Test = Demo_Scene_Test;

// The messages ("--> " lines) of a log text, in order.
std::vector<std::string> Log_Messages(const std::string& text) {
    std::vector<std::string> messages;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("--> ", 0) == 0) messages.push_back(line.substr(4));
    return messages;
}

TEST_F(Demo_Scene_Setup_Test, Start_Logs_Its_Five_Lines_In_Order_And_Nothing_Else) {
    std::string before = Read_File("game.log");
    vobjects.clear();
    lights.clear();
    MainGame_Start(game);
    std::string text = Read_File("game.log");
    ASSERT_EQ(text.compare(0, before.size(), before), 0) << "the log was rewritten instead of appended to";
    std::vector<std::string> expected = {"Starting Game Scene.", "Lights created.", "Game Font loaded.",
                                         "Camera created", "Objects created"};
    EXPECT_EQ(Log_Messages(text.substr(before.size())), expected);
}

TEST_F(Demo_Scene_Setup_Test, The_World_Holds_Nine_Tiles_Five_Props_And_The_Lamp_In_Creation_Order) {
    struct Expected {
        float x, y, z, scale;
        bool shadow;
    };
    std::vector<Expected> world;
    // Tiles: i outside, j inside, so the second tile is at (0, 1080).
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) world.push_back({1080.0f * i, 1080.0f * j, 0, 1.0f, true});
    world.push_back({150, 150, 0, 0.6f, true});     // square
    world.push_back({1350, 750, 0, 0.5f, true});    // house
    world.push_back({250, 950, 0, 1.0f, true});     // sphere
    world.push_back({600, 1750, 0, 1.0f, true});    // robot
    world.push_back({1300, 1850, 0, 1.0f, true});   // pilar
    world.push_back({100, 800, 300, 1.0f, false});  // the lamp casts no shadow

    ASSERT_EQ(vobjects.size(), world.size());
    for (int i = 0; i < WORLD_SIZE; i++) {
        SCOPED_TRACE("object " + std::to_string(i));
        ASSERT_EQ((*std::next(vobjects.begin(), i))->Get_Type(), Kelvane::VOBJECT_TYPE_COMPLEX);
        Kelvane::VObject_Complex* object = Object(i);
        EXPECT_EQ(object->Get_X(), world[i].x);
        EXPECT_EQ(object->Get_Y(), world[i].y);
        EXPECT_EQ(object->Get_Z(), world[i].z);
        EXPECT_EQ(object->Get_Scale(), world[i].scale);
        EXPECT_EQ(object->Get_Actual_Bit_Shadow() != nullptr, world[i].shadow);
        EXPECT_FALSE(object->Is_Selected());
    }
    EXPECT_EQ(pilar, Object(LAMP)) << "pilar must end up as the lamp object";
}

TEST_F(Demo_Scene_Setup_Test, The_Lamp_Carries_The_One_Point_Light_From_Its_First_Update_On) {
    ASSERT_EQ(lights.size(), 1u);
    Kelvane::Light* light = lights.front();
    EXPECT_EQ(light->Get_X(), 0.0f);
    EXPECT_EQ(light->Get_Y(), 50.0f);
    EXPECT_EQ(light->Get_Z(), 10.0f);
    EXPECT_EQ(light->Get_Range(), 400.0f);
    EXPECT_FLOAT_EQ(light->Get_R(), 1.2f);
    EXPECT_FLOAT_EQ(light->Get_G(), 1.0f);
    EXPECT_FLOAT_EQ(light->Get_B(), 0.8f);

    Tick();
    EXPECT_EQ(light->Get_X(), 100.0f);
    EXPECT_EQ(light->Get_Y(), 800.0f);
    EXPECT_EQ(light->Get_Z(), 300.0f);
    // It keeps following the lamp.
    pilar->Set_X(700.0f);
    Tick();
    EXPECT_EQ(light->Get_X(), 700.0f);
}

TEST_F(Demo_Scene_Setup_Test, The_Directional_Light_Is_A_Unit_Vector_With_Full_Strength_And_Ambience_Point_Three) {
    ASSERT_NE(directional, nullptr);
    double length = std::sqrt(5.0 * 5.0 + 1.5 * 1.5 + 1.0 * 1.0);
    EXPECT_NEAR(directional->Get_X(), 5.0 / length, 1e-6);
    EXPECT_NEAR(directional->Get_Y(), 1.5 / length, 1e-6);
    EXPECT_NEAR(directional->Get_Z(), 1.0 / length, 1e-6);
    EXPECT_FLOAT_EQ(directional->Get_Strength(), 1.0f);
    EXPECT_FLOAT_EQ(directional->Get_Ambience(), 0.3f);
    // Its colour is the ambient colour.
    EXPECT_FLOAT_EQ(directional->Get_R(), 1.3f);
    EXPECT_FLOAT_EQ(directional->Get_G(), 1.2f);
    EXPECT_FLOAT_EQ(directional->Get_B(), 1.0f);
}

TEST_F(Demo_Scene_Setup_Test, The_Camera_Starts_At_The_Origin_Of_A_3000_By_4000_By_2400_Map) {
    ASSERT_NE(cam, nullptr);
    EXPECT_EQ(cam->Get_X(), 0.0f);
    EXPECT_EQ(cam->Get_Y(), 0.0f);
    EXPECT_EQ(cam->Get_Map_Width(), 3000.0f);
    EXPECT_EQ(cam->Get_Map_Height(), 4000.0f);
    EXPECT_EQ(cam->Get_Map_Tall(), 2400.0f);
}

TEST_F(Demo_Scene_Setup_Test, Start_Loads_The_Font_And_Both_Images_And_Clears_The_Debug_Flags) {
    debug_mode = Kelvane::DEBUG_EDITOR | Kelvane::DEBUG_LIGHTS;
    MainGame_Start(game);
    EXPECT_EQ(debug_mode, 0);
    EXPECT_NE(font, nullptr);
    EXPECT_NE(b1, nullptr) << "b1.png is missing from the run directory";
    EXPECT_NE(b2, nullptr) << "b2.png is missing from the run directory";
}

}  // namespace
}  // namespace Kelvane_Test
