#include <gtest/gtest.h>

#include <string>

#include "core/VelmError.h"
#include "output/ImageFile.h"

using namespace velm;

TEST(Dib, RowsArePaddedToFourBytes) {
    const std::pair<int, std::size_t> strides[] = {{1, 4}, {2, 8}, {3, 12}, {4, 12}, {5, 16}, {7, 24}, {1000, 3000}, {0, 0}};
    for (auto [width, stride] : strides) EXPECT_EQ(DibStride(width), stride) << width;
    Dib dib;
    dib.width = 5;
    dib.height = 3;
    EXPECT_EQ(dib.ImageSize(), 48u);
    EXPECT_FALSE(dib.Valid());
    dib.bits.resize(48);
    EXPECT_TRUE(dib.Valid());
    dib.bits.resize(45);  // unpadded rows
    EXPECT_FALSE(dib.Valid());
}

TEST(Dib, FromRgbaKeepsBottomRowFirstInBlueGreenRedOrder) {
    // 3 x 2, bottom row first: (1,2,3) (4,5,6) (7,8,9) / (10,11,12) (13,14,15) (16,17,18); alpha 255.
    std::vector<std::uint8_t> rgba;
    for (std::uint8_t v = 1; v <= 18; v += 3) rgba.insert(rgba.end(), {v, std::uint8_t(v + 1), std::uint8_t(v + 2), 255});
    const Dib dib = DibFromRgba(rgba, 3, 2);
    ASSERT_TRUE(dib.Valid());
    const std::vector<std::uint8_t> expected = {3,  2,  1,  6,  5,  4,  9,  8,  7,  0, 0, 0,
                                                12, 11, 10, 15, 14, 13, 18, 17, 16, 0, 0, 0};
    EXPECT_EQ(dib.bits, expected);
    EXPECT_THROW(DibFromRgba(rgba, 2, 2), VelmError);
    EXPECT_THROW(DibFromRgba({}, 0, 0), VelmError);
}

TEST(ImageFile, AFileThatCannotBeOpenedNamesItself) {
    const std::string path = "/nonexistent-velm-dir/picture.bmp";
    try {
        OpenImageFile(path);
        FAIL() << "opened " << path;
    } catch (const VelmError& e) {
        EXPECT_EQ(e.text(), "Unable to open " + path + " for writing");
    }
}
