#include "core/config.h"

#include <allegro5/allegro.h>  // Required for: ALLEGRO_CONFIG and its routines

#include <sys/stat.h>  // Required for: stat(), to tell a file from a directory

#include <cstring>  // Required for: memcmp()

#include "core/common.h"

namespace Kelvane {

namespace {

// What several editors put before the first line of a UTF-8 text; Allegro
// would read it as part of the first section's name.
const char BYTE_ORDER_MARK[] = "\xEF\xBB\xBF";
const size_t BYTE_ORDER_MARK_SIZE = sizeof(BYTE_ORDER_MARK) - 1;

// Leaves the file positioned after the mark, if it starts with one.
bool Skip_Byte_Order_Mark(ALLEGRO_FILE* file) {
    char start[BYTE_ORDER_MARK_SIZE];
    if (al_fread(file, start, BYTE_ORDER_MARK_SIZE) == BYTE_ORDER_MARK_SIZE &&
        std::memcmp(start, BYTE_ORDER_MARK, BYTE_ORDER_MARK_SIZE) == 0)
        return true;
    al_fseek(file, 0, ALLEGRO_SEEK_SET);
    return false;
}

// NOTE: Allegro "loads" a directory as an empty configuration, and a later
// save would then try to replace it; only a regular file counts as loadable.
ALLEGRO_CONFIG* Load_Existing(const std::string& path, bool& byte_order_mark) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
    ALLEGRO_FILE* file = al_fopen(path.c_str(), "rb");
    if (!file) return nullptr;
    byte_order_mark = Skip_Byte_Order_Mark(file);
    ALLEGRO_CONFIG* config = al_load_config_file_f(file);
    al_fclose(file);
    return config;
}

}  // namespace

Config::Config(std::string path) : config(nullptr), path(path), changed(false), byte_order_mark(false) {
    if (File_Exists(path))
        config = Load_Existing(path, byte_order_mark);
    else
        config = al_create_config();
}

Config::~Config() {
    if (config) al_destroy_config(config);
}

void Config::Save() {
    if (!config || !changed) return;
    bool saved = Write_File_Whole(path, [this](ALLEGRO_FILE* file) {
        if (byte_order_mark && al_fwrite(file, BYTE_ORDER_MARK, BYTE_ORDER_MARK_SIZE) != BYTE_ORDER_MARK_SIZE)
            return false;
        return al_save_config_file_f(file, config);
    });
    if (saved) changed = false;
}

void Config::Set_String(std::string section, std::string key, std::string value) {
    if (!config) return;
    const char* old = al_get_config_value(config, section.c_str(), key.c_str());
    if (old && value == old) return;
    al_set_config_value(config, section.c_str(), key.c_str(), value.c_str());
    changed = true;
}

void Config::Set_Float(std::string section, std::string key, float value) {
    if (config) Set_String(section, key, ToString(value));
}

std::string Config::Get_String(std::string section, std::string key, std::string default_value) {
    if (!config) return default_value;
    const char* value = al_get_config_value(config, section.c_str(), key.c_str());
    if (!value) {
        Set_String(section, key, default_value);
        return default_value;
    }
    return ToString(value);
}

float Config::Get_Float(std::string section, std::string key, float default_value) {
    if (!config) return default_value;
    const char* value = al_get_config_value(config, section.c_str(), key.c_str());
    if (!value) {
        Set_Float(section, key, default_value);
        return default_value;
    }
    return ToFloat(value);
}

}  // namespace Kelvane
