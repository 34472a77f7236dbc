#include "world/scene_file.h"

#include <allegro5/allegro.h>  // Required for: ALLEGRO_CONFIG and its routines, to write the file

#include <array>
#include <charconv>    // Required for: to_chars(), from_chars(), for numbers that read back exactly
#include <cmath>       // Required for: isfinite(), fabs()
#include <filesystem>  // Required for: create_directories(), is_directory()
#include <map>

#include "core/common.h"
#include "core/config.h"
#include "core/log.h"
#include "render/vobject_complex.h"
#include "world/camera.h"
#include "world/light.h"

namespace Kelvane {

namespace {

const std::string WORLD_SECTION = "World";
const std::string SUN_SECTION = "Sun";
const std::string OBJECT_SECTION = "Object ";
const std::string LIGHT_SECTION = "Light ";
const std::array<const char*, 3> POSITION_KEYS{"X", "Y", "Z"};
const std::array<const char*, 3> COLOUR_KEYS{"R", "G", "B"};

// A count beyond this is a typing error, not a world: loading it would take hours.
const int MAX_ENTRIES = 100000;
// The reach given to a point light whose Range is missing: a lamp's.
const float DEFAULT_LIGHT_RANGE = 400.0f;
// A saved direction is already unit length; only one further off is made so,
// which keeps a saved direction bit for bit.
const float UNIT_LENGTH_TOLERANCE = 1e-6f;

bool Is_Finite(float value) { return std::isfinite(value); }
bool Is_Positive(float value) { return std::isfinite(value) && value > 0.0f; }
bool Is_Flag(float value) { return value == 0.0f || value == 1.0f; }
bool Is_Count(float value) { return value >= 0.0f && value <= MAX_ENTRIES && value == std::floor(value); }

// Per Scene_File::Rule, in its order: the test and how a log line names what it wants.
struct Rule_Check {
    bool (*accepts)(float value);
    const char* wanted;
};
const Rule_Check RULE_CHECKS[] = {{Is_Finite, "a finite number"},
                                  {Is_Positive, "a number above 0"},
                                  {Is_Flag, "0 or 1"},
                                  {Is_Count, "a whole number from 0 to 100000"}};

// The shortest text that reads back as the very same float.
std::string Exact_Text(float value) {
    char text[32];
    std::to_chars_result result = std::to_chars(text, text + sizeof(text), value);
    return std::string(text, result.ptr);
}

// The whole text as a float; false when it is anything else ("12 m" included).
bool Parse_Float(const std::string& text, float& value) {
    const char* end = text.data() + text.size();
    std::from_chars_result result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end;
}

void Put(ALLEGRO_CONFIG* config, const std::string& section, const std::string& key, const std::string& value) {
    al_set_config_value(config, section.c_str(), key.c_str(), value.c_str());
}

void Put(ALLEGRO_CONFIG* config, const std::string& section, const std::string& key, float value) {
    Put(config, section, key, Exact_Text(value));
}

void Put(ALLEGRO_CONFIG* config, const std::string& section, const std::array<const char*, 3>& keys,
         const std::array<float, 3>& values) {
    for (size_t i = 0; i < keys.size(); i++) Put(config, section, keys[i], values[i]);
}

// How a log line ends that says how much was saved or loaded.
std::string Counts_Text(size_t objects, size_t lights) {
    return " (objects: " + std::to_string(objects) + ", point lights: " + std::to_string(lights) + ").";
}

std::string Object_Section(int index) { return OBJECT_SECTION + std::to_string(index); }
std::string Light_Section(int index) { return LIGHT_SECTION + std::to_string(index); }

void Put_Map_And_Sun(ALLEGRO_CONFIG* data, Camera* camera, Light* sun) {
    Put(data, WORLD_SECTION, "Map_Width", camera->Get_Map_Width());
    Put(data, WORLD_SECTION, "Map_Height", camera->Get_Map_Height());
    Put(data, WORLD_SECTION, "Map_Tall", camera->Get_Map_Tall());
    Put(data, SUN_SECTION, POSITION_KEYS, {sun->Get_X(), sun->Get_Y(), sun->Get_Z()});
    Put(data, SUN_SECTION, COLOUR_KEYS, {sun->Get_R(), sun->Get_G(), sun->Get_B()});
    Put(data, SUN_SECTION, "Strength", sun->Get_Strength());
    Put(data, SUN_SECTION, "Ambience", sun->Get_Ambience());
}

// The complex objects, numbered from 0; each carried light goes into `carriers`
// with its carrier's number. Returns how many there are.
int Put_Objects(ALLEGRO_CONFIG* data, std::list<VObject*>* objects, std::map<Light*, int>& carriers) {
    int count = 0;
    for (VObject* object : *objects) {
        if (object->Get_Type() != VOBJECT_TYPE_COMPLEX) continue;
        VObject_Complex* complex = static_cast<VObject_Complex*>(object);
        std::string section = Object_Section(count);
        Put(data, section, "Folder", complex->Get_Name());
        Put(data, section, POSITION_KEYS, {complex->Get_X(), complex->Get_Y(), complex->Get_Z()});
        Put(data, section, "Scale", complex->Get_Scale());
        Put(data, section, "Shadow", complex->Has_Shadow() ? "1" : "0");
        Put(data, section, "Visible", complex->Is_Visible() ? "1" : "0");
        if (complex->Get_Light()) carriers[complex->Get_Light()] = count;
        count++;
    }
    return count;
}

// A free light has no Carried_By.
void Put_Lights(ALLEGRO_CONFIG* data, std::list<Light*>* lights, std::map<Light*, int>& carriers) {
    int index = 0;
    for (Light* light : *lights) {
        std::string section = Light_Section(index++);
        Put(data, section, POSITION_KEYS, {light->Get_X(), light->Get_Y(), light->Get_Z()});
        Put(data, section, COLOUR_KEYS, {light->Get_R(), light->Get_G(), light->Get_B()});
        Put(data, section, "Range", light->Get_Range());
        if (carriers.count(light)) Put(data, section, "Carried_By", std::to_string(carriers[light]));
    }
}

}  // namespace

Scene_File::Scene_File(std::string path, Log* log) : path(path), log(log), config(nullptr) {}

Scene_File::~Scene_File() { delete config; }

bool Scene_File::Save(Camera* camera, Light* sun, std::list<VObject*>* objects, std::list<Light*>* lights) {
    ALLEGRO_CONFIG* data = al_create_config();
    al_add_config_comment(data, "", "Kelvane scene, written by Ctrl+S in editor mode.");
    Put_Map_And_Sun(data, camera, sun);
    std::map<Light*, int> carriers;
    int count = Put_Objects(data, objects, carriers);
    Put(data, WORLD_SECTION, "Objects", std::to_string(count));
    Put(data, WORLD_SECTION, "Lights", std::to_string(lights->size()));
    Put_Lights(data, lights, carriers);
    std::error_code error;
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, error);
    bool saved = Write_File_Whole(path, [data](ALLEGRO_FILE* file) { return al_save_config_file_f(file, data); });
    al_destroy_config(data);
    if (saved)
        log->Write("Scene saved to " + path + Counts_Text(count, lights->size()));
    else
        log->Write("Scene couldn't be saved to " + path + "; the file is left as it was.");
    return saved;
}

