#pragma once
// Typed front end to an INI file that writes every default it had to use back
// into its data, so a later Save leaves a complete, editable file.

#include <string>
#include <utility>  // Required for: std::pair
#include <vector>

struct ALLEGRO_CONFIG;

namespace Kelvane {

class Config {
public:
    // Loads the file when it exists (a leading UTF-8 byte-order mark is
    // skipped), else starts empty; writes nothing to disk. A file that is not
    // INI text (NUL bytes, a UTF-16 byte-order mark, no line of the INI form)
    // is not loaded: it is someone else's, and is never rewritten.
    explicit Config(std::string path);
    ~Config();
    Config(const Config&) = delete;
    Config& operator=(const Config&) = delete;

    // Writes the data to the path when something was added or changed since
    // loading, replacing the file whole (a failed write leaves the old one) and
    // keeping its byte-order mark. True when the file now holds the data: false
    // when it could not be written, or was not loaded and so is left alone.
    bool Save();
    void Set_String(std::string section, std::string key, std::string value);
    void Set_Float(std::string section, std::string key, float value);
    // A missing key is stored with the default, which is returned.
    std::string Get_String(std::string section, std::string key, std::string default_value);
    float Get_Float(std::string section, std::string key, float default_value);
    // Every key and value of a section, in the file's order; nothing is added.
    std::vector<std::pair<std::string, std::string>> Get_Entries(std::string section);
    // The names of the file's named sections, in its order; nothing is added.
    std::vector<std::string> Get_Sections();

    // False when the file exists but could not be loaded: every read then gives
    // the caller's default and nothing is ever written, so the file is left alone.
    bool Is_Loaded() const { return config != nullptr; }

private:
    ALLEGRO_CONFIG* config;
    std::string path;
    bool changed;
    bool byte_order_mark;
};

}  // namespace Kelvane
