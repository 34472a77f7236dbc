// Whole frames through the renderer and the two GLSL programs, checked on the
// pixels they leave in a real window, in the shadow map and in the GL state.
// The scenes are tiny object folders made here, each image placed with its
// top-left corner (pivot 0, 0) on a chosen point of the screen.

#include "render/renderer.h"

#include <allegro5/allegro.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <list>
#include <string>

#include "core/common.h"
#include "core/log.h"
#include "render/vobject.h"
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
using Kelvane::VObject_Complex;
using Kelvane_Test::Pixel;
using Pixel_Rule = std::function<Pixel(int x, int y)>;

const char* const LIGHTING_PATH = "assets/shader/object_light.glsl";
const char* const SHADOW_PATH = "assets/shader/object_shadow.glsl";

const Pixel GREY{160, 160, 160, 255};
const Pixel RED{200, 40, 40, 255};
const Pixel BLUE{40, 40, 200, 255};
const Pixel CLEAR{0, 0, 0, 0};
const Pixel FLAT_NORMAL{128, 128, 255, 255};
const Pixel FACING_PLUS_X{255, 128, 128, 255};
const Pixel FACING_MINUS_X{0, 128, 128, 255};
// Toward the viewer: (-1, 1, 0) / sqrt(2).
const Pixel FACING_VIEWER{37, 218, 128, 255};
const Pixel GROUND_LEVEL{0, 0, 0, 255};
const Pixel FULL_HEIGHT{255, 0, 0, 255};
const Pixel BACKGROUND{100, 100, 100, 255};

// Shadow map: world height units per channel (see docs/encodings.md).
const float SHADOW_SEGMENT = 1024.0f;

Pixel_Rule Fill(Pixel pixel) {
    return [pixel](int, int) { return pixel; };
}

// Rows above `rows` get `upper`, the rest `lower`.
Pixel_Rule Upper_Rows(int rows, Pixel upper, Pixel lower) {
    return [=](int, int y) { return y < rows ? upper : lower; };
}

void Write_Image(const std::string& path, int w, int h, const Pixel_Rule& rule) {
    int flags = al_get_new_bitmap_flags();
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    ALLEGRO_BITMAP* image = al_create_bitmap(w, h);
    al_set_new_bitmap_flags(flags);
    ALLEGRO_BITMAP* target = al_get_target_bitmap();
    al_set_target_bitmap(image);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            Pixel p = rule(x, y);
            al_put_pixel(x, y, al_map_rgba(p.r, p.g, p.b, p.a));
        }
    }
    al_set_target_bitmap(target);
    ASSERT_TRUE(al_save_bitmap(path.c_str(), image)) << path;
    al_destroy_bitmap(image);
}

struct Object_Images {
    int w;
    int h;
    float tall;  // screen pixels for a full height byte
    Pixel_Rule diffuse;
    Pixel_Rule normal;
    Pixel_Rule height;
};

// An object folder whose pivot is the image's top-left corner.
void Write_Object(const std::string& name, const Object_Images& images) {
    std::string folder = "assets/objects/" + name + "/";
    std::filesystem::create_directories(folder);
    Write_Image(folder + "diffuse.png", images.w, images.h, images.diffuse);
    Write_Image(folder + "normal.png", images.w, images.h, images.normal);
    Write_Image(folder + "height.png", images.w, images.h, images.height);
    Kelvane_Test::Write_File(folder + "settings.ini", "[General]\nHeight=" + ToString(images.tall) +
                                                          "\nCenter_X=0\nCenter_Y=0\n");
}

// A flat floor patch at height 0.
void Write_Floor(const std::string& name, int w, int h, Pixel_Rule normal) {
    Write_Object(name, {w, h, 10.0f, Fill(GREY), normal, Fill(GROUND_LEVEL)});
}

const int ROOF_ROWS = 48;

// A flat roof in the top ROOF_ROWS rows, `tall` pixels up: its footprint lies
// `tall` rows lower in the image, so the image is 128 wide and tall + 64 high.
void Write_Roof(const std::string& name, int tall) {
    Write_Object(name, {128, tall + 64, static_cast<float>(tall), Upper_Rows(ROOF_ROWS, GREY, CLEAR),
                        Fill(FLAT_NORMAL), Upper_Rows(ROOF_ROWS, FULL_HEIGHT, GROUND_LEVEL)});
}

