#pragma once
// Confines drawing to a rectangle of the target with the GL's scissor, within
// whatever clipping the graphics library had set, and puts that back after.

#include "render/placement.h"  // Required for: Rect

namespace Kelvane {

class Scissor {
public:
    // `area` in the target's pixels, y down, as the graphics library draws.
    void Limit_To(const Rect& area);
    // The scissor as it was before the first Limit_To.
    void Restore();

private:
    bool saved = false;
    bool was_enabled = false;
    int box[4] = {0, 0, 0, 0};  // the scissor box as it was: x, y (from the bottom), width, height
    int target_height = 0;
};

}  // namespace Kelvane
