#include <gtest/gtest.h>

#include <GL/gl.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "core/VelmError.h"
#include "output/BmpFile.h"
#include "output/ImageFile.h"
#include "output/PngFile.h"
#include "render/OffscreenContext.h"
#include "support/PngRead.h"

using namespace velm;
using velm::test::ReadBack;
using velm::test::ReadPng;

namespace {

// Chunk types in file order, with every CRC checked.
std::vector<std::string> ChunkTypes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::string> types;
    if (b.size() < 8 || !std::equal(signature, signature + 8, b.begin())) return {"bad signature"};
    for (std::size_t at = 8; at + 12 <= b.size();) {
        const std::size_t length = static_cast<std::size_t>(b[at]) << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3];
        if (at + 12 + length > b.size()) return {"truncated"};
        const std::uint32_t crc = static_cast<std::uint32_t>(b[at + 8 + length]) << 24 | b[at + 9 + length] << 16 |
                                  b[at + 10 + length] << 8 | b[at + 11 + length];
        // CRC over type and data, computed here without zlib.
        std::uint32_t c = 0xFFFFFFFFu;
        for (std::size_t i = at + 4; i < at + 8 + length; ++i) {
            c ^= b[i];
            for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
        }
        types.emplace_back(b.begin() + static_cast<std::ptrdiff_t>(at + 4), b.begin() + static_cast<std::ptrdiff_t>(at + 8));
        if ((c ^ 0xFFFFFFFFu) != crc) types.back() += " bad crc";
        at += 12 + length;
    }
    return types;
}

Dib Patterned(int width, int height) {
    Dib dib;
    dib.width = width;
    dib.height = height;
    dib.bits.assign(dib.ImageSize(), 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = dib.bits.data() + static_cast<std::size_t>(y) * dib.Stride() + static_cast<std::size_t>(x) * 3;
            p[0] = static_cast<std::uint8_t>(x);        // blue
            p[1] = static_cast<std::uint8_t>(y);        // green
            p[2] = static_cast<std::uint8_t>(200 + x % 50);  // red
        }
    return dib;
}

std::string TempPath(const std::string& name) { return testing::TempDir() + name; }

void Save(const std::string& path, const Dib& dib, const std::string& title) {
    ImageFileHandle file = OpenImageFile(path);
    WritePng(file.get(), dib, title);
}

}  // namespace

TEST(PngFile, RgbRowsTopFirstWithTitleAndAuthorText) {
    struct Case {
        int width, height;
        std::string title;
    };
    const Case cases[] = {{1, 1, "/data/1ubi.pdb"}, {5, 3, "examples/two words.pdb"}, {64, 33, ""}, {301, 7, "x"}};
    for (const Case& c : cases) {
        const std::string path = TempPath("velm_png_case.png");
        const Dib dib = Patterned(c.width, c.height);
        Save(path, dib, c.title);
        const ReadPng png = ReadBack(path);
        EXPECT_EQ(png.width, static_cast<png_uint_32>(c.width));
        EXPECT_EQ(png.height, static_cast<png_uint_32>(c.height));
        EXPECT_EQ(png.bitDepth, 8);
        EXPECT_EQ(png.colourType, PNG_COLOR_TYPE_RGB);
        EXPECT_EQ(png.interlace, PNG_INTERLACE_NONE);
        EXPECT_EQ(png.texts, (std::map<std::string, std::string>{{"Title", c.title}, {"Author", "Velm"}}));
        EXPECT_EQ(png.textCompression, (std::vector<int>{PNG_TEXT_COMPRESSION_NONE, PNG_TEXT_COMPRESSION_NONE}));
        ASSERT_EQ(png.rows.size(), static_cast<std::size_t>(c.height));
        int wrong = 0;
        for (int row = 0; row < c.height; ++row)
            for (int x = 0; x < c.width; ++x) {
                const std::uint8_t* rgb = png.rows[static_cast<std::size_t>(row)].data() + x * 3;
                const int dibRow = c.height - 1 - row;  // the DIB's last row is the top
                wrong += rgb[0] != 200 + x % 50 || rgb[1] != dibRow || rgb[2] != x % 256;
            }
        EXPECT_EQ(wrong, 0) << c.width << " x " << c.height;
        EXPECT_EQ(ChunkTypes(path), (std::vector<std::string>{"IHDR", "tEXt", "tEXt", "IDAT", "IEND"}));
        std::remove(path.c_str());
    }
}

