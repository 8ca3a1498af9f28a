#pragma once
// The lines of the About box.
#include <string>
#include <vector>

namespace velm {

struct AboutFacts {
    std::string platform;   // "Linux"
    double version = 0;     // the program's version number
    std::string buildDate;  // when the program was built
    int depthBits = 16, colourBits = 16;  // what the view obtained
    std::string renderer;   // the OpenGL renderer string
};

// "Velm (%s) version %.2f", "Build date: %s", "Using a %d bit Z buffer with
// %d bpp display", the renderer and the acknowledgement.
std::vector<std::string> AboutLines(const AboutFacts& facts);

}  // namespace velm
