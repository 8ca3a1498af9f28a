#include <gtest/gtest.h>

#include "output/RenderToDib.h"

using namespace velm;

TEST(RenderToDibSize, ClampsKeepsTheWindowShapeAndHalvesToTheMemoryLimit) {
    struct Case {
        std::int64_t width, height;
        int clientWidth, clientHeight, limitKb;
        int expectedWidth, expectedHeight;
    };
    const Case cases[] = {
        {4000, 3000, 800, 600, kNoMemoryLimit, 1000, 750},
        {1000, 750, 800, 600, 1024, 500, 375},  // 562 500 bytes <= 1 048 576
        {1000, 1000, 800, 600, kNoMemoryLimit, 1000, 750},
        {500, 1000, 800, 600, kNoMemoryLimit, 500, 375},
        {1000, 200, 800, 600, kNoMemoryLimit, 266, 200},  // 800*200/600 rounds down
        {640, 480, 640, 480, kNoMemoryLimit, 640, 480},
        {1000, 1000, 300, 900, kNoMemoryLimit, 333, 1000},
        {4294967295LL, 4294967295LL, 800, 600, kNoMemoryLimit, 1000, 750},
        // 1000*750*3 = 2 250 000 bytes: 2198 KB hold it, 2197 KB do not.
        {1000, 750, 800, 600, 2198, 1000, 750},
        {1000, 750, 800, 600, 2197, 500, 375},
        // 1 KB: halved six times, 15*11*3 = 495 bytes.
        {1000, 750, 800, 600, 1, 15, 11},
        {1000, 750, 800, 600, 0, 1000, 750},  // only a positive limit halves
        {1, 1000, 800, 600, kNoMemoryLimit, 1, 0},  // too thin: no bitmap
        {4000, 3000, 0, 0, kNoMemoryLimit, 1000, 1000},  // no window to follow
        {300, 200, 800, 0, kNoMemoryLimit, 300, 200},
    };
    for (const Case& c : cases) {
        const DibSize size = RenderToDibSize(c.width, c.height, c.clientWidth, c.clientHeight, c.limitKb, 96);
        EXPECT_EQ(size.width, c.expectedWidth) << c.width << "x" << c.height << " in " << c.clientWidth << "x"
                                               << c.clientHeight << " limit " << c.limitKb;
        EXPECT_EQ(size.height, c.expectedHeight) << c.width << "x" << c.height << " in " << c.clientWidth << "x"
                                                 << c.clientHeight << " limit " << c.limitKb;
        EXPECT_EQ(size.Empty(), c.expectedWidth == 0 || c.expectedHeight == 0);
    }
}

TEST(RenderToDibSize, FontScaleFollowsTheTargetResolution) {
    for (int dpi : {82, 96, 300, 600}) EXPECT_EQ(RenderToDibSize(800, 600, 800, 600, -1, dpi).fontScaleNumerator, dpi);
}

TEST(FitDibToView, PrinterPagesAreNotClampedButStillHalved) {
    // An A4 page at 600 dpi for an 800 x 600 window.
    EXPECT_EQ(FitDibToView(4960, 7016, 800, 600, kNoMemoryLimit), (DibSize{4960, 3720, 0}));
    // 8192 KB: 4960*3720*3 and 2480*1860*3 bytes are too many, 1240*930*3 fit.
    EXPECT_EQ(FitDibToView(4960, 7016, 800, 600, 8192), (DibSize{1240, 930, 0}));
    // A clipboard picture of a window wider than the 1000-pixel target.
    EXPECT_EQ(FitDibToView(1000, 700, 1400, 700, kNoMemoryLimit), (DibSize{1000, 500, 0}));
}
