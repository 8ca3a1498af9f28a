#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "core/VelmError.h"
#include "model/Molecule.h"
#include "model/ReadCoordinates.h"
#include "render/ClipPlane.h"
#include "render/OffscreenContext.h"
#include "render/SceneRenderer.h"

using namespace velm;

namespace {

void ExpectVec(const Vec3& v, const Vec3& expected, double tolerance = 1e-6) {
    EXPECT_NEAR(v.x, expected.x, tolerance);
    EXPECT_NEAR(v.y, expected.y, tolerance);
    EXPECT_NEAR(v.z, expected.z, tolerance);
}

void ExpectFrame(const ClipPlane& c) {
    const Vec3 &n = c.Normal(), &u = c.AxisU(), &v = c.AxisV();
    EXPECT_NEAR(Length(n), 1, 1e-5);
    EXPECT_NEAR(Length(u), 1, 1e-5);
    EXPECT_NEAR(Length(v), 1, 1e-5);
    EXPECT_NEAR(Dot(n, u), 0, 1e-5);
    EXPECT_NEAR(Dot(n, v), 0, 1e-5);
    EXPECT_NEAR(Dot(u, v), 0, 1e-5);
}

double DegreesBetween(const Vec3& a, const Vec3& b) {
    return std::acos(std::clamp(Dot(a, b) / (Length(a) * Length(b)), -1.0, 1.0)) * 180 / M_PI;
}

TEST(ClipPlane, StartsTiltedAndRefusesAZeroNormal) {
    ClipPlane c;
    const double l = std::sqrt(1.01);
    ExpectVec(c.Normal(), {0, 0.1 / l, 1 / l});
    ExpectVec(c.Point(), {});
    ExpectFrame(c);
    // The GL plane keeps the side away from the normal.
    EXPECT_NEAR(c.Equation()[2], -1 / l, 1e-9);

    try {
        c.SetPlane({1, 2, 3}, {0, 0, 0}, true);
        FAIL() << "a zero normal was taken";
    } catch (const VelmError& e) {
        EXPECT_EQ(e.text(), "Zero length normal vector!");
    }
    ExpectVec(c.Normal(), {0, 0.1 / l, 1 / l});  // unchanged by the refusal

    c.SetPlane({0, 0, 1}, {3, 0, 4}, true);
    ExpectVec(c.Normal(), {0.6, 0, 0.8});
    EXPECT_NEAR(c.Equation()[3], 0.8, 1e-9);
    ExpectFrame(c);
    c.SetPlane({}, {0, 1, 0}, true);  // no z: the axes are built another way
    ExpectFrame(c);
}

TEST(ClipPlane, SlidesAlongItsNormalUpToSevenFromTheOrigin) {
    ClipPlane c;
    c.SetPlane({0, 0, 0.5}, {0, 0, 2}, true);
    c.StartScale(100);
    c.Scale(150, 200);  // a quarter of the width to the right: back along the normal
    ExpectVec(c.Point(), {0, 0, 0.25});
    c.Scale(50, 200);
    ExpectVec(c.Point(), {0, 0, 0.75});
    c.Scale(50, 0);  // no width, no move
    ExpectVec(c.Point(), {0, 0, 0.75});
    for (int i = 0; i < 10; ++i) c.Scale(-2000 * (i + 1), 200);
    EXPECT_LE(Length(c.Point()), 7 + 1e-9);
    EXPECT_NEAR(Length(c.Point()), 7, 1e-9);
    ExpectVec(c.Normal(), {0, 0, 1});

    c.Centre();
    ExpectVec(c.Point(), {});
    ExpectVec(c.Normal(), {0, 0, 1});
    EXPECT_EQ(c.Equation()[3], 0);
}

TEST(ClipPlane, RotatingKeepsTheNormalAndItsAxesOrthonormal) {
    ClipPlane c;
    c.StartRotate(100, 100);
    const int path[][2] = {{130, 100}, {160, 140}, {20, 190}, {0, 0}, {199, 5}, {100, 100}};
    Vec3 last = c.Normal();
    for (const auto& p : path) {
        c.Rotate(p[0], p[1], 200, 200);
        ExpectFrame(c);
        EXPECT_GT(DegreesBetween(c.Normal(), last), 1);
        last = c.Normal();
        const double* e = c.Equation();
        EXPECT_NEAR(e[0], -c.Normal().x, 1e-12);
    }
    // Centring after a turn keeps the turned normal.
    c.StartScale(0);
    c.Scale(100, 200);
    c.Centre();
    ExpectVec(c.Normal(), last);
}

TEST(ClipPlane, AOnePixelDragBarelyTurnsThePlane) {
    ClipPlane c;
    c.SetPlane({}, {0, 0, -1}, true);
    c.StartRotate(100, 100);
    c.Rotate(101, 100, 200, 200);
    EXPECT_LT(DegreesBetween(c.Normal(), {0, 0, -1}), 2);
    // The default tilt too survives a small drag.
    ClipPlane d;
    const Vec3 before = d.Normal();
    d.StartRotate(100, 100);
    d.Rotate(100, 99, 200, 200);
    EXPECT_LT(DegreesBetween(d.Normal(), before), 2);
}

TEST(ClipPlane, TheNormalTurnsWithTheDragAsTheMoleculesDo) {
    ClipPlane c;
    c.SetPlane({}, {0, 0, 1}, true);
    c.StartRotate(100, 100);
    c.Rotate(130, 100, 200, 200);
    EXPECT_GT(c.Normal().x, 0.1);
}

TEST(ClipPlane, ClassifiesSpheresBySignedDistanceAlongTheNormal) {
    ClipPlane c;
    c.SetPlane({0, 0, 0}, {0, 0, 1}, true);
    EXPECT_EQ(c.Classify({5, 5, 0}, 1), ClipSide::Straddles);
    EXPECT_EQ(c.Classify({0, 0, 0.99}, 1), ClipSide::Straddles);
    EXPECT_EQ(c.Classify({0, 0, -0.99}, 1), ClipSide::Straddles);
    EXPECT_EQ(c.Classify({0, 0, 1}, 1), ClipSide::Cut);  // touching from the eye's side
    EXPECT_EQ(c.Classify({0, 0, 3}, 1), ClipSide::Cut);
    EXPECT_EQ(c.Classify({0, 0, -1}, 1), ClipSide::Kept);  // touching from behind
    EXPECT_EQ(c.Classify({0, 0, -3}, 1), ClipSide::Kept);
    EXPECT_EQ(c.Classify({0, 0, 0.01}, 0), ClipSide::Cut);
    EXPECT_EQ(c.Classify({0, 0, -0.01}, 0), ClipSide::Kept);

    // Atoms are moved into the plane's frame: turned, then offset by the
    // clip centre less the plane's point, in molecule units.
    c.SetPlane({0, 0, 1}, {1, 0, 0}, true);
    const float quarterZ[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};  // x onto y
    ExpectVec(c.InPlaneFrame({1, 0, 0}, quarterZ, 0.5, {2, 0, 0}), {4, 1, -2});
    EXPECT_EQ(c.Classify(c.InPlaneFrame({0, 3, 0}, quarterZ, 1, {}), 2), ClipSide::Kept);
}

// Space-filling and point pictures of a clipped scene, 200 pixels square.
// As in the render pass tests the scene radius is 4, so one angstrom is one
// unit of the view and the origin is 4 in front of the eye.
constexpr int kSize = 200;
constexpr Rgba kRed{255, 0, 0, 255}, kBlue{0, 0, 255, 255}, kGreen{0, 255, 0, 255};

struct Pixel {
    int r, g, b;
};
bool Dark(Pixel p) { return p.r + p.g + p.b < 10; }
bool Reddish(Pixel p) { return p.r > 100 && p.r > p.g + 50 && p.r > p.b + 50; }
bool Bluish(Pixel p) { return p.b > 100 && p.b > p.r + 50 && p.b > p.g + 50; }
bool Greenish(Pixel p) { return p.g > 100 && p.g > p.r + 50 && p.g > p.b + 50; }
int Difference(Pixel a, Pixel b) { return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b); }

