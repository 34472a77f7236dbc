#include "world/scene_file.h"

#include <allegro5/allegro.h>  // Required for: ALLEGRO_CONFIG and its routines, to write the file

#include <algorithm>   // Required for: std::find()
#include <charconv>    // Required for: to_chars(), from_chars(), for numbers that read back exactly
#include <cmath>       // Required for: isfinite(), fabs(), floor()
#include <filesystem>  // Required for: create_directories(), is_directory()
#include <limits>      // Required for: the largest float, named when a number is beyond it

#include "core/common.h"
#include "core/config.h"
#include "core/log.h"

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

// What reading a whole text as a float gave.
enum class Parsed { NUMBER, TOO_LARGE, NOT_A_NUMBER };

// The whole text as a float: "12 m" is not one, and "1e300" is a number no float holds.
Parsed Parse_Float(const std::string& text, float& value) {
    const char* end = text.data() + text.size();
    std::from_chars_result result = std::from_chars(text.data(), end, value);
    if (result.ptr != end) return Parsed::NOT_A_NUMBER;
    if (result.ec == std::errc::result_out_of_range) return Parsed::TOO_LARGE;
    return result.ec == std::errc() ? Parsed::NUMBER : Parsed::NOT_A_NUMBER;
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

void Put(ALLEGRO_CONFIG* config, const std::string& section, const std::string& key, bool value) {
    Put(config, section, key, std::string(value ? "1" : "0"));
}

std::string Object_Section(size_t index) { return OBJECT_SECTION + std::to_string(index); }
std::string Light_Section(size_t index) { return LIGHT_SECTION + std::to_string(index); }

void Put_Map_And_Sun(ALLEGRO_CONFIG* data, const Scene_Description& scene) {
    Put(data, WORLD_SECTION, "Map_Width", scene.map_width);
    Put(data, WORLD_SECTION, "Map_Height", scene.map_height);
    Put(data, WORLD_SECTION, "Map_Tall", scene.map_tall);
    Put(data, SUN_SECTION, POSITION_KEYS, scene.sun.direction);
    Put(data, SUN_SECTION, COLOUR_KEYS, scene.sun.colour);
    Put(data, SUN_SECTION, "Strength", scene.sun.strength);
    Put(data, SUN_SECTION, "Ambience", scene.sun.ambience);
}

// The described objects first, then the kept ones word for word.
void Put_Objects(ALLEGRO_CONFIG* data, const Scene_Description& scene) {
    for (size_t i = 0; i < scene.objects.size(); i++) {
        const Scene_Object& object = scene.objects[i];
        std::string section = Object_Section(i);
        Put(data, section, "Folder", object.folder);
        Put(data, section, POSITION_KEYS, {object.x, object.y, object.z});
        Put(data, section, "Scale", object.scale);
        Put(data, section, "Shadow", object.shadow);
        Put(data, section, "Visible", object.visible);
        if (!object.clip.empty()) Put(data, section, "Clip", object.clip);
    }
    for (size_t k = 0; k < scene.kept_objects.size(); k++)
        for (const auto& [key, value] : scene.kept_objects[k])
            Put(data, Object_Section(scene.objects.size() + k), key, value);
}

// A free light has no Carried_By; one carried by a kept object names it where Put_Objects wrote it.
void Put_Lights(ALLEGRO_CONFIG* data, const Scene_Description& scene) {
    for (size_t i = 0; i < scene.lights.size(); i++) {
        const Scene_Light& light = scene.lights[i];
        std::string section = Light_Section(i);
        Put(data, section, POSITION_KEYS, {light.x, light.y, light.z});
        Put(data, section, COLOUR_KEYS, {light.r, light.g, light.b});
        Put(data, section, "Range", light.range);
        int carrier = light.carrier;
        if (carrier < 0 && light.kept_carrier >= 0) carrier = static_cast<int>(scene.objects.size()) + light.kept_carrier;
        if (carrier >= 0) Put(data, section, "Carried_By", std::to_string(carrier));
    }
}

}  // namespace

Scene_File::Scene_File(std::string path, Log* log) : path(path), log(log), config(nullptr) {}

Scene_File::~Scene_File() { delete config; }

std::string Scene_File::Counts_Text(size_t objects, size_t lights) {
    return " (objects: " + std::to_string(objects) + ", point lights: " + std::to_string(lights) + ")";
}

