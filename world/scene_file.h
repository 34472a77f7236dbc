#pragma once
// A world kept in an INI file: the map extents, the directional light, every
// complex object (folder name, position, scale, shadow flag, visibility) and
// every point light with the object that carries it.

#include <array>       // Required for: Triple
#include <functional>  // Required for: Loading_Step
#include <list>
#include <string>
#include <vector>

namespace Kelvane {

class Bitmap_Manager;
class Camera;
class Config;
class Light;
class Log;
class VObject;

class Scene_File {
public:
    // Called before each object is built, with its asset folder and the share of
    // the file's objects dealt with so far (0 to 1); false stops the load.
    using Loading_Step = std::function<bool(std::string folder, float progress)>;

    Scene_File(std::string path, Log* log);
    ~Scene_File();
    Scene_File(const Scene_File&) = delete;
    Scene_File& operator=(const Scene_File&) = delete;

    // Writes the camera's map extents, the directional light `sun`, the complex
    // objects of `objects` and the point lights of `lights`, replacing the file
    // whole or not at all (its folder is made when missing); one log line says
    // which. Floats are written so that they read back exactly.
    bool Save(Camera* camera, Light* sun, std::list<VObject*>* objects, std::list<Light*>* lights);
    // Opens the file for Load; false when there is none, or, with a log line,
    // when it cannot be read.
    bool Read();
    // After a successful Read: sets the map extents and `sun` from the file and
    // appends its objects and point lights to the lists, the lights attached to
    // the objects that carry them. Each missing or bad value gets one log line
    // naming the file, the section and the problem: a bad number is replaced by
    // what the camera or `sun` held (for objects and lights by a fixed default),
    // an object whose folder does not exist is skipped before it is built, and a
    // light whose carrier is unknown stays free. A last log line says how much
    // was loaded. False when `step` stopped it.
    bool Load(Bitmap_Manager* store, Camera* camera, Light* sun, std::list<VObject*>* objects,
              std::list<Light*>* lights, const Loading_Step& step);

private:
    // What a number read from the file must be.
    enum class Rule { FINITE, POSITIVE, FLAG, COUNT };

    // The key's number, or `fallback` after one log line when it is missing or breaks the rule.
    float Number(const std::string& section, const std::string& key, float fallback, Rule rule);
    using Triple = std::array<float, 3>;
    using Keys = std::array<const char*, 3>;
    // Three finite numbers read in turn (X, Y, Z or R, G, B), each as Number does.
    Triple Numbers(const std::string& section, const Keys& keys, Triple fallbacks);
    // The key's text; "" when it is missing (an empty value counts as missing).
    std::string Text(const std::string& section, const std::string& key);
    void Report(const std::string& section, const std::string& problem);
    void Load_Map(Camera* camera);
    void Load_Sun(Light* sun);
    // The section's Folder, or "" after a log line when it is missing or names no existing folder.
    std::string Existing_Folder(const std::string& section);
    VObject* Load_Object(Bitmap_Manager* store, Camera* camera, const std::string& section, const std::string& name);
    Light* Load_Light(const std::string& section);
    // Attaches the light to the object the section's Carried_By names, if any:
    // an index into `built` (null where the file's object was skipped).
    void Attach_To_Carrier(Light* light, const std::string& section, std::vector<VObject*>& built);

    std::string path;
    Log* log;
    Config* config;
};

}  // namespace Kelvane
