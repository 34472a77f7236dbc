// Whole frames through the renderer and both GLSL programs, read back from the window, shadow map and GL state.

#include "render/renderer.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_primitives.h>  // Required for: drawing after a frame as a game does
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>

#include "core/log.h"
#include "render/picture.h"
#include "render/vobject_complex.h"
#include "resources/bitmap_manager.h"
#include "resources/shader.h"
#include "resources/shader_manager.h"
#include "support/scratch_dir.h"
#include "support/window.h"
#include "world/camera.h"
#include "world/light.h"

// Last: the GL headers pull in X11, whose Bool macro breaks gtest's headers.
#include <allegro5/allegro_opengl.h>

namespace {

using Kelvane::Light;
using Kelvane_Test::Pixel;
using Texel = std::array<Pixel, 3>;  // diffuse, normal, height

const Pixel GREY{160, 160, 160, 255}, RED{200, 40, 40, 255}, BLUE{40, 40, 200, 255}, BACKGROUND{100, 100, 100, 255};
const Pixel FLAT{128, 128, 255, 255}, PLUS_X{255, 128, 128, 255}, MINUS_X{0, 128, 128, 255};
const Pixel TOWARD_VIEWER{37, 218, 128, 255}, GROUND{0, 0, 0, 255}, TOP{255, 0, 0, 255};  // viewer: (-1, 1, 0)
const Pixel MAGENTA{255, 0, 255, 255}, GREEN{0, 255, 0, 255}, WHITE{255, 255, 255, 255};

ALLEGRO_COLOR Colour(Pixel p) { return al_map_rgba(p.r, p.g, p.b, p.a); }

// `tall`: screen pixels for a full height byte; the pivot is the images' top-left corner.
void Write_Object(const std::string& name, int w, int h, float tall, Texel (*texel)(int x, int y)) {
    std::string dir = "assets/objects/" + name + "/";
    for (int i = 0; i < 3; i++)
        Kelvane_Test::Write_Image(dir + std::array{"diffuse.png", "normal.png", "height.png"}[i], w, h,
                                  [&](int x, int y) { return Colour(texel(x, y)[i]); });
    Kelvane_Test::Write_File(dir + "settings.ini", "[General]\nHeight=" + ToString(tall) + "\nCenter_X=0\nCenter_Y=0");
}

// What `run` wrote to standard error.
std::string Said_On_Stderr(const std::function<void()>& run) {
    testing::internal::CaptureStderr();
    run();
    return testing::internal::GetCapturedStderr();
}

// The GL state a caller may rely on after drawing a frame, by name.
std::map<std::string, float> Callers_GL_State() {
    const std::pair<const char*, GLenum> read[] = {
        {"alpha test", GL_ALPHA_TEST}, {"alpha func", GL_ALPHA_TEST_FUNC}, {"alpha ref", GL_ALPHA_TEST_REF},
        {"blend", GL_BLEND}, {"blend src rgb", GL_BLEND_SRC_RGB}, {"blend dst rgb", GL_BLEND_DST_RGB},
        {"blend src alpha", GL_BLEND_SRC_ALPHA}, {"blend dst alpha", GL_BLEND_DST_ALPHA},
        {"blend equation rgb", GL_BLEND_EQUATION_RGB}, {"blend equation alpha", GL_BLEND_EQUATION_ALPHA},
        {"depth test", GL_DEPTH_TEST}, {"scissor test", GL_SCISSOR_TEST}, {"active texture", GL_ACTIVE_TEXTURE},
        {"program", GL_CURRENT_PROGRAM}};
    std::map<std::string, float> state;
    for (auto [name, what] : read) glGetFloatv(what, &state[name]);
    GLint box[4], active = 0, bound = 0;
    glGetIntegerv(GL_SCISSOR_BOX, box);
    for (int i = 0; i < 4; i++) state["scissor box " + ToString(i)] = box[i];
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    for (int unit = 0; unit < 3; unit++) {
        glActiveTexture(GL_TEXTURE0 + unit);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        state["texture on unit " + ToString(unit)] = bound;
    }
    glActiveTexture(active);
    return state;
}

Texel Roof(int, int y) { return y < 48 ? Texel{GREY, FLAT, TOP} : Texel{Pixel{}, FLAT, GROUND}; }  // flat, raised
Texel Wall(int, int y) { return {RED, TOWARD_VIEWER, {255 * (63 - y) / 63, 0, 0, 255}}; }       // upright
Texel Blue_Wall(int x, int y) { return {BLUE, Wall(x, y)[1], Wall(x, y)[2]}; }

class Renderer_Frame_Test : public Kelvane_Test::Window_Test {
protected:
    void SetUp() override {
        Window_Test::SetUp();
        std::filesystem::copy(scratch.Previous() + "/assets", "assets", std::filesystem::copy_options::recursive);
        Write_Object("roof", 128, 128, 64.0f, Roof);
        Write_Object("red_wall", 64, 64, 63.0f, Wall);
        sun.Set_Ambience(1.0f);  // with the sun overhead, upright and sideways faces show their own colours
        renderer = new Kelvane::Renderer(display, &shaders, 1920.0f, 1080.0f, 0.0f, 0.0f, 0.0f, 0.0f);
        camera.Set_Map_Width(3000.0f);  // the depth range grows with the map
    }

