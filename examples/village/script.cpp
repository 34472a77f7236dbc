#include "script.h"

#include <allegro5/allegro.h>  // Required for: ALLEGRO_KEY_*

#include <climits>     // Required for: INT_MAX
#include <filesystem>  // Required for: std::filesystem::absolute(), the game changes directory
#include <fstream>

#include "core/common.h"  // Required for: ToString()

namespace {

// The keys a script may press, by name.
struct Key_Name {
    const char* name;
    int key;
};
const Key_Name KEYS[] = {{"Up", ALLEGRO_KEY_UP},       {"Down", ALLEGRO_KEY_DOWN},    {"Left", ALLEGRO_KEY_LEFT},
                         {"Right", ALLEGRO_KEY_RIGHT}, {"Space", ALLEGRO_KEY_SPACE},  {"Delete", ALLEGRO_KEY_DELETE},
                         {"Enter", ALLEGRO_KEY_ENTER}, {"Escape", ALLEGRO_KEY_ESCAPE}};

}  // namespace

bool Script::Read(const std::string& path, std::string* error) {
    std::ifstream file(path);
    if (!file) {
        *error = "cannot read " + path;
        return false;
    }
    std::string text;
    for (int number = 1; std::getline(file, text); number++) {
        std::istringstream line(text.substr(0, text.find('#')));
        if (line.str().find_first_not_of(" \t\r") == std::string::npos) continue;  // blank or comment
        Command command{};
        if (!Read_Line(line, &command)) {
            *error = path + ":" + ToString(number) + ": not a command: " + text;
            return false;
        }
        if (command.verb == "press") {
            commands.push_back({command.tick, "down", command.key, 0.0f, 0.0f, ""});
            command.tick++, command.verb = "up";
        }
        commands.push_back(command);
    }
    return true;
}

bool Script::Read_Line(std::istringstream& line, Command* command) {
    std::string argument, extra;
    // A press lets go on the next tick, which must be one too.
    if (!(line >> command->tick >> command->verb) || command->tick < 1 || command->tick == INT_MAX) return false;
    bool pointer = command->verb == "pointer";
    if (!(pointer ? line >> command->x >> command->y : line >> argument) || line >> extra) return false;
    if (pointer) return true;
    if (command->verb == "screenshot") {
        // The game runs in its own folder: a relative path means the one started from.
        command->file = std::filesystem::absolute(argument).string();
        return true;
    }
    command->key = -1;
    for (const Key_Name& key : KEYS)
        if (argument == key.name) command->key = key.key;
    return command->key >= 0 && (command->verb == "press" || command->verb == "down" || command->verb == "up");
}

void Script::Play(int tick) {
    for (const Command& command : commands) {
        if (command.tick != tick) continue;
        if (command.verb == "down") KB_Input[command.key] = held[command.key] = true;
        if (command.verb == "up") held[command.key] = false;
        if (command.verb == "pointer") pointer_set = true, pointer_x = command.x, pointer_y = command.y;
        if (command.verb == "screenshot") screenshot = command.file;
    }
    // The poll set the levels from the real keyboard and mouse: the script's add to them.
    for (const Key_Name& key : KEYS) KB_Active[key.key] = KB_Active[key.key] || held[key.key];
    if (pointer_set) mouse_x = pointer_x, mouse_y = pointer_y;
}
