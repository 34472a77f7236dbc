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

bool Bake_Stage(const std::string& stage_dir) {
    if (!Init_Image_Output()) {
        std::printf("asset_baker: cannot start Allegro's image output\n");
        return false;
    }
    Kelvane::Camera camera;
    std::vector<std::function<Model()>> makers = {
        [&camera] { return Make_Tiles(camera); }, Make_Square, Make_House, Make_Sphere, Make_Robot, Make_Pilar,
        Make_Light,
    };
    std::vector<std::function<Baked_Object()>> bakes;
    std::vector<std::string> names;
    for (const auto& make : makers) {
        Model model = make();
        names.push_back(model.name);
        bakes.push_back([model, &camera] { return Bake(model, camera); });
    }
    Animated_Model wave = Make_Robot_Wave();
    names.push_back(wave.name);
    bakes.push_back([wave, &camera] { return Bake_Sheet(wave, camera); });
    bool ok = true;
    for (size_t i = 0; i < bakes.size(); i++) {
        auto start = std::chrono::steady_clock::now();
        Baked_Object baked = bakes[i]();
        bool written = Write_Object_Folder(stage_dir + "/assets/objects/" + names[i], baked);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("asset_baker: %-10s %4d x %-4d Height %g Center (%g, %g) Frames %d %.2f s%s\n", names[i].c_str(),
                    baked.diffuse.width, baked.diffuse.height, baked.tall, baked.center_x, baked.center_y,
                    baked.frames, seconds, written ? "" : "  FAILED to write");
        ok = ok && written;
    }
    bool badges = Save_Png(Make_Badge_Play(), stage_dir + "/b1.png") && Save_Png(Make_Badge_Tick(), stage_dir + "/b2.png");
    if (!badges) std::printf("asset_baker: FAILED to write b1.png / b2.png\n");
    return ok && badges;
}

bool Write_Missing_Image(const std::string& path) {
    return Init_Image_Output() && Save_Png(Make_Missing_Image(), path);
}

}  // namespace Asset_Baker
