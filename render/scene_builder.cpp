#include "render/scene_builder.h"

#include <algorithm>  // Required for: std::find()

#include "render/vobject_complex.h"
#include "world/camera.h"
#include "world/light.h"

namespace Kelvane {

namespace {

void Set_Sun(Light* sun, const Scene_Sun& described) {
    *sun = Light(described.direction[0], described.direction[1], described.direction[2], sun->Get_Range(),
                 described.colour[0], described.colour[1], described.colour[2], 0);
    sun->Set_Strength(described.strength);
    sun->Set_Ambience(described.ambience);
}

Scene_Sun Sun_Of(Light* sun) {
    return Scene_Sun{{sun->Get_X(), sun->Get_Y(), sun->Get_Z()},
                     {sun->Get_R(), sun->Get_G(), sun->Get_B()},
                     sun->Get_Strength(),
                     sun->Get_Ambience()};
}

VObject_Complex* Build_Object(const Scene_Object& object, Bitmap_Manager* store, Camera* camera) {
    VObject_Complex* built =
        new VObject_Complex(store, camera, object.folder, object.x, object.y, object.z, object.scale, object.shadow);
    built->Set_Visible(object.visible);
    // The scene file checked the name against the folder's clips.
    if (!object.clip.empty()) built->Play(object.clip);
    return built;
}

Light* Build_Light(const Scene_Light& light) {
    return new Light(light.x, light.y, light.z, light.range, light.r, light.g, light.b, 0);
}

Scene_Object Object_Of(VObject_Complex* object) {
    return Scene_Object{object->Get_Name(),  object->Get_X(),      object->Get_Y(),      object->Get_Z(),
                        object->Get_Scale(), object->Has_Shadow(), object->Is_Visible(), object->Get_Clip()};
}

Scene_Light Light_Of(Light* light) {
    Scene_Light described;
    described.x = light->Get_X(), described.y = light->Get_Y(), described.z = light->Get_Z();
    described.r = light->Get_R(), described.g = light->Get_G(), described.b = light->Get_B();
    described.range = light->Get_Range();
    return described;
}

}  // namespace

bool Build_Scene(const Scene_Description& scene, Bitmap_Manager* store, Camera* camera, Light* sun,
                 std::list<VObject*>* objects, std::list<Light*>* lights, const Loading_Step& step, Scene_Kept* kept) {
    camera->Set_Map_Width(scene.map_width);
    camera->Set_Map_Height(scene.map_height);
    camera->Set_Map_Tall(scene.map_tall);
    Set_Sun(sun, scene.sun);
    kept->objects = scene.kept_objects;
    std::vector<VObject_Complex*> built;
    size_t count = scene.objects.size() + scene.kept_objects.size();
    for (const Scene_Object& object : scene.objects) {
        if (!step(VObject_Complex::Folder_Of(object.folder), static_cast<float>(built.size()) / count)) return false;
        built.push_back(Build_Object(object, store, camera));
        objects->push_back(built.back());
    }
    for (const Scene_Light& light : scene.lights) {
        lights->push_back(Build_Light(light));
        if (light.carrier >= 0) built[light.carrier]->Attach_Light(lights->back());
        if (light.kept_carrier >= 0) kept->carriers[lights->back()] = light.kept_carrier;
    }
    return true;
}

Scene_Description Describe_Scene(Camera* camera, Light* sun, std::list<VObject*>* objects, std::list<Light*>* lights,
                                 const Scene_Kept& kept) {
    Scene_Description scene{camera->Get_Map_Width(), camera->Get_Map_Height(), camera->Get_Map_Tall(), Sun_Of(sun),
                            {}, {}, kept.objects};
    std::vector<Light*> carried;  // by scene.objects[i]
    for (VObject* object : *objects) {
        if (object->Get_Type() != VOBJECT_TYPE_COMPLEX) continue;
        VObject_Complex* complex = static_cast<VObject_Complex*>(object);
        scene.objects.push_back(Object_Of(complex));
        carried.push_back(complex->Get_Light());
    }
    for (Light* light : *lights) {
        scene.lights.push_back(Light_Of(light));
        auto carrier = std::find(carried.begin(), carried.end(), light);
        auto kept_carrier = kept.carriers.find(light);
        if (carrier != carried.end())
            scene.lights.back().carrier = static_cast<int>(carrier - carried.begin());
        else if (kept_carrier != kept.carriers.end())
            scene.lights.back().kept_carrier = kept_carrier->second;
    }
    return scene;
}

}  // namespace Kelvane
