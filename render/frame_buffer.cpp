#include "render/frame_buffer.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_opengl.h>  // Required for: the GL's framebuffer objects

namespace Kelvane {

namespace {

// A texture of the size and format given, sampled texel for texel.
GLuint New_Texture(GLint format, GLenum layout, GLenum type, int width, int height) {
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, format, width, height, 0, layout, type, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, previous);
    return texture;
}

typedef void(APIENTRY* Clear_Texture)(GLuint texture, GLint level, GLint x, GLint y, GLint z, GLsizei width,
                                      GLsizei height, GLsizei depth, GLenum format, GLenum type, const void* data);

GLint Bound_Framebuffer() {
    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
    return bound;
}

}  // namespace

Frame_Buffer::~Frame_Buffer() {
    Release();
}

void Frame_Buffer::Release() {
    if (framebuffer) glDeleteFramebuffers(1, &framebuffer);
    GLuint textures[] = {colour, depth};
    if (colour || depth) glDeleteTextures(2, textures);
    framebuffer = colour = depth = 0;
    width = height = 0;
}

bool Frame_Buffer::Resize(int new_width, int new_height) {
    Release();
    GLint previous = Bound_Framebuffer();
    colour = New_Texture(GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, new_width, new_height);
    depth = New_Texture(GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, new_width, new_height);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour, 0);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, depth, 0);
    bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, previous);
    if (!complete) {
        Release();
        return false;
    }
    width = new_width;
    height = new_height;
    return true;
}

void Frame_Buffer::Bind() const {
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
}

void Frame_Buffer::Clear(int x, int y, int clear_width, int clear_height) const {
    if (Clear_Texture_Part(colour, false, x, y, clear_width, clear_height) &&
        Clear_Texture_Part(depth, true, x, y, clear_width, clear_height))
        return;
    GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, y, clear_width, clear_height);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!scissor) glDisable(GL_SCISSOR_TEST);
}

bool Clear_Texture_Part(unsigned int texture, bool depth, int x, int y, int width, int height) {
    // Every context of the process has the same GL.
    static const auto clear = reinterpret_cast<Clear_Texture>(
        al_have_opengl_extension("GL_ARB_clear_texture") ? al_get_opengl_proc_address("glClearTexSubImage") : nullptr);
    if (!clear) return false;
    const float farthest = 1.0f;
    if (depth)
        clear(texture, 0, x, y, 0, width, height, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &farthest);
    else
        clear(texture, 0, x, y, 0, width, height, 1, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    return true;
}

}  // namespace Kelvane
