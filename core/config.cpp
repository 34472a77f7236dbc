#include "core/config.h"

#include <allegro5/allegro.h>  // Required for: ALLEGRO_CONFIG and its routines

#include <sys/stat.h>  // Required for: stat(), to tell a file from a directory

#include <cstring>  // Required for: memcmp()
#include <fstream>  // Required for: reading the file's bytes before the INI reader sees them
#include <sstream>

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

// UTF-16, which some editors write; its text would read as nothing at all.
bool Has_UTF16_Mark(const std::string& bytes) {
    return bytes.rfind("\xFF\xFE", 0) == 0 || bytes.rfind("\xFE\xFF", 0) == 0;
}

// A section header, a key = value line or a comment.
bool Is_Ini_Line(const std::string& line) {
    size_t start = line.find_first_not_of(" \t\r");
    if (start == std::string::npos) return false;
    char first = line[start];
    return first == '[' || first == '#' || first == ';' || line.find('=') != std::string::npos;
}

// Allegro's reader takes any bytes and keeps what it can, so a file in another
// encoding or format would be read as (nearly) nothing and a later save would
// replace the user's values with defaults.
bool Is_Ini_Text(const std::string& bytes) {
    if (bytes.find('\0') != std::string::npos || Has_UTF16_Mark(bytes)) return false;
    std::istringstream lines(bytes);
    bool blank = true;
    for (std::string line; std::getline(lines, line);) {
        if (Is_Ini_Line(line)) return true;
        if (line.find_first_not_of(" \t\r") != std::string::npos) blank = false;
    }
    return blank;
}

std::string Bytes_Of(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

// NOTE: Allegro "loads" a directory as an empty configuration, and a later
// save would then try to replace it; only a regular file counts as loadable.
ALLEGRO_CONFIG* Load_Existing(const std::string& path, bool& byte_order_mark) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
    if (!Is_Ini_Text(Bytes_Of(path))) return nullptr;
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

bool Config::Save() {
    if (!config) return false;
    if (!changed) return true;
    bool saved = Write_File_Whole(path, [this](ALLEGRO_FILE* file) {
        if (byte_order_mark && al_fwrite(file, BYTE_ORDER_MARK, BYTE_ORDER_MARK_SIZE) != BYTE_ORDER_MARK_SIZE)
            return false;
        return al_save_config_file_f(file, config);
    });
    if (saved) changed = false;
    return saved;
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

std::vector<std::pair<std::string, std::string>> Config::Get_Entries(std::string section) {
    std::vector<std::pair<std::string, std::string>> entries;
    if (!config) return entries;
    ALLEGRO_CONFIG_ENTRY* iterator = nullptr;
    for (const char* key = al_get_first_config_entry(config, section.c_str(), &iterator); key;
         key = al_get_next_config_entry(&iterator)) {
        const char* value = al_get_config_value(config, section.c_str(), key);
        // Comment lines come as entries too; they hold no value.
        if (value) entries.emplace_back(key, value);
    }
    return entries;
}

std::vector<std::string> Config::Get_Sections() {
    std::vector<std::string> sections;
    if (!config) return sections;
    ALLEGRO_CONFIG_SECTION* iterator = nullptr;
    for (const char* name = al_get_first_config_section(config, &iterator); name;
         name = al_get_next_config_section(&iterator))
        // The graphics library lists the keys before any section as a section named "".
        if (*name) sections.emplace_back(name);
    return sections;
}

}  // namespace Kelvane
