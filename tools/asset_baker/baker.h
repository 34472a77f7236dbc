#pragma once
// The baker's two jobs, as the command line names them.

#include <string>

namespace Asset_Baker {

// Bakes every object folder of the demonstration scene into
// <stage_dir>/assets/objects/<name>/ and writes <stage_dir>/b1.png and b2.png;
// reports progress on standard output. False when anything failed.
bool Bake_Stage(const std::string& stage_dir);
// Bakes the village example's object folders into <objects_dir>/<name>/.
bool Bake_Village(const std::string& objects_dir);
// Writes the fallback image (magenta/black checker) to the path.
bool Write_Missing_Image(const std::string& path);

}  // namespace Asset_Baker
