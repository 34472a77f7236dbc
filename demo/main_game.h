#pragma once
// The demonstration scene "MainGame": a 3 x 3 floor of tiles, five props and a
// lamp, lit by a point light and a directional light, with the editor controls;
// or the world saved in scenes/main.ini with Ctrl+S in editor mode.

#include <list>
#include <string>

struct ALLEGRO_BITMAP;
struct ALLEGRO_FONT;

namespace Kelvane {
struct Scene_Description;
class Camera;
class Light;
class VObject;
class VObject_Complex;
class World;
}  // namespace Kelvane

// The scene's world, which owns everything below; `vobjects` and `lights`
// are its lists, `directional` its sun and `cam` its camera.
extern Kelvane::World demo_world;
extern std::list<Kelvane::VObject*>& vobjects;
extern std::list<Kelvane::Light*>& lights;
extern Kelvane::Light* directional;
extern Kelvane::Camera* cam;
extern Kelvane::VObject_Complex* pilar;
extern ALLEGRO_FONT* font;
extern ALLEGRO_BITMAP* b1;
extern ALLEGRO_BITMAP* b2;
extern int debug_mode;

void MainGame_Start(void* game);
void MainGame_Update(void* game, float dt);
void MainGame_Draw(void* game);
void MainGame_Close(void* game);
// The built-in world, built when there is no usable scene file: nine floor
// tiles, five props and a lamp carrying a point light, under the sun.
Kelvane::Scene_Description MainGame_World();
// What the scene reads from its run directory: the object folders of its built-in world.
std::list<std::string> MainGame_Assets();

// The size of the current OpenGL viewport.
void get_gl_size(int& width, int& height);
// Reads the depth buffer over the viewport and draws it back as grey levels.
void visualize_depth_buffer();
