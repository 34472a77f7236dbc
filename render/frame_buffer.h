#pragma once
// A render target the graphics library does not manage: a colour and a depth
// texture of one size behind one GL framebuffer, so that both can be drawn into
// and read back by a program.

namespace Kelvane {

// Clears x, y, width, height (texels, rows from the bottom) of a colour texture
// to transparent, or of a depth texture to the farthest depth, through the GL's
// texture clear: a software rasterizer fills the memory, where a clear under a
// scissor runs a program over every pixel. False, with nothing done, when the
// GL has no texture clear.
bool Clear_Texture_Part(unsigned int texture, bool depth, int x, int y, int width, int height);

class Frame_Buffer {
public:
    // Nothing is made until Resize.
    Frame_Buffer() = default;
    ~Frame_Buffer();
    Frame_Buffer(const Frame_Buffer&) = delete;
    Frame_Buffer& operator=(const Frame_Buffer&) = delete;

    // Makes the textures width x height (their content undefined); false, with
    // nothing made, when the GL cannot.
    bool Resize(int width, int height);
    // Makes it the GL's framebuffer.
    void Bind() const;
    // Clears x, y, width, height (texels, rows from the bottom) to transparent
    // and the farthest depth. While bound: the scissor box may change.
    void Clear(int x, int y, int clear_width, int clear_height) const;

    unsigned int Get_Colour() const { return colour; }
    unsigned int Get_Depth() const { return depth; }
    int Get_Width() const { return width; }
    int Get_Height() const { return height; }
    // What the textures take, in bytes.
    long Get_Bytes() const { return 8L * width * height; }

private:
    void Release();

    unsigned int framebuffer = 0;
    unsigned int colour = 0;
    unsigned int depth = 0;
    int width = 0;
    int height = 0;
};

}  // namespace Kelvane
