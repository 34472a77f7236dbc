// The demonstration scene's scene file: Ctrl+S in editor mode, the saved world loaded at start, bad files.
#include <iomanip>

#include "demo_scene_fixture.h"

namespace Kelvane_Test {
namespace {

const std::string AT = "Scene file scenes/main.ini: ";
std::string Counts(size_t objects) {
    return " scenes/main.ini (objects: " + std::to_string(objects) + ", point lights: 1).";
}
std::string Freed(std::string by) {
    return AT + "[Light 0] Carried_By = " + by + " is no loaded object; the light stays free.";
}

// Editor mode on; no scene file is left behind, since the other tests start from the built-in world.
class Demo_Scene_File_Test : public Demo_Scene_Test {
protected:
    void SetUp() override { std::filesystem::remove_all("scenes"), Demo_Scene_Test::SetUp(); }
    void TearDown() override { std::filesystem::remove_all("scenes"), Demo_Scene_Test::TearDown(); }

    void Press_Ctrl_S(int ctrl) { Hold(ctrl, 3), Tick_Pressing({ALLEGRO_KEY_S}), KB_Active[ctrl] = false; }

    // Starts the scene again; the log lines about scene files that it wrote.
    std::vector<std::string> Restart() {
        size_t before = Read_File("game.log").size();
        Free_World(), MainGame_Start(game);
        return Log_Messages(before, "Scene ");
    }

