#pragma once
// Turns a scene description (world/scene_file) into the complex objects and
// point lights it describes, and a world back into a description.

#include <functional>  // Required for: Loading_Step
#include <list>
#include <map>
#include <string>
#include <vector>

#include "world/scene_file.h"

namespace Kelvane {

class Bitmap_Manager;
class Camera;
class Light;
class VObject;

// What a description held that the world does not show: the object sections
// that could not be built, word for word, and the lights they carried (built
// free), so that describing the world again writes them back as they were.
struct Scene_Kept {
    std::vector<Scene_Section> objects;
    std::map<Light*, int> carriers;  // a light and the index in `objects` of its carrier
};

// Called before each object is built, with its asset folder and the share of
// the objects dealt with so far (0 to 1); false stops the building.
using Loading_Step = std::function<bool(std::string folder, float progress)>;

// Sets the camera's map extents and the sun, then appends the objects and the
// point lights to the lists, each light attached to the object that carries it.
// `kept` receives what the description kept. False when `step` stopped it; the
// lists then hold what was built so far, and no light.
bool Build_Scene(const Scene_Description& scene, Bitmap_Manager* store, Camera* camera, Light* sun,
                 std::list<VObject*>* objects, std::list<Light*>* lights, const Loading_Step& step, Scene_Kept* kept);

// The world as a description: the camera's map extents, the sun, the complex
// objects of `objects` and the point lights of `lights`, then what `kept` holds.
Scene_Description Describe_Scene(Camera* camera, Light* sun, std::list<VObject*>* objects, std::list<Light*>* lights,
                                 const Scene_Kept& kept);

}  // namespace Kelvane
