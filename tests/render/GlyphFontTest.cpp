#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "render/GlyphFont.h"
#include "render/OffscreenContext.h"

using namespace velm;

namespace {

using Rgba8 = std::array<std::uint8_t, 4>;
constexpr int kWidth = 160, kHeight = 80;
constexpr Rgba8 kLabel{255, 200, 0, 255};

// Where pixels of one colour are, in window pixels from the bottom left.
struct Ink {
    int count = 0;
    int left = INT_MAX, right = -1, bottom = INT_MAX, top = -1;
};

Ink InkOf(const std::vector<std::uint8_t>& pixels, Rgba8 colour) {
    Ink ink;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const std::size_t i = (static_cast<std::size_t>(y) * kWidth + static_cast<std::size_t>(x)) * 4;
            if (Rgba8{pixels[i], pixels[i + 1], pixels[i + 2], pixels[i + 3]} != colour) continue;
            ++ink.count;
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
            ink.bottom = std::min(ink.bottom, y);
            ink.top = std::max(ink.top, y);
        }
    return ink;
}

// Inked pixels of one row, and their mean x.
std::pair<int, double> RowInk(const std::vector<std::uint8_t>& pixels, int y) {
    int n = 0;
    double sum = 0;
    for (int x = 0; x < kWidth; ++x) {
        const std::size_t i = (static_cast<std::size_t>(y) * kWidth + static_cast<std::size_t>(x)) * 4;
        if (pixels[i] == kLabel[0] && pixels[i + 1] == kLabel[1] && pixels[i + 2] == kLabel[2]) {
            ++n;
            sum += x;
        }
    }
    return {n, n ? sum / n : 0};
}

class GlyphFontTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1); }
    void SetUp() override {
        context_ = std::make_unique<OffscreenContext>(kWidth, kHeight);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, kWidth, 0, kHeight, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(0, 0, 0, 1);
    }
    void TearDown() override {
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        context_.reset();
    }

    // Clears, then draws each text at its raster position in the label colour.
    std::vector<std::uint8_t> Render(const GlyphFont& font,
                                     std::initializer_list<std::pair<std::string, std::array<float, 2>>> texts) {
        glClear(GL_COLOR_BUFFER_BIT);
        for (const auto& [text, at] : texts) {
            glColor4ub(kLabel[0], kLabel[1], kLabel[2], kLabel[3]);
            glRasterPos2f(at[0], at[1]);
            font.Draw(text);
        }
        return context_->ReadPixels();
    }
    std::vector<std::uint8_t> Render(const GlyphFont& font, const std::string& text, float x, float y) {
        return Render(font, {{text, {x, y}}});
    }

    static float RasterX() {
        GLfloat position[4] = {};
        glGetFloatv(GL_CURRENT_RASTER_POSITION, position);
        return position[0];
    }

    std::unique_ptr<OffscreenContext> context_;
};

LabelFontDescription Described(int height, int weight, bool italic = false) {
    LabelFontDescription d;
    d.height = height;
    d.weight = weight;
    d.italic = italic;
    return d;
}

}  // namespace

TEST_F(GlyphFontTest, LabelLandsAtTheRasterPositionInItsColour) {
    GlyphFont font;
    ASSERT_TRUE(font.Build(LabelFontDescription{}, 82, 82));
    ASSERT_NE(font.ListBase(), 0u);
    EXPECT_EQ(font.PixelHeight(), 18);

    const float x = 20, y = 30;
    const auto pixels = Render(font, "C6", x, y);
    const Ink ink = InkOf(pixels, kLabel);
    // Every pixel is either background or label: glBitmap draws no blend.
    EXPECT_EQ(ink.count + InkOf(pixels, {0, 0, 0, 255}).count, kWidth * kHeight);
    ASSERT_GT(ink.count, 60);
    // Capitals and digits sit on the baseline and reach about 0.7 em up.
    EXPECT_GE(ink.left, x - 1);
    EXPECT_LE(ink.left, x + 3);
    EXPECT_GE(ink.bottom, y - 1);
    EXPECT_LE(ink.bottom, y);
    EXPECT_GE(ink.top - ink.bottom + 1, 12);
    EXPECT_LE(ink.top - ink.bottom + 1, 15);
    EXPECT_LE(ink.right, x + font.TextWidth("C6"));
    EXPECT_FLOAT_EQ(RasterX(), x + font.TextWidth("C6"));

    // The two glyphs follow one another by the first one's advance.
    const float advanceC = font.Advance('C');
    EXPECT_GT(advanceC, 9);
    EXPECT_LT(advanceC, 18);
    EXPECT_EQ(pixels, Render(font, {{"C", {x, y}}, {"6", {x + advanceC, y}}}));
    EXPECT_NE(pixels, Render(font, "6C", x, y));
}

