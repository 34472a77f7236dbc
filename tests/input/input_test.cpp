#include "input/input.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <set>
#include <string>
#include <tuple>

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
    // `count` focused polls in which exactly the inputs in `held` are down.
    static void Poll(const std::set<int>& held, int count = 1) {
        for (int n = 0; n < count; n++)
            for (int i = 0; i < INPUT_ENTRIES; i++)
                if (Keys_To_Check[i]) Update_Input_Entry(i, held.count(i) > 0);
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
    // Each input's state, space-separated: A(ctive), I(nput), R(eleased), D(ouble pressed), then the time
    // pressed if any; "-" for none of them.
    static std::string Flags(std::initializer_list<int> keys) {
        std::string all;
        for (int key : keys) {
            std::string flags = std::string(KB_Active[key] ? "A" : "") + (KB_Input[key] ? "I" : "") +
                                (KB_Released[key] ? "R" : "") + (KB_DoublePressed[key] ? "D" : "") +
                                (KB_TimePressed[key] ? std::to_string(KB_TimePressed[key]) : "");
            all += (all.empty() ? "" : " ") + (flags.empty() ? "-" : flags);
        }
        return all;
    }
};

}  // namespace

TEST_F(Input_Test, Only_The_Mapped_Inputs_Are_Tracked) {
    EXPECT_EQ(std::count(Keys_To_Check, Keys_To_Check + INPUT_ENTRIES, true), 99);
    for (int key : {1, 26, 59, 75, 85, 92, 215, 217, 218, 219, 256, 257, 258}) EXPECT_TRUE(Keys_To_Check[key]) << key;
    for (int key : {0, 93, 214, 216, 220, 255, 259, 511}) EXPECT_FALSE(Keys_To_Check[key]) << key;
}

TEST_F(Input_Test, A_Key_Shows_One_Press_Counts_Held_Polls_To_2000_Then_One_Release_And_Quick_Presses_Are_Double) {
    // Each step holds the key down or up for some polls.
    const std::tuple<bool, int, const char*> steps[] = {
        {true, 1, "AI1"},  // a first press has no double-press window
        {true, 1, "A2"},       {true, 1997, "A1999"}, {true, 1, "A2000"},
        {true, 3000, "A2000"}, {false, 1, "R"},    // the release poll R
        {false, 1, "-"},       {false, 19, "-"},   // up to R + 20
        {true, 1, "AID1"},                         // R + 21 is still a double press
        {true, 1, "A2"},                           // which closed the window
        {false, 22, "-"},      {true, 1, "AI1"},   // R + 22 is not
        {false, 2, "-"},       {true, 1, "AID1"},  // every quick re-press counts again
        {false, 2, "-"},       {true, 1, "AID1"}};
    int step = 0;
    for (const auto& [down, polls, flags] : steps) {
        Poll(down ? std::set<int>{KEY} : std::set<int>{}, polls);
        EXPECT_EQ(Flags({KEY}), flags) << "step " << step++;
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
    EXPECT_EQ(Flags({KEY, MIDDLE, ALLEGRO_KEY_RSHIFT, INPUT_MOUSE_FIRST + 3}), "AI1 AI1 - -");
    Poll({});
    EXPECT_EQ(Flags({KEY, MIDDLE}), "R R");
    Poll({KEY});
    Event(ALLEGRO_EVENT_KEY_DOWN, KEY);  // the event of the press this poll saw, come late
    Poll({});
    EXPECT_EQ(Flags({KEY}), "R") << "the press is not held one poll longer";
}

TEST_F(Input_Test, Focus_Loss_Silences_Keys_And_A_Key_Still_Reported_Down_Counts_Once_Pressed_Again) {
    Poll({KEY}, 5);
    Poll({KEY, A});
    Poll({KEY});  // A's release opens its double-press window
    for (int n = 0; n < 3; n++) {
        Clear_Keyboard();  // what every unfocused poll does
        EXPECT_EQ(Flags({KEY, A}), "- -");
    }
    // Back in focus, the library still reports both keys down, though both may have been let go in the other window.
    Poll({KEY, A});
    EXPECT_EQ(Flags({KEY, A}), "- -");
    Event(ALLEGRO_EVENT_KEY_CHAR, KEY);  // a key it has down comes back as a character only
    Event(ALLEGRO_EVENT_KEY_DOWN, A);
    Poll({KEY, A});
    EXPECT_EQ(Flags({KEY, A}), "AI1 AI1") << "the double-press window did not survive the focus loss";

    // Focus gone and back between two polls: held keys are released at once.
    Event(ALLEGRO_EVENT_DISPLAY_SWITCH_IN);
    Poll({KEY, A});
    EXPECT_EQ(Flags({KEY, A}), "R R");
    Poll({KEY});  // A seen up: from now on its level counts again
    Poll({KEY, A});
    EXPECT_EQ(Flags({KEY}), "-");
    EXPECT_TRUE(KB_Input[A]);
}

TEST_F(Input_Test, Mouse_Motion_Is_The_Change_Since_The_Last_Poll) {
    Update_Mouse(640, 360, 2);
    EXPECT_EQ((std::array{mick_x, mick_y, mick_z}), (std::array{640.0f, 360.0f, 2.0f}));  // the first moves from 0
    Update_Mouse(630, 380, -1);
    EXPECT_EQ((std::array{mick_x, mick_y, mick_z}), (std::array{-10.0f, 20.0f, -3.0f}));
}
