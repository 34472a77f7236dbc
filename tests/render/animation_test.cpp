// Sheets of frames and their clips, read from settings.ini and played over time.

#include "render/animation.h"

#include <allegro5/allegro.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/config.h"
#include "support/scratch_dir.h"

namespace {

using Kelvane::Animation;
using Problems = std::vector<std::string>;

const std::string CLIPS =
    "[Clip walk]\nFirst=1\nCount=3\nFrame_Rate=10\nLoop=1\n"
    "[Clip wave]\nFirst=3\nCount=3\nFrame_Rate=5\nLoop=0\n";

class Animation_Test : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(al_install_system(ALLEGRO_VERSION_INT, nullptr)); }

    // An animation read from settings.ini holding `text`, cut from a sheet of that size.
    Animation Read(const std::string& text, int sheet_w, int sheet_h, Problems& problems) {
        Kelvane_Test::Write_File("settings.ini", text);
        Kelvane::Config settings("settings.ini");
        Animation animation;
        animation.Read_Settings(settings, problems);
        animation.Fit_Sheet(sheet_w, sheet_h, problems);
        EXPECT_TRUE(settings.Save());
        EXPECT_EQ(Kelvane_Test::Read_File("settings.ini"), text) << "no key is added";
        return animation;
    }
    // Six 30 x 20 frames in two rows, with the clips.
    Animation Sheet() {
        Problems problems;
        Animation animation = Read("[General]\nFrames=6\nColumns=3\n" + CLIPS, 90, 40, problems);
        EXPECT_EQ(problems, Problems{});
        return animation;
    }

    Kelvane_Test::Scratch_Dir scratch;
};

TEST_F(Animation_Test, A_Sheet_Is_Cut_Row_By_Row_Into_Equal_Frames_One_Row_By_Default) {
    Problems problems;
    Animation a = Sheet();
    EXPECT_EQ((std::vector{a.Get_Frames(), a.Get_Frame_W(), a.Get_Frame_H(), a.Get_Frame()}),
              (std::vector{6, 30, 20, 0}));
    EXPECT_EQ(a.Origin_Of(4).x, 30.0f);  // column 1 of row 1
    EXPECT_EQ(a.Origin_Of(4).y, 20.0f);
    Animation still = Read("[General]\nHeight=500\n", 70, 30, problems);
    EXPECT_EQ((std::vector{still.Get_Frames(), still.Get_Frame_W(), still.Get_Frame_H()}), (std::vector{1, 70, 30}));
    EXPECT_EQ(Read("[General]\nFrames=4\n", 80, 10, problems).Get_Frame_W(), 20) << "one row by default";
    EXPECT_EQ(problems, Problems{});
}

TEST_F(Animation_Test, A_Looping_Clip_Steps_At_Its_Frame_Rate_In_Seconds_And_Wraps) {
    Animation a = Sheet();
    ASSERT_TRUE(a.Play("walk"));
    EXPECT_EQ(a.Get_Frame(), 1);
    for (int tick = 0; tick < 5; tick++) a.Advance(1.0 / 60.0);
    EXPECT_EQ(a.Get_Frame(), 1) << "5 ticks at 60 per second are not yet 0.1 s";
    a.Advance(1.0 / 60.0);
    EXPECT_EQ(a.Get_Frame(), 2) << "the sixth tick is";
    a.Advance(0.2);
    EXPECT_EQ(a.Get_Frame(), 1) << "0.3 s: three frames on, back to the first";
    EXPECT_TRUE(a.Play("walk"));
    EXPECT_EQ(a.Get_Frame(), 1) << "playing the clip that plays lets it run on";
    a.Advance(0.15);
    EXPECT_EQ(a.Get_Frame(), 2);
    for (double odd : {double(NAN), -1.0, double(INFINITY)}) a.Advance(odd);
    EXPECT_EQ(a.Get_Frame(), 2) << "time that is no time is ignored";
    a.Advance(3600.05);
    EXPECT_EQ(a.Get_Frame(), 3) << "an hour on, still in step";
}

TEST_F(Animation_Test, A_Clip_That_Does_Not_Loop_Stops_On_Its_Last_Frame) {
    Animation a = Sheet();
    ASSERT_TRUE(a.Play("wave"));
    EXPECT_EQ(a.Get_Frame(), 3);
    a.Advance(0.399);
    EXPECT_EQ((std::pair{a.Get_Frame(), a.Get_Clip()}), (std::pair{4, std::string("wave")}));
    a.Advance(10.0);
    EXPECT_EQ((std::pair{a.Get_Frame(), a.Get_Clip()}), (std::pair{5, std::string()}));
}