    void TearDown() override {
        Clear_Objects();
        for (Light* light : lights) delete light;
        delete renderer;
        al_set_target_backbuffer(display);
        if (target) al_destroy_bitmap(target);
    }

    void Clear_Objects() {
        for (Kelvane::VObject* object : objects) delete object;
        objects.clear();
    }

    Kelvane::VObject_Complex* Place(const std::string& name, float sx, float sy, float z = 0.0f) {
        Vec2D floor = camera.Screen_To_Proj(sx, sy, 0.0f);
        objects.push_back(new Kelvane::VObject_Complex(&store, &camera, name, floor.x, floor.y, z, 1.0f, true));
        return static_cast<Kelvane::VObject_Complex*>(objects.back());
    }
    // A flat grey floor over screen points left to left + 512, 150 to 406.
    void Place_Wide_Floor(float left) {
        Write_Object("wide_floor", 512, 256, 10.0f, [](int, int) { return Texel{GREY, FLAT, GROUND}; });
        Place("wide_floor", left, 150.0f);
    }
    // A flat grey floor over screen points 400-528 x 300-428.
    Kelvane::VObject_Complex* Place_Floor() {
        Write_Object("floor", 128, 128, 10.0f, [](int, int) { return Texel{GREY, FLAT, GROUND}; });
        return Place("floor", 400.0f, 300.0f);
    }

    void Render_Frame(int flags = 0) {
        al_set_target_bitmap(Target());
        al_clear_to_color(Colour(BACKGROUND));
        renderer->Render(&log, &objects, &lights, &sun, &camera, flags);
    }

    ALLEGRO_BITMAP* Target() { return target ? target : al_get_backbuffer(display); }

    Pixel At(float sx, float sy) {
        return Kelvane_Test::Read_Pixel(Target(), renderer->XtoRX(sx), renderer->YtoRY(sy));
    }

    // From here on frames go to an off-screen picture of that size, with a depth buffer.
    void Render_To_Picture(int width, int height) {
        delete renderer;
        renderer = new Kelvane::Renderer(display, &shaders, 1920.0f, 1080.0f, width, height, 0.0f, 0.0f);
        al_set_new_bitmap_depth(24);
        target = al_create_bitmap(width, height);
        al_set_new_bitmap_depth(0);
        ASSERT_NE(target, nullptr);
    }

    // The log holds `message` once, followed by the GL's reason naming `file`.
    void Expect_Logged_Once(const std::string& message, const std::string& file) {
        std::string text = Kelvane_Test::Read_File("game.log"), entry = "--> " + message + "\n";
        EXPECT_NE(text.find(file, text.find(entry)), std::string::npos) << text;
        EXPECT_EQ(text.find(entry), text.rfind(entry)) << text;
    }

    // The same once in the log and once in what was said on standard error, each time with the GL's reason.
    void Expect_Reported_Once(const std::string& message, const std::string& file, const std::string& said) {
        Expect_Logged_Once(message, file);
        EXPECT_NE(said.find(file, said.find(message)), std::string::npos) << said;
        EXPECT_EQ(said.find(message), said.rfind(message)) << said;
    }

    struct Spot { float x, y; Pixel colour; int tolerance; const char* where; };
    void Expect(std::initializer_list<Spot> spots) {  // each screen point's RGB within its tolerance
        for (const Spot& s : spots) {
            Pixel p = At(s.x, s.y);
            for (auto [got, want] : {std::pair{p.r, s.colour.r}, {p.g, s.colour.g}, {p.b, s.colour.b}})
                EXPECT_NEAR(got, want, s.tolerance) << s.where;
        }
    }

    // What the shadow map holds for screen point (x, y) of the picture: it repeats, and its rows count up
    // with the picture's y from its bottom row.
    Pixel Map_At(float x, float y) {
        ALLEGRO_BITMAP* map = renderer->Get_Shadow_Map();
        int size = al_get_bitmap_width(map);
        float texel = renderer->Get_Shadow_Extent().x / size;
        auto wrapped = [size](float at) { return ((static_cast<int>(std::floor(at)) % size) + size) % size; };
        return Kelvane_Test::Read_Pixel(map, wrapped(x / texel), size - 1 - wrapped(y / texel));
    }
    float Shadow_At(float x, float y) {  // the caster height held there, 1024 units per channel
        Pixel p = Map_At(x, y);
        return (p.r + p.g + p.b) / 255.0f * 1024.0f;
    }

    // With the sun from +x at 45 degrees: how much darker a roof at (left + 200, 120) makes the open floor from
    // screen x `left` in its lee; `sunny_open` becomes the open floor on the roof's sunny side.
    int Lee_Shade(float left) {
        sun = Light(0.7071068f, 0.0f, 0.7071068f, 0.0f, 1.0f, 1.0f, 1.0f, 0);
        Clear_Objects();
        Place_Wide_Floor(left);
        Render_Frame();
        int open = At(left + 249.0f, 231.0f + LEE_ROWS).r;
        sunny_open = At(left + 279.0f, 184.0f - LEE_ROWS);
        Place("roof", left + 200.0f, 120.0f);
        Render_Frame();
        return open - At(left + 249.0f, 231.0f + LEE_ROWS).r;
    }

