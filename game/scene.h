#pragma once
// A scene: a name and four plain callbacks, each handed the Game as void*.

#include <string>

namespace Kelvane {

class Scene {
public:
    typedef void (*Callback)(void* game);
    typedef void (*Update_Callback)(void* game, float delta);

    // Note the order: start, update, draw, close. Any callback may be null.
    Scene(std::string name, Callback start, Update_Callback update, Callback draw, Callback close);

    void Start(void* game);
    void Update(void* game, float delta);
    void Draw(void* game);
    void Close(void* game);
    std::string Get_Name() { return name; }

private:
    std::string name;
    Callback start_callback;
    Callback close_callback;
    Update_Callback update_callback;
    Callback draw_callback;
};

}  // namespace Kelvane