TEST_F(Animation_Test, Stop_Or_A_Frame_Set_Ends_The_Clip_And_An_Unknown_Clip_Or_Frame_Changes_Nothing) {
    Animation a = Sheet();
    a.Play("walk");
    a.Stop();
    a.Advance(1.0);
    EXPECT_EQ((std::pair{a.Get_Frame(), a.Get_Clip()}), (std::pair{1, std::string()})) << "stopped where it was";
    a.Play("walk");
    EXPECT_TRUE(a.Set_Frame(4));
    a.Advance(1.05);
    EXPECT_EQ((std::pair{a.Get_Frame(), a.Get_Clip()}), (std::pair{4, std::string()})) << "a frame set stops the clip";
    EXPECT_FALSE(a.Play("run"));
    EXPECT_FALSE(a.Set_Frame(6));
    EXPECT_EQ(a.Get_Frame(), 4);
}

TEST_F(Animation_Test, Bad_Values_Say_So_Once_Each_And_Show_A_Still_First_Frame) {
    struct Case { std::string settings; int sheet_w; std::string said; };
    const std::string three = "[General]\nFrames=3\n";
    const Case cases[] = {
        {"[General]\nFrames=2.5\n" + CLIPS, 90, "settings.ini [General] Frames = 2.5 is not a whole number from 1 "
                                                "to 65536; the images are one still frame"},
        {"[General]\nFrames=nan\n" + CLIPS, 90, "settings.ini [General] Frames = nan is not a whole number from 1 to 65536; "
                                        "the images are one still frame"},
        {"[General]\nFrames=3\nColumns=4\n" + CLIPS, 90, "settings.ini [General] Columns = 4 is not a whole number from 1 "
                                                  "to 3; the images are one still frame"},
        {"[General]\nFrames=6\nColumns=3\n" + CLIPS, 91,
         "the images are 91 x 40, not 3 x 2 equal frames; they are one still frame"},
        {three + "[Clip wave]\nFirst=2\nCount=2\nFrame_Rate=5\nLoop=1\n", 90,
         "settings.ini [Clip wave] Count = 2 is not a whole number from 1 to 1; the clip shows the first frame still"},
        {three + "[Clip wave]\nFirst=3\nCount=1\nFrame_Rate=5\nLoop=1\n", 90,
         "settings.ini [Clip wave] First = 3 is not a whole number from 0 to 2; the clip shows the first frame still"},
        {three + "[Clip wave]\nFirst=0\nCount=2\nFrame_Rate=0\nLoop=1\n", 90,
         "settings.ini [Clip wave] Frame_Rate = 0 is not a number of frames per second above 0; the clip shows the "
         "first frame still"},
        {three + "[Clip wave]\nFirst=0\nCount=2\nFrame_Rate=nan\nLoop=1\n", 90,
         "settings.ini [Clip wave] Frame_Rate = nan is not a number of frames per second above 0; the clip shows "
         "the first frame still"},
        {three + "[Clip wave]\nFirst=0\nFrame_Rate=-2\nLoop=1\n", 90,
         "settings.ini [Clip wave] has no Count; the clip shows the first frame still"},
        {three + "[Clip wave]\nFirst=0\nCount=2\nFrame_Rate=5\nLoop=2\n", 90,
         "settings.ini [Clip wave] Loop = 2 is not a whole number from 0 to 1; the clip shows the first frame still"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        Problems problems;
        Animation a = Read(c.settings, c.sheet_w, 40, problems);
        EXPECT_EQ(problems, Problems{c.said});
        EXPECT_TRUE(a.Play("wave")) << "the clip is known, though it cannot play";
        a.Advance(1.0);
        EXPECT_EQ((std::pair{a.Get_Frame(), a.Get_Clip()}), (std::pair{0, std::string()}));
    }
    Problems problems;
    Animation a = Read("[General]\nFrames=6\n[Clip bad]\nFirst=0\nCount=9\nFrame_Rate=1\nLoop=0\n" + CLIPS, 120, 9,
                       problems);
    EXPECT_EQ(problems.size(), 1u);
    ASSERT_TRUE(a.Play("walk"));
    EXPECT_EQ(a.Get_Frame(), 1) << "a good clip beside a bad one plays";
    EXPECT_TRUE(a.Play("bad"));
    EXPECT_EQ((std::pair{a.Get_Frame(), a.Get_Clip()}), (std::pair{0, std::string()}));
}

}  // namespace
