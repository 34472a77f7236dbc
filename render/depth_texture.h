#pragma once
// A copy of the target's depth buffer in a texture, so a later pass can read
// what lies nearest at each pixel while it draws into that same target.

namespace Kelvane {

class Depth_Texture {
public:
    Depth_Texture() = default;
    ~Depth_Texture();
    Depth_Texture(const Depth_Texture&) = delete;
    Depth_Texture& operator=(const Depth_Texture&) = delete;

    // Copies the current target's depth, width x height pixels from its
    // lower-left corner; false when the GL cannot make the texture.
    bool Capture(int width, int height);

    unsigned int Get_Texture() { return texture; }
    int Get_Width() { return width; }
    int Get_Height() { return height; }

private:
    bool Create(int new_width, int new_height);

    unsigned int texture = 0;
    int width = 0;
    int height = 0;
};

}  // namespace Kelvane
