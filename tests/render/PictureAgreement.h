#pragma once
// How closely two RGBA pictures of the same scene agree, for the tests that
// hold the shader path's pictures against the OpenGL 1.1 path's.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace velm::test {

// The share of pixels whose channels all lie within 8 levels.
inline double Agreement(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    std::size_t close = 0;
    for (std::size_t i = 0; i + 3 < a.size(); i += 4) {
        int worst = 0;
        for (std::size_t c = 0; c < 3; ++c) worst = std::max(worst, std::abs(int(a[i + c]) - int(b[i + c])));
        close += worst <= 8;
    }
    return double(close) / double(a.size() / 4);
}

// Pixels that are not black.
inline std::size_t Ink(const std::vector<std::uint8_t>& p) {
    std::size_t n = 0;
    for (std::size_t i = 0; i + 3 < p.size(); i += 4) n += p[i] + p[i + 1] + p[i + 2] > 0;
    return n;
}

}  // namespace velm::test