// A 64 x 64 upright wall facing the viewer: every row drops onto the bottom one.
void Write_Wall(const std::string& name, Pixel colour) {
    Write_Object(name, {64, 64, 63.0f, Fill(colour), Fill(FACING_VIEWER), [](int, int y) {
                            return Pixel{255 * (63 - y) / 63, 0, 0, 255};
                        }});
}

void Copy_From_Stage(const Kelvane_Test::Scratch_Dir& scratch, const std::string& path) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::filesystem::copy_file(scratch.Previous() + "/" + path, path);
}

// The height a shadow map pixel holds.
float Decode_Shadow(Pixel pixel) {
    return (pixel.r + pixel.g + pixel.b) / 255.0f * SHADOW_SEGMENT;
}

class Renderer_Frame_Test : public Kelvane_Test::Window_Test {
protected:
    void SetUp() override {
        Window_Test::SetUp();
        Copy_From_Stage(scratch, LIGHTING_PATH);
        Copy_From_Stage(scratch, SHADOW_PATH);
        camera.Set_Map_Width(3000.0f);
        camera.Set_Map_Height(4000.0f);
        camera.Set_Map_Tall(2400.0f);
        Set_Sky(1.0f, 0.0f);
    }

    void TearDown() override {
        for (Kelvane::VObject* object : objects) delete object;
        for (Light* light : lights) delete light;
        if (renderer) al_destroy_bitmap(renderer->Get_Shadow_Map());
        delete renderer;
        // The renderer leaves the alpha test on by design; the next test starts clean.
        glDisable(GL_ALPHA_TEST);
    }

    // Made on first use, so a test can change the shader files before they are built.
    Kelvane::Renderer* Frame_Renderer() {
        if (!renderer) renderer = new Kelvane::Renderer(display, &shaders, 1920.0f, 1080.0f, 0.0f, 0.0f, 0.0f, 0.0f);
        return renderer;
    }

    // White sky light; the sun shines from straight above unless Set_Sun turns it.
    void Set_Sky(float ambience, float sun_strength) {
        sun.Set_Ambience(ambience);
        sun.Set_Strength(sun_strength);
    }

    void Set_Sun(float x, float y, float z) {
        sun.Set_X(x);
        sun.Set_Y(y);
        sun.Set_Z(z);
        sun.Normalize();
    }

    // The object's image gets its top-left corner on screen point (sx, sy) when z is 0;
    // a raised object is drawn hf x z higher, its shadow stays there.
    VObject_Complex* Place(const std::string& name, float sx, float sy, float z = 0.0f) {
        Vec2D floor = camera.Screen_To_Proj(sx, sy, 0.0f);
        VObject_Complex* object = new VObject_Complex(&store, &camera, name, floor.x, floor.y, z, 1.0f, true);
        objects.push_back(object);
        return object;
    }

    Light* Add_Light(float x, float y, float z, float range, float r, float g, float b) {
        lights.push_back(new Light(x, y, z, range, r, g, b, 0));
        return lights.back();
    }

    void Render_Frame(int flags = 0) {
        al_set_target_backbuffer(display);
        al_clear_to_color(al_map_rgba(BACKGROUND.r, BACKGROUND.g, BACKGROUND.b, BACKGROUND.a));
        Frame_Renderer()->Render(&log, &objects, &lights, &sun, &camera, flags);
    }

    // The output pixel showing screen point (sx, sy).
    Pixel At(float sx, float sy) {
        return Kelvane_Test::Read_Pixel(al_get_backbuffer(display), Output_X(sx), Output_Y(sy));
    }

    int Output_X(float sx) { return static_cast<int>(Frame_Renderer()->XtoRX(sx)); }
    int Output_Y(float sy) { return static_cast<int>(Frame_Renderer()->YtoRY(sy)); }

