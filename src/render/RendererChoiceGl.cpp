// What the current GL context offers: apart from the names of the paths, so
// that reading the stored settings needs no GL library.
#include <GL/gl.h>

#include "render/RendererChoice.h"

namespace velm {

namespace {
// GL_SHADING_LANGUAGE_VERSION, which gl.h of OpenGL 1.1 does not define.
constexpr GLenum kShadingLanguageVersion = 0x8B8C;
}  // namespace

bool CurrentContextOffersShaders() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    const char* glsl = reinterpret_cast<const char*>(glGetString(kShadingLanguageVersion));
    glGetError();  // an OpenGL 1.1 context rejects the second name
    return OffersShaders(version, glsl);
}

}  // namespace velm
