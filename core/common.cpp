#include "core/common.h"

#include <allegro5/allegro.h>  // Required for: al_filename_exists()

#include <cstdio>   // Required for: fprintf()
#include <cstdlib>  // Required for: abort()
#include <locale>

namespace Kelvane {

bool File_Exists(std::string path) {
    return al_filename_exists(path.c_str());
}

void Assertion_Failed(const char* expression, const char* file, int line, const char* message) {
    std::fprintf(stderr, "%s:%d: assertion \"%s\" failed: %s\n", file, line, expression, message);
    std::abort();
}

}  // namespace Kelvane

float ToFloat(std::string text) {
    std::istringstream stream(text, std::ios::in);
    stream.imbue(std::locale::classic());
    float value = 0.0f;
    if (!(stream >> value)) return 0.0f;
    return value;
}

int Truncate_To_Int(float value) {
    if (value != value) return 0;
    if (value >= 2147483647.0f) return 2147483647;
    if (value <= -2147483648.0f) return -2147483647 - 1;
    return static_cast<int>(value);
}
