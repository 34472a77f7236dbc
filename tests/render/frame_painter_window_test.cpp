// Tiles kept between frames against the exact reference path, which draws every
// tile afresh: a long random run of every kind of change a game makes, each
// frame compared pixel for pixel. A tile kept when something that decides its
// pixels changed shows as a difference.

#include <allegro5/allegro.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "core/log.h"
#include "render/draw_plan.h"
#include "render/picture.h"
#include "render/renderer.h"
#include "render/vobject_complex.h"
#include "render/world.h"
#include "resources/bitmap_manager.h"
#include "resources/shader_manager.h"
#include "support/scratch_dir.h"
#include "support/window.h"

namespace {

using Kelvane::Light;
using Kelvane::VObject;
using Kelvane::VObject_Complex;

const int OUTPUT_W = 640, OUTPUT_H = 480;
const char* const PROPS[] = {"house", "sphere", "twin", "robot_wave", "pilar", "square", "post"};

class Kept_Tiles_Test : public Kelvane_Test::Window_Test {
protected:
    void SetUp() override {
        Window_Test::SetUp();
        std::filesystem::copy(scratch.Previous() + "/assets", "assets", std::filesystem::copy_options::recursive);
        // The sphere's twin: the same size, pivot and heights, in red, its normals turned the other way round.
        std::filesystem::copy("assets/objects/sphere", "assets/objects/twin");
        Rewrite_Image("assets/objects/twin/diffuse.png", [](ALLEGRO_COLOR c) { return al_map_rgba_f(c.r, 0.2f * c.g, 0.2f * c.b, c.a); });
        Rewrite_Image("assets/objects/twin/normal.png", [](ALLEGRO_COLOR c) { return al_map_rgba_f(c.a - c.r, c.a - c.g, c.b, c.a); });
        // A thin post: its long shadow shows every change of the shadow map's resolution.
        Kelvane_Test::Write_Image("assets/objects/post/diffuse.png", 3, 60, [](int, int) { return al_map_rgb(220, 220, 90); });
        Kelvane_Test::Write_Image("assets/objects/post/normal.png", 3, 60, [](int, int) { return al_map_rgb(37, 218, 128); });
        Kelvane_Test::Write_Image("assets/objects/post/height.png", 3, 60, [](int, int y) { return al_map_rgb(255 * (59 - y) / 59, 0, 0); });
        Kelvane_Test::Write_File("assets/objects/post/settings.ini", "[General]\nHeight=60\nCenter_X=1\nCenter_Y=59\n");
        Kelvane_Test::Write_Image("sprite.png", 24, 16, [](int x, int y) {
            return al_map_rgba(40 + 8 * x, 200 - 9 * y, 90, x < 3 ? 128 : 255);
        });
        sprite_image = al_load_bitmap("sprite.png");
        Kelvane::Camera* camera = world.Get_Camera();
        camera->Set_Map_Width(3000.0f), camera->Set_Map_Height(4000.0f), camera->Set_Map_Tall(2400.0f);
        *world.Get_Sun() = Light(5.0f, 1.5f, 1.0f, 0.0f, 1.3f, 1.2f, 1.0f, 0);
        world.Get_Sun()->Normalize();
        for (int i = 0; i < 2; i++)
            for (int j = 0; j < 2; j++) world.Add_Object(&store, "tiles", 1080.0f * i, 1080.0f * j, 0.0f, 1.0f, true);
        for (int i = 0; i < 4; i++) Add_Prop();
        for (int i = 0; i < 3; i++) world.Add_Object(&store, "post", Floor_Point().x, Floor_Point().y, 0.0f, 1.0f, true);
        // Spheres without shadows, swapped for their twins in place: only their images tell them apart.
        for (int i = 0; i < 8; i++) world.Add_Object(&store, "sphere", Floor_Point().x, Floor_Point().y, 0.0f, 0.4f, false);
        world.Add(new VObject(sprite_image, 500.0f, 300.0f, 48.0f, 32.0f));
        for (int i = 0; i < 2; i++) Add_Light();
        Resize(OUTPUT_W, OUTPUT_H);
    }

    void TearDown() override {
        world.Clear();
        al_set_target_backbuffer(display);
        for (ALLEGRO_BITMAP* target : targets) al_destroy_bitmap(target);
        al_destroy_bitmap(sprite_image);
    }

    // Each pixel of an image file through `change` (premultiplied colours, as loaded).
    static void Rewrite_Image(const std::string& path, ALLEGRO_COLOR (*change)(ALLEGRO_COLOR)) {
        ALLEGRO_BITMAP* image = al_load_bitmap(path.c_str());
        Kelvane_Test::Write_Image(path, al_get_bitmap_width(image), al_get_bitmap_height(image),
                                  [&](int x, int y) { return change(al_get_pixel(image, x, y)); });
        al_destroy_bitmap(image);
    }

