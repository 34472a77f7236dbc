#include "input/input.h"

#include <algorithm>  // Required for: std::min()

ALLEGRO_KEYBOARD_STATE keyb;
ALLEGRO_MOUSE_STATE mous;
bool Keys_To_Check[INPUT_ENTRIES];
bool KB_Active[INPUT_ENTRIES];
bool KB_Input[INPUT_ENTRIES];
bool KB_Released[INPUT_ENTRIES];
bool KB_DoublePressed[INPUT_ENTRIES];
int KB_TimePressed[INPUT_ENTRIES];
int Keyboard_Last_Pressed[INPUT_ENTRIES];
int Keyboard_To_Double_Press[INPUT_ENTRIES];
bool Keyboard_Event_Down[INPUT_ENTRIES];
int Keyboard_Presses_Pending[INPUT_ENTRIES];
bool Keyboard_Held_Before_Focus[INPUT_ENTRIES];
float event_mouse_x, event_mouse_y, event_mouse_z;
float mouse_x, mouse_y, mouse_z;
float last_mouse_x, last_mouse_y, last_mouse_z;
float mick_x, mick_y, mick_z;

namespace {

const int TRACKED_KEY_LAST = 92;  // ALLEGRO_KEY_PRINTSCREEN
const int TRACKED_MODIFIERS[] = {ALLEGRO_KEY_LSHIFT, ALLEGRO_KEY_LCTRL, ALLEGRO_KEY_RCTRL, ALLEGRO_KEY_ALT};
const int MOUSE_BUTTONS = 3;
const int NO_ENTRY = -1;

ALLEGRO_DISPLAY* input_display = nullptr;

// The tracked entry a key or button event is about, or NO_ENTRY.
int Entry_Of(const ALLEGRO_EVENT& event) {
    int entry = NO_ENTRY;
    switch (event.type) {
        case ALLEGRO_EVENT_KEY_DOWN:
        case ALLEGRO_EVENT_KEY_UP:
        case ALLEGRO_EVENT_KEY_CHAR:
            if (event.keyboard.keycode > 0 && event.keyboard.keycode < INPUT_MOUSE_FIRST)
                entry = event.keyboard.keycode;
            break;
        case ALLEGRO_EVENT_MOUSE_BUTTON_DOWN:
        case ALLEGRO_EVENT_MOUSE_BUTTON_UP:
            if (event.mouse.button >= 1 && event.mouse.button <= MOUSE_BUTTONS)
                entry = INPUT_MOUSE_FIRST + static_cast<int>(event.mouse.button) - 1;
            break;
        default:
            break;
    }
    return entry != NO_ENTRY && Keys_To_Check[entry] ? entry : NO_ENTRY;
}

// Every mouse event says where the pointer is.
void Take_Pointer(const ALLEGRO_EVENT& event) {
    switch (event.type) {
        case ALLEGRO_EVENT_MOUSE_AXES:
        case ALLEGRO_EVENT_MOUSE_BUTTON_DOWN:
        case ALLEGRO_EVENT_MOUSE_BUTTON_UP:
        case ALLEGRO_EVENT_MOUSE_ENTER_DISPLAY:
        case ALLEGRO_EVENT_MOUSE_LEAVE_DISPLAY:
        case ALLEGRO_EVENT_MOUSE_WARPED:
            event_mouse_x = static_cast<float>(event.mouse.x);
            event_mouse_y = static_cast<float>(event.mouse.y);
            event_mouse_z = static_cast<float>(event.mouse.z);
            break;
        default:
            break;
    }
}

void Take_Press(int i) {
    Keyboard_Held_Before_Focus[i] = false;
    Keyboard_Event_Down[i] = true;
    Keyboard_Presses_Pending[i]++;
}

void Take_Release(int i) {
    Keyboard_Held_Before_Focus[i] = false;
    Keyboard_Event_Down[i] = false;
}

// A key let go in another window sends no key-up here, so after a focus
// change every key is taken as up; and the library keeps such a key down, so
// it is not trusted until it is pressed again. A button's release always comes
// here: the window holds the pointer from the button's press to its release.
void Forget_Held_Keys() {
    for (int i = 0; i < INPUT_MOUSE_FIRST; i++) {
        Keyboard_Event_Down[i] = false;
        Keyboard_Held_Before_Focus[i] = Keys_To_Check[i];
    }
}

// The release poll opens the double-press window.
void Show_Release(int i) {
    KB_Released[i] = true;
    Keyboard_To_Double_Press[i] = INPUT_DOUBLE_PRESS_WINDOW;
    Keyboard_Last_Pressed[i] = 0;
    KB_TimePressed[i] = 0;
}

// A press not shown yet shows on this poll even if the input is up again; one
// behind a press the previous poll showed brings the release between them
// along, and so shows as a double press. Otherwise the level decides.
void Update_Input_Entry(int i) {
    bool press = Keyboard_Presses_Pending[i] > 0;
    if (press) Keyboard_Presses_Pending[i]--;
    bool down = press || Keyboard_Event_Down[i];
    KB_Active[i] = down;
    KB_Input[i] = false;
    KB_Released[i] = false;
    KB_DoublePressed[i] = false;
    // Counted down before it is tested: a press on any of the 21 polls after
    // the release poll is a double press.
    if (Keyboard_To_Double_Press[i] > 0) Keyboard_To_Double_Press[i]--;
    if (Keyboard_Last_Pressed[i] != 0 && (!down || press)) Show_Release(i);
    KB_TimePressed[i] = down ? std::min(KB_TimePressed[i] + 1, INPUT_MAX_TIME_PRESSED) : 0;
    if (down && Keyboard_To_Double_Press[i] > 0) {
        KB_DoublePressed[i] = true;
        Keyboard_To_Double_Press[i] = 0;
    }
    if (down && Keyboard_Last_Pressed[i] == 0) KB_Input[i] = true;
    Keyboard_Last_Pressed[i] = down ? 1 : 0;
}

// Moves the pointer values to a new sample and works out the motion.
void Update_Mouse(float x, float y, float z) {
    last_mouse_x = mouse_x;
    last_mouse_y = mouse_y;
    last_mouse_z = mouse_z;
    mouse_x = x;
    mouse_y = y;
    mouse_z = z;
    mick_x = mouse_x - last_mouse_x;
    mick_y = mouse_y - last_mouse_y;
    mick_z = mouse_z - last_mouse_z;
}

}  // namespace

