#pragma once
// Engine constants, debug flags, the file test, text/number conversions, the
// Vec2D pair and the Pixel_Box: the one header every module may include.

#include <algorithm>   // Required for: std::max(), std::min()
#include <functional>  // Required for: Write_File_Whole()
#include <sstream>     // Required for: ToString(), ToFloat()
#include <string>

struct ALLEGRO_FILE;

namespace Kelvane {

// Camera easing: each tick closes 1/DEFAULT_CAMERA_SPEED of the distance left.
const float DEFAULT_CAMERA_SPEED = 10.0f;
// Below this distance the camera snaps onto its target instead of creeping.
const float DEFAULT_CAMERA_CLAMP = 0.005f;
// The fixed internal picture every screen position is given in.
const float DEFAULT_INTERNAL_RES_W = 1920.0f;
const float DEFAULT_INTERNAL_RES_H = 1080.0f;
// Vertical squash of the floor plane in the oblique projection.
const float DEFAULT_PROJECTION_FACTOR = 0.502421f;
// Screen pixels per unit of height.
const float DEFAULT_HEIGHT_FACTOR = 0.61138f;

// The tick rate a game runs at when its configuration names no usable one.
const int DEFAULT_FPS = 60;

// Pixels of this alpha (of 255) or less show no surface: the renderer stores
// neither their colour nor their depth, picking passes through them, and the
// normals tool leaves them out. Kept as a byte since the GL compares 8-bit
// alphas with the reference rounded to 8 bits too.
const int MAX_DROPPED_ALPHA = 26;

// Debug flags, single bits or-ed into one int.
const int DEBUG_LIGHTS = 1;       // marker and stalk for every point light
const int DEBUG_HEIGHT = 2;       // toggled by the demo; nothing reads it
const int DEBUG_NORMALS = 4;      // objects show their normal image
const int DEBUG_NO_LIGHTING = 8;  // toggled by the demo; nothing reads it
const int DEBUG_EDITOR = 16;      // hover and selection marks

// Paths relative to the working directory.
inline const std::string DEFAULT_CONFIGURATION_PATH = "game_config.ini";
inline const std::string DEFAULT_MISSING_BITMAP = "assets/missing.png";
inline const std::string DEFAULT_LOG_PATH = "game.log";
// The TrueType font the game hands its scenes.
inline const std::string DEFAULT_FONT_PATH = "assets/font/GameFont.ttf";
// Every complex object's asset folder lies here.
inline const std::string OBJECTS_FOLDER = "assets/objects/";

// The asset folder of the object named `name`: OBJECTS_FOLDER + name + "/".
std::string Object_Folder(std::string name);

// An object folder's files: its images, its own settings and the caches the
// engine cooks from them.
inline const std::string DIFFUSE_FILE = "diffuse.png";
inline const std::string NORMAL_FILE = "normal.png";
inline const std::string HEIGHT_FILE = "height.png";
inline const std::string SETTINGS_FILE = "settings.ini";
inline const std::string NORMAL_CACHE_FILE = "normal_cooked.png";
inline const std::string SHADOW_CACHE_FILE = "shadow.png";
// The section of the settings a clip is kept in ("Clip walk" for the clip walk).
inline const std::string CLIP_SECTION_PREFIX = "Clip ";
std::string Clip_Section(const std::string& name);

// True when a file or directory of that name exists (no other check).
bool File_Exists(std::string path);

// True when `name` names one entry inside a folder and nothing else: not empty,
// not "." or "..", no path separator. Names read from shared files (scene files)
// must pass it before they are joined to a folder.
bool Is_Plain_Name(std::string name);

// Replaces a file whole or not at all: `write` fills a temporary file in the
// same folder, which is renamed over the path only once every byte is on the
// disk, so a crash, a full disk or a second instance never sees half a file.
// A symbolic link is written through and the old file's permissions are kept;
// a file that may not be written is not replaced. False, with no temporary file
// left, on any failure (the old file then stays as it was).
bool Write_File_Whole(std::string path, const std::function<bool(ALLEGRO_FILE*)>& write);
// The file Write_File_Whole(path) replaces: the path itself, or where a symbolic
// link there leads, followed one step. Its temporary file lies beside it.
std::string Write_Target(std::string path);
// The temporary file Write_File_Whole fills for `path` in the process `pid`.
std::string Temporary_File_Of(std::string path, int pid);
// The process that named `file` as its temporary file for `path`
// (Temporary_File_Of), or 0 when `file` is no such name.
int Temporary_File_Owner(std::string path, std::string file);

// Always-on precondition check: names the source file and what the caller did wrong.
[[noreturn]] void Assertion_Failed(const char* expression, const char* file, int line, const char* message);

// A box of whole pixels (y down): left and top inclusive, right and bottom exclusive.
struct Pixel_Box {
    int left;
    int top;
    int right;
    int bottom;
    bool Empty() const { return right <= left || bottom <= top; }
    bool Covers(const Pixel_Box& other) const {
        return left <= other.left && top <= other.top && right >= other.right && bottom >= other.bottom;
    }
    Pixel_Box Common(const Pixel_Box& other) const {
        return Pixel_Box{std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
                         std::min(bottom, other.bottom)};
    }
};

}  // namespace Kelvane

#define KELVANE_ASSERT(expression, message) \
    ((expression) ? (void)0 : ::Kelvane::Assertion_Failed(#expression, __FILE__, __LINE__, message))

// A pair of floats, passed by value.
struct Vec2D {
    float x;
    float y;

    Vec2D(float x = 0.0f, float y = 0.0f) : x(x), y(y) {}

    void operator*=(float factor) {
        x *= factor;
        y *= factor;
    }
};

// Reads the longest numeric prefix after leading white space (classic locale);
// a text that does not start with a number gives 0.
float ToFloat(std::string text);
// ToFloat's reading, but false when the text does not start with a number or
// the number is beyond a float's range (so "nan", "inf" and "1e999" are refused).
bool Read_Float(std::string text, float& value);

// Default stream formatting: floats in 6 significant digits (60, 0.5, 1e+06).
template <typename T>
std::string ToString(T value) {
    std::stringstream stream;
    stream << value;
    return stream.str();
}

// Truncates toward zero like a cast, but NaN gives 0 and values beyond the int
// range give its ends, so a wild configuration value cannot cause undefined behaviour.
int Truncate_To_Int(float value);

// The remainder of value / count in 0 to count - 1, for negative values too:
// where something repeating (count > 0 places) puts the value-th one.
int Wrapped(int value, int count);
