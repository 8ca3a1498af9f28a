#include "render/RendererChoice.h"

#include <GL/gl.h>

#include <cstdio>

namespace velm {

namespace {

// GL_SHADING_LANGUAGE_VERSION, which gl.h of OpenGL 1.1 does not define.
constexpr GLenum kShadingLanguageVersion = 0x8B8C;

// "major.minor" at the start of a version string ("4.5 (Compatibility
// Profile) Mesa 22.3.6", "1.20"), as one number major * 100 + minor.
int VersionNumber(const char* text) {
    int major = 0, minor = 0;
    if (!text || std::sscanf(text, "%d.%d", &major, &minor) != 2) return 0;
    // "1.2" and "1.20" both mean GLSL 1.20.
    if (minor < 10) minor *= 10;
    return major * 100 + minor;
}

}  // namespace

std::string_view DrawingPathName(DrawingPath path) { return path == DrawingPath::Shader ? "shader" : "fixed"; }

std::optional<DrawingPath> DrawingPathFromName(std::string_view name) {
    if (name == "fixed") return DrawingPath::Fixed;
    if (name == "shader") return DrawingPath::Shader;
    return std::nullopt;
}

bool OffersShaders(const char* glVersion, const char* glslVersion) {
    return VersionNumber(glVersion) >= 210 && VersionNumber(glslVersion) >= 120;
}

bool CurrentContextOffersShaders() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    const char* glsl = reinterpret_cast<const char*>(glGetString(kShadingLanguageVersion));
    glGetError();  // an OpenGL 1.1 context rejects the second name
    return OffersShaders(version, glsl);
}

}  // namespace velm