bool Scene_File::Read() {
    if (!File_Exists(path)) return false;
    delete config;
    config = new Config(path);
    if (config->Is_Loaded()) return true;
    log->Write("Scene file " + path + " couldn't be read; nothing is loaded from it.");
    return false;
}

bool Scene_File::Load(Bitmap_Manager* store, Camera* camera, Light* sun, std::list<VObject*>* objects,
                      std::list<Light*>* lights, const Loading_Step& step) {
    KELVANE_ASSERT(config && config->Is_Loaded(), "Load needs a successful Read first");
    Load_Map(camera);
    Load_Sun(sun);
    int object_count = static_cast<int>(Number(WORLD_SECTION, "Objects", 0.0f, Rule::COUNT));
    int light_count = static_cast<int>(Number(WORLD_SECTION, "Lights", 0.0f, Rule::COUNT));
    std::vector<VObject*> built;
    int loaded = 0;
    for (int i = 0; i < object_count; i++) {
        std::string section = Object_Section(i);
        std::string name = Existing_Folder(section);
        built.push_back(nullptr);
        if (name.empty()) continue;
        if (!step(VObject_Complex::Folder_Of(name), static_cast<float>(i) / object_count)) return false;
        built.back() = Load_Object(store, camera, section, name);
        objects->push_back(built.back());
        loaded++;
    }
    for (int i = 0; i < light_count; i++) {
        std::string section = Light_Section(i);
        Light* light = Load_Light(section);
        Attach_To_Carrier(light, section, built);
        lights->push_back(light);
    }
    log->Write("Scene loaded from " + path + Counts_Text(loaded, light_count));
    return true;
}

std::string Scene_File::Existing_Folder(const std::string& section) {
    std::string name = Text(section, "Folder");
    std::error_code error;
    // Checked before building: a typing error must not bring up a checker-image object.
    if (name.empty())
        Report(section, "has no Folder; the object is skipped");
    else if (!std::filesystem::is_directory(VObject_Complex::Folder_Of(name), error))
        Report(section, "Folder = " + name + " is no folder of assets/objects/; the object is skipped");
    else
        return name;
    return "";
}

