// A small game on the Kelvane engine: nine stones lit by a lamp that the arrow
// keys move over the floor and Page Up / Page Down raise and lower.
//   starter [--ticks N]   quits after N ticks (1 to 2147483647); without it, on
//                         Escape or the window's close button.

#include <allegro5/allegro.h>  // Required for: ALLEGRO_KEY_*, al_clear_to_color()

#include <algorithm>  // Required for: std::clamp()
#include <climits>    // Required for: INT_MAX
#include <cstdlib>    // Required for: std::strtol()
#include <iostream>   // Required for: std::cerr, the usage message
#include <string>

#include "core/common.h"
#include "core/log.h"
#include "game/game.h"
#include "game/scene.h"
#include "input/input.h"
#include "render/renderer.h"
#include "render/world.h"

namespace {

// The object folder assets/objects/stone/: diffuse, normal and height images.
const char* const STONE = "stone";
// The stones stand in a GRID x GRID square from FIRST_STONE, SPACING apart on
// the floor (world units); the view shows the middle stone, half of its height
// up, at the window's centre, whatever the window's aspect.
const int GRID = 3;
const float SPACING = 240.0f;
const Vec2D FIRST_STONE(100.0f, 1700.0f);
const float STONE_MIDDLE = 60.0f;
// The world's extent; the lamp stays inside it.
const float MAP_WIDTH = 1000.0f;
const float MAP_HEIGHT = 3000.0f;
const float MAP_TALL = 600.0f;

const float LAMP_SPEED = 6.0f;  // screen units (or world units up) per tick while a key is held
const float LAMP_RANGE = 450.0f;
// How much the directional light and the ambient term light a surface.
const float SUN_STRENGTH = 0.8f;
const float AMBIENCE = 0.3f;
const unsigned char BACKGROUND_GREY = 60;

}  // namespace

// The scene's world and what it does with it. The engine sees a scene as a
// name and four plain callbacks handed the running Game; the callbacks are
// this class's static functions, and each finds the Starter_Scene through the
// game, which owns it (Starter_Game below).
class Starter_Scene {
public:
    // `ticks_to_run` ticks, then the game ends; 0: until the user quits.
    explicit Starter_Scene(int ticks_to_run) : ticks_to_run(ticks_to_run) {}

    static Kelvane::Scene* New_Scene() { return new Kelvane::Scene("Starter", Start, Update, Draw, Close); }

private:
    static Kelvane::Game* As_Game(void* game) { return static_cast<Kelvane::Game*>(game); }
    static Starter_Scene& Of(void* game);
    static void Start(void* game) { Of(game).Build(As_Game(game)); }
    static void Update(void* game, float dt) { Of(game).Step(As_Game(game), dt); }
    static void Draw(void* game) { Of(game).Draw_Frame(As_Game(game)); }
    static void Close(void* game) { Of(game).Report(As_Game(game)); }

    void Build(Kelvane::Game* game);
    void Step(Kelvane::Game* game, float dt);
    void Move_Lamp(float dt);
    void Draw_Frame(Kelvane::Game* game);
    void Report(Kelvane::Game* game);

    int ticks_to_run;
    int ticks_run = 0;
    // Owns the camera, the sun, the stones and the lamp, and frees them.
    Kelvane::World world;
    Kelvane::Light* lamp = nullptr;
};

// The game owns the scene, so a callback reaches it from the Game* it gets.
class Starter_Game : public Kelvane::Game {
public:
    explicit Starter_Game(int ticks_to_run) : Kelvane::Game("Kelvane Starter"), scene(ticks_to_run) {}

    Starter_Scene scene;
};

Starter_Scene& Starter_Scene::Of(void* game) { return static_cast<Starter_Game*>(As_Game(game))->scene; }

