// The program's entry point: one game, one scene, the main loop.

#include <list>

#include "demo/main_game.h"
#include "game/game.h"
#include "game/scene.h"

Kelvane::Game* gInstance = nullptr;

int main(int argc, char** argv) {
    gInstance = new Kelvane::Game("Kelvane");
    std::list<Kelvane::Scene*> scenes;
    scenes.push_back(new Kelvane::Scene("MainGame", MainGame_Start, MainGame_Update, MainGame_Draw, MainGame_Close));
    gInstance->Set_Scene_List(scenes);
    gInstance->Require_Assets(MainGame_Assets());
    int status = gInstance->Main(argc, argv);
    delete gInstance;
    gInstance = nullptr;
    return status;
}
