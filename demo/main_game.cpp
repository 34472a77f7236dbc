#include "demo/main_game.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_font.h>    // Required for: al_load_font()
#include <allegro5/allegro_opengl.h>  // Required for: glReadPixels(), glDrawPixels(), glWindowPos2i()

#include <array>
#include <string>
#include <vector>

#include "core/common.h"
#include "core/log.h"
#include "game/game.h"
#include "input/input.h"
#include "render/renderer.h"
#include "render/scene_builder.h"
#include "render/vobject_complex.h"
#include "render/world.h"
#include "world/camera.h"
#include "world/light.h"
#include "world/scene_file.h"

using Kelvane::Bitmap_Manager;
using Kelvane::Camera;
using Kelvane::Game;
using Kelvane::Light;
using Kelvane::Renderer;
using Kelvane::VObject;
using Kelvane::VObject_Complex;

Kelvane::World demo_world;
std::list<VObject*>& vobjects = *demo_world.Get_Objects();
std::list<Light*>& lights = *demo_world.Get_Lights();
Light* directional = nullptr;
Camera* cam = nullptr;
VObject_Complex* pilar = nullptr;
ALLEGRO_FONT* font = nullptr;
ALLEGRO_BITMAP* b1 = nullptr;
ALLEGRO_BITMAP* b2 = nullptr;
int debug_mode = 0;

