#include "input/input.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>

namespace {

const int KEY = ALLEGRO_KEY_SPACE;
const int A = ALLEGRO_KEY_A;

class Input_Test : public ::testing::Test {
protected:
    // The state is global; every test starts from the zeroed program-start state.
    void SetUp() override {
        for (bool* entries : {KB_Active, KB_Input, KB_Released, KB_DoublePressed, Keyboard_Pressed_Since_Poll,
                              Keyboard_Held_Before_Focus})
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
    // A hand-made event as the game's loop hands it on between polls.
    static void Event(ALLEGRO_EVENT_TYPE type, int key_or_button = 0) {
        ALLEGRO_EVENT event = {};
        event.type = type;
        if (type == ALLEGRO_EVENT_MOUSE_BUTTON_DOWN)
            event.mouse.button = key_or_button;
        else
            event.keyboard.keycode = key_or_button;
        Handle_Input_Event(event);
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
}

TEST_F(Input_Test, A_Held_Key_Shows_One_Press_Then_Counts_Polls_Up_To_2000_Then_One_Release) {
    Polls(true, 1);
    EXPECT_TRUE(KB_Active[KEY] && KB_Input[KEY] && KB_TimePressed[KEY] == 1);
    EXPECT_FALSE(KB_DoublePressed[KEY] || KB_Released[KEY]);  // a first press has no window
    Polls(true, 1);
    EXPECT_TRUE(KB_Active[KEY] && !KB_Input[KEY] && KB_TimePressed[KEY] == 2);
    for (auto [polls, time] : {std::array{1997, 1999}, {1, 2000}, {3000, 2000}}) {
        Polls(true, polls);
        EXPECT_EQ(KB_TimePressed[KEY], time);
    }
    Polls(false, 1);
    EXPECT_TRUE(KB_Released[KEY]);
    EXPECT_FALSE(KB_Active[KEY] || KB_Input[KEY] || KB_TimePressed[KEY]);
    Polls(false, 1);
    EXPECT_FALSE(Any_Flag(KEY));
}

TEST_F(Input_Test, A_Press_Within_21_Polls_Of_A_Release_Is_A_Double_Press) {
    Polls(true, 1);
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

TEST_F(Input_Test, A_Tap_Between_Two_Polls_Is_Down_For_One_Poll_And_Released_On_The_Next) {
    const int MIDDLE = INPUT_MOUSE_FIRST + 2;
    Event(ALLEGRO_EVENT_KEY_DOWN, KEY);  // both down and up again before the poll
    Event(ALLEGRO_EVENT_MOUSE_BUTTON_DOWN, 3);
    Event(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_RSHIFT);  // untracked, like button 4
    Event(ALLEGRO_EVENT_MOUSE_BUTTON_DOWN, 4);
    Event(ALLEGRO_EVENT_MOUSE_AXES);
    Poll({});
    for (int input : {KEY, MIDDLE})
        EXPECT_TRUE(KB_Input[input] && KB_Active[input] && KB_TimePressed[input] == 1) << input;
    EXPECT_FALSE(Any_Flag(ALLEGRO_KEY_RSHIFT) || Any_Flag(INPUT_MOUSE_FIRST + 3));
    Poll({});
    for (int input : {KEY, MIDDLE}) EXPECT_TRUE(KB_Released[input] && !KB_Active[input]) << input;
    Polls(true, 1);
    Event(ALLEGRO_EVENT_KEY_DOWN, KEY);  // the event of the press this poll saw, come late
    Polls(false, 1);
    EXPECT_TRUE(KB_Released[KEY]) << "the press is not held one poll longer";
}

TEST_F(Input_Test, Focus_Loss_Silences_Keys_And_A_Key_Still_Reported_Down_Counts_Once_Pressed_Again) {
    Polls(true, 5);
    Poll({KEY, A});
    Poll({KEY});  // A's release opens its double-press window
    for (int n = 0; n < 3; n++) {
        Clear_Keyboard();  // what every unfocused poll does
        EXPECT_FALSE(Any_Flag(KEY) || Any_Flag(A));
    }
    // Back in focus, the library still reports both keys down, though both
    // may have been let go in the other window.
    Poll({KEY, A});
    EXPECT_FALSE(Any_Flag(KEY) || Any_Flag(A));
    Event(ALLEGRO_EVENT_KEY_CHAR, KEY);  // a key it has down comes back as a character only
    Event(ALLEGRO_EVENT_KEY_DOWN, A);
    Poll({KEY, A});
    EXPECT_TRUE(KB_Input[KEY] && KB_Active[KEY] && KB_TimePressed[KEY] == 1);
    EXPECT_TRUE(KB_Input[A] && !KB_DoublePressed[A]) << "the double-press window did not survive the focus loss";

    // Focus gone and back between two polls: held keys are released at once.
    Event(ALLEGRO_EVENT_DISPLAY_SWITCH_IN);
    Poll({KEY, A});
    EXPECT_TRUE(KB_Released[KEY] && KB_Released[A]);
    Poll({KEY});  // A seen up: from now on its level counts again
    Poll({KEY, A});
    EXPECT_TRUE(KB_Input[A]);
    EXPECT_FALSE(KB_Active[KEY]);
}

TEST_F(Input_Test, Mouse_Motion_Is_The_Change_Since_The_Last_Poll) {
    Update_Mouse(640, 360, 2);
    EXPECT_EQ((std::array{mick_x, mick_y, mick_z}), (std::array{640.0f, 360.0f, 2.0f}));  // the first moves from 0
    Update_Mouse(630, 380, -1);
    EXPECT_EQ((std::array{mick_x, mick_y, mick_z}), (std::array{-10.0f, 20.0f, -3.0f}));
}
