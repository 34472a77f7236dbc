#include "render/depth_texture.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_opengl.h>  // Required for: the texture calls

namespace Kelvane {

Depth_Texture::~Depth_Texture() {
    if (texture) glDeleteTextures(1, &texture);
}

bool Depth_Texture::Capture(int new_width, int new_height) {
    GLint previous_texture = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous_texture);
    bool ready = (new_width == width && new_height == height) || Create(new_width, new_height);
    if (ready) {
        glBindTexture(GL_TEXTURE_2D, texture);
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, width, height);
    }
    glBindTexture(GL_TEXTURE_2D, previous_texture);
    return ready;
}

bool Depth_Texture::Create(int new_width, int new_height) {
    if (!texture) glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    while (glGetError() != GL_NO_ERROR) continue;
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, new_width, new_height, 0, GL_DEPTH_COMPONENT,
                 GL_UNSIGNED_INT, nullptr);
    bool made = glGetError() == GL_NO_ERROR;
    // Read texel for texel, as plain values: no filtering, no comparison.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_NONE);
    width = made ? new_width : 0;
    height = made ? new_height : 0;
    return made;
}

}  // namespace Kelvane
