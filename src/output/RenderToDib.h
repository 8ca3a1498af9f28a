#pragma once
// The size of an off-screen render. Exported pictures are at most 1000 pixels
// a side, keep the window's shape, and are halved while they would need more
// memory than the user allowed.
#include <cstdint>

namespace velm {

inline constexpr int kMaxDibSide = 1000;
// printMemoryLimit: use system memory as needed.
inline constexpr int kNoMemoryLimit = -1;

struct DibSize {
    int width = 0;
    int height = 0;
    // Labels are built with their height scaled by fontScaleNumerator over the
    // view's denominator: the target's vertical resolution (pixels per inch).
    int fontScaleNumerator = 0;

    // A side of 0 means no bitmap can be made.
    bool Empty() const { return width <= 0 || height <= 0; }
    bool operator==(const DibSize&) const = default;
};

// Shape and memory only (prints and clipboard pictures, whose target is not
// clamped): with a client size cw x ch, when width*ch < cw*height the height
// becomes width*ch/cw, else the width cw*height/ch; then, when
// printMemoryLimitKb > 0, both are halved while width*height*3 bytes exceed
// printMemoryLimitKb*1024. A client side of 0 (a window not shown) keeps the
// shape asked for.
DibSize FitDibToView(std::int64_t width, std::int64_t height, int clientWidth, int clientHeight,
                     int printMemoryLimitKb);

// renderToDib: the requested size clamped to at most kMaxDibSide a side, then
// fitted as above; deviceDpiY becomes the font scale numerator.
DibSize RenderToDibSize(std::int64_t requestedWidth, std::int64_t requestedHeight, int clientWidth,
                        int clientHeight, int printMemoryLimitKb, int deviceDpiY);

}  // namespace velm
