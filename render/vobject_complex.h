#pragma once
// The lit scene object, defined by an asset folder "assets/objects/<name>/":
// diffuse.png, normal.png, height.png and settings.ini, plus the cached
// normal_cooked.png (normal in RGB, height in alpha) and shadow.png.

#include <cstdint>
#include <functional>  // Required for: Load_Or_Make()
#include <string>
#include <vector>

#include "render/vobject.h"

namespace Kelvane {

class Bitmap_Manager;
class Camera;
class Light;

class VObject_Complex : public VObject {
public:
    // Loads the folder, reads settings.ini (written back when a key was added),
    // and takes the cooked normal map and (with `shadow`) the shadow sprite from
    // the cache files, or generates and saves them when a cache is missing,
    // unusable or older than a source. The camera and store are used only here.
    VObject_Complex(Bitmap_Manager* store, Camera* camera, std::string name, float x, float y, float z,
                    float scale, bool shadow);
    // The asset folder an object of that name is built from: "assets/objects/<name>/".
    static std::string Folder_Of(std::string name);

    // Moves the attached light, if any, onto the object's position.
    void Update(float dt) override;

    // Packs normal.png's RGB and height.png's red (as alpha) into actual_bit_normal,
    // a texture; null when the image cannot be made.
    void Generate_Normal_Map(Bitmap_Manager* store);
    // Drops every opaque diffuse pixel to the floor and stores the tallest height
    // over each footprint pixel in actual_bit_shadow (red = lo, green = hi, base 255);
    // null when the sprite cannot be made.
    void Generate_Shadow_Bit(Camera* camera);

    ALLEGRO_BITMAP* Get_Actual_Bit_Normal() { return actual_bit_normal; }
    ALLEGRO_BITMAP* Get_Actual_Bit_Shadow() { return actual_bit_shadow; }
    std::string Get_Name() { return name; }
    bool Has_Shadow() { return has_shadow; }
    float Get_Tall() { return tall; }
    float Get_Scale() { return scale; }
    void Set_Scale(float value) { scale = value; }
    bool Is_Selected() { return selected; }
    void Select_Toggle() { selected = !selected; }
    void Deselect() { selected = false; }
    bool Get_Hover() { return hover; }
    void Set_Hover(bool value) { hover = value; }
    void Attach_Light(Light* value) { light = value; }
    Light* Get_Light() { return light; }

private:
    // tall, cx and cy from settings.ini, which is saved when a missing key was added with its default.
    void Read_Settings();
    // True, after one line on standard output, when a cache this object uses
    // is older than one of the folder's sources.
    bool Caches_Stale();
    void Load_Or_Cook_Normal_Map(Bitmap_Manager* store, bool refresh);
    // The cache's image when it is there, usable and not to be refreshed; else
    // what `make` returns, saved as the cache unless it came from a fallback image.
    ALLEGRO_BITMAP* Load_Or_Make(Bitmap_Manager* store, const std::string& file, bool refresh,
                                 const std::function<ALLEGRO_BITMAP*()>& make);
    // Drops every casting pixel into `grid` (column-major, w x h words). False,
    // after one line on standard output, when a height does not fit the encoding.
    bool Cast_Footprint(Camera* camera, std::vector<uint32_t>& grid);
    bool Cast_Pixel(Camera* camera, int i, int j, int hb, std::vector<uint32_t>& grid);

    ALLEGRO_BITMAP* actual_bit_normal;
    ALLEGRO_BITMAP* actual_bit_shadow;
    float tall;
    float scale;
    bool has_shadow;
    std::string name;
    std::string folder;
    // The diffuse, normal or height image is the fallback: what is made from it
    // is shown, but never cached, so restoring the file brings the object back.
    bool fallback_sources;
    bool selected;
    bool hover;
    Light* light;
};

}  // namespace Kelvane
