#include "game/scene.h"

namespace Kelvane {

Scene::Scene(std::string name, Callback start, Update_Callback update, Callback draw, Callback close)
    : name(name), start_callback(start), close_callback(close), update_callback(update), draw_callback(draw) {}

void Scene::Start(void* game) {
    if (start_callback) start_callback(game);
}

void Scene::Update(void* game, float delta) {
    if (update_callback) update_callback(game, delta);
}

void Scene::Draw(void* game) {
    if (draw_callback) draw_callback(game);
}

void Scene::Close(void* game) {
    if (close_callback) close_callback(game);
}

}  // namespace Kelvane
