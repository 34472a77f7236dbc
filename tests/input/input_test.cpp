#include "input/input.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

namespace {

const int KEY = ALLEGRO_KEY_SPACE;
const int A = ALLEGRO_KEY_A;

class Input_Test : public ::testing::Test {
protected:
    // The state is global; every test starts from the zeroed program-start state.
    void SetUp() override {
        for (bool* entries : {KB_Active, KB_Input, KB_Released, KB_DoublePressed})
            std::fill(entries, entries + INPUT_ENTRIES, false);
        for (int* entries : {KB_TimePressed, Keyboard_Last_Pressed, Keyboard_To_Double_Press})
            std::fill(entries, entries + INPUT_ENTRIES, 0);
        mouse_x = mouse_y = mouse_z = 0;
        Init_Mapping();
    }
    // One focused poll in which exactly the inputs in `held` are down.
    static void Poll(const std::set<int>& held) {
        for (int i = 0; i < INPUT_ENTRIES; i++)
            if (Keys_To_Check[i]) Update_Input_Entry(i, held.count(i) > 0);
    }
    static void Polls(bool down, int count) {
        for (int n = 0; n < count; n++) Poll(down ? std::set<int>{KEY} : std::set<int>{});
    }
    static bool Any_Flag(int key) {
        return KB_Active[key] || KB_Input[key] || KB_Released[key] || KB_DoublePressed[key] || KB_TimePressed[key];
    }
};

}  // namespace

TEST_F(Input_Test, Only_The_Mapped_Inputs_Are_Tracked) {
    EXPECT_EQ(std::count(Keys_To_Check, Keys_To_Check + INPUT_ENTRIES, true), 99);
    for (int key : {1, 26, 59, 75, 85, 92, 215, 217, 218, 219, 256, 257, 258}) EXPECT_TRUE(Keys_To_Check[key]) << key;
    for (int key : {0, 93, 214, 216, 220, 255, 259, 511}) EXPECT_FALSE(Keys_To_Check[key]) << key;
    const int untracked[] = {ALLEGRO_KEY_RSHIFT, ALLEGRO_KEY_CAPSLOCK, 259};
    for (int n = 0; n < 30; n++) Poll(std::set<int>(std::begin(untracked), std::end(untracked)));
    Poll({});
    for (int key : untracked) EXPECT_FALSE(Any_Flag(key)) << key;
}

TEST_F(Input_Test, A_Held_Key_Shows_One_Press_Then_Counts_Polls_Then_One_Release) {
    Polls(true, 1);
    EXPECT_TRUE(KB_Active[KEY] && KB_Input[KEY]);
    EXPECT_FALSE(KB_DoublePressed[KEY] || KB_Released[KEY]);  // a first press has no window
    EXPECT_EQ(KB_TimePressed[KEY], 1);
    for (int time : {2, 3}) {
        Polls(true, 1);
        EXPECT_TRUE(KB_Active[KEY] && !KB_Input[KEY]);
        EXPECT_EQ(KB_TimePressed[KEY], time);
    }
    Polls(false, 1);
    EXPECT_TRUE(KB_Released[KEY]);
    EXPECT_FALSE(KB_Active[KEY] || KB_Input[KEY]);
    EXPECT_EQ(KB_TimePressed[KEY], 0);
    Polls(false, 1);
    EXPECT_FALSE(Any_Flag(KEY));
}

TEST_F(Input_Test, Hold_Time_Stops_At_2000) {
    int longest = 0;
    for (int n = 0; n < 5000; n++) {
        Polls(true, 1);
        longest = std::max(longest, KB_TimePressed[KEY]);
        if (n == 1998) {
            EXPECT_EQ(KB_TimePressed[KEY], 1999);
        }
    }
    EXPECT_EQ(longest, 2000);
}

TEST_F(Input_Test, A_Press_Within_21_Polls_Of_A_Release_Is_A_Double_Press) {
    Polls(true, 1);
    EXPECT_FALSE(KB_DoublePressed[KEY]) << "a first press has no window";
    Polls(false, 1 + 20);  // release poll R, then up to R + 20
    Polls(true, 1);        // R + 21
    EXPECT_TRUE(KB_Input[KEY] && KB_DoublePressed[KEY]);
    Polls(true, 1);
    EXPECT_FALSE(KB_DoublePressed[KEY]) << "the double press closed the window";
    Polls(false, 1 + 21);
    Polls(true, 1);  // R + 22
    EXPECT_TRUE(KB_Input[KEY]);
    EXPECT_FALSE(KB_DoublePressed[KEY]);
    for (int tap = 0; tap < 2; tap++) {  // every quick re-press counts again
        Polls(false, 2);
        Polls(true, 1);
        EXPECT_TRUE(KB_DoublePressed[KEY]) << tap;
    }
}

TEST_F(Input_Test, Focus_Loss_Silences_Keys_And_A_Held_Key_Returns_As_A_Fresh_Press) {
    Polls(true, 5);
    Poll({KEY, A});
    Poll({KEY});  // A's release opens its double-press window
    for (int n = 0; n < 3; n++) {
        Clear_Keyboard();  // what every unfocused poll does
        EXPECT_FALSE(Any_Flag(KEY) || Any_Flag(A));
    }
    Poll({KEY, A});
    EXPECT_TRUE(KB_Input[KEY] && KB_Active[KEY]);
    EXPECT_EQ(KB_TimePressed[KEY], 1);
    EXPECT_TRUE(KB_Input[A]);
    EXPECT_FALSE(KB_DoublePressed[A]);  // the window did not survive the focus loss
}

TEST_F(Input_Test, Mouse_Motion_Is_The_Change_Since_The_Last_Poll) {
    Update_Mouse(640, 360, 2);
    EXPECT_EQ(mick_x, 640.0f);  // the first poll moves from 0
    EXPECT_EQ(mick_y, 360.0f);
    EXPECT_EQ(mick_z, 2.0f);
    Update_Mouse(630, 380, -1);
    EXPECT_EQ(mouse_x, 630.0f);
    EXPECT_EQ(last_mouse_x, 640.0f);
    EXPECT_EQ(mick_x, -10.0f);
    EXPECT_EQ(mick_y, 20.0f);
    EXPECT_EQ(mick_z, -3.0f);
}