TEST_F(GlyphFontTest, SpacesAdvanceTheRasterPosition) {
    GlyphFont font;
    ASSERT_TRUE(font.Build(LabelFontDescription{}, 82, 82));
    const float space = font.Advance(' ');
    EXPECT_GE(space, 3);  // about a quarter em
    EXPECT_LE(space, 7);

    const float x = 10, y = 20;
    const auto blank = Render(font, "   ", x, y);
    EXPECT_EQ(InkOf(blank, kLabel).count, 0);
    EXPECT_FLOAT_EQ(RasterX(), x + 3 * space);
    EXPECT_FLOAT_EQ(font.TextWidth("   "), 3 * space);

    const auto spaced = Render(font, "C C", x, y);
    EXPECT_EQ(spaced, Render(font, {{"C", {x, y}}, {"C", {x + font.Advance('C') + space, y}}}));
    EXPECT_EQ(InkOf(spaced, kLabel).right - InkOf(Render(font, "CC", x, y), kLabel).right,
              static_cast<int>(space));
}

TEST_F(GlyphFontTest, GlyphRowsRunBottomFirstAndDescendersGoBelowTheBaseline) {
    GlyphFont font;
    ASSERT_TRUE(font.Build(Described(-36, 400), 82, 82));
    const float y = 20;
    // A T is widest at its top row, an L at its bottom row.
    for (const char* text : {"T", "L"}) {
        const auto pixels = Render(font, text, 10, y);
        const Ink ink = InkOf(pixels, kLabel);
        ASSERT_GT(ink.count, 0) << text;
        const int topRow = RowInk(pixels, ink.top).first, bottomRow = RowInk(pixels, ink.bottom).first;
        if (text[0] == 'T')
            EXPECT_GT(topRow, 3 * bottomRow) << text;
        else
            EXPECT_GT(bottomRow, 3 * topRow) << text;
        EXPECT_EQ(ink.bottom, y) << text;
    }
    EXPECT_LT(InkOf(Render(font, "g", 10, y), kLabel).bottom, y - 4);
    EXPECT_GE(InkOf(Render(font, "x", 10, y), kLabel).bottom, y - 1);
}

TEST_F(GlyphFontTest, Latin1BytesDrawTheirAccentedGlyphs) {
    GlyphFont font;
    ASSERT_TRUE(font.Build(LabelFontDescription{}, 82, 82));
    const Ink plain = InkOf(Render(font, "e", 10, 20), kLabel);
    const Ink acute = InkOf(Render(font, "\xE9", 10, 20), kLabel);  // é in Latin-1
    ASSERT_GT(plain.count, 0);
    EXPECT_GT(acute.top, plain.top + 2);
    EXPECT_GT(acute.count, plain.count);
    EXPECT_EQ(acute.bottom, plain.bottom);
    EXPECT_GT(font.Advance(0xE9), 0);
}

TEST_F(GlyphFontTest, ScaleWeightAndSlantReachTheGlyphs) {
    GlyphFont font;
    ASSERT_TRUE(font.Build(LabelFontDescription{}, 82, 82));
    const Ink small = InkOf(Render(font, "H", 10, 10), kLabel);
    // Output to a device of another resolution scales the character height.
    ASSERT_TRUE(font.Build(LabelFontDescription{}, 164, 82));
    EXPECT_EQ(font.PixelHeight(), 36);
    const Ink large = InkOf(Render(font, "H", 10, 10), kLabel);
    const int smallHeight = small.top - small.bottom + 1, largeHeight = large.top - large.bottom + 1;
    EXPECT_GE(smallHeight, 12);
    EXPECT_LE(smallHeight, 14);
    EXPECT_NEAR(largeHeight, 2 * smallHeight, 2);

    // A positive height is the cell height, which includes the leading.
    ASSERT_TRUE(font.Build(Described(18, 700), 82, 82));
    EXPECT_LT(font.PixelHeight(), 18);
    EXPECT_GT(font.PixelHeight(), 12);

    ASSERT_TRUE(font.Build(Described(-36, 400), 82, 82));
    const Ink regular = InkOf(Render(font, "H", 10, 10), kLabel);
    ASSERT_TRUE(font.Build(Described(-36, 700), 82, 82));
    const Ink bold = InkOf(Render(font, "H", 10, 10), kLabel);
    EXPECT_GT(bold.count, regular.count * 5 / 4);

    ASSERT_TRUE(font.Build(Described(-36, 400, true), 82, 82));
    const auto italic = Render(font, "l", 10, 10);
    const Ink ink = InkOf(italic, kLabel);
    ASSERT_GT(ink.count, 0);
    EXPECT_GT(RowInk(italic, ink.top).second, RowInk(italic, ink.bottom).second + 3);
}

