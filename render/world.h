#pragma once
// What a scene shows, owned: the camera, the sun (the directional light, whose
// colour is the sky's), the objects and the point lights. A scene keeps one
// world, changes it through these calls and hands it to Renderer::Render;
// removing an object or a light, clearing the world or destroying it frees them.

#include <functional>  // Required for: Loading_Step
#include <list>
#include <string>

#include "render/scene_builder.h"  // Required for: Scene_Kept, Loading_Step
#include "world/camera.h"
#include "world/light.h"

namespace Kelvane {

class Bitmap_Manager;
class VObject;
class VObject_Complex;

class World {
public:
    // An empty world: a camera at (0, 0) and a white sun straight above.
    World();
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    Camera* Get_Camera() { return &camera; }
    Light* Get_Sun() { return &sun; }
    // The objects in drawing order (the renderer sorts them by height) and the point lights.
    std::list<VObject*>* Get_Objects() { return &objects; }
    std::list<Light*>* Get_Lights() { return &lights; }

    // Takes an object made with new; the world frees it.
    VObject* Add(VObject* object);
    // Builds a complex object from its asset folder (see VObject_Complex) and adds it.
    VObject_Complex* Add_Object(Bitmap_Manager* store, std::string folder, float x, float y, float z, float scale,
                                bool shadow);
    // Takes a point light made with new; the world frees it.
    Light* Add(Light* light);
    Light* Add_Light(float x, float y, float z, float range, float r, float g, float b);
    // Frees the object; a light it carried stays, free. Not in the world: nothing happens.
    void Remove(VObject* object);
    // Frees the light; the object carrying it carries nothing after.
    void Remove(Light* light);
    // Frees every object and light; the camera and the sun stay as they are.
    void Clear();

    // One tick of every object and light: animation, and carried lamps follow their objects.
    void Update(float dt);

    // Clears the world, then builds what `scene` describes (see Build_Scene);
    // false when `step` stopped it, the world then holding what was built so far.
    bool Build(const Scene_Description& scene, Bitmap_Manager* store, const Loading_Step& step);
    // The world as a description, with what the last Build could not load, to be saved.
    Scene_Description Describe();

private:
    Camera camera;
    Light sun;
    std::list<VObject*> objects;
    std::list<Light*> lights;
    Scene_Kept kept;
};

}  // namespace Kelvane
