#include "render/scissor.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_opengl.h>  // Required for: glScissor() and its state

#include <algorithm>  // Required for: std::max(), std::min()
#include <cmath>      // Required for: std::lround()

namespace Kelvane {

void Scissor::Limit_To(const Rect& area) {
    if (!saved) {
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        target_height = viewport[3];
        was_enabled = glIsEnabled(GL_SCISSOR_TEST);
        glGetIntegerv(GL_SCISSOR_BOX, box);
        saved = true;
    }
    // GL counts rows from the bottom.
    int left = static_cast<int>(std::lround(area.left));
    int right = static_cast<int>(std::lround(area.right));
    int bottom = target_height - static_cast<int>(std::lround(area.bottom));
    int top = target_height - static_cast<int>(std::lround(area.top));
    if (was_enabled) {
        left = std::max(left, box[0]);
        right = std::min(right, box[0] + box[2]);
        bottom = std::max(bottom, box[1]);
        top = std::min(top, box[1] + box[3]);
    }
    glEnable(GL_SCISSOR_TEST);
    glScissor(left, bottom, std::max(0, right - left), std::max(0, top - bottom));
}

void Scissor::Restore() {
    if (!saved) return;
    glScissor(box[0], box[1], box[2], box[3]);
    if (!was_enabled) glDisable(GL_SCISSOR_TEST);
    saved = false;
}

}  // namespace Kelvane
