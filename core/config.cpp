#include "core/config.h"

#include <allegro5/allegro.h>  // Required for: ALLEGRO_CONFIG and its routines

#include <sys/stat.h>  // Required for: stat(), to tell a file from a directory

#include "core/common.h"

namespace Kelvane {

namespace {

// NOTE: Allegro "loads" a directory as an empty configuration, and a later
// save would then try to replace it; only a regular file counts as loadable.
ALLEGRO_CONFIG* Load_Existing(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
    return al_load_config_file(path.c_str());
}

}  // namespace

Config::Config(std::string path) : config(nullptr), path(path) {
    if (File_Exists(path))
        config = Load_Existing(path);
    else
        config = al_create_config();
}

Config::~Config() {
    if (config) al_destroy_config(config);
}

void Config::Save() {
    if (config) al_save_config_file(path.c_str(), config);
}

void Config::Set_String(std::string section, std::string key, std::string value) {
    if (config) al_set_config_value(config, section.c_str(), key.c_str(), value.c_str());
}

void Config::Set_Float(std::string section, std::string key, float value) {
    if (config) Set_String(section, key, ToString(value));
}

std::string Config::Get_String(std::string section, std::string key, std::string default_value) {
    if (!config) return "";
    const char* value = al_get_config_value(config, section.c_str(), key.c_str());
    if (!value) {
        Set_String(section, key, default_value);
        return default_value;
    }
    return ToString(value);
}

float Config::Get_Float(std::string section, std::string key, float default_value) {
    if (!config) return 0.0f;
    const char* value = al_get_config_value(config, section.c_str(), key.c_str());
    if (!value) {
        Set_Float(section, key, default_value);
        return default_value;
    }
    return ToFloat(value);
}

}  // namespace Kelvane
