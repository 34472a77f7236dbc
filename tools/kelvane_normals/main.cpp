// kelvane_normals [--strength S] [--radius R] [--force] <folder>: derives an
// object folder's normal.png from its height.png (see docs/encodings.md).
// Exit status: 0 written, 1 bad input or nothing written, 2 bad arguments.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/kelvane_normals/object_folder.h"

namespace {

const int EXIT_BAD_INPUT = 1;
const int EXIT_USAGE = 2;
// Wider fits only blur further and take long; a larger radius is a typing slip.
const int MAX_RADIUS = 32;

const char* USAGE =
    "usage: kelvane_normals [--strength S] [--radius R] [--force] <folder>\n"
    "  Derives <folder>/normal.png from its height.png and settings.ini's Height.\n"
    "  --strength S  multiply the height slopes by S (default 1: the surface as painted)\n"
    "  --radius R    fit the slopes over R pixels to each side, 1 to 32 (default 1);\n"
    "                larger values smooth the steps of tall objects' 8-bit heights\n"
    "  --force       replace an existing normal.png\n";

bool Parse_Number(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(value);
}

// Sets the option's value from `text` (null when the arguments ran out);
// false, with the reason, when it is not a value the option takes.
bool Parse_Value(const std::string& option, const char* text, Kelvane_Normals::Request& request, std::string& error) {
    double value = 0.0;
    bool number = text && Parse_Number(text, value);
    if (option == "--strength" && number) {
        request.strength = value;
    } else if (option == "--strength") {
        error = "--strength needs a number";
    } else if (number && value == std::floor(value) && value >= 1 && value <= MAX_RADIUS) {
        request.radius = static_cast<int>(value);
    } else {
        error = "--radius needs a whole number from 1 to " + std::to_string(MAX_RADIUS);
    }
    return error.empty();
}

// False, with the reason, when the arguments do not make one request.
bool Parse_Arguments(int argc, char** argv, Kelvane_Normals::Request& request, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--force") {
            request.force = true;
        } else if (argument == "--strength" || argument == "--radius") {
            if (!Parse_Value(argument, i + 1 < argc ? argv[++i] : nullptr, request, error)) return false;
        } else if (argument.size() > 1 && argument[0] == '-') {
            error = "unknown option " + argument;
            return false;
        } else if (!request.folder.empty()) {
            error = "one folder at a time";
            return false;
        } else {
            request.folder = argument;
        }
    }
    if (request.folder.empty()) error = "no folder given";
    return error.empty();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::printf("%s", USAGE);
        return 0;
    }
    Kelvane_Normals::Request request;
    std::string error;
    if (!Parse_Arguments(argc, argv, request, error)) {
        std::printf("kelvane_normals: %s\n%s", error.c_str(), USAGE);
        return EXIT_USAGE;
    }
    return Kelvane_Normals::Derive_Folder(request) ? 0 : EXIT_BAD_INPUT;
}