struct Ball {
    Vec3 at;
    double radius;
    Rgba colour;
};

class ClippedRenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1); }
    void SetUp() override {
        context_ = std::make_unique<OffscreenContext>(kSize, kSize);
        scene_.settings.SceneRadius = 4;
        scene_.settings.depthCue = false;
        scene_.settings.clipView = true;
        renderer_ = std::make_unique<SceneRenderer>(scene_);
        renderer_->Initialise();
        renderer_->Resize(kSize, kSize);
    }
    void TearDown() override {
        renderer_.reset();
        context_.reset();
    }
    Molecule& Add(const std::vector<Ball>& balls, RenderMode mode = Cpk) {
        auto m = std::make_unique<Molecule>();
        int serial = 1;
        for (const Ball& b : balls) {
            Atom a;
            a.x = b.at.x, a.y = b.at.y, a.z = b.at.z;
            a.radius = static_cast<float>(b.radius);
            a.colour = b.colour;
            a.serial = serial++;
            m->atoms.push_back(a);
        }
        UpdateBoundingBox(*m);
        m->renderMode = mode;
        return *molecules_.Append(std::move(m));
    }
    void Clip(bool on) {
        scene_.settings.clipView = on;
        renderer_->SetProjection();
    }
    void Render() {
        renderer_->RenderPass(molecules_, 0);
        glFinish();
        pixels_ = context_->ReadPixels();
    }
    Pixel At(const Vec3& p) const {
        GLdouble projection[16], model[16];
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glTranslated(0, 0, -4);
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glPopMatrix();
        const GLint viewport[4] = {0, 0, kSize, kSize};
        GLdouble x, y, z;
        gluProject(p.x, p.y, p.z, model, projection, viewport, &x, &y, &z);
        const std::size_t i = (static_cast<std::size_t>(std::lround(y)) * kSize + static_cast<std::size_t>(std::lround(x))) * 4;
        return {pixels_[i], pixels_[i + 1], pixels_[i + 2]};
    }

    Scene scene_;
    std::unique_ptr<OffscreenContext> context_;
    std::unique_ptr<SceneRenderer> renderer_;
    list<std::unique_ptr<Molecule>> molecules_;
    std::vector<std::uint8_t> pixels_;
};

