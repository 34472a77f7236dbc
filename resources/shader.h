#pragma once
// One GPU program built from one GLSL fragment-shader file (the vertex stage
// stays fixed-function), with the uniform setters the renderer needs.

#include <string>

struct ALLEGRO_BITMAP;

namespace Kelvane {

class Shader {
public:
    // Reads, compiles and links. A missing file or a failed build leaves the
    // program handle 0 (Apply then amounts to Clear) and the reason in Get_Error.
    // `defines` (lines such as "#define X 1\n") go right after the file's
    // #version line, so one file can be built in several variants.
    explicit Shader(std::string path, std::string defines = "");
    // Deletes the GL objects; the context they were made in must be current.
    ~Shader();
    Shader(const Shader&) = delete;
    Shader& operator=(const Shader&) = delete;

    void Apply();
    // Back to fixed function, whichever shader it is called on.
    static void Clear();
    void Set_Float(std::string name, float value);
    void Set_Float3v(std::string name, float* values);
    // Binds the image to texture unit `unit` and leaves that unit active.
    void Set_Texture(std::string name, int unit, ALLEGRO_BITMAP* image);
    // The same for a texture the GL made outside the graphics library.
    void Set_GL_Texture(std::string name, int unit, unsigned int texture);
    void Set_Integer(std::string name, int value);
    void Set_Float2v(std::string name, float* values);
    // Elements first .. first + count - 1 of the float array `name`.
    void Set_Float_Array(std::string name, long first, long count, float* values);

    std::string Get_Name() { return name; }
    std::string Get_Defines() { return defines; }
    // True when the program compiled and linked.
    bool Is_Usable() { return program != 0; }
    // Why the program is not usable: the path and the GL's info log.
    std::string Get_Error() { return error; }
    unsigned int Get_Program() { return program; }

private:
    void Build(const std::string& source);

    std::string name;
    std::string defines;
    unsigned int program;
    unsigned int fragment_shader;
    std::string error;
};

}  // namespace Kelvane
