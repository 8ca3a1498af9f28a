#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/VelmError.h"
#include "render/OffscreenContext.h"

using namespace velm;

namespace {

using Rgba8 = std::array<std::uint8_t, 4>;

// Tests run on llvmpipe whatever GPU the machine has, for identical pixels.
class OffscreenContextTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1); }
};

Rgba8 PixelAt(const std::vector<std::uint8_t>& pixels, int width, int x, int row) {
    const std::size_t i = (static_cast<std::size_t>(row) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4;
    return {pixels[i], pixels[i + 1], pixels[i + 2], pixels[i + 3]};
}

// Window coordinates map one to one onto pixels.
void PixelProjection(int width, int height) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void Quad(float x0, float y0, float x1, float y1, float z = 0) {
    glBegin(GL_QUADS);
    glVertex3f(x0, y0, z);
    glVertex3f(x1, y0, z);
    glVertex3f(x1, y1, z);
    glVertex3f(x0, y1, z);
    glEnd();
}

}  // namespace

TEST_F(OffscreenContextTest, ClearColourReadsBackInEveryPixel) {
    struct Case {
        int width, height;
        Rgba8 colour;
    };
    const Case cases[] = {
        {1, 1, {255, 0, 0, 255}},
        {64, 48, {0, 51, 204, 255}},
        {37, 5, {17, 34, 68, 0}},  // odd width: no row padding in RGBA
        {3, 200, {255, 255, 255, 102}},
    };
    for (const Case& c : cases) {
        OffscreenContext context(c.width, c.height);
        EXPECT_TRUE(context.IsCurrent());
        glClearColor(c.colour[0] / 255.f, c.colour[1] / 255.f, c.colour[2] / 255.f, c.colour[3] / 255.f);
        glClear(GL_COLOR_BUFFER_BIT);
        const auto pixels = context.ReadPixels();
        ASSERT_EQ(pixels.size(), static_cast<std::size_t>(c.width * c.height * 4));
        int wrong = 0;
        for (int row = 0; row < c.height; ++row)
            for (int x = 0; x < c.width; ++x) wrong += PixelAt(pixels, c.width, x, row) != c.colour;
        EXPECT_EQ(wrong, 0) << c.width << " x " << c.height;
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

TEST_F(OffscreenContextTest, ColouredQuadLandsWhereDrawnAndRowsRunBothWays) {
    const int w = 40, h = 30;
    OffscreenContext context(w, h);
    PixelProjection(w, h);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor3ub(255, 0, 0);
    Quad(0, 0, 20, 10);  // red: left half of the bottom third
    glColor3ub(0, 0, 255);
    Quad(30, 20, 40, 30);  // blue: top-right corner
    const auto bottomFirst = context.ReadPixels();
    const auto topFirst = context.ReadPixelsTopFirst();

    const Rgba8 red{255, 0, 0, 255}, blue{0, 0, 255, 255}, black{0, 0, 0, 255};
    struct Probe {
        int x, y;  // y from the bottom, in pixels
        Rgba8 expected;
    };
    const Probe probes[] = {{0, 0, red},     {19, 9, red},    {20, 9, black}, {19, 10, black},
                            {10, 15, black}, {30, 20, blue},  {39, 29, blue}, {29, 29, black},
                            {39, 19, black}, {5, 29, black}};
    for (const Probe& p : probes) {
        EXPECT_EQ(PixelAt(bottomFirst, w, p.x, p.y), p.expected) << p.x << "," << p.y;
        EXPECT_EQ(PixelAt(topFirst, w, p.x, h - 1 - p.y), p.expected) << p.x << "," << p.y << " top first";
    }
}

TEST_F(OffscreenContextTest, DepthBufferHidesTheFartherQuadWhateverTheOrder) {
    const int w = 16, h = 16;
    OffscreenContext context(w, h);
    PixelProjection(w, h);
    glEnable(GL_DEPTH_TEST);
    for (bool nearFirst : {true, false}) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        // glOrtho looks down -z: z = 0.5 is nearer than z = -0.5.
        for (int i = 0; i < 2; ++i) {
            const bool drawNear = (i == 0) == nearFirst;
            if (drawNear) glColor3ub(0, 255, 0); else glColor3ub(255, 0, 255);
            Quad(0, 0, 16, 16, drawNear ? 0.5f : -0.5f);
        }
        EXPECT_EQ(PixelAt(context.ReadPixels(), w, 8, 8), (Rgba8{0, 255, 0, 255})) << nearFirst;
    }
    GLint depthBits = 0;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_GE(depthBits, 24);
}

TEST_F(OffscreenContextTest, SelectionBufferNamesOnlyWhatIsInsideTheView) {
    OffscreenContext context(32, 32);
    PixelProjection(32, 32);
    GLuint buffer[64] = {};
    glSelectBuffer(64, buffer);
    glRenderMode(GL_SELECT);
    glInitNames();
    glPushName(0);
    glLoadName(7);
    Quad(4, 4, 12, 12);
    glLoadName(9);
    Quad(100, 100, 120, 120);  // outside the view volume
    const GLint hits = glRenderMode(GL_RENDER);
    ASSERT_EQ(hits, 1);
    EXPECT_EQ(buffer[0], 1u);  // one name on the stack
    EXPECT_LE(buffer[1], buffer[2]);  // zmin <= zmax
    EXPECT_EQ(buffer[3], 7u);
}

TEST_F(OffscreenContextTest, FeedbackBufferReturnsWindowCoordinatesOfATriangle) {
    OffscreenContext context(50, 40);
    PixelProjection(50, 40);
    GLfloat buffer[64] = {};
    glFeedbackBuffer(64, GL_2D, buffer);
    glRenderMode(GL_FEEDBACK);
    glBegin(GL_TRIANGLES);
    glVertex2f(5, 6);
    glVertex2f(45, 6);
    glVertex2f(25, 36);
    glEnd();
    const GLint values = glRenderMode(GL_RENDER);
    ASSERT_EQ(values, 8);  // token, count, three x,y pairs
    EXPECT_EQ(buffer[0], static_cast<GLfloat>(GL_POLYGON_TOKEN));
    EXPECT_EQ(buffer[1], 3.f);
    const float expected[] = {5, 6, 45, 6, 25, 36};
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(buffer[2 + i], expected[i], 1e-3) << i;
}

TEST_F(OffscreenContextTest, ContextsFollowOneAnotherAndNest) {
    {
        OffscreenContext first(8, 8);
        glClearColor(1, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    OffscreenContext outer(10, 10);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    {
        OffscreenContext inner(20, 6);
        EXPECT_TRUE(inner.IsCurrent());
        EXPECT_FALSE(outer.IsCurrent());
        glClearColor(0, 1, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        const auto pixels = inner.ReadPixels();
        ASSERT_EQ(pixels.size(), 20u * 6u * 4u);
        EXPECT_EQ(PixelAt(pixels, 20, 19, 5), (Rgba8{0, 255, 0, 255}));
        inner.Release();
        // Releasing hands the thread back to the context that was current.
        EXPECT_TRUE(outer.IsCurrent());
        EXPECT_THROW(inner.ReadPixels(), VelmError);
    }
    ASSERT_TRUE(outer.IsCurrent());
    const auto pixels = outer.ReadPixels();
    EXPECT_EQ(PixelAt(pixels, 10, 9, 9), (Rgba8{0, 0, 255, 255}));
    outer.Release();
    EXPECT_FALSE(outer.IsCurrent());
    outer.MakeCurrent();
    EXPECT_EQ(PixelAt(outer.ReadPixels(), 10, 0, 0), (Rgba8{0, 0, 255, 255}));
}

TEST_F(OffscreenContextTest, ImpossibleSizesAreRefusedWithAClearText) {
    const std::array<std::array<int, 2>, 4> sizes = {{{0, 10}, {10, 0}, {-3, 4}, {1 << 20, 2}}};
    for (const auto& s : sizes) {
        try {
            OffscreenContext context(s[0], s[1]);
            ADD_FAILURE() << s[0] << " x " << s[1] << " made a context";
        } catch (const VelmError& e) {
            EXPECT_EQ(e.text().rfind("Unable to create an off-screen OpenGL context: ", 0), 0u) << e.text();
        }
    }
    // A refused size leaves nothing current behind and the next context works.
    OffscreenContext context(2, 2);
    EXPECT_TRUE(context.IsCurrent());
}

TEST(FlipRows, ReversesRowOrderAndRefusesAWrongSize) {
    const std::vector<std::uint8_t> rows = {1, 2, 3, 4, 5, 6, 7, 8, 9};  // 3 rows of 1 pixel x 3 bytes
    EXPECT_EQ(FlipRows(rows, 1, 3, 3), (std::vector<std::uint8_t>{7, 8, 9, 4, 5, 6, 1, 2, 3}));
    EXPECT_EQ(FlipRows(FlipRows(rows, 3, 1, 3), 3, 1, 3), rows);
    EXPECT_EQ(FlipRows(rows, 3, 1, 3), rows);  // one row stays as it is
    EXPECT_THROW(FlipRows(rows, 2, 2, 3), VelmError);
}
