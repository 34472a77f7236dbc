#pragma once
// A picture read back from a bitmap (the window's back buffer, a render
// target), for comparing two renderings pixel by pixel.

#include <vector>

struct ALLEGRO_BITMAP;

namespace Kelvane {

class Picture {
public:
    // How far two pictures of one size are apart.
    struct Difference {
        double share_within_2;  // of the pixels, the share whose red, green and blue each differ by 2 or less
        int worst;              // the largest difference of any channel of any pixel
    };

    // The bitmap's RGB, row by row from the top; an empty picture when it cannot be read.
    static Picture Read(ALLEGRO_BITMAP* bitmap);

    // Pictures of different sizes differ everywhere.
    Difference Compare(const Picture& other) const;

    int Get_Width() const { return width; }
    int Get_Height() const { return height; }

private:
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
};

}  // namespace Kelvane
