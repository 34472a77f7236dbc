// The scene file against real files: what it keeps of each object's clip.

#include "world/scene_file.h"

#include <allegro5/allegro.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/log.h"
#include "support/scratch_dir.h"

namespace {

class Scene_File_Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(al_install_system(ALLEGRO_VERSION_INT, nullptr));
        std::filesystem::create_directories("assets/objects/flag");
        Kelvane_Test::Write_File("assets/objects/flag/settings.ini",
                                 "[General]\nFrames=3\n[Clip flap]\nFirst=0\nCount=3\nFrame_Rate=9\nLoop=1\n");
    }

    Kelvane_Test::Scratch_Dir scratch;
    Kelvane::Log log{"game.log"};
};

TEST_F(Scene_File_Test, An_Objects_Clip_Is_Kept_When_It_Plays_And_One_Its_Folder_Lacks_Is_Dropped_With_A_Line) {
    Kelvane::Scene_Description scene{100.0f, 200.0f, 300.0f, {{0.0f, 0.0f, 1.0f}, {1.0f, 1.0f, 1.0f}, 1.0f, 0.2f}, {},
                                     {}, {}};
    scene.objects.push_back({"flag", 1.0f, 2.0f, 3.0f, 1.0f, true, true, "flap"});
    scene.objects.push_back({"flag", 4.0f, 5.0f, 6.0f, 1.0f, true, true});
    Kelvane::Scene_File file("scenes/main.ini", &log);
    ASSERT_TRUE(file.Save(scene));
    std::string saved = Kelvane_Test::Read_File("scenes/main.ini");
    EXPECT_NE(saved.find("[Object 0]\nFolder=flag\nX=1\nY=2\nZ=3\nScale=1\nShadow=1\nVisible=1\nClip=flap\n"),
              std::string::npos)
        << saved;
    EXPECT_EQ(saved.substr(saved.find("[Object 1]")),
              "[Object 1]\nFolder=flag\nX=4\nY=5\nZ=6\nScale=1\nShadow=1\nVisible=1\n")
        << "no Clip for an object that plays none";

    size_t lines = Kelvane_Test::Read_File("game.log").size();
    Kelvane::Scene_Description read = scene;
    read.objects.clear();
    Kelvane_Test::Write_File("scenes/main.ini", saved + "Clip=wave\n");  // in the last section, Object 1
    ASSERT_TRUE(Kelvane::Scene_File("scenes/main.ini", &log).Read(read));
    ASSERT_EQ(read.objects.size(), 2u);
    EXPECT_EQ((std::vector{read.objects[0].clip, read.objects[1].clip}), (std::vector<std::string>{"flap", ""}));
    EXPECT_EQ(Kelvane_Test::Log_Messages(lines),
              std::vector<std::string>{"Scene file scenes/main.ini: [Object 1] Clip = wave is no clip of "
                                       "assets/objects/flag/settings.ini; the object stays still."});
}

}  // namespace