    // Every saved field, exactly: map, sun, objects (which one is `pilar`, which light each carries), lights.
    static std::string World() {
        std::ostringstream text;
        auto put = [&](std::initializer_list<float> values) {
            for (float value : values) text << std::setprecision(9) << " " << value;
        };
        Kelvane::Light* sun = directional;
        put({cam->Get_Map_Width(), cam->Get_Map_Height(), cam->Get_Map_Tall(), sun->Get_X(), sun->Get_Y(),
             sun->Get_Z(), sun->Get_R(), sun->Get_G(), sun->Get_B(), sun->Get_Strength(), sun->Get_Ambience()});
        for (size_t i = 0; i < vobjects.size(); i++) {
            VObject_Complex* o = Object(static_cast<int>(i));
            auto light = std::find(lights.begin(), lights.end(), o->Get_Light());
            text << "\n" << o->Get_Name() << (o == pilar ? " pilar" : "");
            put({o->Get_X(), o->Get_Y(), o->Get_Z(), o->Get_Scale(), float(o->Has_Shadow()), float(o->Is_Visible()),
                 float(std::distance(lights.begin(), light))});
        }
        for (Kelvane::Light* l : lights) {
            text << "\nlight";
            put({l->Get_X(), l->Get_Y(), l->Get_Z(), l->Get_R(), l->Get_G(), l->Get_B(), l->Get_Range()});
        }
        return text.str();
    }
};

TEST_F(Demo_Scene_File_Test, Ctrl_S_Saves_Only_In_Editor_Mode_Whole_With_A_Log_Line) {
    Press_Ctrl_S(ALLEGRO_KEY_LCTRL);
    debug_mode = Kelvane::DEBUG_EDITOR, Tick_Pressing({ALLEGRO_KEY_S});
    EXPECT_FALSE(std::filesystem::exists("scenes")) << "Ctrl+S outside editor mode, or S alone, saves nothing";
    Press_Ctrl_S(ALLEGRO_KEY_RCTRL);
    EXPECT_EQ(Folder_Entries("scenes"), std::vector<std::string>{"main.ini"}) << "no temporary file left";
    std::string log = Read_File("game.log");
    EXPECT_EQ(log.substr(log.rfind("--> ")), "--> Scene saved to" + Counts(15) + "\n");
}

TEST_F(Demo_Scene_File_Test, A_Saved_World_Loads_Back_Field_For_Field_With_Lamps_Carrying_Their_Lights) {
    VObject_Complex* robot = Object(ROBOT);
    robot->Set_X(123.456789f), robot->Set_Y(-0.1f), robot->Set_Z(77.7f), robot->Set_Scale(0.333333f);
    robot->Set_Visible(false);
    mouse_x = 300.0f, mouse_y = 200.0f, Tick_Pressing({ALLEGRO_KEY_L});                    // a second lamp
    lights.push_back(new Kelvane::Light(1.5f, 2.25f, 1e-7f, 123.0f, 0.1f, 0.2f, 0.3f, 0));  // carried by none
    *directional = Kelvane::Light(-1.0f, 3.0f, 7.0f, 300.0f, 0.9f, 0.8f, 0.7f, 0);
    directional->Normalize(), directional->Set_Strength(0.7f), directional->Set_Ambience(0.123f);
    cam->Set_Map_Width(5000.5f), cam->Set_Map_Height(3333.3f), cam->Set_Map_Tall(1234.5f);
    // A tile drawn last, as the renderer may order them: `pilar` stays the second lamp, the latest non-tile.
    vobjects.splice(vobjects.end(), vobjects, vobjects.begin());
    std::string saved = World();
    debug_mode = Kelvane::DEBUG_EDITOR, Press_Ctrl_S(ALLEGRO_KEY_LCTRL);

    Restart();
    EXPECT_EQ(World(), saved);
    Object(LAMP - 1)->Set_X(42.0f), Tick();  // the first lamp, one place up since the tile moved
    EXPECT_EQ(lights.front()->Get_X(), 42.0f) << "a loaded lamp carries its light";
}

TEST_F(Demo_Scene_File_Test, Bad_Values_Are_Logged_One_Line_Each_What_Can_Be_Is_Loaded_And_The_File_Kept) {
    struct Bad_File {
        std::string line, replacement;      // in the saved built-in world
        size_t objects;                     // built
        bool carried;                       // by the latest object that is no tile
        std::vector<std::string> messages;  // logged, in order
    };
    const std::vector<Bad_File> CASES = {
        {"", "", 15, true, {}},
        {"Folder=light", "Folder=lihgt", 14, false,
         {AT + "[Object 14] Folder = lihgt is no folder of assets/objects/; the object is skipped.", Freed("14")}},
        {"Folder=robot\n", "", 14, true, {AT + "[Object 12] has no Folder; the object is skipped."}},
        {"Scale=0.6", "Scale=-1", 15, true, {AT + "[Object 9] Scale = -1 is not a number above 0; 1 is used."}},
        {"X=600\nY=1750\n", "X=nan\n", 15, true,
         {AT + "[Object 12] X = nan is not a finite number; 0 is used.", AT + "[Object 12] has no Y; 0 is used."}},
        {"Carried_By=14", "Carried_By=0.5", 15, false, {Freed("0.5")}},
        {"Objects=15", "Objects=-1", 0, false,
         {AT + "[World] Objects = -1 is not a whole number from 0 to 100000; 0 is used.", Freed("14")}},
    };
    debug_mode = Kelvane::DEBUG_EDITOR, Press_Ctrl_S(ALLEGRO_KEY_LCTRL);
    const std::string GOOD = Read_File("scenes/main.ini");
    for (const Bad_File& bad : CASES) {
        std::string text = GOOD;
        if (!bad.line.empty()) text.replace(text.find(bad.line), bad.line.size(), bad.replacement);
        Write_File("scenes/main.ini", text);
        std::vector<std::string> messages = bad.messages;
        messages.push_back("Scene loaded from" + Counts(bad.objects));
        EXPECT_EQ(Restart(), messages) << bad.replacement;
        EXPECT_EQ(vobjects.size(), bad.objects) << bad.replacement;
        EXPECT_EQ(pilar && pilar->Get_Light(), bad.carried) << bad.replacement;
        EXPECT_EQ(Read_File("scenes/main.ini"), text) << "the file must be left as it was";
    }
    std::filesystem::remove("scenes/main.ini"), std::filesystem::create_directory("scenes/main.ini");
    EXPECT_EQ(Restart(), std::vector<std::string>{"Scene file scenes/main.ini couldn't be read; nothing is loaded "
                                                  "from it."});
    EXPECT_EQ(vobjects.size(), size_t(WORLD_SIZE)) << "the built-in world instead";
}

}  // namespace
}  // namespace Kelvane_Test
