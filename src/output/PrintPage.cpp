#include "output/PrintPage.h"

#include <algorithm>
#include <cstdint>

namespace velm {

PrintPageLayout LayOutPrintPage(int targetWidth, int targetHeight, int clientWidth, int clientHeight,
                                int printMemoryLimitKb, int deviceDpiY, bool preview) {
    PrintPageLayout page;
    if (targetWidth <= 0 || targetHeight <= 0) return page;
    page.image = preview ? DibSize{clientWidth, clientHeight, 0}
                         : FitDibToView(targetWidth, targetHeight, clientWidth, clientHeight, printMemoryLimitKb);
    page.image.fontScaleNumerator = deviceDpiY;
    if (page.image.Empty()) return page;
    const std::int64_t w = page.image.width, h = page.image.height;
    std::int64_t width = targetWidth, height = h * targetWidth / w;
    if (height > targetHeight) {
        height = targetHeight;
        width = w * targetHeight / h;
    }
    page.width = static_cast<int>(width);
    page.height = static_cast<int>(height);
    page.x = (targetWidth - page.width) / 2;
    page.y = (targetHeight - page.height) / 2;
    return page;
}

PrintPageLayout LayOutClipboardPicture(int clientWidth, int clientHeight, int printMemoryLimitKb, int deviceDpiY) {
    return LayOutPrintPage(std::min(clientWidth, kMaxClipboardSide), std::min(clientHeight, kMaxClipboardSide),
                           clientWidth, clientHeight, printMemoryLimitKb, deviceDpiY, false);
}

}  // namespace velm
