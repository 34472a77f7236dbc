#pragma once
// Caches shaders by file path; builds each the first time it is asked for.

#include <list>
#include <string>

namespace Kelvane {

class Shader;

class Shader_Manager {
public:
    Shader_Manager() = default;
    // Like the bitmap store: kept for the whole run by the game, freed by others.
    ~Shader_Manager();
    Shader_Manager(const Shader_Manager&) = delete;
    Shader_Manager& operator=(const Shader_Manager&) = delete;

    // The cached shader, built on first request; never null. A variant (see
    // Shader) is cached apart from the plain file and from other variants.
    Shader* Get_Shader(std::string path, std::string defines = "");

private:
    std::list<Shader*> shaders;
};

}  // namespace Kelvane