float Scene_File::Number(const std::string& section, const std::string& key, float fallback, Rule rule) {
    std::string text = Text(section, key);
    float value = 0.0f;
    if (text.empty())
        Report(section, "has no " + key + "; " + ToString(fallback) + " is used");
    else if (!Parse_Float(text, value) || !RULE_CHECKS[static_cast<int>(rule)].accepts(value))
        Report(section, key + " = " + text + " is not " + RULE_CHECKS[static_cast<int>(rule)].wanted + "; " +
                            ToString(fallback) + " is used");
    else
        return value;
    return fallback;
}

Scene_File::Triple Scene_File::Numbers(const std::string& section, const Keys& keys, Triple fallbacks) {
    Triple values;
    for (size_t i = 0; i < values.size(); i++) values[i] = Number(section, keys[i], fallbacks[i], Rule::FINITE);
    return values;
}

std::string Scene_File::Text(const std::string& section, const std::string& key) {
    return config->Get_String(section, key, "");
}

void Scene_File::Report(const std::string& section, const std::string& problem) {
    log->Write("Scene file " + path + ": [" + section + "] " + problem + ".");
}

void Scene_File::Load_Map(Camera* camera) {
    camera->Set_Map_Width(Number(WORLD_SECTION, "Map_Width", camera->Get_Map_Width(), Rule::POSITIVE));
    camera->Set_Map_Height(Number(WORLD_SECTION, "Map_Height", camera->Get_Map_Height(), Rule::POSITIVE));
    camera->Set_Map_Tall(Number(WORLD_SECTION, "Map_Tall", camera->Get_Map_Tall(), Rule::POSITIVE));
}

void Scene_File::Load_Sun(Light* sun) {
    Triple direction = Numbers(SUN_SECTION, POSITION_KEYS, {sun->Get_X(), sun->Get_Y(), sun->Get_Z()});
    if (direction == Triple{0.0f, 0.0f, 0.0f}) {
        Report(SUN_SECTION, "X, Y, Z give no direction; the direction is kept");
        direction = {sun->Get_X(), sun->Get_Y(), sun->Get_Z()};
    }
    Triple colour = Numbers(SUN_SECTION, COLOUR_KEYS, {sun->Get_R(), sun->Get_G(), sun->Get_B()});
    Light loaded(direction[0], direction[1], direction[2], sun->Get_Range(), colour[0], colour[1], colour[2], 0);
    loaded.Set_Strength(Number(SUN_SECTION, "Strength", sun->Get_Strength(), Rule::FINITE));
    loaded.Set_Ambience(Number(SUN_SECTION, "Ambience", sun->Get_Ambience(), Rule::FINITE));
    double squares = 0.0;
    for (float axis : direction) squares += static_cast<double>(axis) * axis;
    if (std::fabs(std::sqrt(squares) - 1.0) > UNIT_LENGTH_TOLERANCE) loaded.Normalize();
    *sun = loaded;
}

VObject* Scene_File::Load_Object(Bitmap_Manager* store, Camera* camera, const std::string& section,
                                 const std::string& name) {
    Triple at = Numbers(section, POSITION_KEYS, {0.0f, 0.0f, 0.0f});
    float scale = Number(section, "Scale", 1.0f, Rule::POSITIVE);
    bool shadow = Number(section, "Shadow", 1.0f, Rule::FLAG) != 0.0f;
    bool visible = Number(section, "Visible", 1.0f, Rule::FLAG) != 0.0f;
    VObject_Complex* object = new VObject_Complex(store, camera, name, at[0], at[1], at[2], scale, shadow);
    object->Set_Visible(visible);
    return object;
}

Light* Scene_File::Load_Light(const std::string& section) {
    Triple at = Numbers(section, POSITION_KEYS, {0.0f, 0.0f, 0.0f});
    Triple colour = Numbers(section, COLOUR_KEYS, {1.0f, 1.0f, 1.0f});
    float range = Number(section, "Range", DEFAULT_LIGHT_RANGE, Rule::POSITIVE);
    return new Light(at[0], at[1], at[2], range, colour[0], colour[1], colour[2], 0);
}

void Scene_File::Attach_To_Carrier(Light* light, const std::string& section, std::vector<VObject*>& built) {
    std::string text = Text(section, "Carried_By");
    if (text.empty()) return;
    float index = -1.0f;
    bool known = Parse_Float(text, index) && Is_Count(index) && static_cast<size_t>(index) < built.size() &&
                 built[static_cast<size_t>(index)];
    if (!known) {
        Report(section, "Carried_By = " + text + " is no loaded object; the light stays free");
        return;
    }
    VObject_Complex* carrier = static_cast<VObject_Complex*>(built[static_cast<size_t>(index)]);
    if (carrier->Get_Light()) {
        Report(section, "Carried_By = " + text + ", which already carries a light; the light stays free");
        return;
    }
    carrier->Attach_Light(light);
}

}  // namespace Kelvane
