#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "core/VelmError.h"
#include "output/BmpFile.h"

using namespace velm;

namespace {

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t Le16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

// Pixel (x, y), y counted from the top, read from bitmap bytes the way a
// viewer does: rows bottom-up from offset bfOffBits, each padded to 4 bytes.
std::array<std::uint8_t, 3> BgrAt(const std::vector<std::uint8_t>& file, int x, int yFromTop) {
    const int width = static_cast<int>(Le32(file, 18)), height = static_cast<int>(Le32(file, 22));
    const std::size_t stride = (static_cast<std::size_t>(width) * 24 + 31) / 32 * 4;
    const std::size_t at = Le32(file, 10) + stride * static_cast<std::size_t>(height - 1 - yFromTop) +
                           static_cast<std::size_t>(x) * 3;
    return {file[at], file[at + 1], file[at + 2]};
}

Dib Patterned(int width, int height) {
    Dib dib;
    dib.width = width;
    dib.height = height;
    dib.bits.assign(dib.ImageSize(), 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                dib.bits[static_cast<std::size_t>(y) * dib.Stride() + static_cast<std::size_t>(x) * 3 + static_cast<std::size_t>(c)] =
                    static_cast<std::uint8_t>(10 * y + 3 * x + c + 1);
    return dib;
}

}  // namespace

TEST(BmpFile, HeadersDescribeABottomUpTwentyFourBitImage) {
    struct Case {
        int width, height;
        std::uint32_t imageSize;
    };
    const Case cases[] = {{1, 1, 4}, {2, 3, 24}, {3, 2, 24}, {4, 1, 12}, {5, 2, 32}, {800, 600, 1440000}};
    for (const Case& c : cases) {
        const auto file = BmpBytes(Patterned(c.width, c.height));
        ASSERT_EQ(file.size(), 54 + c.imageSize);
        EXPECT_EQ(file[0], 0x42);
        EXPECT_EQ(file[1], 0x4D);
        EXPECT_EQ(Le32(file, 2), 54 + c.imageSize);  // file size
        EXPECT_EQ(Le32(file, 6), 0u);                // reserved
        EXPECT_EQ(Le32(file, 10), 54u);              // pixel offset
        EXPECT_EQ(Le32(file, 14), 40u);
        EXPECT_EQ(Le32(file, 18), static_cast<std::uint32_t>(c.width));
        EXPECT_EQ(Le32(file, 22), static_cast<std::uint32_t>(c.height));
        EXPECT_EQ(Le16(file, 26), 1);
        EXPECT_EQ(Le16(file, 28), 24);
        EXPECT_EQ(Le32(file, 30), 0u);  // BI_RGB
        EXPECT_EQ(Le32(file, 34), c.imageSize);
        for (std::size_t at = 38; at < 54; ++at) EXPECT_EQ(file[at], 0) << "byte " << at;
    }
}

TEST(BmpFile, RowsFollowInDibOrderWithZeroPadding) {
    const Dib dib = Patterned(3, 2);  // 9 bytes of pixels + 3 of padding a row
    const auto file = BmpBytes(dib);
    EXPECT_TRUE(std::equal(dib.bits.begin(), dib.bits.end(), file.begin() + 54));
    // The DIB's first row is the bottom of the picture.
    EXPECT_EQ(BgrAt(file, 0, 1), (std::array<std::uint8_t, 3>{1, 2, 3}));
    EXPECT_EQ(BgrAt(file, 2, 0), (std::array<std::uint8_t, 3>{17, 18, 19}));
    for (std::size_t row = 0; row < 2; ++row)
        for (std::size_t pad = 9; pad < 12; ++pad) EXPECT_EQ(file[54 + row * 12 + pad], 0);
}

TEST(BmpFile, InvalidBitmapsAndFailedWritesAreErrors) {
    Dib empty;
    Dib shortRows = Patterned(3, 2);
    shortRows.bits.resize(18);
    for (const Dib* dib : {&empty, &shortRows}) {
        try {
            BmpBytes(*dib);
            ADD_FAILURE() << "wrote a " << dib->width << " x " << dib->height << " bitmap";
        } catch (const VelmError& e) {
            EXPECT_EQ(e.text(), "Unable to write bitmap (invalid dib)");
        }
    }
    std::FILE* full = std::fopen("/dev/full", "wb");
    if (!full) GTEST_SKIP() << "no /dev/full";
    try {
        WriteBmp(full, Patterned(4, 4));
        ADD_FAILURE() << "wrote to a full device";
    } catch (const VelmError& e) {
        EXPECT_EQ(e.text(), "Unable to write bitmap (write error)");
    }
    std::fclose(full);
}

TEST(BmpFile, WrittenFileHoldsExactlyTheBytes) {
    const std::string path = testing::TempDir() + "velm_bmp_roundtrip.bmp";
    const Dib dib = Patterned(7, 5);
    {
        ImageFileHandle file = OpenImageFile(path);
        WriteBmp(file.get(), dib);
    }
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> read((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(read, BmpBytes(dib));
    EXPECT_EQ(read.size(), 54u + 24u * 5u);
    std::remove(path.c_str());
}
