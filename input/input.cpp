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

}  // namespace

void Init_Mapping() {
    for (int i = 0; i < INPUT_ENTRIES; i++) Keys_To_Check[i] = false;
    for (int i = 1; i <= TRACKED_KEY_LAST; i++) Keys_To_Check[i] = true;
    for (int key : TRACKED_MODIFIERS) Keys_To_Check[key] = true;
    for (int i = 0; i < MOUSE_BUTTONS; i++) Keys_To_Check[INPUT_MOUSE_FIRST + i] = true;
}

void Update_Input_Entry(int i, bool down) {
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
    }
}
