#pragma once
#include <cstdint>

namespace velm {

// A display colour: four bytes R, G, B, A.
struct Rgba {
    std::uint8_t r = 255, g = 255, b = 255, a = 255;
    friend bool operator==(const Rgba&, const Rgba&) = default;
};

}  // namespace velm
