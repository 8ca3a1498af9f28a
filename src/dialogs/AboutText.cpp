#include "dialogs/AboutText.h"

#include <cstdio>

namespace velm {

std::vector<std::string> AboutLines(const AboutFacts& f) {
    char line[512];
    std::vector<std::string> lines;
    std::snprintf(line, sizeof line, "Velm (%s) version %.2f", f.platform.c_str(), f.version);
    lines.emplace_back(line);
    std::snprintf(line, sizeof line, "Build date: %s", f.buildDate.c_str());
    lines.emplace_back(line);
    std::snprintf(line, sizeof line, "Using a %d bit Z buffer with %d bpp display", f.depthBits, f.colourBits);
    lines.emplace_back(line);
    lines.push_back(f.renderer);
    lines.emplace_back("Velm is built on Qt, Mesa's OpenGL, zlib, libpng, FreeType, fontconfig, libcurl and FFmpeg; "
                       "secondary structure follows the STRIDE method.");
    return lines;
}

}  // namespace velm
