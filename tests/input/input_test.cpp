#include "input/input.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string>
#include <tuple>

namespace {

const int KEY = ALLEGRO_KEY_SPACE;
const int A = ALLEGRO_KEY_A;
const int LEFT_BUTTON = INPUT_MOUSE_FIRST;
const int MIDDLE_BUTTON = INPUT_MOUSE_FIRST + 2;

class Input_Test : public ::testing::Test {
protected:
    // The state is global; every test starts from the zeroed program-start state.
    void SetUp() override {
        for (bool* entries : {KB_Active, KB_Input, KB_Released, KB_DoublePressed, Keyboard_Event_Down,
                              Keyboard_Held_Before_Focus})
            std::fill(entries, entries + INPUT_ENTRIES, false);
        for (int* entries : {KB_TimePressed, Keyboard_Last_Pressed, Keyboard_To_Double_Press, Keyboard_Presses_Pending})
            std::fill(entries, entries + INPUT_ENTRIES, 0);
        mouse_x = mouse_y = mouse_z = event_mouse_x = event_mouse_y = event_mouse_z = 0;
        Init_Mapping();
    }
    // `count` polls, as the ticks do with the display focused.
    static void Poll(int count = 1) {
        for (int n = 0; n < count; n++) Update_Input(true);
    }
    // A hand-made event as the game's loop hands it on between polls; mouse
    // events say where the pointer is.
    static void Event(ALLEGRO_EVENT_TYPE type, int key_or_button = 0, std::array<int, 3> pointer = {}) {
        ALLEGRO_EVENT event = {};
        event.type = type;
        if (type >= ALLEGRO_EVENT_MOUSE_AXES && type <= ALLEGRO_EVENT_MOUSE_WARPED) {
            event.mouse.button = key_or_button;
            event.mouse.x = pointer[0], event.mouse.y = pointer[1], event.mouse.z = pointer[2];
        } else {
            event.keyboard.keycode = key_or_button;
        }
        Handle_Input_Event(event);
    }
    // The down or up event of an entry: a key, or a mouse button from INPUT_MOUSE_FIRST on.
    static void Down(int entry) {
        if (entry < INPUT_MOUSE_FIRST) return Event(ALLEGRO_EVENT_KEY_DOWN, entry);
        Event(ALLEGRO_EVENT_MOUSE_BUTTON_DOWN, entry - INPUT_MOUSE_FIRST + 1);
    }
    static void Up(int entry) {
        if (entry < INPUT_MOUSE_FIRST) return Event(ALLEGRO_EVENT_KEY_UP, entry);
        Event(ALLEGRO_EVENT_MOUSE_BUTTON_UP, entry - INPUT_MOUSE_FIRST + 1);
    }
    static void Tap(int entry) { Down(entry), Up(entry); }
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
    // Each step holds KEY down or up for some polls; then its flags must read as given.
    static void Expect_Steps(std::initializer_list<std::tuple<bool, int, const char*>> steps) {
        bool held = false;
        int step = 0;
        for (const auto& [down, polls, flags] : steps) {
            if (down != held) down ? Down(KEY) : Up(KEY), held = down;
            Poll(polls);
            EXPECT_EQ(Flags({KEY}), flags) << "step " << step++;
        }
    }
    // The flags of `key` at each of `count` polls, space-separated.
    static std::string Polls(int key, int count) {
        std::string all;
        for (int n = 0; n < count; n++) Poll(), all += (n ? " " : "") + Flags({key});
        return all;
    }
};

}  // namespace

TEST_F(Input_Test, A_Held_Key_Shows_One_Press_Counts_Its_Polls_Up_To_2000_Then_One_Release) {
    Expect_Steps({{true, 1, "AI1"},  // a first press has no double-press window
                  {true, 1, "A2"}, {true, 1997, "A1999"}, {true, 1, "A2000"}, {true, 3000, "A2000"},
                  {false, 1, "R"}, {false, 1, "-"}});
}

TEST_F(Input_Test, A_Press_Up_To_21_Polls_After_A_Release_Is_A_Double_Press) {
    Expect_Steps({{true, 1, "AI1"}, {false, 1, "R"},  // the release poll R
                  {false, 20, "-"}, {true, 1, "AID1"},  // R + 21 is still a double press
                  {true, 1, "A2"},                       // which closed the window
                  {false, 22, "-"}, {true, 1, "AI1"},   // R + 22 is not
                  {false, 2, "-"}, {true, 1, "AID1"},   // every quick re-press counts again
                  {false, 2, "-"}, {true, 1, "AID1"}});
}

