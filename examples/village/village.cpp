// A second game on the Kelvane engine: a title, then a village where a
// villager walks with the arrow keys carrying a lamp, the camera following,
// while the sun runs from morning to night. Space drops a crate at the
// villager's back, Delete takes away the crate or house under the pointer, and
// the name of what lies under the pointer shows beside it.
//   village [--ticks N] [--script FILE]
//     --ticks N      quits after N ticks (1 to 2147483647)
//     --script FILE  replays timed key presses (script.h), so a test can drive
//                    the game without a window manager

#include <allegro5/allegro.h>       // Required for: ALLEGRO_KEY_*, al_save_bitmap()
#include <allegro5/allegro_font.h>  // Required for: al_draw_text()

#include <algorithm>  // Required for: std::max()
#include <climits>    // Required for: INT_MAX
#include <cmath>      // Required for: std::cos(), std::sin(), std::fmod()
#include <cstdlib>    // Required for: std::strtol()
#include <iostream>   // Required for: std::cerr, the usage message
#include <string>
#include <vector>

#include "core/common.h"
#include "core/log.h"
#include "game/game.h"
#include "game/scene.h"
#include "input/input.h"
#include "render/renderer.h"
#include "render/vobject_complex.h"
#include "render/world.h"
#include "script.h"

namespace {

// The object folders under assets/objects/.
const char* const GRASS = "grass";
const char* const WALKER = "walker";
const char* const CRATE = "crate";
const char* const COTTAGE = "cottage";

// The village: GRID x GRID grass tiles, TILE world units square; a tile's
// position is its footprint's corner of greatest x and least y.
const int GRID = 4;
const float TILE = 600.0f;
const float MAP_SIZE = GRID * TILE;
const float MAP_TALL = 600.0f;

struct Placement {
    const char* folder;
    float x, y;
};
// Off the diagonals through the middle, where the walker starts.
const Placement HOUSES_AND_CRATES[] = {
    {COTTAGE, 1800.0f, 600.0f}, {COTTAGE, 600.0f, 1800.0f}, {COTTAGE, 2000.0f, 2000.0f}, {COTTAGE, 350.0f, 400.0f},
    {CRATE, 1350.0f, 1050.0f},  {CRATE, 1410.0f, 1120.0f},  {CRATE, 1050.0f, 1500.0f},
};

const float WALK_SPEED = 4.0f;  // screen units per tick while an arrow is held
const int STAND_FRAME = 0;      // the walker's sheet: standing, then the clip "walk"
const char* const WALK_CLIP = "walk";
const float WALKER_MIDDLE = 120.0f;  // world units above its feet: the camera aims there
const float CRATE_DROP = 150.0f;     // world units behind the walker (it faces -x)

const float LAMP_LIFT = 150.0f;  // the lamp rides this far above the walker's feet
const float LAMP_RANGE = 380.0f;

// The day: DAY_SECONDS of real time per 24 hours, starting at START_HOUR.
const float DAY_SECONDS = 120.0f;
const float START_HOUR = 8.5f;
// The sun's colour (also the ambient colour) at night and at noon, blended by
// its height, plus a warm glow while it stands low; its strength and ambience.
const float NIGHT[3] = {0.35f, 0.4f, 0.75f};
const float NOON[3] = {1.2f, 1.15f, 1.05f};
const float LOW_SUN_GLOW[3] = {0.25f, -0.2f, -0.45f};
const float NIGHT_STRENGTH = 0.15f, NOON_STRENGTH = 1.0f;
const float NIGHT_AMBIENCE = 0.12f, NOON_AMBIENCE = 0.3f;
const float PI = 3.14159265f;

// Made when drawn: the graphics library maps colours once it has started.
ALLEGRO_COLOR Text_Colour() { return al_map_rgb(255, 250, 230); }
const float TEXT_MARGIN = 10.0f;
const float LINE_HEIGHT = 20.0f;

const char* const TITLE_SCENE = "Title";
const char* const VILLAGE_SCENE = "Village";

}  // namespace

// The village's world and what the player does in it. Like every scene, it
// reaches the engine through the Game its callbacks are handed.
class Village_Scene {
public:
    static Kelvane::Scene* New_Scene() { return new Kelvane::Scene(VILLAGE_SCENE, Start, Update, Draw, Close); }

private:
    static void Start(void* game);
    static void Update(void* game, float dt);
    static void Draw(void* game);
    static void Close(void* game);

