#include "resources/shader.h"

#include <allegro5/allegro.h>
#include <allegro5/allegro_opengl.h>  // Required for: the ARB shader-object entry points

#include <vector>

#include "core/common.h"

namespace Kelvane {

namespace {

const int LINE_BUFFER_SIZE = 512;

// The whole file as one string, read in pieces of at most 511 characters;
// false when it cannot be opened for reading (the program may only read its
// shaders) or not read to its end (a directory of that name, for one).
bool Read_Source(const std::string& path, std::string* source) {
    ALLEGRO_FILE* file = al_fopen(path.c_str(), "r");
    if (!file) return false;
    char buffer[LINE_BUFFER_SIZE];
    while (al_fgets(file, buffer, LINE_BUFFER_SIZE)) source->append(buffer);
    bool read_whole = !al_ferror(file);
    al_fclose(file);
    return read_whole;
}

// A variant's lines go after the #version line, which must stay first; a #line
// directive keeps the compiler's messages pointing at the file's own lines.
std::string With_Defines(const std::string& source, const std::string& defines) {
    if (defines.empty()) return source;
    if (source.compare(0, 8, "#version") != 0) return defines + "#line 1\n" + source;
    size_t end = source.find('\n');
    if (end == std::string::npos) return source + "\n" + defines;
    return source.substr(0, end + 1) + defines + "#line 2\n" + source.substr(end + 1);
}

std::string Info_Log(GLhandleARB object) {
    GLint length = 0;
    glGetObjectParameterivARB(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
    if (length <= 0) return "";
    std::vector<GLcharARB> text(length + 1, 0);
    glGetInfoLogARB(object, length, nullptr, text.data());
    return std::string(text.data());
}

bool Build_Step_Succeeded(GLhandleARB object, GLenum which) {
    GLint ok = 0;
    glGetObjectParameterivARB(object, which, &ok);
    return ok != 0;
}

}  // namespace

Shader::Shader(std::string path, std::string defines)
    : name(path), defines(defines), program(0), fragment_shader(0) {
    std::string source;
    if (!File_Exists(path) || !Read_Source(path, &source)) {
        error = "Shader " + path + " couldn't be read.";
        return;
    }
    Build(With_Defines(source, defines));
}

Shader::~Shader() {
    if (program) glDeleteObjectARB(program);
    if (fragment_shader) glDeleteObjectARB(fragment_shader);
}

void Shader::Build(const std::string& source) {
    std::vector<GLcharARB> buffer(source.begin(), source.end());
    buffer.resize(source.size() + 2, 0);
    const GLcharARB* text = buffer.data();
    fragment_shader = glCreateShaderObjectARB(GL_FRAGMENT_SHADER_ARB);
    glShaderSourceARB(fragment_shader, 1, &text, nullptr);
    glCompileShaderARB(fragment_shader);
    if (!Build_Step_Succeeded(fragment_shader, GL_OBJECT_COMPILE_STATUS_ARB)) {
        error = "Shader " + name + " didn't compile:\n" + Info_Log(fragment_shader);
        return;
    }
    GLhandleARB linked = glCreateProgramObjectARB();
    glAttachObjectARB(linked, fragment_shader);
    glLinkProgramARB(linked);
    if (!Build_Step_Succeeded(linked, GL_OBJECT_LINK_STATUS_ARB)) {
        error = "Shader " + name + " didn't link:\n" + Info_Log(linked);
        glDeleteObjectARB(linked);
        return;
    }
    program = linked;
}

void Shader::Apply() {
    glUseProgramObjectARB(program);
}

void Shader::Clear() {
    glUseProgramObjectARB(0);
}

void Shader::Set_Float(std::string uniform, float value) {
    glUniform1f(glGetUniformLocation(program, uniform.c_str()), value);
}

void Shader::Set_Float3v(std::string uniform, float* values) {
    if (!values) return;
    glUniform3f(glGetUniformLocation(program, uniform.c_str()), values[0], values[1], values[2]);
}

void Shader::Set_Texture(std::string uniform, int unit, ALLEGRO_BITMAP* image) {
    Set_GL_Texture(uniform, unit, al_get_opengl_texture(image));
}

void Shader::Set_GL_Texture(std::string uniform, int unit, unsigned int texture) {
    glUniform1i(glGetUniformLocation(program, uniform.c_str()), unit);
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_2D, texture);
}

void Shader::Set_Integer(std::string uniform, int value) {
    glUniform1i(glGetUniformLocation(program, uniform.c_str()), value);
}

void Shader::Set_Float2v(std::string uniform, float* values) {
    if (!values) return;
    glUniform2f(glGetUniformLocation(program, uniform.c_str()), values[0], values[1]);
}

void Shader::Set_Float_Array(std::string uniform, long first, long count, float* values) {
    if (!values || first < 0 || count <= 0) return;
    std::string element = uniform + "[" + std::to_string(first) + "]";
    glUniform1fv(glGetUniformLocation(program, element.c_str()), static_cast<GLsizei>(count), values);
}

}  // namespace Kelvane
