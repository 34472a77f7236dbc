#pragma once
// The worlds the frame benchmark measures, built from descriptions and seen
// from the options' view.

#include <memory>
#include <string>
#include <vector>

namespace Kelvane {
class Bitmap_Manager;
class Renderer;
class World;
}  // namespace Kelvane

namespace Frame_Bench {

struct Options;

// A world and the name its rows begin with.
struct Named_World {
    std::string name;
    std::unique_ptr<Kelvane::World> world;
};

// The worlds that `name` (one of WORLD_NAMES) stands for:
// - demo: the demonstration's built-in world;
// - stress: the demonstration's floor with the options' props and point lights
//   spread over the view;
// - large: the same floor and lights, with the props spread over a map far
//   larger than the view, and "large-visible", the same view holding only the
//   objects whose picture or shadow some frame of the run (the pan's included)
//   can show: the two draw the same pictures.
// `renderer` says how much of the world the output shows.
std::vector<Named_World> Build_Worlds(const std::string& name, Kelvane::Bitmap_Manager* store,
                                      Kelvane::Renderer* renderer, const Options& options);

}  // namespace Frame_Bench