    void Build(Kelvane::Game* game);
    void Walk(float dt);
    void Drop_Crate(Kelvane::Game* game);
    void Remove_Pointed(Kelvane::Log* log);
    void Turn_Sun(float hour);
    float Hour(Kelvane::Game* game);

    Kelvane::World world;
    Kelvane::VObject_Complex* walker = nullptr;
    Kelvane::VObject_Complex* pointed = nullptr;  // under the pointer this tick
    int ticks_here = 0;
};

// The game owns both scenes' state and the script, and counts the ticks.
class Village_Game : public Kelvane::Game {
public:
    Village_Game(int ticks_to_run, Script script)
        : Kelvane::Game("Kelvane Village"), ticks_to_run(ticks_to_run), script(std::move(script)) {}

    static Village_Game* Of(void* game) { return static_cast<Village_Game*>(static_cast<Kelvane::Game*>(game)); }

    // Every tick of every scene starts here: the script plays, and Escape or
    // the last tick of --ticks ends the game once the tick is drawn.
    void Begin_Tick() {
        ticks_run++;
        script.Play(ticks_run);
        if (KB_Input[ALLEGRO_KEY_ESCAPE] || ticks_run == ticks_to_run) Set_Scene("");
    }
    // After the frame is drawn: saves it when the script asked to.
    void End_Frame() {
        std::string file = script.Take_Screenshot();
        if (file.empty()) return;
        bool saved = al_save_bitmap(file.c_str(), al_get_backbuffer(Get_Display()));
        Get_Log()->Write((saved ? "Screenshot saved to " : "Screenshot could not be saved to ") + file);
    }
    void Say_Closed(std::string scene) {
        Get_Log()->Write(scene + " scene closed after " + ToString(ticks_run) + " ticks.");
    }

    Village_Scene village;

private:
    int ticks_to_run;
    int ticks_run = 0;
    Script script;
};

// ---- The title ----------------------------------------------------------

namespace {

void Title_Update(void* game, float) {
    Village_Game::Of(game)->Begin_Tick();
    if (KB_Input[ALLEGRO_KEY_ENTER] || KB_Input[ALLEGRO_KEY_SPACE]) Village_Game::Of(game)->Set_Scene(VILLAGE_SCENE);
}

void Title_Draw(void* game) {
    Village_Game* village = Village_Game::Of(game);
    al_clear_to_color(al_map_rgb(24, 32, 48));
    float x = al_get_display_width(village->Get_Display()) / 2.0f;
    float y = al_get_display_height(village->Get_Display()) / 3.0f;
    al_draw_multiline_text(village->Get_Font(), Text_Colour(), x, y, 0.0f, LINE_HEIGHT, ALLEGRO_ALIGN_CENTRE,
                           "KELVANE VILLAGE\n\nArrow keys: walk   Space: drop a crate\n"
                           "Delete: take away what is under the pointer   Escape: quit\n\n"
                           "Press Enter to walk into the village");
    village->End_Frame();
}

void Title_Close(void* game) { Village_Game::Of(game)->Say_Closed(TITLE_SCENE); }

}  // namespace

// ---- The village --------------------------------------------------------

void Village_Scene::Start(void* game) { Village_Game::Of(game)->village.Build(Village_Game::Of(game)); }

