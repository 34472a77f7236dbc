#pragma once
// What the renderer's fast path decides before it draws a frame. The output is
// cut into square cells of CELL_PIXELS, and each visible complex object into the
// cells its quad covers; for each cell the plan keeps the point lights that
// reach it and whether any shadow caster stands where its shadow march can look.
// Every decision only leaves out work that would add exactly nothing to the
// picture, so the fast path draws what the exact reference path draws.
//
// It relies on the lighting program's contract (assets/shader/object_light.glsl):
// a point light adds nothing at its range or beyond; the march starts at most
// `march_offset` from the surface and never below the floor, climbs toward the
// sun, reads the shadow map only within `shadow_reach` of its start, and is
// shaded only by a caster more than `shadow_bias` above the ray.

#include <list>
#include <vector>

#include "render/placement.h"

namespace Kelvane {

class Camera;
class Light;
class VObject;
class VObject_Complex;

// How the lighting program marches toward the sun and the shadow map stores
// heights; the renderer passes the same values to both programs.
struct March_Rules {
    float reach;    // world units along the ray
    float offset;   // how far off the surface the ray starts
    float bias;     // how far a caster must stand above the ray to shade it
    float shift;    // share of (1 - dz) x drawn height by which shadow sprites move toward the sun
    float segment;  // world height units per shadow-map channel
};

// The rules the renderer draws by, in world units: rays start 12 off the
// surface, reach 1600, and are shaded by casters standing more than 6 above
// them; shadow sprites move toward the sun by 0.1 x (1 - dz) x the object's
// drawn height; the map keeps 1024 units of height per channel.
inline const March_Rules MARCH_RULES{1600.0f, 12.0f, 6.0f, 0.1f, 1024.0f};

// A square of the output grid, as much of it as one object's quad covers.
struct Cell {
    float s0;  // the image columns it shows, as fractions of the image's width
    float s1;
    float v0;  // the image rows it shows, as fractions from the image's top
    float v1;
    Rect area;                   // output pixels, whole ones
    std::vector<Light*> lights;  // the first 24 of the list that reach the cell, in list order
    bool march;                  // a caster may shade part of it
};

struct Planned_Object {
    VObject_Complex* object;
    Placement placed;
    Rect area;                // the whole quad, output pixels
    std::vector<Cell> cells;  // only those inside the output, row by row
};

// A shadow sprite in the shadow map: where it lies and how high its caster stands.
struct Caster {
    VObject_Complex* object;
    Rect area;  // screen units relative to the view, as the shadow map stands for them
    float top;  // world height of the caster's highest point
};

class Draw_Plan {
public:
    // The side of a cell, in output pixels.
    static const int CELL_PIXELS = 128;
    // The lighting program holds this many point lights.
    static const int MAX_POINT_LIGHTS = 24;

    // `pixels_per_unit` converts screen units to output pixels on each axis, as the renderer does; `output` is the
    // target's extent in output pixels; `map_texel` is how many screen units one
    // shadow-map pixel stands for.
    Draw_Plan(Camera* camera, Vec2D proj_offset, Light* directional, const March_Rules& rules,
              Vec2D pixels_per_unit, Rect output, Vec2D map_texel);

    // The casters worth drawing into the shadow map: those that can stand above
    // a ray (the flat floor cannot), in list order.
    void Plan_Casters(std::list<VObject*>* objects);
    // The visible complex objects in list order with their cells; after Plan_Casters.
    void Plan_Objects(std::list<VObject*>* objects, std::list<Light*>* lights);

    const std::vector<Caster>& Get_Casters() const { return casters; }
    const std::vector<Planned_Object>& Get_Objects() const { return planned; }

private:
    // The cells of the output that the object's quad covers.
    void Cut_Into_Cells(Planned_Object& object, std::list<Light*>* lights) const;
    // False only when no caster of this frame can shade any pixel of the cell.
    bool May_Be_Shaded(const Placement& placed, const Cell& cell) const;

    Camera* camera;
    Vec2D proj_offset;
    Light* directional;
    March_Rules rules;
    Vec2D pixels_per_unit;
    Rect output;
    Vec2D map_texel;
    std::vector<Caster> casters;
    std::vector<Planned_Object> planned;
};

}  // namespace Kelvane