bool Scene_File::Save(const Scene_Description& scene) {
    ALLEGRO_CONFIG* data = al_create_config();
    al_add_config_comment(data, "", "Kelvane scene, written by Ctrl+S in editor mode.");
    Put_Map_And_Sun(data, scene);
    size_t objects = scene.objects.size() + scene.kept_objects.size();
    Put(data, WORLD_SECTION, "Objects", std::to_string(objects));
    Put(data, WORLD_SECTION, "Lights", std::to_string(scene.lights.size()));
    Put_Objects(data, scene);
    Put_Lights(data, scene);
    std::error_code error;
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, error);
    bool saved = Write_File_Whole(path, [data](ALLEGRO_FILE* file) { return al_save_config_file_f(file, data); });
    al_destroy_config(data);
    std::string kept = scene.kept_objects.empty() ? "" : "; " + std::to_string(scene.kept_objects.size()) +
                                                             " of them could not be loaded and are written back as read";
    if (saved)
        log->Write("Scene saved to " + path + Counts_Text(objects, scene.lights.size()) + kept + ".");
    else
        log->Write("Scene couldn't be saved to " + path + "; the file is left as it was.");
    return saved;
}

bool Scene_File::Read(Scene_Description& scene) {
    if (!File_Exists(path)) return false;
    delete config;
    config = new Config(path);
    if (!config->Is_Loaded()) {
        log->Write("Scene file " + path + " couldn't be read; nothing is loaded from it.");
        return false;
    }
    // A file that describes no world at all (an empty one) needs no line per missing key.
    if (Text(WORLD_SECTION, "Objects").empty() && Text(WORLD_SECTION, "Lights").empty()) return true;
    int object_count = static_cast<int>(Number(WORLD_SECTION, "Objects", 0.0f, Rule::COUNT));
    int light_count = static_cast<int>(Number(WORLD_SECTION, "Lights", 0.0f, Rule::COUNT));
    if (object_count == 0 && light_count == 0) return true;
    Read_Map(scene);
    Read_Sun(scene.sun);
    std::vector<int> described, kept;
    for (int i = 0; i < object_count; i++) {
        std::string section = Object_Section(i);
        Scene_Section as_read = Section_As_Read(section);
        std::string folder = Usable_Folder(section);
        described.push_back(folder.empty() ? -1 : static_cast<int>(scene.objects.size()));
        kept.push_back(folder.empty() ? static_cast<int>(scene.kept_objects.size()) : -1);
        if (folder.empty())
            scene.kept_objects.push_back(as_read);
        else
            scene.objects.push_back(Read_Object(section, folder));
    }
    std::vector<bool> carrying(object_count, false);
    for (int i = 0; i < light_count; i++) {
        std::string section = Light_Section(i);
        scene.lights.push_back(Read_Light(section));
        Read_Carrier(scene.lights.back(), section, described, kept, carrying);
    }
    return true;
}

std::string Scene_File::Usable_Folder(const std::string& section) {
    std::string name = Text(section, "Folder");
    std::error_code error;
    // Checked before building: a typing error must not bring up a checker-image
    // object, and a shared file must not reach outside assets/objects/.
    const std::string KEPT = "; the object is skipped and kept in the file";
    if (name.empty())
        Report(section, "has no Folder" + KEPT);
    else if (!Is_Plain_Name(name))
        Report(section, "Folder = " + name + " is not one folder name inside " + OBJECTS_FOLDER + KEPT);
    else if (!std::filesystem::is_directory(Object_Folder(name), error))
        Report(section, "Folder = " + name + " is no folder of " + OBJECTS_FOLDER + KEPT);
    else
        return name;
    return "";
}