void Village_Scene::Build(Kelvane::Game* game) {
    Kelvane::Camera* camera = world.Get_Camera();
    camera->Set_Map_Width(MAP_SIZE);
    camera->Set_Map_Height(MAP_SIZE);
    camera->Set_Map_Tall(MAP_TALL);
    std::vector<Placement> places;
    for (int i = 0; i < GRID * GRID; i++) places.push_back({GRASS, TILE * (i % GRID + 1), TILE * (i / GRID)});
    places.insert(places.end(), std::begin(HOUSES_AND_CRATES), std::end(HOUSES_AND_CRATES));
    for (const Placement& place : places) {
        // Each folder's first object cooks its caches (once): the window says so.
        float progress = static_cast<float>(world.Get_Objects()->size()) / static_cast<float>(places.size());
        if (game->Show_Loading(Kelvane::Object_Folder(place.folder), progress)) return;  // the user quit
        world.Add_Object(game->Get_Bitmap_Manager(), place.folder, place.x, place.y, 0.0f, 1.0f,
                         std::string(place.folder) != GRASS);
    }
    walker = world.Add_Object(game->Get_Bitmap_Manager(), WALKER, MAP_SIZE / 2, MAP_SIZE / 2, 0.0f, 1.0f, true);
    Kelvane::Light* lamp = world.Add_Light(0.0f, 0.0f, 0.0f, LAMP_RANGE, 1.4f, 1.1f, 0.6f);
    walker->Attach_Light(lamp, LAMP_LIFT);
    Turn_Sun(Hour(game));
    // The first frame shows the walker in the middle: no glide from the corner.
    game->Get_First_Renderer()->Centre_On(camera, walker->Get_X(), walker->Get_Y(), WALKER_MIDDLE);
    camera->Jump_To_Target();
    game->Get_Log()->Write("Village built: " + ToString(world.Get_Objects()->size()) + " objects.");
}

void Village_Scene::Update(void* game, float dt) {
    Village_Game* village = Village_Game::Of(game);
    Village_Scene& scene = village->village;
    village->Begin_Tick();
    scene.ticks_here++;
    scene.Walk(dt);
    Kelvane::Renderer* renderer = village->Get_First_Renderer();
    Kelvane::Camera* camera = scene.world.Get_Camera();
    scene.pointed = renderer->Pick(scene.world.Get_Objects(), camera, mouse_x, mouse_y);
    if (KB_Input[ALLEGRO_KEY_SPACE]) scene.Drop_Crate(village);
    if (KB_Input[ALLEGRO_KEY_DELETE]) scene.Remove_Pointed(village->Get_Log());
    scene.Turn_Sun(scene.Hour(village));
    scene.world.Update(dt);
    renderer->Centre_On(camera, scene.walker->Get_X(), scene.walker->Get_Y(), WALKER_MIDDLE);
    camera->Update(dt);
}

// The arrows move the walker on the screen: a screen step becomes a floor step
// through the camera's projection. It plays its walk while it moves.
void Village_Scene::Walk(float dt) {
    float right = static_cast<float>(KB_Active[ALLEGRO_KEY_RIGHT] - KB_Active[ALLEGRO_KEY_LEFT]);
    float down = static_cast<float>(KB_Active[ALLEGRO_KEY_DOWN] - KB_Active[ALLEGRO_KEY_UP]);
    if (right == 0.0f && down == 0.0f) {
        if (!walker->Get_Clip().empty()) walker->Set_Frame(STAND_FRAME);
        return;
    }
    if (walker->Get_Clip() != WALK_CLIP) walker->Play(WALK_CLIP);
    Kelvane::Camera* camera = world.Get_Camera();
    Vec2D step = camera->Screen_To_Proj(right * WALK_SPEED * dt, down * WALK_SPEED * dt, 0.0f);
    Vec2D floor = camera->Snap_To_Map(Vec2D(walker->Get_X() + step.x, walker->Get_Y() + step.y));
    walker->Set_X(floor.x);
    walker->Set_Y(floor.y);
}

// An object's floor position for the log: "(x, y)".
static std::string Where(Kelvane::VObject* object) {
    return "(" + ToString(object->Get_X()) + ", " + ToString(object->Get_Y()) + ")";
}

void Village_Scene::Drop_Crate(Kelvane::Game* game) {
    Vec2D at = world.Get_Camera()->Snap_To_Map(Vec2D(walker->Get_X() + CRATE_DROP, walker->Get_Y()));
    Kelvane::VObject_Complex* crate = world.Add_Object(game->Get_Bitmap_Manager(), CRATE, at.x, at.y, 0.0f, 1.0f, true);
    game->Get_Log()->Write(std::string("Spawned \"") + CRATE + "\" at " + Where(crate) + ".");
}

// The walker and the grass stay: everything else under the pointer goes.
void Village_Scene::Remove_Pointed(Kelvane::Log* log) {
    if (!pointed || pointed == walker || pointed->Get_Name() == GRASS) return;
    log->Write("Removed \"" + pointed->Get_Name() + "\" at " + Where(pointed) + ".");
    world.Remove(pointed);
    pointed = nullptr;
}