namespace {

const float MAP_WIDTH = 3000.0f;
const float MAP_HEIGHT = 4000.0f;
const float MAP_TALL = 2400.0f;

// The floor: TILE_ROWS x TILE_ROWS tiles, TILE_SIZE apart on both axes.
const int TILE_ROWS = 3;
const int TILE_SIZE = 1080;

struct Prop {
    const char* name;
    float x;
    float y;
    float scale;
};
const Prop PROPS[] = {
    {"square", 150.0f, 150.0f, 0.6f}, {"house", 1350.0f, 750.0f, 0.5f}, {"sphere", 250.0f, 950.0f, 1.0f},
    {"robot", 600.0f, 1750.0f, 1.0f}, {"pilar", 1300.0f, 1850.0f, 1.0f},
};

// The floor tiles' folder: the latest object built that is not a tile becomes `pilar`.
const char* const FLOOR_FOLDER = "tiles";

// Every lamp is a "light" object at this height carrying a warm point light.
const char* const LAMP_FOLDER = "light";
const float LAMP_HEIGHT = 300.0f;
const float LAMP_RANGE = 400.0f;
const float LAMP_R = 1.2f;
const float LAMP_G = 1.0f;
const float LAMP_B = 0.8f;
// The start-up lamp's light sits here until the lamp's first update moves it to the lamp.
const float FIRST_LIGHT_X = 0.0f;
const float FIRST_LIGHT_Y = 50.0f;
const float FIRST_LIGHT_Z = 10.0f;
const float FIRST_LAMP_X = 100.0f;
const float FIRST_LAMP_Y = 800.0f;

// The directional light: a direction, the sky's colour, its strength and the ambient level.
const std::array<float, 3> SUN_DIRECTION = {5.0f, 1.5f, 1.0f};
const std::array<float, 3> SUN_COLOUR = {1.3f, 1.2f, 1.0f};
const float SUN_RANGE = 300.0f;
const float SUN_STRENGTH = 1.0f;
const float SUN_AMBIENCE = 0.3f;

// Written by Ctrl+S in editor mode; loaded at start, when it exists, instead of the built-in world.
const char* const SCENE_PATH = "scenes/main.ini";

// The game font, loaded at start; nothing draws with it yet.
const std::string& FONT_PATH = Kelvane::DEFAULT_FONT_PATH;

const float CAMERA_STEP = 5.0f;  // screen units per tick while an arrow is held

const int MOUSE_LEFT = INPUT_MOUSE_FIRST;
const int MOUSE_RIGHT = INPUT_MOUSE_FIRST + 1;
const int MOUSE_MIDDLE = INPUT_MOUSE_FIRST + 2;
// Past this many ticks of a held left button the user is dragging, not pointing.
const int HOVER_MAX_HOLD_TICKS = 4;
const float MIN_SCALE = 0.01f;
const float MIN_HEIGHT = 0.01f;
const float SCALE_PER_PIXEL = 0.004f;

const unsigned char BACKGROUND_GREY = 100;

struct Debug_Key {
    int key;
    int flag;
};
const Debug_Key DEBUG_KEYS[] = {
    {ALLEGRO_KEY_F1, Kelvane::DEBUG_LIGHTS},      {ALLEGRO_KEY_F2, Kelvane::DEBUG_HEIGHT},
    {ALLEGRO_KEY_F3, Kelvane::DEBUG_NORMALS},     {ALLEGRO_KEY_F4, Kelvane::DEBUG_NO_LIGHTING},
    {ALLEGRO_KEY_F5, Kelvane::DEBUG_EDITOR},
};

Game* As_Game(void* game) {
    return static_cast<Game*>(game);
}

// The editor works on complex objects only.
template <typename Action>
void For_Each_Complex(Action action) {
    for (VObject* object : vobjects)
        if (object->Get_Type() == Kelvane::VOBJECT_TYPE_COMPLEX) action(static_cast<VObject_Complex*>(object));
}

// The built-in world's map and sun: what a scene file falls back on.
Kelvane::Scene_Description Built_In_Sky() {
    Light sun(SUN_DIRECTION[0], SUN_DIRECTION[1], SUN_DIRECTION[2], SUN_RANGE, 0.0f, 0.0f, 0.0f, 0);
    sun.Normalize();
    Kelvane::Scene_Sun sky{{sun.Get_X(), sun.Get_Y(), sun.Get_Z()}, SUN_COLOUR, SUN_STRENGTH, SUN_AMBIENCE};
    return Kelvane::Scene_Description{MAP_WIDTH, MAP_HEIGHT, MAP_TALL, sky, {}, {}, {}};
}

// The world is built from a description: the sun gets its direction and colours there.
void Create_Sun() {
    directional = demo_world.Get_Sun();
    *directional = Light(0.0f, 0.0f, 1.0f, SUN_RANGE, 1.0f, 1.0f, 1.0f, 0);
}

// A fresh camera; the world's description gives it the map's extent.
void Create_Camera() {
    cam = demo_world.Get_Camera();
    *cam = Camera();
}

// The scene file's world into `scene`; false (the built-in world is built) when
// there is no usable file, or the file gives nothing to build.
bool Read_Scene_File(Kelvane::Log* log, Kelvane::Scene_Description& scene) {
    Kelvane::Scene_File file(SCENE_PATH, log);
    if (!file.Read(scene)) return false;
    if (!scene.objects.empty() || !scene.lights.empty()) return true;
    log->Write("Scene file " + file.Get_Path() +
               " gives no object and no light; the built-in world is built and the file is left as it is.");
    return false;
}

// False when the user quit while it was building: the world is left half built.
// `pilar` ends up where building the same objects one by one would leave it.
bool Build_World(Game* game, const Kelvane::Scene_Description& scene) {
    // Each object's loading (or cooking) can take a while: the window names it.
    auto keep_loading = [game](std::string folder, float progress) { return !game->Show_Loading(folder, progress); };
    if (!demo_world.Build(scene, game->Get_Bitmap_Manager(), keep_loading)) return false;
    For_Each_Complex([](VObject_Complex* object) {
        if (object->Get_Name() != FLOOR_FOLDER) pilar = object;
    });
    return true;
}

// Ctrl+S (either Ctrl) writes the world to the scene file; S alone does nothing.
void Save_If_Asked(Kelvane::Log* log) {
    if (!KB_Input[ALLEGRO_KEY_S] || !(KB_Active[ALLEGRO_KEY_LCTRL] || KB_Active[ALLEGRO_KEY_RCTRL])) return;
    Kelvane::Scene_File(SCENE_PATH, log).Save(demo_world.Describe());
}

// The floor point (height 0) drawn under the pointer.
Vec2D Pointer_Floor_Point(Renderer* renderer) {
    return renderer->Output_To_Proj(cam, mouse_x, mouse_y, 0.0f);
}

// Marks the object under the pointer: the one the renderer draws there, the nearest.
VObject_Complex* Find_Hovered(Renderer* renderer) {
    For_Each_Complex([](VObject_Complex* object) { object->Set_Hover(false); });
    VObject_Complex* hovered = renderer->Pick(&vobjects, cam, mouse_x, mouse_y);
    if (hovered) hovered->Set_Hover(true);
    return hovered;
}

// Selects the hovered object alone; with nothing hovered, clears the selection.
void Select_Hovered(VObject_Complex* hovered) {
    For_Each_Complex([](VObject_Complex* object) { object->Deselect(); });
    if (hovered) hovered->Select_Toggle();
}

// Puts the selected objects' own positions under the pointer, on the floor.
void Drag_Selected(Renderer* renderer) {
    For_Each_Complex([&](VObject_Complex* object) {
        object->Set_Hover(false);
        if (!object->Is_Selected()) return;
        Vec2D floor = Pointer_Floor_Point(renderer);
        object->Set_X(floor.x);
        object->Set_Y(floor.y);
    });
}

void Scale_By_Pointer(VObject_Complex* object, float dt) {
    float scale = object->Get_Scale() + (-mick_y * SCALE_PER_PIXEL) * dt;
    if (scale < MIN_SCALE) scale = MIN_SCALE;
    object->Set_Scale(scale);
}

// The upper limit is applied last, so it wins when the object is taller than the map.
// The object's height setting is in screen pixels; heights are in world units.
void Raise_By_Pointer(VObject_Complex* object, float dt) {
    float height = object->Get_Z() + (-mick_y) * dt;
    if (height < MIN_HEIGHT) height = MIN_HEIGHT;
    float top = cam->Get_Map_Tall() - object->Get_Tall() / cam->Get_Height_Factor();
    if (height >= top) height = top;
    object->Set_Z(height);
}

// Pointer up raises (with left Ctrl: enlarges) the selected objects, down lowers them.
void Raise_Or_Scale_Selected(float dt) {
    For_Each_Complex([&](VObject_Complex* object) {
        object->Set_Hover(false);
        if (!object->Is_Selected()) return;
        if (KB_Active[ALLEGRO_KEY_LCTRL])
            Scale_By_Pointer(object, dt);
        else
            Raise_By_Pointer(object, dt);
    });
}

void Edit_World(Renderer* renderer, float dt) {
    VObject_Complex* hovered = nullptr;
    if (KB_TimePressed[MOUSE_LEFT] <= HOVER_MAX_HOLD_TICKS) hovered = Find_Hovered(renderer);
    if (KB_Input[MOUSE_MIDDLE]) Select_Hovered(hovered);
    if (KB_Active[MOUSE_LEFT]) Drag_Selected(renderer);
    if (KB_Active[MOUSE_RIGHT]) Raise_Or_Scale_Selected(dt);
}

void Advance_World(float dt) {
    demo_world.Update(dt);
}

void Move_View(float dt) {
    if (KB_Active[ALLEGRO_KEY_LEFT]) cam->Move_Target_X(dt * -CAMERA_STEP);
    if (KB_Active[ALLEGRO_KEY_UP]) cam->Move_Target_Y(dt * -CAMERA_STEP);
    if (KB_Active[ALLEGRO_KEY_RIGHT]) cam->Move_Target_X(dt * CAMERA_STEP);
    if (KB_Active[ALLEGRO_KEY_DOWN]) cam->Move_Target_Y(dt * CAMERA_STEP);
}

// A lamp: a "light" object carrying a warm point light; it becomes `pilar`.
void Add_Lamp(Bitmap_Manager* store, Vec2D floor) {
    Light* light = demo_world.Add_Light(floor.x, floor.y, LAMP_HEIGHT, LAMP_RANGE, LAMP_R, LAMP_G, LAMP_B);
    pilar = demo_world.Add_Object(store, LAMP_FOLDER, floor.x, floor.y, LAMP_HEIGHT, 1.0f, false);
    pilar->Attach_Light(light);
}

// Flips the flag of every debug key pressed this tick; unknown bits are dropped.
void Toggle_Debug_Flags() {
    int flags = 0;
    for (const Debug_Key& debug_key : DEBUG_KEYS) {
        bool on = (debug_mode & debug_key.flag) != 0;
        if (KB_Input[debug_key.key]) on = !on;
        if (on) flags |= debug_key.flag;
    }
    debug_mode = flags;
}

}  // namespace