    float Depth_At(float sx, float sy) {
        float depth = -1.0f;
        int height = al_get_display_height(display);
        glReadPixels(Output_X(sx), height - 1 - Output_Y(sy), 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
        return depth;
    }

    // Where the floor point seen at (sx, sy) moves to on screen when shifted by (dx, dy).
    Vec2D Floor_Moved(float sx, float sy, float dx, float dy) {
        Vec2D floor = camera.Screen_To_Proj(sx, sy, 0.0f);
        return camera.Proj_To_Screen(floor.x + dx, floor.y + dy, 0.0f);
    }

    Kelvane_Test::Scratch_Dir scratch;
    Kelvane::Log log{"game.log"};
    Kelvane::Bitmap_Manager store;
    Kelvane::Shader_Manager shaders;
    Kelvane::Camera camera;
    Light sun{0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f, 1.0f, 0};
    std::list<Kelvane::VObject*> objects;
    std::list<Light*> lights;
    Kelvane::Renderer* renderer = nullptr;
};

void Expect_Colour(Pixel actual, Pixel expected, int tolerance, const std::string& where) {
    EXPECT_NEAR(actual.r, expected.r, tolerance) << where;
    EXPECT_NEAR(actual.g, expected.g, tolerance) << where;
    EXPECT_NEAR(actual.b, expected.b, tolerance) << where;
}

TEST_F(Renderer_Frame_Test, A_Surface_Facing_A_Point_Light_Is_Brighter_Than_One_Facing_Away) {
    // Left half faces +x, right half -x; the light stands far out along +x.
    Write_Floor("facing", 256, 64, [](int x, int) { return x < 128 ? FACING_PLUS_X : FACING_MINUS_X; });
    Place("facing", 200.0f, 300.0f);
    Vec2D centre = camera.Screen_To_Proj(328.0f, 332.0f, 0.0f);
    Add_Light(centre.x + 400.0f, centre.y, 20.0f, 3000.0f, 1.0f, 1.0f, 1.0f);
    Set_Sky(0.2f, 0.0f);
    Render_Frame();

    Pixel toward = At(264.0f, 332.0f);
    Pixel away = At(392.0f, 332.0f);
    EXPECT_GT(toward.r, away.r + 100);
    // Turned away, only the sky's ambient share is left.
    EXPECT_NEAR(away.r, 0.2f * GREY.r, 3);
}

TEST_F(Renderer_Frame_Test, A_Point_Light_Reaches_Exactly_Its_Range) {
    Write_Floor("floor", 512, 256, Fill(FLAT_NORMAL));
    Place("floor", 100.0f, 200.0f);
    Set_Sky(0.3f, 0.0f);
    Render_Frame();
    Pixel near_unlit = At(200.0f, 300.0f);
    Pixel far_unlit = At(500.0f, 300.0f);

    Vec2D under = camera.Screen_To_Proj(200.0f, 300.0f, 0.0f);
    Add_Light(under.x, under.y, 50.0f, 150.0f, 1.0f, 1.0f, 1.0f);
    Render_Frame();

    EXPECT_GT(At(200.0f, 300.0f).r, near_unlit.r + 40);
    // 424 units away: beyond the range of 150, not even a trace.
    Expect_Colour(At(500.0f, 300.0f), far_unlit, 0, "beyond the range");
}

// The sun comes from +x at 45 degrees; the roof stands over rows 184-231 of
// the floor's picture, its own picture in rows 120-167.
class Shadow_Test : public Renderer_Frame_Test {
protected:
    void SetUp() override {
        Renderer_Frame_Test::SetUp();
        Write_Floor("floor", 512, 256, Fill(FLAT_NORMAL));
        Write_Roof("roof", 64);
        Set_Sky(0.25f, 1.0f);
        Set_Sun(1.0f, 0.0f, 1.0f);
        Place("floor", 100.0f, 150.0f);
    }

