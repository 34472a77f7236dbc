#pragma once
// Typed front end to an INI file that writes every default it had to use back
// into its data, so a later Save leaves a complete, editable file.

#include <string>

struct ALLEGRO_CONFIG;

namespace Kelvane {

class Config {
public:
    // Loads the file when it exists (a leading UTF-8 byte-order mark is
    // skipped), else starts empty; writes nothing to disk.
    explicit Config(std::string path);
    ~Config();
    Config(const Config&) = delete;
    Config& operator=(const Config&) = delete;

    // Writes the data to the path when something was added or changed since
    // loading, replacing the file whole (a failed write leaves the old one) and
    // keeping its byte-order mark; a file that cannot be written is silently not written.
    void Save();
    void Set_String(std::string section, std::string key, std::string value);
    void Set_Float(std::string section, std::string key, float value);
    // A missing key is stored with the default, which is returned.
    std::string Get_String(std::string section, std::string key, std::string default_value);
    float Get_Float(std::string section, std::string key, float default_value);

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
