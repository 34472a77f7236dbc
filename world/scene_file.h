#pragma once
// A world kept in an INI file, read into and written from a description: the
// map extents, the directional light, every complex object (folder name,
// position, scale, shadow flag, visibility, the clip it plays) and every point light with the
// object that carries it. Nothing here builds an object or touches the GL;
// render/scene_builder turns a description into a world and back.

#include <array>
#include <string>
#include <utility>  // Required for: std::pair, the key/value pairs of a kept section
#include <vector>

namespace Kelvane {

class Config;
class Log;

// The key/value pairs of one section, in the order the file held them.
using Scene_Section = std::vector<std::pair<std::string, std::string>>;

struct Scene_Sun {
    std::array<float, 3> direction;  // unit length
    std::array<float, 3> colour;     // also the ambient colour
    float strength;
    float ambience;
};

struct Scene_Object {
    std::string folder;  // one name inside assets/objects/
    float x, y, z;
    float scale;
    bool shadow;
    bool visible;
    std::string clip = "";  // the clip it plays; none by default
};

// A point light. A carrier is an index into `objects`, or into `kept_objects`
// for an object that was not loaded (the light then stays free); -1 for none.
struct Scene_Light {
    float x, y, z;
    float r, g, b;
    float range;
    int carrier = -1;
    int kept_carrier = -1;
};

struct Scene_Description {
    float map_width;
    float map_height;
    float map_tall;
    Scene_Sun sun;
    std::vector<Scene_Object> objects;
    std::vector<Scene_Light> lights;
    // Object sections the file held but that cannot be built (a folder that is
    // missing or no plain name), word for word: saving writes them back after
    // the world's own objects, so a renamed folder loses nothing.
    std::vector<Scene_Section> kept_objects;
};

class Scene_File {
public:
    Scene_File(std::string path, Log* log);
    ~Scene_File();
    Scene_File(const Scene_File&) = delete;
    Scene_File& operator=(const Scene_File&) = delete;

    // Writes the description, replacing the file whole or not at all (its
    // folder is made when missing); one log line says which. Floats are written
    // so that they read back exactly.
    bool Save(const Scene_Description& scene);
    // Reads the file into `scene`, whose values on entry are the fallbacks of
    // the map extents and the sun. False when there is no file, or, with a log
    // line, when it cannot be read; a file that counts no object and no light
    // leaves `scene` as it was. Each missing or bad value gets one log line
    // naming the file, the section and the problem, and is replaced by the
    // fallback (for objects and lights a fixed default); an object whose folder
    // is missing or no plain name is kept word for word instead of described,
    // and a light whose carrier is unknown stays free.
    bool Read(Scene_Description& scene);

    std::string Get_Path() { return path; }
    // How a log line says how much a world holds: " (objects: 3, point lights: 1)".
    static std::string Counts_Text(size_t objects, size_t lights);

private:
    // What a number read from the file must be.
    enum class Rule { FINITE, POSITIVE, FLAG, COUNT };
    using Triple = std::array<float, 3>;
    using Keys = std::array<const char*, 3>;

    // The key's number, or `fallback` after one log line when it is missing or breaks the rule.
    float Number(const std::string& section, const std::string& key, float fallback, Rule rule);
    // Three finite numbers read in turn (X, Y, Z or R, G, B), each as Number does.
    Triple Numbers(const std::string& section, const Keys& keys, Triple fallbacks);
    // The key's text; "" when it is missing (an empty value counts as missing).
    std::string Text(const std::string& section, const std::string& key);
    void Report(const std::string& section, const std::string& problem);
    void Read_Map(Scene_Description& scene);
    void Read_Sun(Scene_Sun& sun);
    // The section's Folder, or "" after a log line when it is missing, no
    // plain name or no existing folder of assets/objects/.
    std::string Usable_Folder(const std::string& section);
    Scene_Object Read_Object(const std::string& section, const std::string& folder);
    // The section's Clip, or "" after a log line when the folder's settings.ini has no such clip.
    std::string Read_Clip(const std::string& section, const std::string& folder);
    Scene_Light Read_Light(const std::string& section);
    // Sets the light's carrier from the section's Carried_By, if any. `described`
    // and `kept` map the file's object numbers to indices of the description's
    // lists (-1 where the object is in the other one); a carrier that carries
    // a light already, or an unknown one, leaves the light free after a log line.
    void Read_Carrier(Scene_Light& light, const std::string& section, const std::vector<int>& described,
                      const std::vector<int>& kept, std::vector<bool>& carrying);
    Scene_Section Section_As_Read(const std::string& section);

    std::string path;
    Log* log;
    Config* config;
};

}  // namespace Kelvane
