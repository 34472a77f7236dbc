#include "tools/frame_bench/worlds.h"

#include <algorithm>  // Required for: std::remove_if(), std::max()
#include <cmath>      // Required for: std::ceil(), std::sqrt()
#include <iterator>   // Required for: std::size()
#include <list>

#include "demo/main_game.h"  // Required for: MainGame_World()
#include "render/renderer.h"
#include "render/vobject_complex.h"
#include "render/world.h"
#include "tools/frame_bench/motion.h"  // Required for: Motion::Pan_Shift()
#include "tools/frame_bench/options.h"
#include "world/camera.h"
#include "world/scene_file.h"

using Kelvane::Camera;
using Kelvane::Scene_Description;
using Kelvane::World;

namespace Frame_Bench {

namespace {

// What the stress and large worlds spread, in turn, at this scale.
const char* const PROPS[] = {"square", "house", "sphere", "robot", "pilar"};
const float PROP_SCALE = 0.4f;

// The stress world's point lights: this high, this far, offset from their grid points.
const float LIGHT_Z = 150.0f;
const float LIGHT_RANGE = 400.0f;
const float LIGHT_OFFSET = 60.0f;

// The large world's props stand this many world units apart on the floor:
// about as dense as the stress world's 49 in the view.
const float LARGE_SPACING = 400.0f;
// The renderer moves a shadow sprite a little toward the sun from its caster's
// feet (a tenth of the caster's drawn height at most): screen units to allow for it.
const float SHADOW_SHIFT_MARGIN = 128.0f;

// The view at the options' corner, at once.
void Place_View(Camera* camera, const Options& options) {
    camera->Set_Target(options.view_x, options.view_y);
    camera->Jump_To_Target();
}

std::unique_ptr<World> Built(const Scene_Description& scene, Kelvane::Bitmap_Manager* store, const Options& options) {
    auto world = std::make_unique<World>();
    world->Build(scene, store, [](std::string, float) { return true; });
    Place_View(world->Get_Camera(), options);
    world->Update(0.0f);  // lamps carry their lights; no clip moves on
    return world;
}

// Evenly over the view, on a grid of screen points, at floor height.
Vec2D Spread(Camera* view, int index, int count) {
    int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<float>(count))));
    int rows = (count + columns - 1) / columns;
    float sx = 150.0f + 1650.0f * ((index % columns) + 0.5f) / columns;
    float sy = 250.0f + 800.0f * ((index / columns) + 0.5f) / rows;
    return view->Screen_To_Proj(view->Get_X() + sx, view->Get_Y() + sy, 0.0f);
}

Kelvane::Scene_Object Prop(int index, Vec2D floor) {
    return {PROPS[(index + index / 3) % std::size(PROPS)], floor.x, floor.y, 0.0f, PROP_SCALE, true, true};
}

// The demonstration's floor alone, under the options' point lights spread over the view.
Scene_Description Lit_Floor(Camera* view, const Options& options) {
    Scene_Description scene = MainGame_World();
    const std::string floor_folder = scene.objects.front().folder;
    scene.objects.erase(std::remove_if(scene.objects.begin(), scene.objects.end(),
                                       [&](const Kelvane::Scene_Object& o) { return o.folder != floor_folder; }),
                        scene.objects.end());
    scene.lights.clear();
    for (int i = 0; i < options.lights; i++) {
        Vec2D floor = Spread(view, i, options.lights);
        Kelvane::Scene_Light light;
        light.x = floor.x + LIGHT_OFFSET, light.y = floor.y - LIGHT_OFFSET, light.z = LIGHT_Z;
        light.range = LIGHT_RANGE;
        light.r = 0.6f + 0.1f * (i % 5), light.g = 0.5f + 0.1f * (i % 3), light.b = 0.8f - 0.1f * (i % 4);
        scene.lights.push_back(light);
    }
    return scene;
}

Scene_Description Stress_Scene(Camera* view, const Options& options) {
    Scene_Description scene = Lit_Floor(view, options);
    for (int i = 0; i < options.objects; i++) scene.objects.push_back(Prop(i, Spread(view, i, options.objects)));
    return scene;
}

