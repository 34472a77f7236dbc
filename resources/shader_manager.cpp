#include "resources/shader_manager.h"

#include "resources/shader.h"

namespace Kelvane {

Shader_Manager::~Shader_Manager() {
    for (Shader* shader : shaders) delete shader;
}

Shader* Shader_Manager::Get_Shader(std::string path, std::string defines) {
    for (Shader* shader : shaders)
        if (shader->Get_Name() == path && shader->Get_Defines() == defines) return shader;
    Shader* shader = new Shader(path, defines);
    shaders.push_back(shader);
    return shader;
}

}  // namespace Kelvane
