#include "output/RenderToDib.h"

#include <algorithm>

namespace velm {

DibSize FitDibToView(std::int64_t width, std::int64_t height, int clientWidth, int clientHeight,
                     int printMemoryLimitKb) {
    // Integer arithmetic as the bitmap sizes have always been computed; 64 bits
    // because printer resolutions times client sizes overflow 32.
    width = std::max<std::int64_t>(width, 0);
    height = std::max<std::int64_t>(height, 0);
    const std::int64_t cw = clientWidth, ch = clientHeight;
    if (cw > 0 && ch > 0) {
        if (width * ch < cw * height)
            height = width * ch / cw;
        else
            width = cw * height / ch;
    }
    if (printMemoryLimitKb > 0) {
        const std::int64_t limit = std::int64_t{printMemoryLimitKb} * 1024;
        while (width * height * 3 > limit) {
            width /= 2;
            height /= 2;
        }
    }
    DibSize size;
    size.width = static_cast<int>(std::min<std::int64_t>(width, INT32_MAX));
    size.height = static_cast<int>(std::min<std::int64_t>(height, INT32_MAX));
    return size;
}

DibSize RenderToDibSize(std::int64_t requestedWidth, std::int64_t requestedHeight, int clientWidth,
                        int clientHeight, int printMemoryLimitKb, int deviceDpiY) {
    DibSize size = FitDibToView(std::min<std::int64_t>(requestedWidth, kMaxDibSide),
                                std::min<std::int64_t>(requestedHeight, kMaxDibSide), clientWidth, clientHeight,
                                printMemoryLimitKb);
    size.fontScaleNumerator = deviceDpiY;
    return size;
}

}  // namespace velm