    // Footprint of the roof: columns 300-427, rows 184-231 of the screen.
    const float ROOF_X = 300.0f;
    const float ROOF_Y = 120.0f;
    const float FOOTPRINT_MIDDLE = ROOF_X + 64.0f;
    const float FOOTPRINT_TOP = ROOF_Y + 64.0f;
    const float FOOTPRINT_BOTTOM = FOOTPRINT_TOP + ROOF_ROWS - 1;
};

TEST_F(Shadow_Test, A_Caster_Darkens_The_Floor_Away_From_The_Sun_And_Not_Toward_It) {
    // 30 units from the footprint's edges along the light, on either side.
    Vec2D lee = Floor_Moved(FOOTPRINT_MIDDLE, FOOTPRINT_BOTTOM, -30.0f, 0.0f);
    Vec2D sunny = Floor_Moved(FOOTPRINT_MIDDLE, FOOTPRINT_TOP, 30.0f, 0.0f);
    Render_Frame();
    Pixel lee_open = At(lee.x, lee.y);
    Pixel sunny_open = At(sunny.x, sunny.y);

    Place("roof", ROOF_X, ROOF_Y);
    Render_Frame();

    EXPECT_LT(At(lee.x, lee.y).r, lee_open.r - 80);
    Expect_Colour(At(sunny.x, sunny.y), sunny_open, 3, "on the sun's side of the caster");
    // The roof does not shade itself: it is as bright as open floor under the same sun.
    Expect_Colour(At(FOOTPRINT_MIDDLE, ROOF_Y + 24.0f), sunny_open, 4, "on the roof");
}

TEST_F(Shadow_Test, The_Shadow_Map_Keeps_The_Tallest_Caster_Under_Each_Screen_Point) {
    Set_Sun(0.0f, 0.0f, 1.0f);  // no shift: each footprint lies right under its object
    Write_Roof("tall_roof", 96);
    // Both footprints cover screen rows 196-243; the taller is drawn first (lower z).
    Place("tall_roof", ROOF_X, ROOF_Y - 20.0f);
    Place("roof", ROOF_X, ROOF_Y + 12.0f, 10.0f);
    // High in the air: its top passes the first channel of the encoding.
    Place("roof", 600.0f, 100.0f, 1500.0f);
    Render_Frame();
    ALLEGRO_BITMAP* map = Frame_Renderer()->Get_Shadow_Map();

    // 96 / hf = 157 over the shared footprint, not the later 10 + 104.
    EXPECT_NEAR(Decode_Shadow(Kelvane_Test::Read_Pixel(map, 364, 220)), 157.0f, 3.0f);
    EXPECT_NEAR(Decode_Shadow(Kelvane_Test::Read_Pixel(map, 664, 188)), 1604.0f, 3.0f);
    // Under the roofs' own pictures, outside every footprint: nothing.
    EXPECT_EQ(Decode_Shadow(Kelvane_Test::Read_Pixel(map, 364, 150)), 0.0f);
}

TEST_F(Shadow_Test, A_Low_Sun_Moves_Each_Shadow_Toward_It_By_A_Tenth_Of_The_Objects_Height) {
    Set_Sun(1.0f, 0.0f, 0.0f);
    Place("roof", ROOF_X, ROOF_Y);
    Render_Frame();
    ALLEGRO_BITMAP* map = Frame_Renderer()->Get_Shadow_Map();

    // 6.4 units along +x: 3.2 columns right, 1.6 rows up, from columns 300-427.
    const int row = 205;
    EXPECT_EQ(Decode_Shadow(Kelvane_Test::Read_Pixel(map, 301, row)), 0.0f);
    EXPECT_GT(Decode_Shadow(Kelvane_Test::Read_Pixel(map, 305, row)), 100.0f);
    EXPECT_GT(Decode_Shadow(Kelvane_Test::Read_Pixel(map, 429, row)), 100.0f);
    EXPECT_EQ(Decode_Shadow(Kelvane_Test::Read_Pixel(map, 433, row)), 0.0f);
}

TEST_F(Shadow_Test, Without_A_Shadow_Program_The_Map_Is_Cleared_And_Objects_Still_Drawn) {
    Kelvane_Test::Write_File(SHADOW_PATH, "this is not GLSL");
    Place("roof", ROOF_X, ROOF_Y);
    ALLEGRO_BITMAP* map = Frame_Renderer()->Get_Shadow_Map();
    al_set_target_bitmap(map);
    al_clear_to_color(al_map_rgba(255, 255, 255, 255));
    Render_Frame();

    EXPECT_EQ(Decode_Shadow(Kelvane_Test::Read_Pixel(map, 364, 200)), 0.0f);
    EXPECT_EQ(Kelvane_Test::Read_Pixel(map, 364, 200).a, 0);
    EXPECT_GT(At(FOOTPRINT_MIDDLE, ROOF_Y + 24.0f).r, BACKGROUND.r + 50);
}

TEST_F(Shadow_Test, The_Normal_View_Shows_The_Normal_Image) {
    Set_Sky(1.0f, 0.0f);
    Place("roof", ROOF_X, ROOF_Y);
    Render_Frame();
    Expect_Colour(At(FOOTPRINT_MIDDLE, ROOF_Y + 24.0f), GREY, 2, "colour view");
    // The normal image's alpha is the height: the roof's is full, so it shows unblended.
    Render_Frame(Kelvane::DEBUG_NORMALS);
    Expect_Colour(At(FOOTPRINT_MIDDLE, ROOF_Y + 24.0f), FLAT_NORMAL, 2, "normal view");
}

// The red wall stands 40 units nearer (toward -x, +y) than the blue one,
// whose picture lies 20 rows higher: they share screen rows 300-343.
class Overlap_Test : public Renderer_Frame_Test {
protected:
    void SetUp() override {
        Renderer_Frame_Test::SetUp();
        Write_Wall("red_wall", RED);
        Write_Wall("blue_wall", BLUE);
    }