    float Random(float low, float high) { return std::uniform_real_distribution<float>(low, high)(random); }
    int Random(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); }

    // Somewhere on the floor the view sees.
    Vec2D Floor_Point() {
        Kelvane::Camera* camera = world.Get_Camera();
        return camera->Screen_To_Proj(camera->Get_X() + Random(0.0f, 1440.0f), camera->Get_Y() + Random(0.0f, 1080.0f),
                                      0.0f);
    }
    void Add_Prop() {
        Vec2D at = Floor_Point();
        VObject_Complex* prop =
            world.Add_Object(&store, PROPS[Random(std::size(PROPS))], at.x, at.y, 0.0f, Random(0.3f, 0.8f), true);
        if (prop->Get_Frames() > 1) prop->Set_Frame(Random(prop->Get_Frames()));
    }
    void Add_Light() {
        Vec2D at = Floor_Point();
        world.Add_Light(at.x, at.y, Random(20.0f, 300.0f), Random(150.0f, 600.0f), Random(0.2f, 1.5f),
                        Random(0.2f, 1.5f), Random(0.2f, 1.5f));
    }
    template <typename Item>
    Item* Pick_From(std::list<Item*>* items) { return items->empty() ? nullptr : *std::next(items->begin(), Random(items->size())); }
    // One with a shadow: the shadowless spheres stay for the swap.
    VObject_Complex* Some_Object() {
        std::vector<VObject_Complex*> casting;
        for (VObject* object : *world.Get_Objects())
            if (VObject_Complex* c = VObject_Complex::Drawn(object); c && c->Has_Shadow()) casting.push_back(c);
        if (casting.empty()) Add_Prop();
        return casting.empty() ? Some_Object() : casting[Random(casting.size())];
    }
    VObject* The_Sprite() {
        for (VObject* object : *world.Get_Objects())
            if (object->Get_Type() == Kelvane::VOBJECT_TYPE_SPRITE) return object;
        return nullptr;
    }
    void Resize(int width, int height) {
        for (Kelvane::Renderer* renderer : {&fast, &exact}) renderer->Set_Output_Size(width, height);
        al_set_new_bitmap_depth(24);
        targets.push_back(al_create_bitmap(width, height));
        al_set_new_bitmap_depth(0);
    }
    void Pan(float dx, float dy) {
        Kelvane::Camera* camera = world.Get_Camera();
        Vec2D target = camera->Get_Target();
        camera->Set_Target(target.x + dx, target.y + dy);
        camera->Jump_To_Target();
    }

