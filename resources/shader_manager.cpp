#include "resources/shader_manager.h"

#include "resources/shader.h"

namespace Kelvane {

Shader_Manager::~Shader_Manager() {
    for (Shader* shader : shaders) delete shader;
}

Shader* Shader_Manager::Get_Shader(std::string path) {
    for (Shader* shader : shaders)
        if (shader->Get_Name() == path) return shader;
    Shader* shader = new Shader(path);
    shaders.push_back(shader);
    return shader;
}

}  // namespace Kelvane
