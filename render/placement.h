#pragma once
// Where one complex object is drawn in a frame: its quad on the screen and the
// projection-space point at the image's corner that the lighting program
// rebuilds its pixels from. Every pass places an object through this one path.

#include <algorithm>  // Required for: std::min(), std::max()

#include "core/common.h"  // Required for: Vec2D

namespace Kelvane {

// An axis-aligned rectangle (x right, y down).
struct Rect {
    float left;
    float top;
    float right;
    float bottom;
};

// Nothing at all: a union leaves it out, an intersection of rectangles that do
// not meet gives it.
inline constexpr Rect NO_RECT{0.0f, 0.0f, -1.0f, -1.0f};

inline bool Is_Empty(const Rect& rect) {
    return !(rect.left <= rect.right && rect.top <= rect.bottom);
}

inline Rect Grown(const Rect& rect, float by) {
    return Rect{rect.left - by, rect.top - by, rect.right + by, rect.bottom + by};
}

inline Rect Union(const Rect& a, const Rect& b) {
    if (Is_Empty(a)) return b;
    if (Is_Empty(b)) return a;
    return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

inline Rect Intersection(const Rect& a, const Rect& b) {
    Rect common{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
    return Is_Empty(common) ? NO_RECT : common;
}

// The rectangle moved back by `by`.
inline Rect Moved(const Rect& rect, Vec2D by) {
    return Rect{rect.left - by.x, rect.top - by.y, rect.right - by.x, rect.bottom - by.y};
}

inline bool Overlaps(const Rect& a, const Rect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

class Camera;
class Light;
class VObject_Complex;

struct Placement {
    Vec2D corner;   // projection-space x, y pictured at the image's top-left corner
    float z;        // the object's height above the floor
    float scale;    // the object's scale times the zoom
    float image_w;  // the frame shown's size in image pixels (the whole image for a still object)
    float image_h;
    Vec2D frame_origin;  // the frame's top-left corner in the images, which are sheets of frames
    Vec2D sheet;         // the images' size in image pixels
    float tall;     // the full height in world units: tall / height factor
    Vec2D quad;     // the quad's top-left corner, screen units relative to the view, zoomed
    Vec2D size;     // the quad's extent in screen units

    // `proj_offset` is the floor point shown at the picture's top-left corner.
    static Placement Of(VObject_Complex* object, Camera* camera, Vec2D proj_offset);
    // The shadow sprite's quad corner: on the floor, moved along the directional
    // light by `shift` x (1 - dz) x the object's drawn height (none from straight above).
    Vec2D Shadow_Quad(VObject_Complex* object, Camera* camera, Vec2D proj_offset, Light* directional,
                      double shift) const;
    // The frame in the images' texture coordinates, which have t = 1 at the
    // image's top: s at its left and right edges, t at its bottom and top edges
    // (`bottom` < `top`). The whole image, (0, 0) to (1, 1), for a still object.
    Rect Frame_Texture() const;
    // The quad with its top-left corner at `corner` (screen units), both scaled
    // by `per_unit`: into output pixels, shadow-map pixels, or left as it is.
    Rect Area(Vec2D corner, Vec2D per_unit) const;
};

}  // namespace Kelvane