    // Each kind of change a game makes, by name.
    std::vector<std::pair<const char*, std::function<void()>>> Changes() {
        float pixel = 1.0f / fast.XtoRX(1.0f);  // screen units per output pixel
        return {
            {"pan by whole pixels", [=] { Pan(pixel * Random(-40, 40), pixel * Random(-40, 40)); }},
            {"pan by a fraction of a pixel", [=] { Pan(Random(-0.5f, 0.5f) * pixel, Random(-0.5f, 0.5f) * pixel); }},
            {"move an object", [this] { VObject_Complex* o = Some_Object(); o->Set_X(o->Get_X() + Random(-80.0f, 80.0f)), o->Set_Y(o->Get_Y() + Random(-80.0f, 80.0f)); }},
            {"nudge an object", [this] { VObject_Complex* o = Some_Object(); o->Set_X(o->Get_X() + Random(-3.0f, 3.0f)); }},
            {"swap the shadowless spheres for their twins in their places", [this] {
                 std::list<VObject*>* objects = world.Get_Objects();
                 std::vector<VObject_Complex*> swapped;
                 for (auto o = objects->begin(); o != objects->end(); ++o) {
                     VObject_Complex* c = VObject_Complex::Drawn(*o);
                     if (!c || c->Has_Shadow()) continue;
                     world.Add_Object(&store, c->Get_Name() == "sphere" ? "twin" : "sphere", c->Get_X(), c->Get_Y(),
                                      c->Get_Z(), c->Get_Scale(), false);
                     objects->splice(o, *objects, std::prev(objects->end()));  // drawn where the other was
                     swapped.push_back(c);
                 }
                 for (VObject_Complex* c : swapped) world.Remove(c);
             }},
            {"clear the casters", [this] {
                 std::vector<VObject_Complex*> casting;
                 for (VObject* o : *world.Get_Objects())
                     if (VObject_Complex* c = VObject_Complex::Drawn(o); c && c->Has_Shadow() && c->Get_Name() != "tiles")
                         casting.push_back(c);
                 for (VObject_Complex* c : casting) world.Remove(c);
             }},
            {"put another object in one's place", [this] {
                 VObject_Complex* old = Some_Object();
                 world.Add_Object(&store, PROPS[Random(std::size(PROPS))], old->Get_X(), old->Get_Y(), old->Get_Z(), old->Get_Scale(), true);
                 world.Remove(old);
             }},
            {"nudge an object, shadowless ones too", [this] {
                 std::vector<VObject_Complex*> complex;
                 for (VObject* o : *world.Get_Objects())
                     if (VObject_Complex* c = VObject_Complex::Drawn(o); c && c->Get_Name() != "tiles") complex.push_back(c);
                 if (complex.empty()) return;
                 VObject_Complex* o = complex[Random(complex.size())];
                 o->Set_X(o->Get_X() + Random(-12.0f, 12.0f)), o->Set_Y(o->Get_Y() + Random(-12.0f, 12.0f));
             }},
            {"draw the sprite first, or else last", [this] {
                 std::list<VObject*>* objects = world.Get_Objects();
                 auto sprite = std::find(objects->begin(), objects->end(), The_Sprite());
                 objects->splice(sprite == objects->begin() ? objects->end() : objects->begin(), *objects, sprite);
             }},
            {"raise an object", [this] { VObject_Complex* o = Some_Object(); o->Set_Z(std::max(0.0f, o->Get_Z() + Random(-40.0f, 60.0f))); }},
            {"scale an object", [this] { VObject_Complex* o = Some_Object(); o->Set_Scale(o->Get_Scale() * Random(0.8f, 1.25f)); }},
            {"hide or show an object", [this] { VObject_Complex* o = Some_Object(); o->Set_Visible(!o->Is_Visible()); }},
            {"add an object", [this] { Add_Prop(); }},
            {"remove an object", [this] { world.Remove(Some_Object()); }},
            {"show another frame", [this] {
                 for (VObject* o : *world.Get_Objects())
                     if (VObject_Complex* c = VObject_Complex::Drawn(o); c && c->Get_Frames() > 1)
                         c->Set_Frame((c->Get_Frame() + 1) % c->Get_Frames());
             }},
            {"move a light", [this] { if (Light* l = Pick_From(world.Get_Lights())) l->Set_X(l->Get_X() + Random(-150.0f, 150.0f)), l->Set_Z(Random(10.0f, 300.0f)); }},
            {"recolour a light", [this] { if (Light* l = Pick_From(world.Get_Lights())) l->Set_Colour(Random(0.1f, 1.5f), Random(0.1f, 1.5f), Random(0.1f, 1.5f)); }},
            {"change a light's range", [this] { if (Light* l = Pick_From(world.Get_Lights())) l->Set_Range(Random(50.0f, 700.0f)); }},
            {"light a light before the others", [this] {
                 std::list<Light*>* lights = world.Get_Lights();
                 if (!lights->empty()) lights->splice(lights->begin(), *lights, std::next(lights->begin(), Random(lights->size())));
             }},
            {"add a light", [this] { Add_Light(); }},
            {"remove a light", [this] { if (Light* l = Pick_From(world.Get_Lights())) world.Remove(l); }},
            {"turn the sun", [this] {
                 Light* sun = world.Get_Sun();
                 float angle = Random(-0.3f, 0.3f), x = sun->Get_X(), y = sun->Get_Y();
                 sun->Set_X(x * std::cos(angle) - y * std::sin(angle)), sun->Set_Y(x * std::sin(angle) + y * std::cos(angle));
             }},
            {"raise or lower the sun", [this] { Light* sun = world.Get_Sun(); sun->Set_Z(Random(0.15f, 0.6f)), sun->Normalize(); }},
            {"colour the sky", [this] { world.Get_Sun()->Set_Colour(Random(0.5f, 1.5f), Random(0.5f, 1.5f), Random(0.5f, 1.5f)); }},
            {"change the ambient light", [this] { world.Get_Sun()->Set_Ambience(Random(0.1f, 0.6f)); }},
            {"change the sun's strength", [this] { world.Get_Sun()->Set_Strength(Random(0.5f, 1.2f)); }},
            {"hover or select an object", [this] { VObject_Complex* o = Some_Object(); o->Set_Hover(!o->Get_Hover()), o->Select_Toggle(); }},
            {"move the sprite", [this] { VObject* s = The_Sprite(); s->Set_X(s->Get_X() + Random(-60.0f, 60.0f)), s->Set_Y(s->Get_Y() + Random(-60.0f, 60.0f)); }},
            {"turn the sprite", [this] { The_Sprite()->Set_Angle(Random(-1.0f, 1.0f)); }},
            {"tint the sprite", [this] { The_Sprite()->Set_Tint(al_map_rgba_f(Random(0.3f, 1.0f), 1.0f, Random(0.3f, 1.0f), 1.0f)); }},
            {"flip the sprite", [this] { The_Sprite()->Set_Flags(The_Sprite()->Get_Flags() ^ ALLEGRO_FLIP_HORIZONTAL); }},
            {"toggle a debug flag", [this] { flags ^= std::array{Kelvane::DEBUG_LIGHTS, Kelvane::DEBUG_EDITOR, Kelvane::DEBUG_NORMALS}[Random(3)]; }},
            {"grow the map", [this] { Kelvane::Camera* c = world.Get_Camera(); c->Set_Map_Width(c->Get_Map_Width() * Random(0.8f, 1.25f)); }},
            {"resize the output", [this] { Resize(Random(480, 800), Random(360, 600)); }},
            {"resize the shadow map", [this] {
                 int size = std::array{1024, 2048, 4096}[Random(3)];
                 for (Kelvane::Renderer* renderer : {&fast, &exact}) ASSERT_TRUE(renderer->Resize_Shadow_Map(size));
             }},
        };
    }

