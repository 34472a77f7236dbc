#pragma once
// The floor a lit frame is measured against: the same world drawn unlit, every
// frame from nothing, the way a plain textured renderer draws it. Every caster's
// shadow sprite into a shadow map and every visible object's quad onto the
// target, each through one program that only samples its image (and keeps the
// depth write, so early depth rejection helps it no more than it helps the
// lighting program); plain sprites through the graphics library.

struct ALLEGRO_BITMAP;

namespace Kelvane {
class Renderer;
class Shader;
class World;
}  // namespace Kelvane

namespace Frame_Bench {

class Plain_Painter {
public:
    // `program` samples "texture" and nothing else; `renderer` converts to the output.
    Plain_Painter(Kelvane::Shader* program, Kelvane::Renderer* renderer);
    ~Plain_Painter();
    Plain_Painter(const Plain_Painter&) = delete;
    Plain_Painter& operator=(const Plain_Painter&) = delete;

    // Onto the current target, which keeps being the target.
    void Paint(Kelvane::World* world);

private:
    void Apply_Program();
    void Shadow_Pass(Kelvane::World* world);
    void Colour_Pass(Kelvane::World* world);

    Kelvane::Shader* program;
    Kelvane::Renderer* renderer;
    ALLEGRO_BITMAP* shadow_map;
};

}  // namespace Frame_Bench
