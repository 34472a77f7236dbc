#pragma once
// Keyboard and mouse state sampled once per tick into flat arrays indexed by
// Allegro key code (0-255) and mouse button (256-258), read by scene code. The
// key and mouse events, taken in queue order between polls, are the one
// source of the levels, presses and pointer; the keyboard snapshot tells the
// focus.

#include <allegro5/allegro.h>  // Required for: ALLEGRO_KEYBOARD_STATE, ALLEGRO_MOUSE_STATE, ALLEGRO_EVENT

const int INPUT_ENTRIES = 512;
const int INPUT_MOUSE_FIRST = 256;        // mouse button 1; 257 and 258 follow
const int INPUT_DOUBLE_PRESS_WINDOW = 22; // polls a release keeps the double-press window open
const int INPUT_MAX_TIME_PRESSED = 2000;  // hold time saturates here (about 33 s at 60 ticks)

extern ALLEGRO_KEYBOARD_STATE keyb;
extern ALLEGRO_MOUSE_STATE mous;
extern bool Keys_To_Check[INPUT_ENTRIES];
extern bool KB_Active[INPUT_ENTRIES];
extern bool KB_Input[INPUT_ENTRIES];
extern bool KB_Released[INPUT_ENTRIES];
extern bool KB_DoublePressed[INPUT_ENTRIES];
extern int KB_TimePressed[INPUT_ENTRIES];
extern int Keyboard_Last_Pressed[INPUT_ENTRIES];
extern int Keyboard_To_Double_Press[INPUT_ENTRIES];
// Down after the last key or button event taken for the input.
extern bool Keyboard_Event_Down[INPUT_ENTRIES];
// Presses taken that no poll has shown yet.
extern int Keyboard_Presses_Pending[INPUT_ENTRIES];
// The library may still have the key down from before a focus change.
extern bool Keyboard_Held_Before_Focus[INPUT_ENTRIES];
// The pointer after the last mouse event taken.
extern float event_mouse_x, event_mouse_y, event_mouse_z;
extern float mouse_x, mouse_y, mouse_z;
extern float last_mouse_x, last_mouse_y, last_mouse_z;
extern float mick_x, mick_y, mick_z;

// Marks the tracked inputs: keys 1-92, left shift, both controls, alt, mouse 1-3.
void Init_Mapping();
// The display whose keyboard focus the keys follow, named by the game at
// set-up; the pointer starts where the mouse snapshot then has it.
void Set_Input_Display(ALLEGRO_DISPLAY* display);
// Takes both snapshots and polls (Update_Input), focused while the keyboard's
// snapshot names the input display. The argument, the game, is not needed.
void Poll_Input(void* game);
// Resets the levels, edges, timing, memory and presses not shown yet of every
// tracked input; a key the library still has down from before a focus change
// counts only once pressed again.
void Clear_Keyboard();
// Takes the queued key, mouse and focus events between polls, in queue order;
// any other event is ignored.
void Handle_Input_Event(const ALLEGRO_EVENT& event);

// One poll from the events taken since the last: the pointer values and their
// motion, then every tracked entry (a press not shown yet shows now, else the
// level decides; the edge, double-press and hold-time rules follow), or,
// without keyboard focus, Clear_Keyboard instead.
void Update_Input(bool focused);