void Init_Mapping() {
    for (int i = 0; i < INPUT_ENTRIES; i++) Keys_To_Check[i] = false;
    for (int i = 1; i <= TRACKED_KEY_LAST; i++) Keys_To_Check[i] = true;
    for (int key : TRACKED_MODIFIERS) Keys_To_Check[key] = true;
    for (int i = 0; i < MOUSE_BUTTONS; i++) Keys_To_Check[INPUT_MOUSE_FIRST + i] = true;
}

void Set_Input_Display(ALLEGRO_DISPLAY* display) {
    input_display = display;
    if (!al_is_mouse_installed()) return;
    al_get_mouse_state(&mous);
    event_mouse_x = static_cast<float>(al_get_mouse_state_axis(&mous, 0));
    event_mouse_y = static_cast<float>(al_get_mouse_state_axis(&mous, 1));
    event_mouse_z = static_cast<float>(mous.z);
}

void Update_Input(bool focused) {
    Update_Mouse(event_mouse_x, event_mouse_y, event_mouse_z);
    if (!focused) {
        Clear_Keyboard();
        return;
    }
    for (int i = 0; i < INPUT_ENTRIES; i++)
        if (Keys_To_Check[i]) Update_Input_Entry(i);
}

void Poll_Input(void*) {
    al_get_keyboard_state(&keyb);
    al_get_mouse_state(&mous);  // not read here, kept fresh for scene code
    Update_Input(input_display && keyb.display == input_display);
}

// NOTE: KB_Active is cleared as well, so a key held when focus leaves does not
// keep acting (the view would otherwise keep panning) while the window is away.
void Clear_Keyboard() {
    for (int i = 0; i < INPUT_MOUSE_FIRST + MOUSE_BUTTONS; i++) {
        if (!Keys_To_Check[i]) continue;
        KB_Active[i] = false;
        KB_TimePressed[i] = 0;
        KB_DoublePressed[i] = false;
        Keyboard_To_Double_Press[i] = 0;
        KB_Released[i] = false;
        KB_Input[i] = false;
        Keyboard_Last_Pressed[i] = 0;
        Keyboard_Presses_Pending[i] = 0;
    }
    Forget_Held_Keys();
}

void Handle_Input_Event(const ALLEGRO_EVENT& event) {
    Take_Pointer(event);
    int entry = Entry_Of(event);
    switch (event.type) {
        case ALLEGRO_EVENT_KEY_DOWN:
        case ALLEGRO_EVENT_MOUSE_BUTTON_DOWN:
            if (entry != NO_ENTRY) Take_Press(entry);
            break;
        case ALLEGRO_EVENT_KEY_UP:
        case ALLEGRO_EVENT_MOUSE_BUTTON_UP:
            if (entry != NO_ENTRY) Take_Release(entry);
            break;
        case ALLEGRO_EVENT_KEY_CHAR:
            // A key pressed again while the library still has it down from before
            // a focus change comes as a character only, never as a key-down.
            if (entry != NO_ENTRY && Keyboard_Held_Before_Focus[entry]) Take_Press(entry);
            break;
        case ALLEGRO_EVENT_DISPLAY_SWITCH_IN:
        case ALLEGRO_EVENT_DISPLAY_SWITCH_OUT:
            Forget_Held_Keys();
            break;
        default:
            break;
    }
}
