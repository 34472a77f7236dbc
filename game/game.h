#pragma once
// The application object: owns the configuration, the log, the display, timer
// and event queue, both stores and the renderers, and runs the one main loop
// over a list of scenes, switching between them by name.

#include <list>
#include <string>
#include <vector>

struct ALLEGRO_DISPLAY;
union ALLEGRO_EVENT;
struct ALLEGRO_EVENT_QUEUE;
struct ALLEGRO_FONT;
struct ALLEGRO_TIMER;

namespace Kelvane {

class Bitmap_Manager;
class Config;
class Log;
class Renderer;
class Scene;
class Shader_Manager;

// The highest tick rate used: far beyond any display's rate, yet slow enough
// that the timer cannot post events faster than the loop takes them out.
const int MAX_FPS = 1000;
// A frame delta never exceeds two ticks, so a stall moves things at most that far.
const float MAX_DELTA = 2.0f;
// Queued ticks further behind the timer than this are dropped: a frame slower
// than the tick rate would otherwise pile up events without end, and input
// would answer later and later.
const int MAX_TICK_BACKLOG = 4;
// The game font's size in pixels.
const int DEFAULT_FONT_SIZE = 16;

class Game {
public:
    explicit Game(std::string name);
    // Closes a scene still running, then frees what the game made and was
    // given: scenes, renderers, both stores, the font, timer, queue, display,
    // configuration and log.
    ~Game();
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    // Set-up, then the loop; 0 after the last scene closed, 1 when set-up failed.
    int Main(int argc, char** argv);
    // Builds everything and starts the first scene; 1 on success, 0 on failure.
    int Setup(int argc, char** argv);
    bool Setup_Display();
    void Setup_Timer();
    void Update_Delta();
    void Reset_Delta();
    // Asks for a switch; a name no scene has asks for "no scene", ending the loop.
    void Set_Scene(std::string name);
    void Render();
    // The game owns the scenes from now on (made with new); one left out of a
    // later list is deleted then.
    void Set_Scene_List(std::list<Scene*> list);
    // Before Main: files or folders, relative to the run directory, that the
    // game reads besides the engine's own (shaders, fallback image). The working
    // directory is the run directory only when it holds them all; otherwise the
    // program's own folder, when that does.
    void Require_Assets(std::list<std::string> paths);
    // For a scene that builds its world in its start callback, between two
    // steps: shows a loading picture naming `what` with a bar at `progress`
    // (0 to 1) and takes the queued events. True once the user asked to quit
    // (Escape or the window's close button); the scene should then stop
    // building and return, and it is closed before any tick runs.
    bool Show_Loading(std::string what, float progress);

    ALLEGRO_DISPLAY* Get_Display() { return display; }
    Bitmap_Manager* Get_Bitmap_Manager() { return bitmap_manager; }
    Renderer* Get_First_Renderer() { return renderers.front(); }
    Log* Get_Log() { return log; }
    // For scenes to draw text with, after Render too: DEFAULT_FONT_PATH at
    // DEFAULT_FONT_SIZE, or the graphics library's built-in font when that file
    // cannot be loaded. Null until set-up has opened the display.
    ALLEGRO_FONT* Get_Font() { return font; }
    float Get_Delta() { return delta; }
    int Get_FPS() { return fps; }

private:
    // Steps 11 to 13 of set-up: picks and starts the first scene.
    int Start_First_Scene();
    // One tick: delta, input, the scene's update and draw, present.
    void Run_Tick();
    // Any event of the loop: ticks, the close button, input.
    void Handle_Event(const ALLEGRO_EVENT& event);
    // While a scene loads: no ticks, and Escape asks to quit as well.
    void Take_Loading_Events();
    void Draw_Loading(std::string what, float progress);
    // Keyboard, mouse and display events, besides the timer's; the input
    // follows this display's keyboard focus.
    void Register_Event_Sources();
    // True for a timer event that fell more than MAX_TICK_BACKLOG ticks behind.
    bool Is_Stale(const ALLEGRO_EVENT& event);
    // Between events: closes the old scene and starts the new one.
    void Switch_Pending_Scene();
    // Set-up's first step: finds the run directory, opens the log there, logs the choice.
    bool Open_Log();
    // A set-up failure: to the log and to standard error.
    void Report_Failure(std::string message);
    // Creates the display the configuration asks for, or the 640 x 480 fallback.
    bool Create_Display();
    // Shrinks the size to fit the limit named `limit`, logging it; true when it did.
    bool Fit_Display_Size(int* width, int* height, int limit_w, int limit_h, std::string limit);
    void Fit_Display_To_Largest_Texture();
    // The game font, or the built-in one with a line in the log.
    void Load_Font();

    std::string name;
    Config* config;
    Log* log;
    std::list<Renderer*> renderers;
    std::list<Scene*> scenes;
    Scene* current_scene;
    Scene* next_scene;
    ALLEGRO_DISPLAY* display;
    ALLEGRO_TIMER* timer;
    ALLEGRO_EVENT_QUEUE* event_queue;
    Shader_Manager* shader_manager;
    Bitmap_Manager* bitmap_manager;
    ALLEGRO_FONT* loading_font;
    ALLEGRO_FONT* font = nullptr;
    double last_time;
    int fps;
    float delta;
    std::vector<std::string> required_assets;
};

}  // namespace Kelvane