    void Place_Blue() {
        Vec2D farther = Floor_Moved(400.0f, 300.0f, 40.0f, -40.0f);
        Place("blue_wall", farther.x, farther.y);
    }
};

TEST_F(Overlap_Test, The_Nearer_Surface_Wins_Each_Pixel_Whatever_The_List_Order) {
    Place("red_wall", 400.0f, 300.0f);
    Place_Blue();
    Render_Frame();
    Expect_Colour(At(432.0f, 320.0f), RED, 2, "overlap, nearer drawn first");
    Expect_Colour(At(432.0f, 288.0f), BLUE, 2, "blue alone");
    // Depth stored where a surface was drawn, the cleared value elsewhere.
    EXPECT_LT(Depth_At(432.0f, 320.0f), 1.0f);
    EXPECT_EQ(Depth_At(100.0f, 100.0f), 1.0f);

    objects.reverse();
    Render_Frame();
    Expect_Colour(At(432.0f, 320.0f), RED, 2, "overlap, nearer drawn last");
}

TEST_F(Overlap_Test, Surfaces_Far_Off_The_Map_Are_Still_Drawn) {
    camera.Move_Target_Y(-30000.0f);
    camera.Update(10.0f);  // a delta of 10 lands on the target at once
    Place("red_wall", 400.0f, 300.0f + camera.Get_Y());
    Render_Frame();
    Expect_Colour(At(432.0f, 332.0f), RED, 2, "far beyond the map's far edge");
}

TEST_F(Overlap_Test, The_Editor_Marks_Hover_With_A_Bright_Copy_And_Selection_With_A_Magenta_Frame) {
    VObject_Complex* wall = Place("red_wall", 400.0f, 300.0f);
    Render_Frame(Kelvane::DEBUG_EDITOR);
    Pixel plain = At(432.0f, 332.0f);
    Expect_Colour(plain, RED, 2, "neither hovered nor selected");

    wall->Set_Hover(true);
    Render_Frame(Kelvane::DEBUG_EDITOR);
    Pixel hovered = At(432.0f, 332.0f);
    EXPECT_GT(hovered.r + hovered.g + hovered.b, plain.r + plain.g + plain.b + 60);

    wall->Set_Hover(false);
    wall->Select_Toggle();
    Render_Frame(Kelvane::DEBUG_EDITOR);
    Expect_Colour(At(400.0f, 332.0f), Pixel{255, 0, 255, 255}, 0, "left edge of the frame");
    Expect_Colour(At(432.0f, 364.0f), Pixel{255, 0, 255, 255}, 0, "bottom edge of the frame");
    Render_Frame();
    Expect_Colour(At(400.0f, 332.0f), RED, 2, "editor marks off");
}

TEST_F(Renderer_Frame_Test, The_Light_View_Marks_Each_Light_With_A_Dot_And_A_Stalk_In_Its_Colour) {
    Vec2D floor = camera.Screen_To_Proj(700.0f, 400.0f, 0.0f);
    Add_Light(floor.x, floor.y, 100.0f, 300.0f, 0.0f, 1.0f, 0.0f);
    Render_Frame();
    Expect_Colour(At(700.0f, 400.0f - 61.138f), BACKGROUND, 0, "light view off");

    Render_Frame(Kelvane::DEBUG_LIGHTS);
    Expect_Colour(At(700.0f, 400.0f - 61.138f), Pixel{0, 255, 0, 255}, 0, "dot");
    Expect_Colour(At(700.0f, 400.0f - 25.0f), Pixel{0, 255, 0, 255}, 0, "stalk");
    Expect_Colour(At(700.0f, 410.0f), BACKGROUND, 0, "below the floor point");
}

TEST_F(Renderer_Frame_Test, Only_The_First_24_Point_Lights_Reach_The_Lighting_Program) {
    for (int i = 0; i < 30; i++) Add_Light(10.0f * i, 5.0f, 1.0f, 100.0f, 1.0f, 1.0f, 1.0f);
    Render_Frame();
    GLuint program = shaders.Get_Shader(LIGHTING_PATH)->Get_Program();
    auto uniform = [program](const char* name) {
        float value = -1.0f;
        glGetUniformfv(program, glGetUniformLocation(program, name), &value);
        return value;
    };
    EXPECT_EQ(uniform("lights_count"), 24.0f);
    EXPECT_EQ(uniform("light_x[23]"), 230.0f);

    for (Light* light : lights) delete light;
    lights.clear();
    Render_Frame();
    EXPECT_EQ(uniform("lights_count"), 0.0f);
}

TEST_F(Renderer_Frame_Test, A_Broken_Lighting_Program_Is_Logged_Once_And_Nothing_Is_Drawn) {
    Kelvane_Test::Write_File(LIGHTING_PATH, "void main() { this is not GLSL }");
    Write_Floor("floor", 64, 64, Fill(FLAT_NORMAL));
    VObject_Complex* upper = Place("floor", 200.0f, 200.0f, 5.0f);
    VObject_Complex* lower = Place("floor", 200.0f, 200.0f, 1.0f);
    for (int frame = 0; frame < 3; frame++) Render_Frame();

    Expect_Colour(At(220.0f, 220.0f), BACKGROUND, 0, "where the objects would be");
    EXPECT_EQ(objects.front(), lower);
    EXPECT_EQ(objects.back(), upper);
    std::string text = Kelvane_Test::Read_File("game.log");
    const std::string message = "--> Lighting Shader couldn't be loaded\n";
    size_t first = text.find(message);
    ASSERT_NE(first, std::string::npos) << text;
    EXPECT_EQ(text.find(message, first + 1), std::string::npos) << text;
    // The next entry says why.
    size_t reason = text.find("--> ", first + message.size());
    ASSERT_NE(reason, std::string::npos) << text;
    EXPECT_NE(text.find("object_light.glsl", reason), std::string::npos) << text;
}

TEST_F(Renderer_Frame_Test, A_Frame_Leaves_The_GL_State_It_Promises) {
    Write_Floor("floor", 64, 64, Fill(FLAT_NORMAL));
    Place("floor", 200.0f, 200.0f);
    Render_Frame();

    EXPECT_EQ(al_get_target_bitmap(), al_get_backbuffer(display));
    GLint value = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &value);
    EXPECT_EQ(value, 0);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &value);
    EXPECT_EQ(value, GL_TEXTURE0);
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_ALPHA_TEST));
    glGetIntegerv(GL_ALPHA_TEST_FUNC, &value);
    EXPECT_EQ(value, GL_GREATER);
    float reference = -1.0f;
    glGetFloatv(GL_ALPHA_TEST_REF, &reference);
    EXPECT_FLOAT_EQ(reference, 0.1f);
    // The shadow pass's maximum blending does not outlive it.
    glGetIntegerv(GL_BLEND_EQUATION_RGB, &value);
    EXPECT_EQ(value, GL_FUNC_ADD);
}

TEST_F(Renderer_Frame_Test, A_Plain_Sprite_Is_Drawn_With_Its_Pivot_On_Its_Screen_Position) {
    int flags = al_get_new_bitmap_flags();
    al_set_new_bitmap_flags(0);
    ALLEGRO_BITMAP* image = al_create_bitmap(32, 32);
    al_set_new_bitmap_flags(flags);
    al_set_target_bitmap(image);
    al_clear_to_color(al_map_rgb(250, 220, 20));
    // The view has moved; a sprite's position is read in screen space relative to it.
    camera.Move_Target_X(100.0f);
    for (int tick = 0; tick < 200; tick++) camera.Update(1.0f);
    objects.push_back(new Kelvane::VObject(image, 400.0f, 300.0f, 64.0f, 64.0f));
    Render_Frame();

    Expect_Colour(At(300.0f - 30.0f, 300.0f - 30.0f), Pixel{250, 220, 20, 255}, 0, "inside, 64 x 64 around");
    Expect_Colour(At(300.0f + 34.0f, 300.0f), BACKGROUND, 0, "just outside");
    al_destroy_bitmap(image);
}

}  // namespace