void Starter_Scene::Build(Kelvane::Game* game) {
    Kelvane::Camera* camera = world.Get_Camera();
    camera->Set_Map_Width(MAP_WIDTH);
    camera->Set_Map_Height(MAP_HEIGHT);
    camera->Set_Map_Tall(MAP_TALL);
    Vec2D middle(FIRST_STONE.x + SPACING * (GRID - 1) / 2, FIRST_STONE.y + SPACING * (GRID - 1) / 2);
    game->Get_First_Renderer()->Centre_On(camera, middle.x, middle.y, STONE_MIDDLE);
    camera->Jump_To_Target();  // the first frame shows them there: no glide from the world's corner
    // The directional light: a direction, and the ambient term's colour.
    Kelvane::Light* sun = world.Get_Sun();
    *sun = Kelvane::Light(4.0f, 1.0f, 2.0f, 0.0f, 1.0f, 0.95f, 0.85f, 0);
    sun->Normalize();
    sun->Set_Strength(SUN_STRENGTH);
    sun->Set_Ambience(AMBIENCE);
    // A warm point light above the middle stone.
    lamp = world.Add_Light(middle.x, middle.y, 200.0f, LAMP_RANGE, 1.3f, 1.0f, 0.7f);
    for (int i = 0; i < GRID * GRID; i++) {
        // The first stone cooks the folder's caches (once): the window says so.
        if (game->Show_Loading(Kelvane::Object_Folder(STONE), static_cast<float>(i) / (GRID * GRID)))
            return;  // the user quit: the scene is closed before any tick
        float x = FIRST_STONE.x + SPACING * static_cast<float>(i % GRID);
        float y = FIRST_STONE.y + SPACING * static_cast<float>(i / GRID);
        world.Add_Object(game->Get_Bitmap_Manager(), STONE, x, y, 0.0f, 1.0f, true);
    }
    game->Get_Log()->Write("Starter scene built: " + ToString(world.Get_Objects()->size()) + " stones.");
}

void Starter_Scene::Step(Kelvane::Game* game, float dt) {
    ticks_run++;
    // No scene has the empty name: the game ends once this tick is drawn.
    if (KB_Input[ALLEGRO_KEY_ESCAPE] || ticks_run == ticks_to_run) game->Set_Scene("");
    Move_Lamp(dt);
    world.Update(dt);
    world.Get_Camera()->Update(dt);
}

// The arrows move the lamp on the screen: a screen step becomes a floor step
// through the camera's projection. Page Up and Page Down change its height.
void Starter_Scene::Move_Lamp(float dt) {
    float step = LAMP_SPEED * dt;
    float right = static_cast<float>(KB_Active[ALLEGRO_KEY_RIGHT] - KB_Active[ALLEGRO_KEY_LEFT]);
    float down = static_cast<float>(KB_Active[ALLEGRO_KEY_DOWN] - KB_Active[ALLEGRO_KEY_UP]);
    float up = static_cast<float>(KB_Active[ALLEGRO_KEY_PGUP] - KB_Active[ALLEGRO_KEY_PGDN]);
    Kelvane::Camera* camera = world.Get_Camera();
    Vec2D floor_step = camera->Screen_To_Proj(right * step, down * step, 0.0f);
    Vec2D floor = camera->Snap_To_Map(Vec2D(lamp->Get_X() + floor_step.x, lamp->Get_Y() + floor_step.y));
    lamp->Set_X(floor.x);
    lamp->Set_Y(floor.y);
    lamp->Set_Z(std::clamp(lamp->Get_Z() + up * step, 0.0f, MAP_TALL));
}

// One frame onto the back buffer; the game shows it once this returns. The
// light-marker flag draws the lamp as a dot with a stalk down to the floor.
void Starter_Scene::Draw_Frame(Kelvane::Game* game) {
    al_clear_to_color(al_map_rgb(BACKGROUND_GREY, BACKGROUND_GREY, BACKGROUND_GREY));
    game->Get_First_Renderer()->Render(game->Get_Log(), &world, Kelvane::DEBUG_LIGHTS);
}

// The scene's world goes with it.
void Starter_Scene::Report(Kelvane::Game* game) {
    game->Get_Log()->Write("Starter scene closed after " + ToString(ticks_run) + " ticks.");
    world.Clear();
}

namespace {

// Reads "--ticks N" (N at least 1) into `ticks`; false for anything else.
bool Read_Ticks(int argc, char** argv, int* ticks) {
    if (argc == 1) return true;
    if (argc != 3 || std::string(argv[1]) != "--ticks") return false;
    char* end = nullptr;
    long value = std::strtol(argv[2], &end, 10);
    if (*end != '\0' || value < 1 || value > INT_MAX) return false;
    *ticks = static_cast<int>(value);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int ticks = 0;
    if (!Read_Ticks(argc, argv, &ticks)) {
        std::cerr << "usage: starter [--ticks N]   (N from 1 to " << INT_MAX << ": quit after N ticks)\n";
        return 2;
    }
    Starter_Game game(ticks);
    game.Set_Scene_List({Starter_Scene::New_Scene()});
    game.Require_Assets({Kelvane::Object_Folder(STONE)});
    return game.Main(argc, argv);
}