float Scene_File::Number(const std::string& section, const std::string& key, float fallback, Rule rule) {
    std::string text = Text(section, key);
    const Rule_Check& check = RULE_CHECKS[static_cast<int>(rule)];
    float value = 0.0f;
    Parsed parsed = text.empty() ? Parsed::NOT_A_NUMBER : Parse_Float(text, value);
    std::string used = "; " + ToString(fallback) + " is used";
    if (text.empty())
        Report(section, "has no " + key + used);
    else if (parsed == Parsed::TOO_LARGE)
        Report(section, key + " = " + text + " is beyond what a number here can be (" +
                            ToString(std::numeric_limits<float>::max()) + " at the most)" + used);
    else if (parsed == Parsed::NOT_A_NUMBER || !check.accepts(value))
        Report(section, key + " = " + text + " is not " + check.wanted + used);
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

Scene_Section Scene_File::Section_As_Read(const std::string& section) {
    return config->Get_Entries(section);
}

void Scene_File::Report(const std::string& section, const std::string& problem) {
    log->Write("Scene file " + path + ": [" + section + "] " + problem + ".");
}

void Scene_File::Read_Map(Scene_Description& scene) {
    scene.map_width = Number(WORLD_SECTION, "Map_Width", scene.map_width, Rule::POSITIVE);
    scene.map_height = Number(WORLD_SECTION, "Map_Height", scene.map_height, Rule::POSITIVE);
    scene.map_tall = Number(WORLD_SECTION, "Map_Tall", scene.map_tall, Rule::POSITIVE);
}

void Scene_File::Read_Sun(Scene_Sun& sun) {
    Triple direction = Numbers(SUN_SECTION, POSITION_KEYS, sun.direction);
    if (direction == Triple{0.0f, 0.0f, 0.0f}) {
        Report(SUN_SECTION, "X, Y, Z give no direction; the direction is kept");
        direction = sun.direction;
    }
    sun.colour = Numbers(SUN_SECTION, COLOUR_KEYS, sun.colour);
    sun.strength = Number(SUN_SECTION, "Strength", sun.strength, Rule::FINITE);
    sun.ambience = Number(SUN_SECTION, "Ambience", sun.ambience, Rule::FINITE);
    double squares = 0.0;
    for (float axis : direction) squares += static_cast<double>(axis) * axis;
    double length = std::sqrt(squares);
    if (std::fabs(length - 1.0) > UNIT_LENGTH_TOLERANCE)
        for (float& axis : direction) axis = static_cast<float>(axis / length);
    sun.direction = direction;
}

Scene_Object Scene_File::Read_Object(const std::string& section, const std::string& folder) {
    Triple at = Numbers(section, POSITION_KEYS, {0.0f, 0.0f, 0.0f});
    float scale = Number(section, "Scale", 1.0f, Rule::POSITIVE);
    bool shadow = Number(section, "Shadow", 1.0f, Rule::FLAG) != 0.0f;
    bool visible = Number(section, "Visible", 1.0f, Rule::FLAG) != 0.0f;
    return Scene_Object{folder, at[0], at[1], at[2], scale, shadow, visible, Read_Clip(section, folder)};
}

std::string Scene_File::Read_Clip(const std::string& section, const std::string& folder) {
    std::string clip = Text(section, "Clip");
    if (clip.empty()) return clip;
    Config settings(Object_Folder(folder) + SETTINGS_FILE);
    std::vector<std::string> sections = settings.Get_Sections();
    if (std::find(sections.begin(), sections.end(), Clip_Section(clip)) != sections.end()) return clip;
    Report(section, "Clip = " + clip + " is no clip of " + Object_Folder(folder) + "settings.ini; the object stays still");
    return "";
}

Scene_Light Scene_File::Read_Light(const std::string& section) {
    Triple at = Numbers(section, POSITION_KEYS, {0.0f, 0.0f, 0.0f});
    Triple colour = Numbers(section, COLOUR_KEYS, {1.0f, 1.0f, 1.0f});
    float range = Number(section, "Range", DEFAULT_LIGHT_RANGE, Rule::POSITIVE);
    Scene_Light light;
    light.x = at[0], light.y = at[1], light.z = at[2];
    light.r = colour[0], light.g = colour[1], light.b = colour[2];
    light.range = range;
    return light;
}

void Scene_File::Read_Carrier(Scene_Light& light, const std::string& section, const std::vector<int>& described,
                              const std::vector<int>& kept, std::vector<bool>& carrying) {
    std::string text = Text(section, "Carried_By");
    if (text.empty()) return;
    float number = -1.0f;
    bool known = Parse_Float(text, number) == Parsed::NUMBER && Is_Count(number) &&
                 static_cast<size_t>(number) < described.size();
    if (!known) {
        Report(section, "Carried_By = " + text + " is no object of the file; the light stays free");
        return;
    }
    size_t index = static_cast<size_t>(number);
    if (carrying[index]) {
        Report(section, "Carried_By = " + text + ", which already carries a light; the light stays free");
        return;
    }
    carrying[index] = true;
    light.carrier = described[index];
    light.kept_carrier = kept[index];
    if (light.carrier < 0)
        Report(section, "Carried_By = " + text + " is not loaded; the light stays free and keeps its carrier in the file");
}

}  // namespace Kelvane