TEST_F(ClippedRenderTest, ACutSphereShowsAFlatCapOnlyWhenThePlaneFacesTheEye) {
    Add({{{0, 0, 0}, 1, kRed}});
    Clip(false);
    Render();
    const Pixel centre = At({0, 0, 0}), side = At({0.8, 0, 0}), rim = At({0.8, 0, 0.6});
    ASSERT_TRUE(Reddish(centre));
    ASSERT_TRUE(Reddish(rim));
    ASSERT_GT(Difference(centre, side), 30);  // a whole sphere is shaded

    // Through the middle, facing the eye: the front half goes and a disk of
    // the atom's colour, lit evenly, closes the sphere.
    Clip(true);
    scene_.clip.SetPlane({}, {0, 0, 1}, true);
    Render();
    EXPECT_TRUE(Reddish(At({0, 0, 0})));
    EXPECT_LE(Difference(At({0, 0, 0}), At({0.8, 0, 0})), 3);
    EXPECT_LE(Difference(At({0, 0, 0}), At({0, -0.8, 0})), 3);
    EXPECT_TRUE(Dark(At({1.1, 0, 0})));

    // Facing away, half a radius in front: the front of the sphere stays as
    // it was, the ring behind the plane is gone and nothing closes it.
    scene_.clip.SetPlane({0, 0, 0.8}, {0, 0, -1}, true);
    Render();
    EXPECT_LE(Difference(At({0, 0, 1}), centre), 3);
    EXPECT_GT(Difference(At({0, 0, 1}), At({0.5, 0, 0.866})), 10);
    EXPECT_TRUE(Dark(At({0.8, 0, 0.6})));

    // Switched off again, the whole sphere is back.
    Clip(false);
    Render();
    EXPECT_TRUE(Reddish(At({0.8, 0, 0.6})));
    EXPECT_FALSE(glIsEnabled(GL_CLIP_PLANE0));
}

TEST_F(ClippedRenderTest, SpheresAreDrawnWholeCappedOrNotAtAllBySide) {
    scene_.clip.SetPlane({}, {0, 0, 1}, true);
    // Behind the plane, then across it with its front half wholly in front,
    // then wholly in front.
    Add({{{1.8, 1.2, -1}, 0.4, kBlue}, {{0, 0, 0.5}, 1, kRed}, {{-1, -0.8, 1.2}, 0.4, kGreen}});
    Render();
    // Whole and shaded, touching nothing of the plane.
    EXPECT_TRUE(Bluish(At({1.8, 1.2, -0.6})));
    EXPECT_TRUE(Bluish(At({1.8 - 0.32, 1.2, -1 + 0.24})));
    EXPECT_GT(Difference(At({1.8, 1.2, -0.6}), At({1.8 - 0.32, 1.2, -1 + 0.24})), 30);
    // The cap of radius 0.87 in the plane, and outside it no sphere: the
    // plane is back on for this atom after the one wholly behind it.
    EXPECT_TRUE(Reddish(At({0, 0, 0})));
    EXPECT_LE(Difference(At({0, 0, 0}), At({0.6, 0, 0})), 3);
    EXPECT_TRUE(Dark(At({0.7, 0, 1.214})));
    EXPECT_TRUE(Dark(At({0, -0.7, 1.214})));
    // Nothing of the atom in front.
    EXPECT_TRUE(Dark(At({-1, -0.8, 1.6})));
    EXPECT_TRUE(Dark(At({-1, -0.8, 1.2})));
}

TEST_F(ClippedRenderTest, PointsInFrontOfThePlaneAreLeftOut) {
    // A plane across the view: x > 0 is cut.
    scene_.clip.SetPlane({}, {1, 0, 0}, true);
    Molecule& m = Add({{{-1, 0.5, 0}, 1, kRed}, {{1, 0.5, 0}, 1, kRed}, {{-0.2, -1, 0.5}, 1, kGreen}, {{0.2, -1, -0.5}, 1, kGreen}},
                      Points);
    Render();
    EXPECT_TRUE(Reddish(At({-1, 0.5, 0})));
    EXPECT_TRUE(Dark(At({1, 0.5, 0})));
    EXPECT_TRUE(Greenish(At({-0.2, -1, 0.5})));
    EXPECT_TRUE(Dark(At({0.2, -1, -0.5})));

    // The only molecule shown to the side: the clip centre follows it.
    m.displayOffset = {0.5, 0, 0};
    scene_.clipCentre = m.displayOffset;
    Render();
    EXPECT_TRUE(Reddish(At({-0.5, 0.5, 0})));
    EXPECT_TRUE(Dark(At({0.3, -1, 0.5})));  // the first green one, now right of the plane
}

}  // namespace
