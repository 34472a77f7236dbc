#pragma once
// One light: a point light (x, y, z a projection-space position) or the
// directional light (x, y, z a direction; colour = ambient colour).

namespace Kelvane {

class Light {
public:
    // Note the order: position, range, colour, then an unused integer.
    Light(float x, float y, float z, float range, float r, float g, float b, int unused);

    // Lights do not change by themselves; the scene calls it every tick.
    void Update(float dt);
    // Makes (x, y, z) unit length; a zero vector stays zero so no NaN reaches the shader.
    void Normalize();

    float Get_X() { return x; }
    float Get_Y() { return y; }
    float Get_Z() { return z; }
    void Set_X(float value) { x = value; }
    void Set_Y(float value) { y = value; }
    void Set_Z(float value) { z = value; }
    float Get_R() { return r; }
    float Get_G() { return g; }
    float Get_B() { return b; }
    // The renderer reads every light afresh each frame: a game may change its
    // colour and range at any tick (a flickering torch, the sun at dusk).
    void Set_R(float value) { r = value; }
    void Set_G(float value) { g = value; }
    void Set_B(float value) { b = value; }
    void Set_Colour(float red, float green, float blue);
    float Get_Range() { return range; }
    // A range of 0 or less reaches nothing.
    void Set_Range(float value) { range = value; }
    float Get_Strength() { return strength; }
    void Set_Strength(float value) { strength = value; }
    float Get_Ambience() { return ambience; }
    void Set_Ambience(float value) { ambience = value; }

private:
    float x, y, z;
    int unused;
    float r, g, b;
    float range;
    float strength;
    float ambience;
};

}  // namespace Kelvane
