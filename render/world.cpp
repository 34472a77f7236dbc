#include "render/world.h"

#include <algorithm>  // Required for: std::find()

#include "render/vobject_complex.h"

namespace Kelvane {

World::World() : sun(0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0) {}

World::~World() {
    Clear();
}

VObject* World::Add(VObject* object) {
    objects.push_back(object);
    return object;
}

VObject_Complex* World::Add_Object(Bitmap_Manager* store, std::string folder, float x, float y, float z, float scale,
                                   bool shadow) {
    VObject_Complex* object = new VObject_Complex(store, &camera, folder, x, y, z, scale, shadow);
    Add(object);
    return object;
}

Light* World::Add(Light* light) {
    lights.push_back(light);
    return light;
}

Light* World::Add_Light(float x, float y, float z, float range, float r, float g, float b) {
    return Add(new Light(x, y, z, range, r, g, b, 0));
}

void World::Remove(VObject* object) {
    auto found = std::find(objects.begin(), objects.end(), object);
    if (found == objects.end()) return;
    objects.erase(found);
    delete object;
}

void World::Remove(Light* light) {
    auto found = std::find(lights.begin(), lights.end(), light);
    if (found == lights.end()) return;
    for (VObject* object : objects) {
        VObject_Complex* complex = object->Get_Type() == VOBJECT_TYPE_COMPLEX ? static_cast<VObject_Complex*>(object)
                                                                             : nullptr;
        if (complex && complex->Get_Light() == light) complex->Attach_Light(nullptr);
    }
    kept.carriers.erase(light);
    lights.erase(found);
    delete light;
}

void World::Clear() {
    for (VObject* object : objects) delete object;
    for (Light* light : lights) delete light;
    objects.clear();
    lights.clear();
    kept = Scene_Kept();
}

void World::Update(float dt) {
    for (VObject* object : objects) object->Update(dt);
    for (Light* light : lights) light->Update(dt);
}

bool World::Build(const Scene_Description& scene, Bitmap_Manager* store, const Loading_Step& step) {
    Clear();
    return Build_Scene(scene, store, &camera, &sun, &objects, &lights, step, &kept);
}

Scene_Description World::Describe() {
    return Describe_Scene(&camera, &sun, &objects, &lights, kept);
}

}  // namespace Kelvane
