#include "game/game.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_font.h>        // Required for: al_init_font_addon(), al_create_builtin_font()
#include <allegro5/allegro_image.h>       // Required for: al_init_image_addon()
#include <allegro5/allegro_opengl.h>      // Required for: al_have_opengl_extension()
#include <allegro5/allegro_primitives.h>  // Required for: al_init_primitives_addon(), al_draw_rectangle()
#include <allegro5/allegro_ttf.h>         // Required for: al_init_ttf_addon(), al_load_font() of a .ttf

#include <algorithm>   // Required for: std::min(), std::find()
#include <cstdlib>     // Required for: atexit(), strtod()
#include <filesystem>  // Required for: finding the folder that holds the assets
#include <iostream>    // Required for: std::cerr, where set-up failures also go

#include "core/common.h"
#include "core/config.h"
#include "core/log.h"
#include "game/scene.h"
#include "input/input.h"
#include "render/renderer.h"
#include "render/vobject_complex.h"  // Required for: Set_Tick_Rate(), so that clips know the tick length
#include "resources/bitmap_manager.h"
#include "resources/shader_manager.h"

namespace Kelvane {

namespace {

// The loading picture: white text and a bar over most of the window's width.
const float LOADING_BAR_MARGIN = 0.2f;  // of the window's width, left and right
const float LOADING_BAR_HEIGHT = 16.0f;
const float LOADING_TEXT_GAP = 24.0f;  // between the text lines and the bar
const float LOADING_BAR_BORDER = 2.0f;

// The loading picture on a w x h target: what is loaded, the bar, the way out.
void Draw_Loading_Picture(ALLEGRO_FONT* font, float w, float h, const std::string& what, float progress) {
    ALLEGRO_COLOR white = al_map_rgb(255, 255, 255);
    al_clear_to_color(al_map_rgb(0, 0, 0));
    float left = w * LOADING_BAR_MARGIN, right = w * (1.0f - LOADING_BAR_MARGIN), top = h / 2.0f;
    al_draw_text(font, white, w / 2.0f, top - 2.0f * LOADING_TEXT_GAP, ALLEGRO_ALIGN_CENTRE,
                 ("Loading " + what).c_str());
    al_draw_rectangle(left, top, right, top + LOADING_BAR_HEIGHT, white, LOADING_BAR_BORDER);
    al_draw_filled_rectangle(left, top, left + (right - left) * progress, top + LOADING_BAR_HEIGHT, white);
    al_draw_text(font, white, w / 2.0f, top + LOADING_BAR_HEIGHT + LOADING_TEXT_GAP, ALLEGRO_ALIGN_CENTRE,
                 "Escape quits");
}

// Every file the program reads lies under this folder of its run directory.
const char* const ASSETS_FOLDER = "assets";

const int FALLBACK_DISPLAY_W = 640;
const int FALLBACK_DISPLAY_H = 480;
// The renderer's per-pixel occlusion needs a depth buffer, and some drivers
// give none by default; asked as a suggestion so a window still opens without.
const int REQUESTED_DEPTH_BITS = 24;

// The running program's own file, a link the Linux kernel provides.
const char* const OWN_EXECUTABLE = "/proc/self/exe";
// Every game reads these; Require_Assets adds the game's own.
const char* const ENGINE_ASSETS[] = {"assets/shader/object_light.glsl", "assets/shader/object_shadow.glsl",
                                     "assets/shader/tile_compose.glsl", "assets/missing.png"};

// Or-s one flag into the new-display flags, read back from the library.
void Add_Display_Flag(int flag) {
    al_set_new_display_flags(al_get_new_display_flags() | flag);
}

std::string Size_Text(int width, int height) {
    return ToString(width) + "x" + ToString(height);
}

// The size of the monitor new displays open on; false when the library knows none.
bool Monitor_Size(int* width, int* height) {
    int adapter = al_get_new_display_adapter();
    ALLEGRO_MONITOR_INFO info;
    if (!al_get_monitor_info(adapter == ALLEGRO_DEFAULT_DISPLAY_ADAPTER ? 0 : adapter, &info)) return false;
    *width = info.x2 - info.x1;
    *height = info.y2 - info.y1;
    return true;
}

// Missing images are replaced by this one, and the bitmap store ends the
// process when it cannot be had: checked before any window opens, and reported.
bool Fallback_Image_Loads() {
    ALLEGRO_BITMAP* image = al_load_bitmap(DEFAULT_MISSING_BITMAP.c_str());
    if (!image) return false;
    al_destroy_bitmap(image);
    return true;
}

// A folder the program may run in, and how the log names it.
struct Candidate {
    std::filesystem::path folder;
    std::string called;
};

// The first of `paths` (relative to `folder`) that is not there; "" when all are.
std::string First_Missing(const std::filesystem::path& folder, const std::vector<std::string>& paths) {
    std::error_code error;
    for (const std::string& path : paths)
        if (!std::filesystem::exists(folder / path, error)) return path;
    return "";
}

// The run directory is the one whose assets folder holds what the game reads:
// the working directory, or else the program's own folder; failing both, the
// first that has an assets folder at all. It becomes the working directory, so
// the log and the configuration are kept beside the assets they belong to.
// Null, with the reason in `note`, when neither has an assets folder.
const Candidate* Choose_Run_Directory(const std::vector<Candidate>& candidates,
                                      const std::vector<std::string>& required, std::string* note) {
    for (const Candidate& candidate : candidates) {
        if (!First_Missing(candidate.folder, required).empty()) continue;
        *note = "Run directory: " + candidate.folder.string() + ", " + candidate.called + ".";
        if (&candidate != &candidates.front())
            *note += " The working directory lacks " + First_Missing(candidates.front().folder, required) + ".";
        return &candidate;
    }
    for (const Candidate& candidate : candidates) {
        std::string missing = First_Missing(candidate.folder, {ASSETS_FOLDER});
        if (!missing.empty()) continue;
        *note = "Run directory: " + candidate.folder.string() + ", " + candidate.called + ", though it lacks " +
                First_Missing(candidate.folder, required) + ".";
        return &candidate;
    }
    *note = "No " + std::string(ASSETS_FOLDER) + " folder in the working directory " +
            candidates.front().folder.string() + " nor beside the program in " + candidates.back().folder.string() +
            "; nothing to run with.";
    return nullptr;
}

bool Enter_Run_Directory(const std::vector<std::string>& required, std::string* note) {
    std::error_code error;
    std::vector<Candidate> candidates = {
        {std::filesystem::current_path(error), "the working directory"},
        {std::filesystem::read_symlink(OWN_EXECUTABLE, error).parent_path(), "the program's folder"}};
    const Candidate* chosen = Choose_Run_Directory(candidates, required, note);
    if (!chosen) return false;
    std::filesystem::current_path(chosen->folder, error);
    return !error;
}

}  // namespace

Game::Game(std::string name)
    : name(name), config(nullptr), log(nullptr), current_scene(nullptr), next_scene(nullptr),
      display(nullptr), timer(nullptr), event_queue(nullptr), shader_manager(nullptr),
      bitmap_manager(nullptr), loading_font(nullptr), last_time(0.0), fps(DEFAULT_FPS), delta(1.0f),
      required_assets(std::begin(ENGINE_ASSETS), std::end(ENGINE_ASSETS)) {}

Game::~Game() {
    // A scene still running (set up, never looped) lets go of its world first.
    if (current_scene) current_scene->Close(this);
    for (Scene* scene : scenes) delete scene;
    // GL objects go while the display's context is still there.
    for (Renderer* renderer : renderers) delete renderer;
    delete shader_manager;
    delete bitmap_manager;
    for (ALLEGRO_FONT* made : {loading_font, font})
        if (made) al_destroy_font(made);
    if (timer) al_destroy_timer(timer);
    if (event_queue) al_destroy_event_queue(event_queue);
    if (display) al_destroy_display(display);
    delete config;
    delete log;
}

void Game::Require_Assets(std::list<std::string> paths) {
    required_assets.insert(required_assets.end(), paths.begin(), paths.end());
}

int Game::Main(int argc, char** argv) {
    if (!Setup(argc, argv)) {
        if (log) log->Write("Setup didn't succeed.");
        return 1;
    }
    log->Write("Game Setup succesfully");
    al_start_timer(timer);
    Reset_Delta();
    log->Write("Timer Started and Delta Reset");
    // Loading may have been cancelled in the first scene's start: no tick then.
    Switch_Pending_Scene();
    while (current_scene) {
        ALLEGRO_EVENT event;
        al_wait_for_event(event_queue, &event);
        Handle_Event(event);
        Switch_Pending_Scene();
    }
    return 0;
}

int Game::Setup(int, char**) {
    if (!Open_Log()) return 0;
    config = new Config(DEFAULT_CONFIGURATION_PATH);
    if (!config->Is_Loaded())
        log->Write("Configuration file " + DEFAULT_CONFIGURATION_PATH +
                   " couldn't be read; the defaults are used and the file is left as it is.");
    if (!al_install_system(ALLEGRO_VERSION_INT, atexit)) {
        Report_Failure("Error when initializing Allegro.");
        return 0;
    }
    al_init_image_addon();
    al_init_primitives_addon();
    al_init_font_addon();
    al_init_ttf_addon();
    al_install_keyboard();
    al_install_mouse();
    log->Write("Allegro initialized.");
    Init_Mapping();
    log->Write("Keyboard Mapping initialized.");
    if (!Fallback_Image_Loads()) {
        Report_Failure("The fallback image " + DEFAULT_MISSING_BITMAP + " couldn't be loaded.");
        return 0;
    }
    event_queue = al_create_event_queue();
    if (!Setup_Display()) return 0;
    log->Write("Display Created.");
    Load_Font();
    Register_Event_Sources();
    Setup_Timer();
    log->Write("Timer set-up");
    Reset_Delta();
    if (config->Save())
        log->Write("Saved Configuration file");
    else if (config->Is_Loaded())
        log->Write("Configuration file " + DEFAULT_CONFIGURATION_PATH + " couldn't be saved; its values are used all the same.");
    return Start_First_Scene();
}

// Nothing is written before the run directory is known: a start from the
// wrong folder must leave no log there.
bool Game::Open_Log() {
    std::string note;
    if (!Enter_Run_Directory(required_assets, &note)) {
        Report_Failure(note);
        return false;
    }
    log = new Log(DEFAULT_LOG_PATH);
    log->Write(note);
    return true;
}

// Whoever started the program learns why set-up stopped without opening the log.
void Game::Report_Failure(std::string message) {
    if (log) log->Write(message);
    if (!log || log->Is_Open()) std::cerr << message << "\n";
}

int Game::Start_First_Scene() {
    if (scenes.empty()) {
        log->Write("Can't start the game with no scenes available!");
        return 0;
    }
    if (!next_scene) {
        current_scene = scenes.front();
        next_scene = current_scene;
    } else {
        current_scene = next_scene;
    }
    current_scene->Start(this);
    return 1;
}

bool Game::Create_Display() {
    al_set_new_display_flags(ALLEGRO_OPENGL);
    log->Write("Set ALLEGRO_OPENGL flag");
    int mode = Truncate_To_Int(config->Get_Float("Display", "Mode", 2.0f));
    if (mode == 2)
        Add_Display_Flag(ALLEGRO_FULLSCREEN_WINDOW);
    else if (mode == 1)
        Add_Display_Flag(ALLEGRO_WINDOWED);
    else
        Add_Display_Flag(ALLEGRO_FULLSCREEN);
    Add_Display_Flag(ALLEGRO_WINDOWED);
    log->Write("Set Window Mode Display flags");
    int height = Truncate_To_Int(config->Get_Float("Display", "Height", 600.0f));
    int width = Truncate_To_Int(config->Get_Float("Display", "Width", 800.0f));
    int screen_w = 0, screen_h = 0;
    if (Monitor_Size(&screen_w, &screen_h)) Fit_Display_Size(&width, &height, screen_w, screen_h, "the screen");
    al_set_new_display_option(ALLEGRO_DEPTH_SIZE, REQUESTED_DEPTH_BITS, ALLEGRO_SUGGEST);
    display = al_create_display(width, height);
    if (!display) {
        log->Write("Requested Display couldn't be created, defaulting to 640x480 in Windowed Mode.");
        al_set_new_display_flags(ALLEGRO_OPENGL | ALLEGRO_WINDOWED);
        display = al_create_display(FALLBACK_DISPLAY_W, FALLBACK_DISPLAY_H);
        log->Write("Asserting new display");
        if (!display) {
            Report_Failure("The 640x480 fallback display couldn't be created either.");
            return false;
        }
    }
    Fit_Display_To_Largest_Texture();
    log->Write("Display was created");
    return true;
}

// A display larger than the screen or the GL's textures breaks inside the
// driver; the requested size is shrunk instead (the configuration keeps the
// user's values). True when it was.
bool Game::Fit_Display_Size(int* width, int* height, int limit_w, int limit_h, std::string limit) {
    if (*width <= limit_w && *height <= limit_h) return false;
    int fitted_w = std::min(*width, limit_w);
    int fitted_h = std::min(*height, limit_h);
    log->Write("Requested display " + Size_Text(*width, *height) + " is larger than " + limit + " (" +
               Size_Text(limit_w, limit_h) + "), using " + Size_Text(fitted_w, fitted_h) + ".");
    *width = fitted_w;
    *height = fitted_h;
    return true;
}

// The GL's texture limit is known only once a display exists; 0 when it gave none.
void Game::Fit_Display_To_Largest_Texture() {
    int largest = al_get_display_option(display, ALLEGRO_MAX_BITMAP_SIZE);
    if (largest <= 0) return;
    int width = al_get_display_width(display);
    int height = al_get_display_height(display);
    if (Fit_Display_Size(&width, &height, largest, largest, "the largest texture"))
        al_resize_display(display, width, height);
}

// Once the display exists, so that the glyphs are drawn from its textures.
void Game::Load_Font() {
    font = al_load_font(DEFAULT_FONT_PATH.c_str(), DEFAULT_FONT_SIZE, 0);
    if (font) return;
    font = al_create_builtin_font();
    log->Write("Game font " + DEFAULT_FONT_PATH + " couldn't be loaded; text is drawn in the built-in font.");
}

bool Game::Setup_Display() {
    log->Write("Starting display setup.");
    if (!Create_Display()) return false;
    if (!al_have_opengl_extension("GL_EXT_framebuffer_object")) {
        Report_Failure("System doesn't support FBOs");
        return false;
    }
    if (!al_have_opengl_extension("GL_ARB_fragment_shader")) {
        Report_Failure("System doesn't support Pixel shader 2.0");
        return false;
    }
    shader_manager = new Shader_Manager();
    log->Write("Shader Manager created succesfully");
    bitmap_manager = new Bitmap_Manager();
    log->Write("Bitmap Manager created succesfully");
    al_set_window_title(display, name.c_str());
    log->Write("Set Display title");
    renderers.push_back(new Renderer(display, shader_manager, DEFAULT_INTERNAL_RES_W, DEFAULT_INTERNAL_RES_H,
                                     0, 0, 0, 0));
    log->Write("Renderer added to the general list");
    return true;
}

void Game::Setup_Timer() {
    std::string written = config->Get_String("Game", "FPS", ToString(static_cast<float>(DEFAULT_FPS)));
    // Read as a double, so that a rate far beyond a float's range still counts as too high.
    double rate = std::strtod(written.c_str(), nullptr);
    // A rate below 1 would make the timer period endless or negative.
    fps = rate >= MAX_FPS ? MAX_FPS : rate >= 1.0 ? static_cast<int>(rate) : DEFAULT_FPS;
    if (!(rate >= 1.0 && rate <= MAX_FPS))
        log->Write("FPS " + written + " is not a usable tick rate, using " + ToString(fps) + ".");
    // Clips play at their frames per second whatever the tick rate.
    VObject_Complex::Set_Tick_Rate(fps);
    timer = al_create_timer(1.0 / fps);
    al_register_event_source(event_queue, al_get_timer_event_source(timer));
}

void Game::Update_Delta() {
    delta = static_cast<float>(al_get_time() - last_time);
    delta = delta / (1.0 / fps);
    last_time = al_get_time();
    if (delta > MAX_DELTA) delta = MAX_DELTA;
}

void Game::Reset_Delta() {
    last_time = al_get_time();
    delta = 1.0f;
}

void Game::Set_Scene(std::string scene_name) {
    next_scene = nullptr;
    for (Scene* scene : scenes) {
        if (scene->Get_Name() == scene_name) {
            next_scene = scene;
            break;
        }
    }
}

void Game::Render() {
    al_flip_display();
}

void Game::Set_Scene_List(std::list<Scene*> list) {
    for (Scene* scene : scenes)
        if (std::find(list.begin(), list.end(), scene) == list.end()) delete scene;
    scenes = list;
}

void Game::Run_Tick() {
    Update_Delta();
    Poll_Input(this);
    current_scene->Update(this, delta);
    current_scene->Draw(this);
    Render();
}

bool Game::Is_Stale(const ALLEGRO_EVENT& event) {
    return al_get_timer_count(timer) - event.timer.count > MAX_TICK_BACKLOG;
}

void Game::Handle_Event(const ALLEGRO_EVENT& event) {
    if (event.type == ALLEGRO_EVENT_TIMER) {
        if (!Is_Stale(event)) Run_Tick();
    } else if (event.type == ALLEGRO_EVENT_DISPLAY_CLOSE) {
        next_scene = nullptr;  // like a scene asking for no scene
    } else {
        Handle_Input_Event(event);
    }
}

// A scene that asks for another while it starts (its loading cancelled) is
// left at once, before any tick.
void Game::Switch_Pending_Scene() {
    while (next_scene != current_scene) {
        current_scene->Close(this);
        current_scene = next_scene;
        if (current_scene) current_scene->Start(this);
    }
}

void Game::Register_Event_Sources() {
    Set_Input_Display(display);
    if (al_is_keyboard_installed()) al_register_event_source(event_queue, al_get_keyboard_event_source());
    if (al_is_mouse_installed()) al_register_event_source(event_queue, al_get_mouse_event_source());
    al_register_event_source(event_queue, al_get_display_event_source(display));
}

bool Game::Show_Loading(std::string what, float progress) {
    KELVANE_ASSERT(progress >= 0.0f && progress <= 1.0f, "loading progress must lie between 0 and 1");
    bool quitting = !next_scene;
    Draw_Loading(what, progress);
    Render();
    Take_Loading_Events();
    if (!next_scene && !quitting) log->Write("Loading cancelled.");
    return !next_scene;
}

void Game::Take_Loading_Events() {
    ALLEGRO_EVENT event;
    while (al_get_next_event(event_queue, &event)) {
        if (event.type == ALLEGRO_EVENT_TIMER) continue;
        if (event.type == ALLEGRO_EVENT_KEY_DOWN && event.keyboard.keycode == ALLEGRO_KEY_ESCAPE) next_scene = nullptr;
        Handle_Event(event);
    }
}

// Drawn in window pixels on the back buffer, whatever the caller's target and transform.
void Game::Draw_Loading(std::string what, float progress) {
    if (!loading_font) loading_font = al_create_builtin_font();
    ALLEGRO_BITMAP* target = al_get_target_bitmap();
    al_set_target_backbuffer(display);
    ALLEGRO_TRANSFORM caller_transform, identity;
    al_copy_transform(&caller_transform, al_get_current_transform());
    al_identity_transform(&identity);
    al_use_transform(&identity);
    Draw_Loading_Picture(loading_font, static_cast<float>(al_get_display_width(display)),
                         static_cast<float>(al_get_display_height(display)), what, progress);
    al_use_transform(&caller_transform);
    al_set_target_bitmap(target);
}

}  // namespace Kelvane
