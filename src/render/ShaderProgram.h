#pragma once
// One linked GLSL program of a vertex and a fragment shader, deleted with
// the object in the context it was made in.
#include <string>
#include <utility>
#include <vector>

namespace velm {

class ShaderProgram {
public:
    // Compiles and links in the current context, binding each named
    // attribute to its location first. Throws VelmError with the driver's
    // first line of log when a shader does not compile or the program does
    // not link.
    ShaderProgram(const char* vertexSource, const char* fragmentSource,
                  const std::vector<std::pair<unsigned, const char*>>& attributes);
    ~ShaderProgram();
    ShaderProgram(const ShaderProgram&) = delete;
    ShaderProgram& operator=(const ShaderProgram&) = delete;

    unsigned Id() const { return program_; }
    // The location of a uniform; -1 (which GL ignores) when the driver
    // dropped an unused one.
    int Uniform(const char* name) const;

private:
    unsigned program_ = 0;
};

}  // namespace velm
