#include "tools/asset_baker/raster.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "core/common.h"
#include "tools/asset_baker/encoding.h"

namespace Asset_Baker {

namespace {

void Model_Bounds(const Model& model, Vec3& low, Vec3& high) {
    const double inf = std::numeric_limits<double>::infinity();
    low = Vec3(inf, inf, inf);
    high = Vec3(-inf, -inf, -inf);
    for (const Part& part : model.parts) {
        Vec3 lo, hi;
        part.shape->Bounds(lo, hi);
        low = Vec3(std::min(low.x, lo.x), std::min(low.y, lo.y), std::min(low.z, lo.z));
        high = Vec3(std::max(high.x, hi.x), std::max(high.y, hi.y), std::max(high.z, hi.z));
    }
}

uint8_t Colour_Byte(double value) {
    return static_cast<uint8_t>(std::clamp(std::lround(value * 255.0), 0L, 255L));
}

Image Crop(const Image& image, int left, int top, int width, int height) {
    Image cropped(width, height);
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i) cropped.Set(i, j, image.Get(left + i, top + j));
    return cropped;
}

// The opaque pixels of every diffuse image given and a one-pixel transparent
// border, as left, top, width, height; empty (width 0) when none is opaque.
std::array<int, 4> Coverage(const std::vector<Baked_Object>& baked) {
    const Image& first = baked.front().diffuse;
    int min_x = first.width, min_y = first.height, max_x = -1, max_y = -1;
    for (const Baked_Object& one : baked) {
        for (int j = 0; j < one.diffuse.height; ++j) {
            for (int i = 0; i < one.diffuse.width; ++i) {
                if (one.diffuse.Get(i, j).a == 0) continue;
                min_x = std::min(min_x, i);
                max_x = std::max(max_x, i);
                min_y = std::min(min_y, j);
                max_y = std::max(max_y, j);
            }
        }
    }
    if (max_x < 0) return {0, 0, 0, 0};
    int left = std::max(0, min_x - 1);
    int top = std::max(0, min_y - 1);
    return {left, top, std::min(first.width, max_x + 2) - left, std::min(first.height, max_y + 2) - top};
}

// The bounds of the picture are a box around the model, larger than its
// silhouette: keep `box` (from Coverage), and move the pivot with the image.
Baked_Object Crop_To(const Baked_Object& baked, const std::array<int, 4>& box) {
    if (box[2] == 0) return baked;
    auto [left, top, width, height] = box;
    Baked_Object cropped = baked;
    cropped.diffuse = Crop(baked.diffuse, left, top, width, height);
    cropped.normal = Crop(baked.normal, left, top, width, height);
    cropped.height = Crop(baked.height, left, top, width, height);
    cropped.center_x = baked.center_x - left;
    cropped.center_y = baked.center_y - top;
    return cropped;
}

// `image` into `sheet` with its top-left corner at (left, top).
void Paste(const Image& image, int left, int top, Image& sheet) {
    for (int j = 0; j < image.height; ++j)
        for (int i = 0; i < image.width; ++i) sheet.Set(left + i, top + j, image.Get(i, j));
}

// The model in `frame`, uncropped, with settings "Height" `tall`.
Baked_Object Bake_In(const Model& model, const Frame& frame, float tall, Kelvane::Camera& camera) {
    Baked_Object baked;
    baked.tall = tall;
    baked.center_x = frame.center_x;
    baked.center_y = frame.center_y;
    baked.diffuse = Image(frame.width, frame.height, Rgba{0, 0, 0, 0});
    // Outside the object the normal is transparent black, which no unit normal
    // encodes to: the normal view tells the object's outline by it.
    baked.normal = Image(frame.width, frame.height, Rgba{0, 0, 0, 0});
    baked.height = Image(frame.width, frame.height, Rgba{0, 0, 0, 255});
    const float hf = camera.Get_Height_Factor();
    static const double SUB[4][2] = {{-0.25, -0.25}, {0.25, -0.25}, {-0.25, 0.25}, {0.25, 0.25}};
    for (int j = 0; j < frame.height; ++j) {
        for (int i = 0; i < frame.width; ++i) {
            Trace_Hit centre;
            if (!Trace(model, Image_Point_Ray(frame, camera, i + 0.5, j + 0.5), centre)) continue;
            // Coverage, normal and height all come from the centre sample.
            baked.normal.Set(i, j, Encode_Normal(Shaded_Normal(model, centre)));
            uint8_t red = Encode_Height(std::max(0.0, centre.p.z) * model.scale, hf, baked.tall);
            baked.height.Set(i, j, Rgba{red, red, red, 255});
            // Colour: the mean albedo of the samples that hit, so inner edges are smooth.
            Vec3 sum = Albedo(model, centre);
            int count = 1;
            for (const auto& offset : SUB) {
                Trace_Hit sub;
                if (Trace(model, Image_Point_Ray(frame, camera, i + 0.5 + offset[0], j + 0.5 + offset[1]), sub)) {
                    sum = sum + Albedo(model, sub);
                    ++count;
                }
            }
            Vec3 colour = sum / count;
            baked.diffuse.Set(i, j, Rgba{Colour_Byte(colour.x), Colour_Byte(colour.y), Colour_Byte(colour.z), 255});
        }
    }
    return baked;
}

}  // namespace

