#pragma once
// The lit scene object, defined by an asset folder "assets/objects/<name>/":
// diffuse.png, normal.png, height.png and settings.ini, plus the cached
// normal_cooked.png (normal in RGB, height in alpha) and shadow.png. The
// images may be sheets of equal frames (render/animation): the object shows
// one frame, and plays the folder's clips.

#include <cstdint>
#include <functional>  // Required for: Load_Or_Make()
#include <string>
#include <vector>

#include "core/common.h"  // Required for: Vec2D, Pixel_Box
#include "render/animation.h"
#include "render/vobject.h"

struct ALLEGRO_LOCKED_REGION;

namespace Kelvane {

class Bitmap;
class Bitmap_Manager;
class Camera;
class Config;
class Light;

class VObject_Complex : public VObject {
public:
    // Loads the folder, reads settings.ini (written back when a key was added),
    // and takes the cooked normal map and (with `shadow`) the shadow sprite from
    // the cache files, or generates and saves them when a cache is missing,
    // unusable or made from other sources. A folder is read and cooked once per
    // store: later objects of it share the first one's images. A name that is
    // not one folder name (Is_Plain_Name) gives an object showing the missing
    // image, and a line saying so. The camera and store are used only here.
    VObject_Complex(Bitmap_Manager* store, Camera* camera, std::string name, float x, float y, float z,
                    float scale, bool shadow);
    // The object as a complex object when the renderer draws it as one
    // (visible, of the complex type); null for anything else.
    static VObject_Complex* Drawn(VObject* object);
    // The asset folder an object of that name is built from: "assets/objects/<name>/".
    static std::string Folder_Of(std::string name);

    // Moves the clip playing on by `dt` ticks, and the attached light, if any,
    // onto the object's position raised by its lift.
    void Update(float dt) override;
    // Ticks per second of the game's loop, for every object: clips' frame
    // rates are frames per second of real time. DEFAULT_FPS until set.
    static void Set_Tick_Rate(int ticks_per_second);

    // Plays the folder's clip of that name from its first frame (the clip
    // already playing runs on); an unknown name changes nothing, after a line
    // on standard output saying so. False for an unknown name.
    bool Play(std::string clip);
    // Keeps the frame shown.
    void Stop();
    // Stops the clip and shows the frame; one out of the sheet changes nothing,
    // after a line on standard output. False then.
    bool Set_Frame(int frame);
    int Get_Frame() { return animation.Get_Frame(); }
    int Get_Frames() { return animation.Get_Frames(); }
    // The clip playing, "" when none does.
    std::string Get_Clip() { return animation.Get_Clip(); }

    // Packs normal.png's RGB and height.png's red (as alpha) into actual_bit_normal,
    // a texture; null when the image cannot be made. A source whose size differs
    // from diffuse.png's is replaced by the missing image, with one line saying so.
    void Generate_Normal_Map(Bitmap_Manager* store);
    // Drops every opaque diffuse pixel to the floor and stores the tallest height
    // over each footprint pixel in actual_bit_shadow (red = lo, green = hi, base 255),
    // a sheet of the diffuse image's layout with each frame cast on its own;
    // null when the sprite cannot be made.
    void Generate_Shadow_Bit(Camera* camera);

    // Where the frame shown lies in the images, which are sheets of equal
    // frames (a still object's sheet holds one): its top-left corner in pixels.
    // Get_W() and Get_H() are the frame's size.
    Vec2D Get_Frame_Origin() { return frame_origin; }

