#pragma once
// The base of everything the renderer draws: an image placed in the world with
// a size, a pivot, a tint, a rotation, drawing flags and a visibility switch.

#include <allegro5/color.h>  // Required for: ALLEGRO_COLOR (held by value)

struct ALLEGRO_BITMAP;

namespace Kelvane {

// Type codes returned by Get_Type(); the renderer skips every other code.
const int VOBJECT_TYPE_SPRITE = 0;
const int VOBJECT_TYPE_COMPLEX = 3;

class VObject {
public:
    // A plain sprite: w or h of 0 or less take the image's size; the pivot is
    // the image's centre. The image must not be null.
    VObject(ALLEGRO_BITMAP* image, float x, float y, float w, float h);
    virtual ~VObject() = default;

    virtual void Update(float dt);

    int Get_Type() { return type; }
    float Get_X() { return x; }
    float Get_Y() { return y; }
    float Get_Z() { return z; }
    void Set_X(float value) { x = value; }
    void Set_Y(float value) { y = value; }
    void Set_Z(float value) { z = value; }
    float Get_W() { return w; }
    float Get_H() { return h; }
    float Get_CX() { return cx; }
    float Get_CY() { return cy; }
    ALLEGRO_COLOR Get_Tint() { return tint; }
    void Set_Tint(ALLEGRO_COLOR value) { tint = value; }
    float Get_Angle() { return angle; }
    void Set_Angle(float value) { angle = value; }
    int Get_Flags() { return flags; }
    void Set_Flags(int value) { flags = value; }
    ALLEGRO_BITMAP* Get_Actual_Bit() { return actual_bit; }
    bool Is_Visible() { return visible; }
    void Set_Visible(bool value) { visible = value; }

protected:
    // For subclasses that fill every field themselves.
    VObject() = default;

    int type;
    float x;
    float y;
    float z;
    float w;
    float h;
    ALLEGRO_COLOR tint;
    float angle;
    float cx;
    float cy;
    ALLEGRO_BITMAP* actual_bit;
    int flags;
    bool visible;
};

}  // namespace Kelvane
