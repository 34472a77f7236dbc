#pragma once
// The objects of the demonstration scene, in their own coordinates: the origin
// is the object's position (see docs/encodings.md, "Baked objects").

#include "tools/asset_baker/model.h"
#include "world/camera.h"

namespace Asset_Baker {

// World units of one floor tile's side; the scene places tiles this far apart.
const double TILE_SIZE = 1080.0;

// How far each edge of a floor tile `tile_size` world units square reaches
// beyond the exact footprint, in world units, so that neighbouring tiles leave
// no gap at any sub-pixel view position (see docs/encodings.md, "Floor tiles").
double Tile_Seam_Allowance(Kelvane::Camera& camera, double tile_size);

Model Make_Tiles(Kelvane::Camera& camera);
Model Make_Square();
Model Make_House();
Model Make_Sphere();
Model Make_Robot();
Model Make_Pilar();
Model Make_Light();

// The raised arm's angle in each frame of robot_wave, degrees from hanging down.
inline const double ROBOT_WAVE_DEGREES[] = {0.0, 50.0, 100.0, 140.0};
// The robot raising its right arm and waving: a sheet of those frames, two to
// a row, with the clips "raise" (frames 0-2, once) and "wave" (2-3, looping).
Animated_Model Make_Robot_Wave();

// The village example's objects (examples/village/assets/objects/).
// World units of one grass tile's side; the village places tiles this far apart.
const double GRASS_SIZE = 600.0;
// A grass floor tile, its position the footprint corner of greatest x and least y, as the paving's.
Model Make_Grass(Kelvane::Camera& camera);
// The villager: standing, then a four-step walk, facing -x like the robot.
// Frame 0 stands; the clip "walk" loops frames 1-4.
Animated_Model Make_Walker();
// The crate and the house at the village's size: the same models baked smaller.
const double VILLAGE_CRATE_SCALE = 0.3;
const double VILLAGE_HOUSE_SCALE = 0.4;
Model Make_Village_Crate();
Model Make_Cottage();

}  // namespace Asset_Baker