TEST_F(GlyphFontTest, MissingFontLeavesNoListsAndLabelsDrawNothing) {
    // Lists the bytes of "C6" would call if the font forgot it has no base.
    for (GLuint list : {GLuint{'C'}, GLuint{'6'}}) {
        glNewList(list, GL_COMPILE);
        glRectf(0, 0, kWidth, kHeight);
        glEndList();
    }
    const std::string notAFont = std::string(VELM_TEST_DATA) + "/1ubi.pdb";
    const struct {
        FontFileMatch file;
        int height;
    } cases[] = {
        {{"/nonexistent/velm/LabelFont.ttf"}, -18},
        {{notAFont}, -18},
        {{""}, -18},
        {FindFontFile(LabelFontDescription{}), 0},
    };
    for (const auto& c : cases) {
        GlyphFont font;
        ASSERT_TRUE(font.Build(LabelFontDescription{}, 82, 82));
        const GLuint previous = font.ListBase();
        EXPECT_FALSE(font.BuildFromFile(c.file, c.height)) << c.file.path;
        EXPECT_EQ(font.ListBase(), 0u);
        EXPECT_FALSE(glIsList(previous)) << "the lists of the former font stay behind";
        EXPECT_EQ(font.TextWidth("C6"), 0);
        EXPECT_EQ(font.PixelHeight(), 0);
        EXPECT_EQ(InkOf(Render(font, "C6", 20, 20), kLabel).count, 0) << c.file.path;
        EXPECT_FLOAT_EQ(RasterX(), 20);
    }
    GlyphFont font;
    EXPECT_FALSE(font.Build(LabelFontDescription{}, 0, 82));
    EXPECT_FALSE(font.Build(LabelFontDescription{}, 82, 0));
    EXPECT_EQ(InkOf(Render(font, "C6", 20, 20), kLabel).count, 0);
}

TEST_F(GlyphFontTest, RebuildAndDestructionDeleteTheLists) {
    GLuint base = 0;
    {
        GlyphFont font;
        ASSERT_TRUE(font.Build(LabelFontDescription{}, 82, 82));
        // Something else takes list numbers between the builds.
        const GLuint other = glGenLists(1);
        const GLuint first = font.ListBase();
        ASSERT_TRUE(font.Build(LabelFontDescription{}, 82, 82));
        base = font.ListBase();
        EXPECT_TRUE(glIsList(other));
        for (GLuint list = first; list < first + 256; ++list)
            if (list < base || list >= base + 256) {
                EXPECT_FALSE(glIsList(list)) << list;
            }
        EXPECT_TRUE(glIsList(base) && glIsList(base + 255));
        GLint listBase = 0;
        glGetIntegerv(GL_LIST_BASE, &listBase);
        EXPECT_EQ(static_cast<GLuint>(listBase), base);
        glDeleteLists(other, 1);
    }
    EXPECT_FALSE(glIsList(base));
    EXPECT_FALSE(glIsList(base + 255));
}

TEST(FontLookup, ArialComesFromAMetricCompatibleBoldFace) {
    const FontFileMatch match = FindFontFile(LabelFontDescription{});
    ASSERT_FALSE(match.path.empty());
    EXPECT_TRUE(std::filesystem::is_regular_file(match.path)) << match.path;
    std::string name = std::filesystem::path(match.path).filename().string();
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    const bool compatible = name.find("arial") != std::string::npos || name.find("liberationsans") != std::string::npos ||
                            name.find("arimo") != std::string::npos || name.find("nimbussans") != std::string::npos;
    EXPECT_TRUE(compatible) << match.path;
    EXPECT_TRUE(name.find("bold") != std::string::npos || match.embolden) << match.path;

    // A face the system lacks still gives a font, so labels are not lost.
    LabelFontDescription missing;
    missing.face = "Velm No Such Face";
    EXPECT_FALSE(FindFontFile(missing).path.empty());
}

TEST(ScaledFontHeight, RoundsTheRatioAndKeepsTheSign) {
    const struct {
        int height, numerator, denominator, expected;
    } cases[] = {
        {-18, 82, 82, -18}, {-18, 96, 82, -21}, {-18, 300, 82, -66}, {18, 41, 82, 9},
        {-3, 1, 2, -2},     {3, 1, 2, 2},       {-18, 0, 82, 0},     {-18, 82, 0, 0},
        {-18, -82, 82, 0},  {0, 82, 82, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ScaledFontHeight(c.height, c.numerator, c.denominator), c.expected)
            << c.height << " * " << c.numerator << " / " << c.denominator;
}
