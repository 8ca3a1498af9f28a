#define GL_GLEXT_PROTOTYPES 1
#include "render/ShaderProgram.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "core/VelmError.h"

namespace velm {

namespace {

// The first line of a shader's or program's log, for a one-line report.
std::string FirstLine(std::string log) {
    const size_t end = log.find('\n');
    if (end != std::string::npos) log.resize(end);
    return log;
}

std::string ShaderLog(GLuint shader) {
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) glGetShaderInfoLog(shader, length, nullptr, log.data());
    return FirstLine(log.c_str());
}

GLuint Compile(GLenum kind, const char* source) {
    const GLuint shader = glCreateShader(kind);
    if (!shader) throw VelmError("glCreateShader failed");
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        const std::string log = ShaderLog(shader);
        glDeleteShader(shader);
        throw VelmError((kind == GL_VERTEX_SHADER ? "vertex shader: " : "fragment shader: ") + log);
    }
    return shader;
}

}  // namespace

ShaderProgram::ShaderProgram(const char* vertexSource, const char* fragmentSource,
                             const std::vector<std::pair<unsigned, const char*>>& attributes) {
    const GLuint vertex = Compile(GL_VERTEX_SHADER, vertexSource);
    GLuint fragment = 0;
    try {
        fragment = Compile(GL_FRAGMENT_SHADER, fragmentSource);
    } catch (...) {
        glDeleteShader(vertex);
        throw;
    }
    program_ = glCreateProgram();
    glAttachShader(program_, vertex);
    glAttachShader(program_, fragment);
    for (const auto& [location, name] : attributes) glBindAttribLocation(program_, location, name);
    glLinkProgram(program_);
    // The program keeps what it needs; the shaders go when it does.
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint ok = GL_FALSE;
    glGetProgramiv(program_, GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE) {
        GLint length = 0;
        glGetProgramiv(program_, GL_INFO_LOG_LENGTH, &length);
        std::string log(static_cast<size_t>(length > 0 ? length : 0), '\0');
        if (length > 0) glGetProgramInfoLog(program_, length, nullptr, log.data());
        glDeleteProgram(program_);
        program_ = 0;
        throw VelmError("link: " + FirstLine(log.c_str()));
    }
}

ShaderProgram::~ShaderProgram() {
    if (program_) glDeleteProgram(program_);
}

int ShaderProgram::Uniform(const char* name) const { return glGetUniformLocation(program_, name); }

}  // namespace velm