float Village_Scene::Hour(Kelvane::Game* game) {
    float days = static_cast<float>(ticks_here) / (static_cast<float>(game->Get_FPS()) * DAY_SECONDS);
    return std::fmod(START_HOUR + 24.0f * days, 24.0f);
}

// The sun rises on the +x side at 6:00, stands high at noon and sets toward
// -x at 18:00; at night it stays up as a dim blue moon, and the lamp lights the way.
void Village_Scene::Turn_Sun(float hour) {
    float arc = (hour - 6.0f) / 12.0f * PI;
    float height = std::max(std::sin(arc), 0.0f);  // 0 all night, 1 at noon
    float glow = 4.0f * height * (1.0f - height);  // most halfway up
    auto blend = [height](float night, float noon) { return night + (noon - night) * height; };
    float colour[3];
    for (int c = 0; c < 3; c++) colour[c] = blend(NIGHT[c], NOON[c]) + LOW_SUN_GLOW[c] * glow;
    Kelvane::Light* sun = world.Get_Sun();
    sun->Set_X(std::cos(arc));
    sun->Set_Y(0.6f);
    sun->Set_Z(height + 0.3f);
    sun->Normalize();
    sun->Set_Colour(colour[0], colour[1], colour[2]);
    sun->Set_Strength(blend(NIGHT_STRENGTH, NOON_STRENGTH));
    sun->Set_Ambience(blend(NIGHT_AMBIENCE, NOON_AMBIENCE));
}

// The world, then the text over it: the time of day, the keys, and the name
// of what lies under the pointer, beside the pointer.
void Village_Scene::Draw(void* game) {
    Village_Game* village = Village_Game::Of(game);
    Village_Scene& scene = village->village;
    al_clear_to_color(al_map_rgb(20, 26, 38));
    village->Get_First_Renderer()->Render(village->Get_Log(), &scene.world, 0);
    ALLEGRO_FONT* font = village->Get_Font();
    int minutes = static_cast<int>(scene.Hour(village) * 60.0f);
    al_draw_multiline_textf(font, Text_Colour(), TEXT_MARGIN, TEXT_MARGIN, 0.0f, LINE_HEIGHT, 0,
                            "%02d:%02d\nArrows: walk   Space: drop a crate   Delete: remove", minutes / 60,
                            minutes % 60);
    if (scene.pointed)
        al_draw_text(font, Text_Colour(), mouse_x + TEXT_MARGIN, mouse_y, 0, scene.pointed->Get_Name().c_str());
    village->End_Frame();
}

void Village_Scene::Close(void* game) {
    Village_Game* village = Village_Game::Of(game);
    village->Say_Closed(VILLAGE_SCENE);
    village->village.world.Clear();
}

namespace {

// "--ticks N" and "--script FILE" (each script adds its commands); false for anything else.
bool Read_Arguments(int argc, char** argv, int* ticks, Script* script, std::string* error) {
    if (argc % 2 == 0) return false;
    for (int i = 1; i < argc; i += 2) {
        std::string option = argv[i];
        char* end = nullptr;
        long value = std::strtol(argv[i + 1], &end, 10);
        if (option == "--ticks" && *end == '\0' && value >= 1 && value <= INT_MAX)
            *ticks = static_cast<int>(value);
        else if (option != "--script" || !script->Read(argv[i + 1], error))
            return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int ticks = 0;
    Script script;
    std::string error;
    if (!Read_Arguments(argc, argv, &ticks, &script, &error)) {
        if (!error.empty()) std::cerr << "village: " << error << "\n";
        std::cerr << "usage: village [--ticks N] [--script FILE]   (N from 1 to " << INT_MAX
                  << ": quit after N ticks; FILE: timed key presses)\n";
        return 2;
    }
    Village_Game game(ticks, std::move(script));
    game.Set_Scene_List(
        {new Kelvane::Scene(TITLE_SCENE, nullptr, Title_Update, Title_Draw, Title_Close), Village_Scene::New_Scene()});
    game.Require_Assets({Kelvane::Object_Folder(GRASS), Kelvane::Object_Folder(WALKER), Kelvane::Object_Folder(CRATE),
                         Kelvane::Object_Folder(COTTAGE)});
    return game.Main(argc, argv);
}
