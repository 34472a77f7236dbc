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
    float Get_Range() { return range; }
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