TEST(PngFile, FailuresCarryTheirTexts) {
    Dib empty;
    Dib shortRows = Patterned(3, 2);
    shortRows.bits.pop_back();
    const std::string path = TempPath("velm_png_invalid.png");
    for (const Dib* dib : {&empty, &shortRows}) {
        ImageFileHandle file = OpenImageFile(path);
        try {
            WritePng(file.get(), *dib, "t");
            ADD_FAILURE() << "wrote a " << dib->width << " x " << dib->height << " bitmap";
        } catch (const VelmError& e) {
            EXPECT_EQ(e.text(), "Unable to write bitmap (invalid dib)");
        }
    }
    std::remove(path.c_str());

    // A full disk, found by libpng's own writes (large image) or at the final flush (small one).
    for (int side : {4, 1000}) {
        std::FILE* full = std::fopen("/dev/full", "wb");
        if (!full) GTEST_SKIP() << "no /dev/full";
        Dib noisy = Patterned(side, side);
        std::uint32_t seed = 12345;
        for (auto& byte : noisy.bits) byte = static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
        try {
            WritePng(full, noisy, "t");
            ADD_FAILURE() << side << ": wrote to a full device";
        } catch (const VelmError& e) {
            EXPECT_EQ(e.text(), "Write Error") << side;
        }
        std::fclose(full);
    }
}

// Off-screen render -> DIB -> files: the top of the picture stays on top.
TEST(ImageExport, RenderedPictureKeepsItsOrientationInBothFormats) {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    const int w = 30, h = 20;
    OffscreenContext context(w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w, 0, h, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3ub(255, 128, 0);  // orange block in the top-left corner
    glRecti(0, 10, 10, 20);
    const Dib dib = DibFromRgba(context.ReadPixels(), w, h);

    const std::string pngPath = TempPath("velm_export.png");
    Save(pngPath, dib, "scene.pdb");
    const ReadPng png = ReadBack(pngPath);
    ASSERT_EQ(png.rows.size(), static_cast<std::size_t>(h));
    const auto rgbAt = [&](int x, int row) {
        const std::uint8_t* p = png.rows[static_cast<std::size_t>(row)].data() + x * 3;
        return std::array<int, 3>{p[0], p[1], p[2]};
    };
    EXPECT_EQ(rgbAt(0, 0), (std::array<int, 3>{255, 128, 0}));
    EXPECT_EQ(rgbAt(9, 9), (std::array<int, 3>{255, 128, 0}));
    EXPECT_EQ(rgbAt(10, 0), (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(rgbAt(0, 10), (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(rgbAt(29, 19), (std::array<int, 3>{0, 0, 0}));
    std::remove(pngPath.c_str());

    // In the bitmap the top-left pixel is the first of the last row, blue first.
    const auto bmp = BmpBytes(dib);
    const std::size_t stride = 92;  // 30 * 3 = 90, padded
    const std::size_t topLeft = 54 + stride * (h - 1);
    EXPECT_EQ(bmp[topLeft], 0);
    EXPECT_EQ(bmp[topLeft + 1], 128);
    EXPECT_EQ(bmp[topLeft + 2], 255);
    EXPECT_EQ(bmp[54], 0);  // bottom-left is background
    EXPECT_EQ(bmp[56], 0);
    EXPECT_EQ(bmp[54 + 90], 0);  // padding
    EXPECT_EQ(bmp[54 + 91], 0);
}