    ALLEGRO_BITMAP* Get_Actual_Bit_Normal() { return actual_bit_normal; }
    ALLEGRO_BITMAP* Get_Actual_Bit_Shadow() { return actual_bit_shadow; }
    // Where the shadow sprite's frame shown holds heights above 0, in pixels
    // from the frame's corner: empty when it holds none, the whole frame when
    // that is not known (a sprite of another size than the images).
    Pixel_Box Get_Raised_Footprint();
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
    // The light follows the object, `lift` world units above it (0: at its position).
    void Attach_Light(Light* value, float lift = 0.0f) {
        light = value;
        light_lift = lift;
    }
    Light* Get_Light() { return light; }

private:
    void Build_From_Folder(Bitmap_Manager* store, Camera* camera);
    // For a name that would lead out of assets/objects/: reads and writes nothing.
    void Show_Missing_Image(Bitmap_Manager* store);
    // The frames of the diffuse sheet; w and h: one frame's size. `report`:
    // say what is wrong with the layout.
    void Take_Size(bool report);
    // frame_origin for the frame the animation shows.
    void Show_Frame();
    // The size of the images, which are sheets of frames, in pixels.
    int Sheet_W();
    int Sheet_H();
    // Deletes the temporary files that writes of this folder's own files left
    // behind when their process ended before renaming them.
    void Remove_Stale_Temporaries();
    // tall, cx and cy from settings.ini, which is saved when a missing key was
    // added with its default. `report`: say what is wrong with the file.
    void Read_Settings(bool report);
    // A finite number (above 0 when `positive`), or the default, with one line
    // when `report`; the file keeps what the user wrote.
    float Read_Setting(Config& settings, const std::string& key, float fallback, bool positive, bool report);
    // True, after one line on standard output, when a cache this object will
    // read from the disk was made from other sources than the folder's now.
    bool Caches_Stale(Bitmap_Manager* store);
    // Made from the sources as they are now: as its record says, or, without a
    // record of it, at least as new as every source.
    bool Cache_Fresh(Config& record, const std::string& cache);
    // True when writing `file` stays in the folder: false, with one line when
    // `report`, for a symbolic link that leads out of it.
    bool May_Write(const std::string& file, bool report);
    // Writes the cache whole or not at all; false, after one line, when it was not written.
    bool Save_Cache(const std::string& file, ALLEGRO_BITMAP* image);
    // Records the times of the caches written just now and of their sources.
    void Record_Sources(const std::vector<std::string>& caches);
    void Load_Or_Cook_Normal_Map(Bitmap_Manager* store, bool refresh, std::vector<std::string>& saved);
    // The cache's image when an earlier object of the folder has it, or when it is
    // there, usable and not to be refreshed; else what `make` returns, saved as
    // the cache (and then listed in `saved`) unless it came from a fallback image.
    ALLEGRO_BITMAP* Load_Or_Make(Bitmap_Manager* store, const std::string& file, bool refresh,
                                 const std::function<ALLEGRO_BITMAP*()>& make, std::vector<std::string>& saved);
    // The source's image when it has the diffuse image's size; else, after one
    // line saying which image has which size, the missing image in its place.
    ALLEGRO_BITMAP* Matching_Source(Bitmap_Manager* store, Bitmap* source, const std::string& file,
                                    bool diffuse_usable);
    // Casts each frame into its place in `sheet` (column-major, one word per
    // sheet pixel). False, after one line on standard output, when the images
    // cannot be read or a height does not fit the encoding.
    bool Cast_Frames(Camera* camera, std::vector<uint32_t>& sheet);
    // Drops every casting pixel of the frame at `origin` of the locked sheets
    // into `grid` (column-major, w x h words): a footprint never leaves its frame.
    bool Cast_Footprint(Camera* camera, ALLEGRO_LOCKED_REGION* diffuse, ALLEGRO_LOCKED_REGION* normal, Vec2D origin,
                        std::vector<uint32_t>& grid);
    bool Cast_Pixel(Camera* camera, int i, int j, int hb, std::vector<uint32_t>& grid);
    // The raised footprints of the shadow sprite's frames, kept with the folder's sprite.
    void Take_Raised_Footprints(Bitmap_Manager* store);

    ALLEGRO_BITMAP* actual_bit_normal;
    ALLEGRO_BITMAP* actual_bit_shadow;
    float tall;
    float scale;
    bool has_shadow;
    std::string name;
    std::string folder;  // empty for a name that is refused
    // The diffuse, normal or height image is the fallback: what is made from it
    // is shown, but never cached, so restoring the file brings the object back.
    bool fallback_sources;
    bool selected;
    bool hover;
    Light* light;
    float light_lift;
    Animation animation;
    Vec2D frame_origin;
    const std::vector<Pixel_Box>* raised_footprints;  // per frame; null when not known
};

}  // namespace Kelvane
