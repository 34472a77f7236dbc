#include "tools/asset_baker/baker.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "tools/asset_baker/badges.h"
#include "tools/asset_baker/models.h"
#include "tools/asset_baker/raster.h"
#include "tools/asset_baker/writer.h"
#include "world/camera.h"

namespace Asset_Baker {

namespace {

// One object folder to bake: its name and how its images are made.
struct Folder_Bake {
    std::string name;
    std::function<Baked_Object()> bake;
};

Folder_Bake Still(const Model& model, Kelvane::Camera& camera) {
    return Folder_Bake{model.name, [model, &camera] { return Bake(model, camera); }};
}

Folder_Bake Sheet(const Animated_Model& animated, Kelvane::Camera& camera) {
    return Folder_Bake{animated.name, [animated, &camera] { return Bake_Sheet(animated, camera); }};
}

// Bakes each folder into <objects_dir>/<name>/, reporting each on standard
// output; false when any failed.
bool Bake_Folders(const std::string& objects_dir, const std::vector<Folder_Bake>& folders) {
    if (!Init_Image_Output()) {
        std::printf("asset_baker: cannot start Allegro's image output\n");
        return false;
    }
    bool ok = true;
    for (const Folder_Bake& folder : folders) {
        auto start = std::chrono::steady_clock::now();
        Baked_Object baked = folder.bake();
        bool written = Write_Object_Folder(objects_dir + "/" + folder.name, baked);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("asset_baker: %-10s %4d x %-4d Height %g Center (%g, %g) Frames %d %.2f s%s\n", folder.name.c_str(),
                    baked.diffuse.width, baked.diffuse.height, baked.tall, baked.center_x, baked.center_y, baked.frames,
                    seconds, written ? "" : "  FAILED to write");
        ok = ok && written;
    }
    return ok;
}

}  // namespace

bool Bake_Stage(const std::string& stage_dir) {
    Kelvane::Camera camera;
    std::vector<Folder_Bake> folders;
    for (const Model& model :
         {Make_Tiles(camera), Make_Square(), Make_House(), Make_Sphere(), Make_Robot(), Make_Pilar(), Make_Light()})
        folders.push_back(Still(model, camera));
    folders.push_back(Sheet(Make_Robot_Wave(), camera));
    bool ok = Bake_Folders(stage_dir + "/assets/objects", folders);
    bool badges =
        Save_Png(Make_Badge_Play(), stage_dir + "/b1.png") && Save_Png(Make_Badge_Tick(), stage_dir + "/b2.png");
    if (!badges) std::printf("asset_baker: FAILED to write b1.png / b2.png\n");
    return ok && badges;
}

bool Bake_Village(const std::string& objects_dir) {
    Kelvane::Camera camera;
    return Bake_Folders(objects_dir, {Still(Make_Grass(camera), camera), Sheet(Make_Walker(), camera),
                                      Still(Make_Village_Crate(), camera), Still(Make_Cottage(), camera)});
}

bool Write_Missing_Image(const std::string& path) {
    return Init_Image_Output() && Save_Png(Make_Missing_Image(), path);
}

}  // namespace Asset_Baker
