#include <gtest/gtest.h>

#include <array>

#include "output/PrintPage.h"
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

TEST(PrintPageLayout, FitsTheWindowThenStretchesOverTheTargetCentred) {
    struct Case {
        int targetWidth, targetHeight, clientWidth, clientHeight, limitKb;
        bool preview, clipboard;
        PrintPageLayout expected;  // image w x h, then placement x, y, w, h
    };
    const Case cases[] = {
        // A letter page at 600 dpi from an 800 x 600 window: a band above and below.
        {4800, 6600, 800, 600, kNoMemoryLimit, false, false, {{4800, 3600, 600}, 0, 1500, 4800, 3600}},
        // The same page in preview: the window's own size, stretched the same way.
        {4800, 6600, 800, 600, kNoMemoryLimit, true, false, {{800, 600, 600}, 0, 1500, 4800, 3600}},
        // Halved to the memory limit, still covering the target.
        {1000, 750, 800, 600, 1024, false, false, {{500, 375, 600}, 0, 0, 1000, 750}},
        // Scaled to the width it would be too tall: then to the height, centred across.
        {1000, 500, 600, 800, kNoMemoryLimit, false, false, {{375, 500, 600}, 312, 0, 375, 500}},
        // The clipboard: at most 1000 a side, the picture centred in that area.
        {0, 0, 1200, 800, kNoMemoryLimit, false, true, {{1000, 666, 600}, 0, 67, 1000, 666}},
        {0, 0, 640, 480, kNoMemoryLimit, false, true, {{640, 480, 600}, 0, 0, 640, 480}},
        {0, 0, 1500, 1400, kNoMemoryLimit, false, true, {{1000, 933, 600}, 0, 33, 1000, 933}},
        // Nothing to draw into, or too thin to draw.
        {0, 6600, 800, 600, kNoMemoryLimit, false, false, {{0, 0, 0}, 0, 0, 0, 0}},
        {1, 6600, 800, 600, kNoMemoryLimit, false, false, {{1, 0, 600}, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        const PrintPageLayout got =
            c.clipboard ? LayOutClipboardPicture(c.clientWidth, c.clientHeight, c.limitKb, 600)
                        : LayOutPrintPage(c.targetWidth, c.targetHeight, c.clientWidth, c.clientHeight, c.limitKb, 600,
                                          c.preview);
        SCOPED_TRACE(testing::Message() << c.targetWidth << "x" << c.targetHeight << " from " << c.clientWidth << "x"
                                        << c.clientHeight);
        EXPECT_EQ(got.image, c.expected.image);
        EXPECT_EQ((std::array{got.x, got.y, got.width, got.height}),
                  (std::array{c.expected.x, c.expected.y, c.expected.width, c.expected.height}));
    }
}
