#include "demo/main_game.h"

#include <allegro5/allegro.h>

#include "game/game.h"
#include "input/input.h"

std::list<Kelvane::VObject*> vobjects;
std::list<Kelvane::Light*> lights;
Kelvane::Light* directional = nullptr;
Kelvane::Camera* cam = nullptr;
Kelvane::VObject_Complex* pilar = nullptr;
ALLEGRO_FONT* font = nullptr;
ALLEGRO_BITMAP* b1 = nullptr;
ALLEGRO_BITMAP* b2 = nullptr;
int debug_mode = 0;

void MainGame_Start(void*) {}

void MainGame_Update(void* game, float) {
    if (KB_Input[ALLEGRO_KEY_ESCAPE]) static_cast<Kelvane::Game*>(game)->Set_Scene("");
}

void MainGame_Draw(void*) {
    al_clear_to_color(al_map_rgb(100, 100, 100));
}

void MainGame_Close(void*) {}
