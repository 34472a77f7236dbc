// asset_baker <stage_dir>: bakes the demonstration scene's object folders and
// badges into a staged run directory.
// asset_baker --village <objects_dir>: bakes the village example's object folders.
// asset_baker --missing-image <path>: writes the fallback image.
#include <cstdio>
#include <string>

#include "tools/asset_baker/baker.h"

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--missing-image") {
        bool ok = Asset_Baker::Write_Missing_Image(argv[2]);
        if (!ok) std::printf("asset_baker: cannot write %s\n", argv[2]);
        return ok ? 0 : 1;
    }
    if (argc == 3 && std::string(argv[1]) == "--village") return Asset_Baker::Bake_Village(argv[2]) ? 0 : 1;
    if (argc != 2 || argv[1][0] == '-') {
        std::printf(
            "usage: asset_baker <stage_dir> | asset_baker --village <objects_dir> | asset_baker --missing-image "
            "<path>\n");
        return 2;
    }
    return Asset_Baker::Bake_Stage(argv[1]) ? 0 : 1;
}