void MainGame_Start(void* game) {
    Kelvane::Log* log = As_Game(game)->Get_Log();
    log->Write("Starting Game Scene.");
    Kelvane::Scene_Description from_file = Built_In_Sky();
    bool file_read = Read_Scene_File(log, from_file);
    Create_Sun();
    log->Write("Lights created.");
    font = al_load_font(FONT_PATH.c_str(), Kelvane::DEFAULT_FONT_SIZE, 0);
    log->Write(font ? "Game Font loaded." : "Game Font couldn't be loaded from " + FONT_PATH + ".");
    Create_Camera();
    log->Write("Camera created");
    if (!Build_World(As_Game(game), file_read ? from_file : MainGame_World())) return;
    if (file_read) log->Write("Scene loaded from " + std::string(SCENE_PATH) +
                              Kelvane::Scene_File::Counts_Text(vobjects.size(), lights.size()) + ".");
    b1 = al_load_bitmap("b1.png");
    b2 = al_load_bitmap("b2.png");
    log->Write("Objects created");
    debug_mode = 0;
}

void MainGame_Update(void* game, float dt) {
    Renderer* renderer = As_Game(game)->Get_First_Renderer();
    // No scene has the empty name: the loop ends after this tick is drawn.
    if (KB_Input[ALLEGRO_KEY_ESCAPE]) As_Game(game)->Set_Scene("");
    // Read before the debug keys: a flip of editor mode counts from the next tick.
    if (debug_mode & Kelvane::DEBUG_EDITOR) {
        Edit_World(renderer, dt);
        Save_If_Asked(As_Game(game)->Get_Log());
    }
    Advance_World(dt);
    Move_View(dt);
    if (KB_Input[ALLEGRO_KEY_L]) Add_Lamp(As_Game(game)->Get_Bitmap_Manager(), Pointer_Floor_Point(renderer));
    Toggle_Debug_Flags();
    cam->Update(dt);
}

