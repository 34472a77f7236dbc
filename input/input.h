#pragma once
// Keyboard and mouse state sampled once per tick into flat arrays indexed by
// Allegro key code (0-255) and mouse button (256-258), read by scene code; the
// queued key and button events fill in what happened between two samples.

#include <allegro5/allegro.h>  // Required for: ALLEGRO_KEYBOARD_STATE, ALLEGRO_MOUSE_STATE

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
extern bool Keyboard_Pressed_Since_Poll[INPUT_ENTRIES];
extern bool Keyboard_Held_Before_Focus[INPUT_ENTRIES];
extern float mouse_x, mouse_y, mouse_z;
extern float last_mouse_x, last_mouse_y, last_mouse_z;
extern float mick_x, mick_y, mick_z;

// Marks the tracked inputs: keys 1-92, left shift, both controls, alt, mouse 1-3.
void Init_Mapping();
// Takes both snapshots and updates the mouse values and every tracked entry;
// when the game's display lacks keyboard focus, clears the keys instead.
void Poll_Input(void* game);
// Resets the levels, edges, timing and memory of every tracked input; a key
// still reported down when focus returns counts only once pressed again.
void Clear_Keyboard();
// Takes the queued key, button and focus events between polls, so that a tap
// shorter than a tick still shows as one press; any other event is ignored.
void Handle_Input_Event(const ALLEGRO_EVENT& event);

// One poll of one entry given its sampled level (corrected by the events taken
// since the last poll): the edge, double-press and hold-time rules. Poll_Input
// calls it for every tracked entry.
void Update_Input_Entry(int index, bool sampled);
// Moves the pointer values to a new sample and works out the motion.
void Update_Mouse(float x, float y, float z);
