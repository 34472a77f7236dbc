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

}  // namespace Kelvane
