#pragma once
// The GL state and target bitmap a frame changes, taken when it starts and put
// back when it ends, so whatever the caller draws next behaves as if no frame
// had been drawn in between.

#include <vector>

struct ALLEGRO_BITMAP;

namespace Kelvane {

class Saved_GL_State {
public:
    // `texture_units`: how many units, from unit 0, the frame binds textures to.
    explicit Saved_GL_State(int texture_units);
    ~Saved_GL_State();
    Saved_GL_State(const Saved_GL_State&) = delete;
    Saved_GL_State& operator=(const Saved_GL_State&) = delete;

private:
    ALLEGRO_BITMAP* target;
    int program;
    int active_unit;
    std::vector<int> bound;  // the 2D texture of each unit
};

}  // namespace Kelvane
