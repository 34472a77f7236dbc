#include "tools/asset_baker/badges.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "tools/asset_baker/vec3.h"

namespace Asset_Baker {

namespace {

const int BADGE = 64;

// Signed distances (negative inside), in pixels.
double Rounded_Square(double x, double y, double half, double radius) {
    double qx = std::fabs(x) - (half - radius);
    double qy = std::fabs(y) - (half - radius);
    double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    return outside + std::min(std::max(qx, qy), 0.0) - radius;
}

double Segment(double x, double y, double ax, double ay, double bx, double by) {
    double px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
    double h = std::clamp((px * dx + py * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return std::hypot(px - dx * h, py - dy * h);
}

double Triangle(double x, double y, const double (&v)[3][2]) {
    // Inside when on the same side of all three edges; distance to the edges.
    double d = 1e9;
    bool inside = true;
    for (int i = 0; i < 3; ++i) {
        const double* a = v[i];
        const double* b = v[(i + 1) % 3];
        d = std::min(d, Segment(x, y, a[0], a[1], b[0], b[1]));
        double cross = (b[0] - a[0]) * (y - a[1]) - (b[1] - a[1]) * (x - a[0]);
        if (cross < 0) inside = false;
    }
    return inside ? -d : d;
}

// Colour (with alpha) at a point of a badge, from the point's position
// relative to the badge centre.
using Shader = std::function<void(double x, double y, Vec3& colour, double& alpha)>;

Image Render(const Shader& shade) {
    Image image(BADGE, BADGE);
    const int n = 4;
    for (int j = 0; j < BADGE; ++j) {
        for (int i = 0; i < BADGE; ++i) {
            Vec3 sum;
            double alpha = 0;
            for (int sj = 0; sj < n; ++sj) {
                for (int si = 0; si < n; ++si) {
                    double x = i + (si + 0.5) / n - BADGE / 2.0;
                    double y = j + (sj + 0.5) / n - BADGE / 2.0;
                    Vec3 c;
                    double a = 0;
                    shade(x, y, c, a);
                    sum = sum + c * a;
                    alpha += a;
                }
            }
            if (alpha <= 0) continue;
            Vec3 c = sum / alpha;
            auto byte = [](double v) { return static_cast<uint8_t>(std::clamp(std::lround(v * 255.0), 0L, 255L)); };
            image.Set(i, j, Rgba{byte(c.x), byte(c.y), byte(c.z), byte(alpha / (n * n))});
        }
    }
    return image;
}

}  // namespace

Image Make_Missing_Image() {
    Image image(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            image.Set(x, y, ((x / 8 + y / 8) % 2 == 0) ? Rgba{255, 0, 255, 255} : Rgba{0, 0, 0, 255});
    return image;
}

Image Make_Badge_Play() {
    static const double TRIANGLE[3][2] = {{-9, -14}, {15, 0}, {-9, 14}};
    return Render([](double x, double y, Vec3& colour, double& alpha) {
        double body = Rounded_Square(x, y, 29.0, 11.0);
        if (body > 0) return;
        alpha = 1;
        colour = Lerp(Rgb(84, 124, 184), Rgb(52, 84, 140), (y + 29) / 58.0);
        if (body > -3.0) colour = Rgb(160, 188, 226);
        if (Triangle(x, y, TRIANGLE) < 0) colour = Rgb(246, 246, 240);
    });
}

Image Make_Badge_Tick() {
    return Render([](double x, double y, Vec3& colour, double& alpha) {
        double r = std::hypot(x, y);
        if (r > 29.0) return;
        alpha = 1;
        colour = Lerp(Rgb(92, 162, 104), Rgb(60, 120, 76), (y + 29) / 58.0);
        if (r > 26.0) colour = Rgb(176, 218, 176);
        double tick = std::min(Segment(x, y, -13, 1, -4, 11), Segment(x, y, -4, 11, 14, -10));
        if (tick < 4.0) colour = Rgb(246, 246, 240);
    });
}

}  // namespace Asset_Baker