// The props on a square grid centred on the view's centre. The lighting
// program's depth range spans the map's nearness (y - x) from -map_width to
// map_height, so the map grows to hold the grid's.
Scene_Description Large_Scene(Camera* view, const Options& options) {
    Scene_Description scene = Lit_Floor(view, options);
    Vec2D centre = view->Screen_To_Proj(view->Get_X() + Kelvane::DEFAULT_INTERNAL_RES_W / 2.0f,
                                        view->Get_Y() + Kelvane::DEFAULT_INTERNAL_RES_H / 2.0f, 0.0f);
    int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<float>(options.objects))));
    for (int i = 0; i < options.objects; i++) {
        float across = (i % columns - (columns - 1) / 2.0f) * LARGE_SPACING;
        float down = (i / columns - (columns - 1) / 2.0f) * LARGE_SPACING;
        scene.objects.push_back(Prop(i, Vec2D(centre.x + across, centre.y + down)));
    }
    float side = columns * LARGE_SPACING;
    scene.map_width = std::max(scene.map_width, centre.x - centre.y + side);
    scene.map_height = std::max(scene.map_height, centre.y - centre.x + side);
    return scene;
}

// Whether the object's picture, or its shadow sprite (the picture dropped to
// the floor), lies in the shadow map's area in some frame of the run. That
// area holds the output and more; what lies outside it is neither drawn nor
// shades anything drawn.
bool Shown(Kelvane::VObject_Complex* object, Camera* camera, Kelvane::Renderer* renderer, const Options& options) {
    float scale = object->Get_Scale();
    Vec2D lifted = camera->Proj_To_Screen(object->Get_X(), object->Get_Y(), object->Get_Z());
    Vec2D floor = camera->Proj_To_Screen(object->Get_X(), object->Get_Y(), 0.0f);
    float left = floor.x - object->Get_CX() * scale - camera->Get_X();
    float right = left + object->Get_W() * scale;
    float top = lifted.y - object->Get_CY() * scale - camera->Get_Y();
    float bottom = floor.y + (object->Get_H() - object->Get_CY()) * scale - camera->Get_Y();
    Vec2D area = renderer->Get_Shadow_Extent();
    Vec2D pan = Motion::Pan_Shift(renderer, options.frames - 1);
    return right > -SHADOW_SHIFT_MARGIN && bottom > -SHADOW_SHIFT_MARGIN &&
           left < area.x + pan.x + SHADOW_SHIFT_MARGIN && top < area.y + pan.y + SHADOW_SHIFT_MARGIN;
}

// `scene` with only the objects of `built` (built from it, in its order) that the run shows.
Scene_Description Shown_Only(Scene_Description scene, World* built, Kelvane::Renderer* renderer,
                             const Options& options) {
    std::vector<Kelvane::Scene_Object> shown;
    auto object = built->Get_Objects()->begin();
    for (const Kelvane::Scene_Object& described : scene.objects)
        if (Shown(static_cast<Kelvane::VObject_Complex*>(*object++), built->Get_Camera(), renderer, options))
            shown.push_back(described);
    scene.objects = shown;
    return scene;
}

}  // namespace

std::vector<Named_World> Build_Worlds(const std::string& name, Kelvane::Bitmap_Manager* store,
                                      Kelvane::Renderer* renderer, const Options& options) {
    Camera view;
    Place_View(&view, options);
    std::vector<Named_World> worlds;
    if (name == "demo") worlds.push_back({name, Built(MainGame_World(), store, options)});
    if (name == "stress") worlds.push_back({name, Built(Stress_Scene(&view, options), store, options)});
    if (name != "large") return worlds;
    Scene_Description scene = Large_Scene(&view, options);
    worlds.push_back({name, Built(scene, store, options)});
    World* large = worlds.back().world.get();
    worlds.push_back({name + "-visible", Built(Shown_Only(scene, large, renderer, options), store, options)});
    return worlds;
}

}  // namespace Frame_Bench
