#include "input/input.h"

#include "game/game.h"

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
bool Keyboard_Pressed_Since_Poll[INPUT_ENTRIES];
bool Keyboard_Held_Before_Focus[INPUT_ENTRIES];
float mouse_x, mouse_y, mouse_z;
float last_mouse_x, last_mouse_y, last_mouse_z;
float mick_x, mick_y, mick_z;

namespace {

const int TRACKED_KEY_LAST = 92;  // ALLEGRO_KEY_PRINTSCREEN
const int TRACKED_MODIFIERS[] = {ALLEGRO_KEY_LSHIFT, ALLEGRO_KEY_LCTRL, ALLEGRO_KEY_RCTRL, ALLEGRO_KEY_ALT};
const int MOUSE_BUTTONS = 3;

bool Is_Down(int index) {
    if (index < INPUT_MOUSE_FIRST) return al_key_down(&keyb, index);
    return al_mouse_button_down(&mous, index - INPUT_MOUSE_FIRST + 1);
}

// The library keeps a key down that was let go in another window, so after a
// focus change a key reported down is not trusted until it is pressed again.
void Distrust_Held_Keys() {
    for (int i = 0; i < INPUT_MOUSE_FIRST; i++)
        if (Keys_To_Check[i]) Keyboard_Held_Before_Focus[i] = true;
}

bool Is_Keyboard_Key(int code) {
    return code > 0 && code < INPUT_MOUSE_FIRST;
}

// A press the next poll must show even if the input is up again by then; one
// the last poll already saw down is no new press (its event came late).
void Note_Press(int i) {
    if (!Keys_To_Check[i]) return;
    Keyboard_Held_Before_Focus[i] = false;
    if (Keyboard_Last_Pressed[i] == 0) Keyboard_Pressed_Since_Poll[i] = true;
}

}  // namespace

void Init_Mapping() {
    for (int i = 0; i < INPUT_ENTRIES; i++) Keys_To_Check[i] = false;
    for (int i = 1; i <= TRACKED_KEY_LAST; i++) Keys_To_Check[i] = true;
    for (int key : TRACKED_MODIFIERS) Keys_To_Check[key] = true;
    for (int i = 0; i < MOUSE_BUTTONS; i++) Keys_To_Check[INPUT_MOUSE_FIRST + i] = true;
}

void Update_Input_Entry(int i, bool sampled) {
    if (!sampled) Keyboard_Held_Before_Focus[i] = false;
    bool down = (sampled && !Keyboard_Held_Before_Focus[i]) || Keyboard_Pressed_Since_Poll[i];
    Keyboard_Pressed_Since_Poll[i] = false;
    KB_Active[i] = down;
    KB_Input[i] = false;
    KB_Released[i] = false;
    KB_DoublePressed[i] = false;
    // Counted down before it is tested: a press on any of the 21 polls after
    // the release poll is a double press.
    if (Keyboard_To_Double_Press[i] > 0) Keyboard_To_Double_Press[i]--;
    KB_TimePressed[i] = down ? KB_TimePressed[i] + 1 : 0;
    if (KB_TimePressed[i] > INPUT_MAX_TIME_PRESSED) KB_TimePressed[i] = INPUT_MAX_TIME_PRESSED;
    if (down && Keyboard_To_Double_Press[i] > 0) {
        KB_DoublePressed[i] = true;
        Keyboard_To_Double_Press[i] = 0;
    }
    if (!down && Keyboard_Last_Pressed[i] != 0) {
        Keyboard_To_Double_Press[i] = INPUT_DOUBLE_PRESS_WINDOW;
        KB_Released[i] = true;
    }
    if (down && Keyboard_Last_Pressed[i] == 0) KB_Input[i] = true;
    Keyboard_Last_Pressed[i] = down ? 1 : 0;
}

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

void Poll_Input(void* game) {
    al_get_keyboard_state(&keyb);
    al_get_mouse_state(&mous);
    Update_Mouse(al_get_mouse_state_axis(&mous, 0), al_get_mouse_state_axis(&mous, 1), mous.z);
    if (keyb.display != static_cast<Kelvane::Game*>(game)->Get_Display()) {
        Clear_Keyboard();
        return;
    }
    for (int i = 0; i < INPUT_ENTRIES; i++)
        if (Keys_To_Check[i]) Update_Input_Entry(i, Is_Down(i));
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
        Keyboard_Pressed_Since_Poll[i] = false;
    }
    Distrust_Held_Keys();
}

void Handle_Input_Event(const ALLEGRO_EVENT& event) {
    switch (event.type) {
        case ALLEGRO_EVENT_KEY_DOWN:
            if (Is_Keyboard_Key(event.keyboard.keycode)) Note_Press(event.keyboard.keycode);
            break;
        case ALLEGRO_EVENT_KEY_CHAR:
            // A key pressed again while the library still has it down from before
            // a focus change comes as a character only, never as a key-down.
            if (Is_Keyboard_Key(event.keyboard.keycode) && Keyboard_Held_Before_Focus[event.keyboard.keycode])
                Note_Press(event.keyboard.keycode);
            break;
        case ALLEGRO_EVENT_MOUSE_BUTTON_DOWN:
            if (event.mouse.button >= 1 && event.mouse.button <= MOUSE_BUTTONS)
                Note_Press(INPUT_MOUSE_FIRST + static_cast<int>(event.mouse.button) - 1);
            break;
        case ALLEGRO_EVENT_DISPLAY_SWITCH_IN:
            Distrust_Held_Keys();
            break;
        default:
            break;
    }
}
