#include "render/placement.h"

#include <allegro5/allegro.h>  // Required for: al_get_bitmap_width(), al_get_bitmap_height()

#include "render/vobject_complex.h"
#include "world/camera.h"
#include "world/light.h"

namespace Kelvane {

namespace {

// Screen position of a projection-space point relative to the view, zoomed.
Vec2D View_Position(Camera* camera, Vec2D proj_offset, float px, float py, float pz) {
    Vec2D position = camera->Proj_To_Screen(px - proj_offset.x, py - proj_offset.y, pz);
    position *= camera->Get_Zoom();
    return position;
}

}  // namespace

Placement Placement::Of(VObject_Complex* object, Camera* camera, Vec2D proj_offset) {
    Placement placed;
    float s = object->Get_Scale();
    float zoom = camera->Get_Zoom();
    // The object's own position is where its pivot is drawn.
    Vec2D pivot = camera->Screen_To_Proj(zoom * (object->Get_CX() * s), (object->Get_CY() * s) * zoom, 0.0f);
    placed.corner = Vec2D(object->Get_X() - pivot.x, object->Get_Y() - pivot.y);
    placed.z = object->Get_Z();
    placed.scale = s * zoom;
    placed.image_w = object->Get_W();
    placed.image_h = object->Get_H();
    placed.frame_origin = object->Get_Frame_Origin();
    placed.sheet = Vec2D(static_cast<float>(al_get_bitmap_width(object->Get_Actual_Bit())),
                         static_cast<float>(al_get_bitmap_height(object->Get_Actual_Bit())));
    placed.tall = object->Get_Tall() / camera->Get_Height_Factor();
    placed.quad = View_Position(camera, proj_offset, placed.corner.x, placed.corner.y, placed.z);
    placed.size = Vec2D(zoom * (placed.image_w * s), zoom * (placed.image_h * s));
    return placed;
}

Vec2D Placement::Shadow_Quad(VObject_Complex* object, Camera* camera, Vec2D proj_offset, Light* directional,
                             double shift) const {
    float drawn_tall = object->Get_Tall() * object->Get_Scale();
    double reach = static_cast<double>(camera->Get_Zoom()) * drawn_tall;
    float k = static_cast<float>(((1 - directional->Get_Z()) * reach) * shift);
    float x = corner.x + directional->Get_X() * k;
    float y = corner.y + directional->Get_Y() * k;
    return View_Position(camera, proj_offset, x, y, 0.0f);
}

Rect Placement::Frame_Texture() const {
    return Rect{frame_origin.x / sheet.x, 1.0f - frame_origin.y / sheet.y, (frame_origin.x + image_w) / sheet.x,
                1.0f - (frame_origin.y + image_h) / sheet.y};
}

Rect Placement::Area(Vec2D corner, Vec2D per_unit) const {
    return Rect{per_unit.x * corner.x, per_unit.y * corner.y, per_unit.x * (size.x + corner.x),
                per_unit.y * (size.y + corner.y)};
}

}  // namespace Kelvane
