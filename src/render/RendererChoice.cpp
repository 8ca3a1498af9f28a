#include "render/RendererChoice.h"

#include <cstdio>

namespace velm {

namespace {

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

}  // namespace velm