void MainGame_Draw(void* game) {
    al_clear_to_color(al_map_rgb(BACKGROUND_GREY, BACKGROUND_GREY, BACKGROUND_GREY));
    As_Game(game)->Get_First_Renderer()->Render(As_Game(game)->Get_Log(), &demo_world, debug_mode);
    if (KB_Active[ALLEGRO_KEY_D]) visualize_depth_buffer();
}

// The scene's world, font and images go with it.
void MainGame_Close(void*) {
    demo_world.Clear();
    pilar = nullptr;
    if (font) al_destroy_font(font);
    for (ALLEGRO_BITMAP* image : {b1, b2})
        if (image) al_destroy_bitmap(image);
    font = nullptr, b1 = b2 = nullptr;
}

Kelvane::Scene_Description MainGame_World() {
    Kelvane::Scene_Description world = Built_In_Sky();
    for (int i = 0; i < TILE_ROWS; i++)
        for (int j = 0; j < TILE_ROWS; j++)
            world.objects.push_back({FLOOR_FOLDER, static_cast<float>(TILE_SIZE * i), static_cast<float>(TILE_SIZE * j),
                                     0.0f, 1.0f, true, true});
    for (const Prop& prop : PROPS) world.objects.push_back({prop.name, prop.x, prop.y, 0.0f, prop.scale, true, true});
    world.objects.push_back({LAMP_FOLDER, FIRST_LAMP_X, FIRST_LAMP_Y, LAMP_HEIGHT, 1.0f, false, true});
    Kelvane::Scene_Light lamp_light;
    lamp_light.x = FIRST_LIGHT_X, lamp_light.y = FIRST_LIGHT_Y, lamp_light.z = FIRST_LIGHT_Z;
    lamp_light.r = LAMP_R, lamp_light.g = LAMP_G, lamp_light.b = LAMP_B;
    lamp_light.range = LAMP_RANGE;
    lamp_light.carrier = static_cast<int>(world.objects.size()) - 1;
    world.lights.push_back(lamp_light);
    return world;
}

std::list<std::string> MainGame_Assets() {
    std::list<std::string> folders = {Kelvane::Object_Folder(FLOOR_FOLDER), Kelvane::Object_Folder(LAMP_FOLDER)};
    for (const Prop& prop : PROPS) folders.push_back(Kelvane::Object_Folder(prop.name));
    return folders;
}

void get_gl_size(int& width, int& height) {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    width = viewport[2];
    height = viewport[3];
}

void visualize_depth_buffer() {
    int width, height;
    get_gl_size(width, height);
    std::vector<float> depth(static_cast<size_t>(width) * height);
    glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    glDrawPixels(width, height, GL_LUMINANCE, GL_FLOAT, depth.data());
}