TEST_F(Input_Test, Every_Press_Shows_On_Exactly_One_Poll_However_The_Events_Fall_Between_Polls) {
    // Ticks queued ahead of three taps: each tap shows on its own poll, a
    // press right behind a shown one with the release between them.
    Poll();
    for (int n = 0; n < 3; n++) Tap(KEY);
    EXPECT_EQ(Polls(KEY, 5), "AI1 AIRD1 AIRD1 R -");

    Down(KEY);  // across a poll boundary, within the last release's double-press window
    EXPECT_EQ(Polls(KEY, 2), "AID1 A2");
    Up(KEY);
    EXPECT_EQ(Polls(KEY, 2), "R -");

    Tap(KEY), Down(KEY);  // a tap, then held
    EXPECT_EQ(Polls(KEY, 3), "AID1 AIRD1 A2");
    Tap(KEY);  // a tap while held shows too
    EXPECT_EQ(Polls(KEY, 2), "AIRD1 R");
}

TEST_F(Input_Test, Mouse_Buttons_Follow_Their_Events_Like_Keys_And_Untracked_Inputs_Are_Ignored) {
    Down(LEFT_BUTTON);
    Tap(MIDDLE_BUTTON);
    Event(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_RSHIFT);  // untracked, like button 4
    Event(ALLEGRO_EVENT_MOUSE_BUTTON_DOWN, 4);
    Event(ALLEGRO_EVENT_MOUSE_AXES);
    Poll();
    EXPECT_EQ(Flags({LEFT_BUTTON, MIDDLE_BUTTON, ALLEGRO_KEY_RSHIFT, INPUT_MOUSE_FIRST + 3}), "AI1 AI1 - -");
    Poll();
    EXPECT_EQ(Flags({LEFT_BUTTON, MIDDLE_BUTTON}), "A2 R");
    Up(LEFT_BUTTON);
    Poll();
    EXPECT_EQ(Flags({LEFT_BUTTON, MIDDLE_BUTTON}), "R -");
}

TEST_F(Input_Test, Focus_Loss_Silences_Keys_And_A_Key_Let_Go_Elsewhere_Counts_Once_Pressed_Again) {
    Down(KEY), Down(LEFT_BUTTON), Poll(5);
    Down(A), Poll();
    Up(A), Poll();  // A's release opens its double-press window
    Tap(A);         // a press no focused poll shows
    for (int n = 0; n < 3; n++) {
        Update_Input(false);
        EXPECT_EQ(Flags({KEY, A, LEFT_BUTTON}), "- - -");
    }
    // Back in focus: Space was let go in the other window, and its key-up went
    // there; a button's release would have come here.
    Poll();
    EXPECT_EQ(Flags({KEY, A, LEFT_BUTTON}), "- - AI1");
    Event(ALLEGRO_EVENT_KEY_CHAR, KEY);  // a key the library still has down comes back as a character only
    Down(A), Event(ALLEGRO_EVENT_KEY_CHAR, A);
    Poll();
    EXPECT_EQ(Flags({KEY, A}), "AI1 AI1") << "the double-press window did not survive the focus loss";
    Event(ALLEGRO_EVENT_KEY_CHAR, KEY), Event(ALLEGRO_EVENT_KEY_CHAR, A);  // the keys repeat: no new press
    Poll();
    EXPECT_EQ(Flags({KEY, A}), "A2 A2");

    // Focus gone and back between two polls: held keys are released at once,
    // a press taken before it went still shows, the button is still held.
    Tap(A);
    Event(ALLEGRO_EVENT_DISPLAY_SWITCH_OUT), Event(ALLEGRO_EVENT_DISPLAY_SWITCH_IN);
    Poll();
    EXPECT_EQ(Flags({KEY, A, LEFT_BUTTON}), "R AIRD1 A4");
    Poll();
    EXPECT_EQ(Flags({KEY, A}), "- R");
}

TEST_F(Input_Test, The_Pointer_Follows_The_Mouse_Events_And_Its_Motion_Is_The_Change_Since_The_Last_Poll) {
    auto motion = [] { return std::array{mick_x, mick_y, mick_z}; };
    Event(ALLEGRO_EVENT_MOUSE_ENTER_DISPLAY, 0, {600, 300, 1});
    Event(ALLEGRO_EVENT_MOUSE_AXES, 0, {640, 360, 2});
    Poll();
    EXPECT_EQ(motion(), (std::array{640.0f, 360.0f, 2.0f})) << "the first moves from 0";
    // The right button pressed, then the pointer dragged up before the poll: both show on it.
    Event(ALLEGRO_EVENT_MOUSE_BUTTON_DOWN, 2, {640, 360, 2});
    Event(ALLEGRO_EVENT_MOUSE_AXES, 0, {630, 280, -1});
    Poll();
    EXPECT_EQ(Flags({INPUT_MOUSE_FIRST + 1}), "AI1");
    EXPECT_EQ(motion(), (std::array{-10.0f, -80.0f, -3.0f}));
    Event(ALLEGRO_EVENT_MOUSE_WARPED, 0, {700, 300, -1});
    Update_Input(false);  // the pointer is followed without keyboard focus too
    EXPECT_EQ((std::array{mouse_x, mouse_y, mouse_z}), (std::array{700.0f, 300.0f, -1.0f}));
    Poll();
    EXPECT_EQ(motion(), (std::array{0.0f, 0.0f, 0.0f}));
}