Frame Compute_Frame(const Model& model, Kelvane::Camera& camera) {
    Vec3 low, high;
    Model_Bounds(model, low, high);
    double min_x = std::numeric_limits<double>::infinity();
    double min_y = min_x;
    double max_x = -min_x;
    double max_y = -min_x;
    for (int corner = 0; corner < 8; ++corner) {
        Vec2D s = camera.Proj_To_Screen(static_cast<float>(corner & 1 ? high.x : low.x),
                                        static_cast<float>(corner & 2 ? high.y : low.y),
                                        static_cast<float>(corner & 4 ? high.z : low.z));
        min_x = std::min(min_x, s.x * model.scale);
        min_y = std::min(min_y, s.y * model.scale);
        max_x = std::max(max_x, s.x * model.scale);
        max_y = std::max(max_y, s.y * model.scale);
    }
    int left = static_cast<int>(std::floor(min_x)) - 1;
    int top = static_cast<int>(std::floor(min_y)) - 1;
    int right = static_cast<int>(std::ceil(max_x)) + 1;
    int bottom = static_cast<int>(std::ceil(max_y)) + 1;
    Frame frame;
    frame.width = right - left;
    frame.height = bottom - top;
    frame.center_x = static_cast<float>(-left);
    frame.center_y = static_cast<float>(-top);
    frame.top_z = high.z;
    frame.scale = model.scale;
    return frame;
}

Ray Image_Point_Ray(const Frame& frame, Kelvane::Camera& camera, double u, double v) {
    float sx = static_cast<float>((u - frame.center_x) / frame.scale);
    float sy = static_cast<float>((v - frame.center_y) / frame.scale);
    float start_z = static_cast<float>(frame.top_z + 16.0);
    Vec2D above = camera.Screen_To_Proj(sx, sy, start_z);
    Vec2D floor = camera.Screen_To_Proj(sx, sy, 0.0f);
    Ray ray;
    ray.origin = Vec3(above.x, above.y, start_z);
    ray.direction = Normalize(Vec3(floor.x - above.x, floor.y - above.y, -start_z));
    return ray;
}

bool Trace(const Model& model, const Ray& ray, Trace_Hit& hit) {
    hit.part = -1;
    hit.t = std::numeric_limits<double>::infinity();
    for (size_t i = 0; i < model.parts.size(); ++i) {
        double t;
        Vec3 n;
        if (model.parts[i].shape->Intersect(ray, t, n) && t < hit.t) {
            hit.t = t;
            hit.n = n;
            hit.part = static_cast<int>(i);
        }
    }
    if (hit.part < 0) return false;
    hit.p = ray.origin + ray.direction * hit.t;
    return true;
}

Vec3 Shaded_Normal(const Model& model, const Trace_Hit& hit) {
    const Material& material = model.parts[hit.part].material;
    if (!material.bump) return hit.n;
    // Central differences of the displacement; only its slope along the
    // surface tilts the normal.
    const double step = 0.35;
    Vec3 gradient((material.bump(hit.p + Vec3(step, 0, 0), hit.n) - material.bump(hit.p - Vec3(step, 0, 0), hit.n)),
                  (material.bump(hit.p + Vec3(0, step, 0), hit.n) - material.bump(hit.p - Vec3(0, step, 0), hit.n)),
                  (material.bump(hit.p + Vec3(0, 0, step), hit.n) - material.bump(hit.p - Vec3(0, 0, step), hit.n)));
    gradient = gradient / (2 * step);
    Vec3 along_surface = gradient - hit.n * Dot(gradient, hit.n);
    return Normalize(hit.n - along_surface);
}

Vec3 Albedo(const Model& model, const Trace_Hit& hit) {
    return model.parts[hit.part].material.albedo(Surface_Point{hit.p, hit.n});
}

float Model_Tall(const Model& model, Kelvane::Camera& camera) {
    Vec3 low, high;
    Model_Bounds(model, low, high);
    float tall = std::max(static_cast<float>(camera.Get_Height_Factor() * high.z * model.scale), model.min_tall);
    // The value as settings.ini will give it back to the engine.
    return ToFloat(ToString(tall));
}

Baked_Object Bake(const Model& model, Kelvane::Camera& camera) {
    std::vector<Baked_Object> baked{Bake_In(model, Compute_Frame(model, camera), Model_Tall(model, camera), camera)};
    return Crop_To(baked.front(), Coverage(baked));
}

Baked_Object Bake_Sheet(const Animated_Model& animated, Kelvane::Camera& camera) {
    // Framed and measured as one model holding every pose: one pivot, one Height.
    Model all = animated.poses.front();
    for (const Model& pose : animated.poses) all.parts.insert(all.parts.end(), pose.parts.begin(), pose.parts.end());
    Frame frame = Compute_Frame(all, camera);
    float tall = Model_Tall(all, camera);
    std::vector<Baked_Object> poses;
    for (const Model& pose : animated.poses) poses.push_back(Bake_In(pose, frame, tall, camera));
    std::array<int, 4> box = Coverage(poses);
    int count = static_cast<int>(poses.size());
    int rows = (count + animated.columns - 1) / animated.columns;
    Baked_Object sheet = Crop_To(poses.front(), box);
    int width = sheet.diffuse.width, height = sheet.diffuse.height;
    sheet.diffuse = Image(width * animated.columns, height * rows, Rgba{0, 0, 0, 0});
    sheet.normal = Image(width * animated.columns, height * rows, Rgba{0, 0, 0, 0});
    sheet.height = Image(width * animated.columns, height * rows, Rgba{0, 0, 0, 255});
    for (int i = 0; i < count; ++i) {
        Baked_Object pose = Crop_To(poses[i], box);
        int left = i % animated.columns * width, top = i / animated.columns * height;
        Paste(pose.diffuse, left, top, sheet.diffuse);
        Paste(pose.normal, left, top, sheet.normal);
        Paste(pose.height, left, top, sheet.height);
    }
    sheet.frames = count;
    sheet.columns = animated.columns;
    sheet.clips = animated.clips;
    return sheet;
}

}  // namespace Asset_Baker