    Kelvane::Picture Frame_Of(Kelvane::Renderer& renderer) {
        al_set_target_bitmap(targets.back());
        al_clear_to_color(al_map_rgb(100, 100, 100));
        renderer.Render(&log, &world, flags);
        return Kelvane::Picture::Read(targets.back());
    }

    Kelvane_Test::Scratch_Dir scratch;
    Kelvane::Log log{"game.log"};
    Kelvane::Bitmap_Manager store;
    Kelvane::Shader_Manager shaders;
    Kelvane::Renderer fast{display_for_renderers(), &shaders, 1920.0f, 1080.0f, OUTPUT_W, OUTPUT_H, 0.0f, 0.0f};
    Kelvane::Renderer exact{display_for_renderers(), &shaders, 1920.0f, 1080.0f, OUTPUT_W, OUTPUT_H, 0.0f, 0.0f};
    Kelvane::World world;
    std::mt19937 random{20261207};
    std::vector<ALLEGRO_BITMAP*> targets;
    ALLEGRO_BITMAP* sprite_image = nullptr;
    int flags = 0;

    static ALLEGRO_DISPLAY* display_for_renderers() {
        Kelvane_Test::Init_Allegro();
        return Kelvane_Test::Shared_Display();
    }
};

}  // namespace

TEST_F(Kept_Tiles_Test, Every_Frame_Of_A_Long_Run_Of_Changes_Equals_The_Reference_Frame) {
    exact.Set_Reference_Path(true);
    auto changes = Changes();
    const int ROUNDS = 8;
    for (int round = 0; round < ROUNDS; round++) {
        std::shuffle(changes.begin(), changes.end(), random);
        for (const auto& [name, change] : changes) {
            change();
            // A change shows in the frame after it, and the frame after that keeps what the first drew.
            for (int again = 0; again < 2; again++) {
                Kelvane::Picture::Difference difference = Frame_Of(fast).Compare(Frame_Of(exact));
                ASSERT_EQ(difference.worst, 0) << "after: " << name << " (round " << round << ")";
            }
            world.Update(1.0f);
        }
    }
}

// The world's picture does not depend on how much of it an output shows: at the
// same scale a larger output shows the smaller one's picture in its corner,
// the march's grain included, though their caches keep the tiles in other places.
TEST_F(Kept_Tiles_Test, A_Larger_Output_At_The_Same_Scale_Shows_The_Same_Picture_In_Its_Corner) {
    const int LARGE_W = OUTPUT_W * 5 / 4, LARGE_H = OUTPUT_H * 5 / 4;
    Kelvane::Renderer small{display, &shaders, OUTPUT_W, OUTPUT_H, OUTPUT_W, OUTPUT_H, 0.0f, 0.0f};
    Kelvane::Renderer large{display, &shaders, LARGE_W, LARGE_H, LARGE_W, LARGE_H, 0.0f, 0.0f};
    // Six tiles on, where the caches keep the tiles right of the middle in
    // different places, with a house whose shadow falls there.
    Pan(6.0f * Kelvane::Draw_Plan::TILE_PIXELS, 0.0f);
    Kelvane::Camera* camera = world.Get_Camera();
    Vec2D middle = camera->Screen_To_Proj(camera->Get_X() + OUTPUT_W / 2, camera->Get_Y() + OUTPUT_H / 2, 0.0f);
    world.Add_Object(&store, "house", middle.x, middle.y, 0.0f, 0.5f, true);
    Resize(OUTPUT_W, OUTPUT_H);
    Kelvane::Picture alone = Frame_Of(small);
    Resize(LARGE_W, LARGE_H);
    Frame_Of(large);
    ALLEGRO_BITMAP* corner = al_create_sub_bitmap(targets.back(), 0, 0, OUTPUT_W, OUTPUT_H);
    Kelvane::Picture in_corner = Kelvane::Picture::Read(corner);
    al_destroy_bitmap(corner);
    EXPECT_EQ(alone.Compare(in_corner).worst, 0);
}