    Kelvane_Test::Scratch_Dir scratch;
    Kelvane::Log log{"game.log"};
    Kelvane::Bitmap_Manager store;
    Kelvane::Shader_Manager shaders;
    Kelvane::Camera camera;
    const float LEE_ROWS = 15.0f * camera.Get_Projection_Factor();  // 30 units along x off the footprint's edges
    Pixel sunny_open;
    Light sun{0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0};
    std::list<Kelvane::VObject*> objects;
    std::list<Light*> lights;
    Kelvane::Renderer* renderer = nullptr;
    ALLEGRO_BITMAP* target = nullptr;  // null: the window's back buffer
};

TEST_F(Renderer_Frame_Test, Point_Lights_Reach_Surfaces_Facing_Them_Within_Range_And_Only_24_Count) {
    Write_Object("facing", 256, 64, 10.0f, [](int x, int) { return Texel{GREY, x < 128 ? PLUS_X : MINUS_X, GROUND}; });
    Place("facing", 200.0f, 300.0f);
    sun.Set_Ambience(0.2f);
    Vec2D centre = camera.Screen_To_Proj(328.0f, 332.0f, 0.0f);
    lights.push_back(new Light(centre.x + 400.0f, centre.y, 20.0f, 3000.0f, 1.0f, 1.0f, 1.0f, 0));
    Render_Frame();
    Pixel away = At(392.0f, 332.0f);
    EXPECT_GT(At(264.0f, 332.0f).r, away.r + 100);
    lights.push_back(new Light(centre.x - 236.0f, centre.y + 64.0f, 20.0f, 150.0f, 1, 1, 1, 0));  // faced, 300 off
    while (lights.size() < 30) lights.push_back(new Light(10.0f * lights.size(), 5.0f, 1.0f, 100.0f, 1, 1, 1, 0));
    Render_Frame();
    Expect({{392.0f, 332.0f, away, 0, "beyond the range"}});
    GLuint program = shaders.Get_Shader("assets/shader/object_light.glsl")->Get_Program();
    float count = -1.0f;
    glGetUniformfv(program, glGetUniformLocation(program, "lights_count"), &count);
    EXPECT_EQ(count, 24.0f);
}

// A roof at (300, 120) shows in rows 120-167 over its footprint: columns 300-427, rows 184-231.
TEST_F(Renderer_Frame_Test, A_Shadow_Falls_In_The_Lee_Of_Its_Caster_Not_On_Its_Sunny_Side_Nor_On_Itself) {
    EXPECT_GT(Lee_Shade(100.0f), 80);
    Expect({{379.0f, 184.0f - LEE_ROWS, sunny_open, 3, "on the sun's side of the caster"},
            {364.0f, 144.0f, sunny_open, 4, "the roof does not shade itself"}});
}

TEST_F(Renderer_Frame_Test, A_Low_Sun_Shifts_The_Footprint_In_The_Shadow_Map_Toward_The_Sun) {
    Place("roof", 300.0f, 120.0f);
    sun = Light(1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0);  // the shadow moves 6.4 units toward it
    Render_Frame();
    EXPECT_EQ(Shadow_At(301, 205), 0.0f);  // 3.2 columns right, 1.6 rows up
    EXPECT_GT(Shadow_At(305, 205), 100.0f);
}

TEST_F(Renderer_Frame_Test, The_Shadow_Map_Keeps_The_Tallest_Caster_Over_A_Point_Past_Its_First_Channel) {
    Write_Object("tall_roof", 128, 160, 96.0f, Roof);
    Place("roof", 300.0f, 120.0f);
    Place("tall_roof", 300.0f, 100.0f);  // the tallest of three over (364, 220), drawn first (lowest z)
    Place("roof", 300.0f, 132.0f, 10.0f);
    Place("roof", 600.0f, 100.0f, 1500.0f);  // its top passes the first channel
    Place_Wide_Floor(100.0f);                // what they shade
    Render_Frame();
    EXPECT_NEAR(Shadow_At(364, 220), 157.0f, 3.0f);  // 96 / hf, not 10 + 104 drawn later
    EXPECT_NEAR(Shadow_At(664, 188), 1604.0f, 3.0f);
}

// The roof over a floor from screen x `left` shades the floor's lee with the 1024 x 1024 fallback map, and on a
// 21:9 output right of screen x 2048, as it does on 16:9 with the full map.
TEST_F(Renderer_Frame_Test, Shadows_Fall_Alike_On_A_Smaller_Shadow_Map_And_Across_A_Wider_Output) {
    ASSERT_TRUE(renderer->Resize_Shadow_Map(1024));
    EXPECT_GT(Lee_Shade(100.0f), 80) << "1024 x 1024 map";
    Render_To_Picture(2520, 1080);
    EXPECT_GE(renderer->Get_Shadow_Extent().x, 2520.0f);
    EXPECT_GT(Lee_Shade(2100.0f), 80) << "21:9, right of screen x 2048";
    EXPECT_GT(Lee_Shade(100.0f), 80) << "21:9, left";
}

TEST_F(Renderer_Frame_Test, Without_A_Shadow_Program_The_Map_Is_Cleared_Objects_Still_Drawn_And_It_Is_Logged_Once) {
    Kelvane_Test::Write_File("assets/shader/object_shadow.glsl", "this is not GLSL");
    Place("roof", 300.0f, 120.0f);
    al_set_target_bitmap(renderer->Get_Shadow_Map());
    al_clear_to_color(al_map_rgb(255, 255, 255));
    std::string said = Said_On_Stderr([&] { for (int frame = 0; frame < 3; frame++) Render_Frame(); });
    EXPECT_EQ(Shadow_At(364, 200), 0.0f);
    EXPECT_GT(At(364.0f, 144.0f).r, BACKGROUND.r + 50);
    Expect_Reported_Once("Shadow Shader couldn't be loaded", "object_shadow.glsl", said);
}

// A program of the shadow pass that reads its texture_shadow_map unit sees what the caller left bound there,
// never the map it is drawing into.
TEST_F(Renderer_Frame_Test, The_Shadow_Pass_Samples_Nothing_It_Draws_Into) {
    Kelvane_Test::Write_File("assets/shader/object_shadow.glsl",
                             "#version 120\nuniform sampler2D texture;\nuniform sampler2D texture_shadow_map;\n"
                             "void main() {\n    if (texture2D(texture, gl_TexCoord[0].st).a < 0.5) discard;\n"
                             "    gl_FragColor = vec4(texture2D(texture_shadow_map, vec2(0.5)).rgb, 1.0);\n}\n");
    Kelvane::Shader* probe = shaders.Get_Shader("assets/shader/object_shadow.glsl");
    ASSERT_TRUE(probe->Is_Usable()) << probe->Get_Error();
    ALLEGRO_BITMAP* mark = al_create_bitmap(64, 64);
    al_set_target_bitmap(mark);
    al_clear_to_color(al_map_rgb(0, 200, 0));
    probe->Apply();
    probe->Set_GL_Texture("texture_shadow_map", 1, al_get_opengl_texture(mark));  // the unit its own renderer uses
    Kelvane::Shader::Clear();
    glActiveTexture(GL_TEXTURE0);
    renderer->Set_Reference_Path(true);  // every caster drawn
    Place("roof", 300.0f, 120.0f, 10.0f);
    Render_Frame();
    Pixel in_footprint = Map_At(364.0f, 200.0f);
    EXPECT_EQ((std::array{in_footprint.r, in_footprint.g, in_footprint.b}), (std::array{0, 200, 0}));
    al_destroy_bitmap(mark);
}

// Whatever a caller set up before a frame holds after it, whichever path drew; so text edges and other faint
// pixels drawn afterwards still show.
TEST_F(Renderer_Frame_Test, A_Frame_Leaves_The_GL_As_It_Found_It_So_Faint_Drawing_After_It_Still_Shows) {
    Kelvane_Test::Write_Image("blue.png", 32, 32, [](int, int) { return Colour(BLUE); });
    ALLEGRO_BITMAP* image = al_load_bitmap("blue.png");
    ALLEGRO_BITMAP* bound[3] = {al_create_bitmap(8, 8), al_create_bitmap(8, 8), al_create_bitmap(8, 8)};
    Kelvane::Shader callers_program("assets/shader/object_shadow.glsl", "#define THE_CALLERS_OWN\n");
    ASSERT_TRUE(callers_program.Is_Usable());
    Place("red_wall", 400.0f, 300.0f);
    Place("roof", 300.0f, 120.0f, 10.0f);
    objects.push_back(new Kelvane::VObject(image, 600.0f, 200.0f, 32.0f, 32.0f));
    for (bool exact : {false, true}) {
        renderer->Set_Reference_Path(exact);
        al_set_target_bitmap(Target());
        al_clear_to_color(Colour(BACKGROUND));
        al_set_clipping_rectangle(0, 0, 700, 500);
        for (int unit = 0; unit < 3; unit++) {
            glActiveTexture(GL_TEXTURE0 + unit);
            glBindTexture(GL_TEXTURE_2D, al_get_opengl_texture(bound[unit]));
        }
        glActiveTexture(GL_TEXTURE1);
        glAlphaFunc(GL_LEQUAL, 0.75f);
        glDisable(GL_BLEND);
        glBlendFuncSeparate(GL_ONE, GL_ZERO, GL_ZERO, GL_ONE);
        glBlendEquationSeparate(GL_FUNC_REVERSE_SUBTRACT, GL_MAX);
        glEnable(GL_DEPTH_TEST);
        callers_program.Apply();
        std::map<std::string, float> before = Callers_GL_State();
        renderer->Render(&log, &objects, &lights, &sun, &camera, 0);
        EXPECT_EQ(Callers_GL_State(), before) << (exact ? "exact path" : "fast path");
        EXPECT_EQ(al_get_target_bitmap(), Target());
        // The GL's defaults again, which the graphics library draws with (through unit 0).
        Kelvane::Shader::Clear();
        glActiveTexture(GL_TEXTURE0);
        glAlphaFunc(GL_ALWAYS, 0.0f);
        glBlendFunc(GL_ONE, GL_ZERO);
        glBlendEquation(GL_FUNC_ADD);
        glDisable(GL_DEPTH_TEST);
        al_reset_clipping_rectangle();
        Expect({{406.0f, 356.0f, RED, 2, "the wall"}, {600.0f, 200.0f, BLUE, 0, "the sprite"}});
    }
    al_draw_filled_rectangle(renderer->XtoRX(100.0f), renderer->YtoRY(700.0f), renderer->XtoRX(200.0f),
                             renderer->YtoRY(800.0f), al_premul_rgba_f(1.0f, 1.0f, 1.0f, 0.05f));
    Expect({{150.0f, 750.0f, Pixel{108, 108, 108, 255}, 1, "alpha 0.05 over the background"}});
    for (ALLEGRO_BITMAP* bitmap : bound) al_destroy_bitmap(bitmap);
    Clear_Objects();
    al_destroy_bitmap(image);
}

// Colour images are premultiplied: a half-covered edge pixel is the even mix of its lit colour and what lies behind.
TEST_F(Renderer_Frame_Test, A_Half_Transparent_Pixel_Mixes_Evenly_With_What_Lies_Behind) {
    Write_Object("white", 64, 64, 10.0f, [](int, int) { return Texel{WHITE, FLAT, GROUND}; });
    Write_Object("veil", 32, 32, 10.0f, [](int, int) { return Texel{Pixel{255, 255, 255, 128}, FLAT, GROUND}; });
    sun.Set_Strength(0.0f);  // lit by the sky alone, at exactly full strength
    Place("white", 400.0f, 300.0f);
    const float raised = 20.0f * camera.Get_Height_Factor();  // the veils float 20 units up, in front
    Place("veil", 416.0f, 316.0f + raised, 20.0f);
    Place("veil", 600.0f, 316.0f + raised, 20.0f);
    Render_Frame();
    Expect({{432.0f, 332.0f, WHITE, 2, "over a white surface"},
            {616.0f, 332.0f, Pixel{178, 178, 178, 255}, 2, "over the background grey"}});
}

// After a shadow pass the graphics library's own drawing keeps its colours.
TEST_F(Renderer_Frame_Test, Plain_Sprites_Land_Their_Pivot_In_The_View_In_Their_Own_Colours) {
    Kelvane_Test::Write_Image("halves.png", 32, 32, [](int x, int) { return Colour(x < 16 ? RED : BLUE); });
    ALLEGRO_BITMAP* image = al_load_bitmap("halves.png");
    ALLEGRO_BITMAP* wall = Kelvane::VObject_Complex(&store, &camera, "red_wall", 0, 0, 0, 1, true).Get_Actual_Bit();
    camera.Move_Target_X(100.0f);  // sprite positions are screen points relative to the view
    camera.Update(10.0f);
    objects.push_back(new Kelvane::VObject(image, 700.0f, 300.0f, 32.0f, 32.0f));  // z 0: before the roof
    objects.push_back(new Kelvane::VObject(wall, 400.0f, 500.0f, 32.0f, 32.0f));   // its 64 x 64 image halved
    Place("roof", 300.0f, 120.0f, 10.0f);
    Render_Frame();
    Expect({{592.0f, 300.0f, RED, 0, "sprite, left half"}, {608.0f, 300.0f, BLUE, 0, "sprite, right half"},
            {290.0f, 490.0f, RED, 0, "inside, 32 x 32 around"}, {319.0f, 500.0f, BACKGROUND, 0, "just outside"}});
    Clear_Objects();
    al_destroy_bitmap(image);
}

TEST_F(Renderer_Frame_Test, The_Nearer_Surface_Wins_Each_Pixel_Whatever_The_Order_Even_Far_Off_The_Map) {
    Write_Object("blue_wall", 64, 64, 63.0f, Blue_Wall);
    Place("red_wall", 400.0f, 300.0f);
    Place("blue_wall", 400.0f, 300.0f - 40.0f * camera.Get_Projection_Factor());  // 40 units farther: +x, -y
    Render_Frame();
    Expect({{432.0f, 320.0f, RED, 2, "overlap, nearer drawn first"}, {432.0f, 288.0f, BLUE, 2, "blue alone"}});
    float open = -1.0f;  // the depth buffer keeps its cleared value where nothing was drawn; GL rows count upward
    glReadPixels(renderer->XtoRX(100.0f), al_get_display_height(display) - 1 - renderer->YtoRY(100.0f), 1, 1,
                 GL_DEPTH_COMPONENT, GL_FLOAT, &open);
    EXPECT_EQ(open, 1.0f);
    objects.reverse();
    Render_Frame();
    Expect({{432.0f, 320.0f, RED, 2, "overlap, nearer drawn last"}});
    camera.Move_Target_Y(-30000.0f);
    camera.Update(10.0f);  // a delta of 10 lands on the target at once
    Place("red_wall", 400.0f, 300.0f + camera.Get_Y());
    Render_Frame();
    Expect({{432.0f, 332.0f, RED, 2, "far beyond the map's far edge"}});
}

// Pick against the picture: at every sampled output pixel it names the object whose colour shows there (the
// nearest, not the latest in the list; the first drawn where depths tie), none over the background or where
// only pixels that the alpha test drops lie.
TEST_F(Renderer_Frame_Test, Pick_Names_The_Object_Whose_Colour_Shows_At_Each_Pixel) {
    Write_Object("blue_wall", 64, 64, 63.0f, Blue_Wall);
    // Alpha 26 of 255 in the left half, dropped by the alpha test (0.1, which the GL rounds to 26 of 255 too);
    // 27 in the right half, drawn.
    Write_Object("faint", 32, 32, 10.0f,
                 [](int x, int) { return Texel{Pixel{255, 255, 255, x < 16 ? 26 : 27}, FLAT, GROUND}; });
    sun.Set_Strength(0.0f);  // the roof's flat top shows its own grey, as the walls' upright faces do
    Kelvane::VObject_Complex* red = Place("red_wall", 400.0f, 300.0f);
    Kelvane::VObject_Complex* blue = Place("blue_wall", 400.0f, 300.0f - 40.0f * camera.Get_Projection_Factor());
    Kelvane::VObject_Complex* roof = Place("roof", 420.0f, 270.0f);  // clear below row 318, over the walls
    Kelvane::VObject_Complex* faint = Place("faint", 700.0f, 300.0f);
    // What shows at an output pixel, by its colour.
    auto shown = [&](Pixel p) -> Kelvane::VObject_Complex* {
        if (p.r == BACKGROUND.r && p.g == BACKGROUND.g && p.b == BACKGROUND.b) return nullptr;
        if (p.r > p.b + 50) return red;
        if (p.b > p.r + 50) return blue;
        return std::abs(p.r - GREY.r) <= 2 ? roof : faint;
    };
    auto expect_picked_as_shown = [&](const char* scene) {
        Render_Frame();
        std::vector<std::pair<std::array<int, 2>, Kelvane::VObject_Complex*>> samples;
        ALLEGRO_BITMAP* picture = Target();
        al_lock_bitmap(picture, ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READONLY);
        for (int y = static_cast<int>(renderer->YtoRY(250.0f)); y < renderer->YtoRY(420.0f); y += 2)
            for (int x = static_cast<int>(renderer->XtoRX(380.0f)); x < renderer->XtoRX(760.0f); x += 2)
                samples.push_back({{x, y}, shown(Kelvane_Test::Read_Pixel(picture, x, y))});
        al_unlock_bitmap(picture);
        std::map<Kelvane::VObject_Complex*, int> seen;
        int wrong = 0;
        for (auto [at, object] : samples) {
            seen[object]++;
            // Anywhere in the pixel: the pointer's position may have a fraction.
            Kelvane::VObject_Complex* picked = renderer->Pick(&objects, &camera, at[0] + 0.7f, at[1] + 0.2f);
            if (picked != object && wrong++ == 0)
                ADD_FAILURE() << scene << ": at output pixel " << at[0] << ", " << at[1] << " Pick gave "
                              << (picked ? picked->Get_Name() : "none") << ", the picture shows "
                              << (object ? object->Get_Name() : "none");
        }
        EXPECT_EQ(wrong, 0) << scene << ", of " << samples.size();
        return seen;
    };
    std::map<Kelvane::VObject_Complex*, int> seen = expect_picked_as_shown("walls, roof and a faint square");
    for (Kelvane::VObject_Complex* object : {red, blue, roof, faint, static_cast<Kelvane::VObject_Complex*>(nullptr)})
        EXPECT_GT(seen[object], 20) << "too few samples show " << (object ? object->Get_Name() : "the background");
    EXPECT_EQ(renderer->Pick(&objects, &camera, renderer->XtoRX(432.0f), renderer->YtoRY(320.0f)), red)
        << "where both walls lie the nearer shows, though it comes first in the list";
    EXPECT_EQ(renderer->Pick(&objects, &camera, renderer->XtoRX(704.0f), renderer->YtoRY(316.0f)), nullptr)
        << "alpha 26 is dropped";

    objects.reverse();  // the same picture: depth decides, not the order
    EXPECT_EQ(expect_picked_as_shown("reversed")[red], seen[red]);
    blue->Set_Visible(false);
    expect_picked_as_shown("the far wall hidden");
    // Equal depths everywhere: the first drawn shows, whichever it is.
    blue->Set_Visible(true);
    blue->Set_X(red->Get_X()), blue->Set_Y(red->Get_Y());
    EXPECT_EQ(expect_picked_as_shown("blue first on red")[red], 0);
    objects.reverse();
    EXPECT_EQ(expect_picked_as_shown("red first on blue")[blue], 0);
}

// A game steers a light between frames: the next frame shows the light's new colour and reach.
TEST_F(Renderer_Frame_Test, A_Light_Changed_Between_Frames_Shows_Its_New_Reach_And_Colour_In_The_Next_Frame) {
    Place_Floor();
    sun.Set_Strength(0.0f);
    sun.Set_Ambience(0.25f);  // the grey at a quarter: 40
    const Vec2D middle(464.0f, 364.0f), foot = camera.Screen_To_Proj(middle.x, middle.y, 0.0f);  // the floor's middle
    Light* lamp = new Light(foot.x, foot.y, 60.0f, 20.0f, 1.0f, 1.0f, 1.0f, 0);  // 60 units over it
    lights.push_back(lamp);
    Render_Frame();
    Expect({{middle.x, middle.y, Pixel{40, 40, 40, 255}, 2, "out of the lamp's reach"}});
    lamp->Set_Range(400.0f);
    Render_Frame();
    Pixel white = At(middle.x, middle.y);
    EXPECT_GT(white.r, 80) << "within its reach";
    lamp->Set_Colour(0.0f, 1.0f, 0.0f);
    Render_Frame();
    Expect({{middle.x, middle.y, Pixel{40, white.g, 40, 255}, 2, "green"}});
    lamp->Set_B(1.0f);
    Render_Frame();
    Expect({{middle.x, middle.y, Pixel{40, white.g, white.b, 255}, 2, "cyan"}});
}

// The output is 4:3: it shows 1440 screen units across, not 1920.
TEST_F(Renderer_Frame_Test, The_World_Point_A_View_Is_Centred_On_Lies_In_The_Middle_Of_The_Output) {
    Kelvane::VObject_Complex* floor = Place_Floor();
    const Vec2D foot = camera.Screen_To_Proj(464.0f, 364.0f, 0.0f);  // the floor's middle
    renderer->Centre_On(&camera, foot.x, foot.y);
    camera.Jump_To_Target();
    Render_Frame();
    int w = al_get_bitmap_width(Target()), h = al_get_bitmap_height(Target());
    Pixel centre = Kelvane_Test::Read_Pixel(Target(), w / 2, h / 2);
    EXPECT_NE(centre.r, BACKGROUND.r);
    EXPECT_EQ(renderer->Pick(&objects, &camera, w / 2, h / 2), floor);
    EXPECT_EQ(renderer->Pick(&objects, &camera, w / 2 + renderer->XtoRX(60.0f), h / 2), floor) << "64 to either side";
    EXPECT_EQ(renderer->Pick(&objects, &camera, w / 2 + renderer->XtoRX(68.0f), h / 2), nullptr);
}

TEST_F(Renderer_Frame_Test, The_Normal_View_Shows_The_Normal_Image_Unlit) {
    Place("red_wall", 400.0f, 300.0f);
    Render_Frame(Kelvane::DEBUG_NORMALS);
    Expect({{432.0f, 332.0f, TOWARD_VIEWER, 2, "normal view"}, {432.0f, 363.0f, TOWARD_VIEWER, 2, "at height 0"}});
}

TEST_F(Renderer_Frame_Test, A_Hovered_Object_Shows_A_Half_Transparent_Copy_Of_Its_Image_Over_It) {
    Kelvane::VObject_Complex* wall = Place("red_wall", 400.0f, 300.0f);
    sun.Set_Ambience(0.5f);  // the wall lit at half its colour, under a copy of its image
    Render_Frame(Kelvane::DEBUG_EDITOR);
    Pixel lit = At(432.0f, 332.0f);
    wall->Set_Hover(true);
    Render_Frame(Kelvane::DEBUG_EDITOR);
    const float copy = 125.0f / 255.0f;  // a half-transparent copy mixes with the picture, it does not add
    auto mixed = [&](int image, int picture) { return static_cast<int>(copy * image + (1.0f - copy) * picture); };
    Expect({{432.0f, 332.0f, Pixel{mixed(RED.r, lit.r), mixed(RED.g, lit.g), mixed(RED.b, lit.b), 255}, 2, "hover"}});
}

// A green light far from the wall, 100 units over its floor point (700, 400).
TEST_F(Renderer_Frame_Test, The_Editor_Frames_The_Selected_And_The_Light_View_Marks_Each_Light_Alone) {
    Place("red_wall", 400.0f, 300.0f)->Select_Toggle();
    Vec2D floor = camera.Screen_To_Proj(700.0f, 400.0f, 0.0f);
    lights.push_back(new Light(floor.x, floor.y, 100.0f, 300.0f, 0.0f, 1.0f, 0.0f, 0));
    const Vec2D dot{700.0f, 400.0f - 100.0f * camera.Get_Height_Factor()};
    Render_Frame(Kelvane::DEBUG_EDITOR);
    Expect({{432.0f, 332.0f, RED, 2, "inside the frame, not hovered"}, {400.0f, 332.0f, MAGENTA, 0, "frame, left"},
            {432.0f, 364.0f, MAGENTA, 0, "frame, bottom"}, {dot.x, dot.y, BACKGROUND, 0, "no light marks"}});
    Render_Frame(Kelvane::DEBUG_LIGHTS);
    Expect({{400.0f, 332.0f, RED, 2, "no editor marks"}, {dot.x, dot.y, GREEN, 0, "dot"},
            {700.0f, 375.0f, GREEN, 0, "stalk"}, {700.0f, 410.0f, BACKGROUND, 0, "below the floor point"}});
}

// Without lighting each complex object shows its colour image over its quad, in depth order with the plain sprites.
TEST_F(Renderer_Frame_Test, A_Broken_Lighting_Program_Leaves_The_World_Unlit_In_Depth_Order_And_Says_So_Once) {
    Kelvane_Test::Write_File("assets/shader/object_light.glsl", "void main() { this is not GLSL }");
    Kelvane_Test::Write_Image("blue.png", 32, 32, [](int, int) { return Colour(BLUE); });
    ALLEGRO_BITMAP* image = al_load_bitmap("blue.png");
    Place("red_wall", 400.0f, 300.0f);                                           // 400-464 x 300-364
    objects.push_back(new Kelvane::VObject(image, 432.0f, 332.0f, 32.0f, 32.0f));  // 416-448 x 316-348
    objects.back()->Set_Z(1.0f);
    Place("roof", 436.0f, 336.0f + 10.0f * camera.Get_Height_Factor(), 10.0f);  // opaque 436-564 x 336-384
    std::string said = Said_On_Stderr([&] { for (int frame = 0; frame < 3; frame++) Render_Frame(); });
    Expect({{406.0f, 356.0f, RED, 0, "the wall"}, {424.0f, 326.0f, BLUE, 0, "the sprite over the wall"},
            {444.0f, 344.0f, GREY, 0, "the roof over both"}, {500.0f, 420.0f, BACKGROUND, 0, "the roof's clear part"}});
    Expect_Reported_Once("Lighting Shader couldn't be loaded", "object_light.glsl", said);
    EXPECT_NE(said.find("Lighting is off"), std::string::npos) << said;
    EXPECT_EQ(Kelvane_Test::Log_Messages(0, "Lighting is off").size(), 1u);
    Clear_Objects();
    al_destroy_bitmap(image);
}

// A sheet of three 32 x 48 frames, each showing its top 16 rows 24 pixels above the floor: frame 0 red over
// its whole width, frame 1 green on its left half, frame 2 blue on its right half.
Texel Flag(int x, int y) {
    int frame = x / 32, column = x % 32;
    bool shown = y < 16 && (frame == 0 || (frame == 1) == (column < 16));
    return shown ? Texel{std::array{RED, GREEN, BLUE}[frame], FLAT, TOP} : Texel{Pixel{}, FLAT, GROUND};
}

// The flag at (300, 120) shows in rows 120-135 over its footprint, rows 144-159; left half from column 300,
// right half from 316.
TEST_F(Renderer_Frame_Test, An_Animated_Object_Shows_Shades_And_Is_Hovered_As_Its_Frame_Shown) {
    Write_Object("flag", 96, 48, 24.0f, Flag);
    Kelvane_Test::Write_File("assets/objects/flag/settings.ini",
                             "[General]\nHeight=24\nCenter_X=0\nCenter_Y=0\nFrames=3\n");
    Kelvane::VObject_Complex* flag = Place("flag", 300.0f, 120.0f);
    auto dominant = [](Pixel p) { return p.r > p.g + 80 && p.r > p.b + 80 ? 'r' : p.g > p.r + 80 && p.g > p.b + 80 ? 'g'
                                                                               : p.b > p.r + 80 && p.b > p.g + 80 ? 'b'
                                                                                                                   : '-'; };
    auto shown = [&] { return std::string{dominant(At(308.0f, 128.0f)), dominant(At(324.0f, 128.0f))}; };
    auto shaded = [&] { return std::array{Shadow_At(308, 150) > 0.0f, Shadow_At(324, 150) > 0.0f}; };
    for (int frame : {0, 1, 2}) {
        flag->Set_Frame(frame);
        Render_Frame();
        EXPECT_EQ(shown(), (std::array{"rr", "g-", "-b"}[frame])) << "frame " << frame;
        EXPECT_EQ(shaded(), (std::array{frame != 2, frame != 1})) << "frame " << frame;
    }
    Expect({{308.0f, 128.0f, BACKGROUND, 0, "frame 2's clear half"}});

    flag->Set_Frame(1);
    sun.Set_Strength(0.0f), sun.Set_Ambience(0.3f);  // dim, so that the copy shows over it
    Render_Frame();
    Pixel plain = At(308.0f, 128.0f);
    flag->Set_Hover(true);
    Render_Frame(Kelvane::DEBUG_EDITOR);
    EXPECT_GT(At(308.0f, 128.0f).g, plain.g + 40) << "the hover copy lies over the frame";
    // The whole sheet squeezed onto the quad would show frame 2's blue there.
    Expect({{330.0f, 128.0f, BACKGROUND, 0, "and is as clear where the frame is"}});

    Kelvane_Test::Write_File("assets/shader/object_light.glsl", "void main() { this is not GLSL }");
    Kelvane::Shader_Manager unlit_shaders;
    Kelvane::Renderer unlit(display, &unlit_shaders, 1920.0f, 1080.0f, 0.0f, 0.0f, 0.0f, 0.0f);
    flag->Set_Frame(2);
    al_set_target_bitmap(Target());
    al_clear_to_color(Colour(BACKGROUND));
    Said_On_Stderr([&] { unlit.Render(&log, &objects, &lights, &sun, &camera, 0); });
    Expect({{308.0f, 128.0f, BACKGROUND, 0, "unlit, frame 2's clear half"}, {324.0f, 128.0f, BLUE, 0, "its blue half"}});
}

// The exact program draws in its place: the picture of the exact path, lit.
TEST_F(Renderer_Frame_Test, A_Lighting_Variant_That_Does_Not_Build_Leaves_The_Exact_Picture_And_Says_So_Once) {
    std::string source = Kelvane_Test::Read_File("assets/shader/object_light.glsl");
    size_t after_version = source.find('\n') + 1;
    Kelvane_Test::Write_File("assets/shader/object_light.glsl", source.substr(0, after_version) +
                                 "#ifdef NO_NORMAL_VIEW\nthis is not GLSL\n#endif\n" + source.substr(after_version));
    Place("red_wall", 400.0f, 300.0f);
    Place("roof", 300.0f, 120.0f, 10.0f);
    sun.Set_Ambience(0.5f);
    Kelvane::Picture pictures[2];
    std::string said = Said_On_Stderr([&] {
        for (bool exact : {true, false, false}) {
            renderer->Set_Reference_Path(exact);
            Render_Frame();
            pictures[exact] = Kelvane::Picture::Read(Target());
        }
    });
    EXPECT_EQ(pictures[0].Compare(pictures[1]).worst, 0);
    EXPECT_NEAR(At(406.0f, 356.0f).r, RED.r / 2, 2) << "lit at half its colour";
    Expect_Reported_Once("A Lighting Shader variant couldn't be loaded", "object_light.glsl", said);
    EXPECT_TRUE(Kelvane_Test::Log_Messages(0, "Lighting Shader couldn't be loaded").empty()) << "the exact one built";
}

}  // namespace
