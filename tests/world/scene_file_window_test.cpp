// Scene files that are unreadable or hold bad values: what loads, and one log line per problem.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "core/log.h"
#include "render/vobject_complex.h"
#include "resources/bitmap_manager.h"
#include "support/scratch_dir.h"
#include "support/window.h"
#include "world/camera.h"
#include "world/light.h"
#include "world/scene_file.h"

namespace Kelvane_Test {
namespace {

// One lamp object carrying one light: loads without a word.
const std::string GOOD =
    "[World]\nMap_Width=3000\nMap_Height=4000\nMap_Tall=2400\nObjects=1\nLights=1\n"
    "[Sun]\nX=0\nY=0.6\nZ=0.8\nR=1\nG=1\nB=1\nStrength=1\nAmbience=0.3\n"
    "[Object 0]\nFolder=light\nX=1\nY=2\nZ=3\nScale=0.5\nShadow=0\nVisible=1\n"
    "[Light 0]\nX=1\nY=2\nZ=3\nR=1\nG=1\nB=1\nRange=400\nCarried_By=0\n";
const std::string AT = "Scene file scenes/main.ini: ";
const std::string FREED = AT + "[Light 0] Carried_By = 0 is no loaded object; the light stays free.";

struct Bad_File {
    std::string line, replacement;      // GOOD with this line replaced
    int objects;                        // built
    bool carried;                       // the light carried by the object
    std::vector<std::string> messages;  // the log lines, in order
};

using Scene_File_Window_Test = Window_Test;

TEST_F(Scene_File_Window_Test, Bad_Values_Are_Logged_One_Line_Each_And_Replaced_Or_Skipped_And_The_File_Kept) {
    const std::vector<Bad_File> CASES = {
        {"", "", 1, true, {}},
        {"Folder=light", "Folder=lihgt", 0, false,
         {AT + "[Object 0] Folder = lihgt is no folder of assets/objects/; the object is skipped.", FREED}},
        {"Folder=light", "", 0, false, {AT + "[Object 0] has no Folder; the object is skipped.", FREED}},
        {"Scale=0.5", "Scale=-1", 1, true, {AT + "[Object 0] Scale = -1 is not a number above 0; 1 is used."}},
        {"Y=2\nZ=3\nScale", "Y=nan\nScale", 1, true,
         {AT + "[Object 0] Y = nan is not a finite number; 0 is used.", AT + "[Object 0] has no Z; 0 is used."}},
        {"Shadow=0", "Shadow=yes", 1, true, {AT + "[Object 0] Shadow = yes is not 0 or 1; 1 is used."}},
        {"Carried_By=0", "Carried_By=1", 1, false,
         {AT + "[Light 0] Carried_By = 1 is no loaded object; the light stays free."}},
        {"Objects=1", "Objects=1.5", 0, false,
         {AT + "[World] Objects = 1.5 is not a whole number from 0 to 100000; 0 is used.", FREED}},
        {"X=0\nY=0.6\nZ=0.8", "X=0\nY=0\nZ=0", 1, true,
         {AT + "[Sun] X, Y, Z give no direction; the direction is kept."}},
        {"Map_Tall=2400", "Map_Tall=inf", 1, true,
         {AT + "[World] Map_Tall = inf is not a number above 0; 2400 is used."}},
    };
    Scratch_Dir scratch;
    std::filesystem::create_directories("assets/objects");
    std::filesystem::copy(scratch.Previous() + "/assets/objects/light", "assets/objects/light");
    Kelvane::Bitmap_Manager store;
    Kelvane::Camera camera;
    camera.Set_Map_Tall(2400.0f);
    for (const Bad_File& bad : CASES) {
        std::string text = GOOD;
        if (!bad.line.empty()) text.replace(text.find(bad.line), bad.line.size(), bad.replacement);
        std::filesystem::create_directories("scenes");
        Write_File("scenes/main.ini", text);
        std::list<Kelvane::VObject*> objects;
        std::list<Kelvane::Light*> lights;
        Kelvane::Light sun(1, 0, 0, 300, 1, 1, 1, 0);
        {
            Kelvane::Log log("game.log");
            Kelvane::Scene_File file("scenes/main.ini", &log);
            ASSERT_TRUE(file.Read()) << bad.replacement;
            EXPECT_TRUE(file.Load(&store, &camera, &sun, &objects, &lights, [](std::string, float) { return true; }));
        }
        std::vector<std::string> messages;
        std::istringstream log(Read_File("game.log"));
        for (std::string line; std::getline(log, line);)
            if (line.rfind("--> ", 0) == 0) messages.push_back(line.substr(4));
        EXPECT_EQ(messages, bad.messages) << bad.replacement;
        EXPECT_EQ(objects.size(), size_t(bad.objects)) << bad.replacement;
        ASSERT_EQ(lights.size(), 1u) << bad.replacement;
        bool carried = !objects.empty() && static_cast<Kelvane::VObject_Complex*>(objects.front())->Get_Light();
        EXPECT_EQ(carried, bad.carried) << bad.replacement;
        EXPECT_EQ(Read_File("scenes/main.ini"), text) << "the file must be left as it was";
        for (Kelvane::VObject* object : objects) delete object;
        for (Kelvane::Light* light : lights) delete light;
    }
    std::filesystem::remove("scenes/main.ini");
    std::filesystem::create_directory("scenes/main.ini");  // exists, cannot be read as a file
    Kelvane::Log log("game.log");
    EXPECT_FALSE(Kelvane::Scene_File("scenes/main.ini", &log).Read());
    EXPECT_EQ(Read_File("game.log").substr(25),
              "--> Scene file scenes/main.ini couldn't be read; nothing is loaded from it.\n");
}

}  // namespace
}  // namespace Kelvane_Test
