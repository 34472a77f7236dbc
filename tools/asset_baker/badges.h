#pragma once
// The flat images the baker writes besides the object folders: the fallback
// image and the two badges b1.png and b2.png.

#include "tools/asset_baker/image.h"

namespace Asset_Baker {

// 64 x 64: magenta and black squares of 8 x 8 pixels, opaque, magenta first.
Image Make_Missing_Image();
// 64 x 64 badges with smooth (antialiased) alpha: b1 a blue rounded square
// with a white "play" triangle, b2 a green disc with a white tick.
Image Make_Badge_Play();
Image Make_Badge_Tick();

}  // namespace Asset_Baker
