#include "render/saved_gl_state.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_opengl.h>  // Required for: glPushAttrib(), the current program, texture units

namespace Kelvane {

namespace {

// Blending and the alpha test (colour buffer), the depth test and every other
// switch (enable), and the scissor box. The depth buffer's content is a frame's
// output, not state. Texture units are kept apart: the texture attribute group
// would also put back the parameters of the textures bound, which belong to the
// images (and to the graphics library, which sets them), not to the caller.
const GLbitfield SAVED_ATTRIBUTES = GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_ENABLE_BIT | GL_SCISSOR_BIT;

}  // namespace

Saved_GL_State::Saved_GL_State(int texture_units)
    : target(al_get_target_bitmap()), program(0), active_unit(GL_TEXTURE0), bound(texture_units, 0) {
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active_unit);
    for (int unit = 0; unit < texture_units; unit++) {
        glActiveTexture(GL_TEXTURE0 + unit);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound[unit]);
    }
    glActiveTexture(active_unit);
    glPushAttrib(SAVED_ATTRIBUTES);
}

// The target first: the graphics library then sets its viewport and clipping,
// and the GL state is put back over that.
Saved_GL_State::~Saved_GL_State() {
    al_set_target_bitmap(target);
    glPopAttrib();
    for (size_t unit = 0; unit < bound.size(); unit++) {
        glActiveTexture(GL_TEXTURE0 + unit);
        glBindTexture(GL_TEXTURE_2D, bound[unit]);
    }
    glActiveTexture(active_unit);
    glUseProgramObjectARB(static_cast<GLhandleARB>(program));
}

}  // namespace Kelvane
