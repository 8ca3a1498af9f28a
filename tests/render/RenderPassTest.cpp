#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <tuple>
#include <vector>

#include "core/RecordingUiHooks.h"
#include "core/VelmError.h"
#include "model/Molecule.h"
#include "model/ReadCoordinates.h"
#include "model/VelmDoc.h"
#include "render/DisplayLists.h"
#include "render/DrawContext.h"
#include "render/OffscreenContext.h"
#include "render/OffscreenRenderer.h"
#include "render/RenderCommands.h"
#include "render/SceneDocumentLink.h"
#include "render/SceneRadius.h"
#include "render/SceneRenderer.h"
#include "support/TestData.h"

using namespace velm;

namespace {

// The Render command's work on a list of molecules outside any document.
void ApplyModeToSelected(ViewSettings& settings, list<std::unique_ptr<Molecule>>& molecules, RenderMode mode) {
    for (auto& m : molecules)
        if (m->selected) SetRenderMode(settings, *m, mode);
}

constexpr int kSize = 200;
constexpr Rgba kRed{255, 0, 0, 255}, kBlue{0, 0, 255, 255}, kGreen{0, 255, 0, 255};

struct Pixel {
    int r, g, b;
};

// A molecule of a few atoms placed by hand, bonds given by index pairs.
std::unique_ptr<Molecule> Atoms(std::vector<std::pair<Vec3, Rgba>> atoms, std::vector<std::pair<int, int>> bonds = {}) {
    auto m = std::make_unique<Molecule>();
    int serial = 1;
    for (const auto& [p, colour] : atoms) {
        Atom a;
        a.x = p.x, a.y = p.y, a.z = p.z;
        a.colour = colour;
        a.serial = serial++;
        a.radius = 1;
        m->atoms.push_back(a);
    }
    for (auto [i, j] : bonds) m->bonds.push_back(Bond{i, j, 0, 0});
    m->UpdateBondSplitColours();
    UpdateBoundingBox(*m);
    m->selected = 1;
    return m;
}

// Renders molecules into a small off-screen picture. The scene radius is 4,
// so one angstrom is one unit of the view and the scene's origin sits 4
// units in front of the eye.
class RenderPassTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1); }
    void SetUp() override {
        context_ = std::make_unique<OffscreenContext>(kSize, kSize);
        scene_.settings.SceneRadius = 4;
        scene_.settings.depthCue = false;
        scene_.settings.lineAlias = false;  // probes read whole line pixels
        scene_.settings.lineWidth = 5;
        Resize(kSize, kSize);
    }
    void TearDown() override {
        renderer_.reset();
        context_.reset();
    }
    void Resize(int width, int height) {
        renderer_ = std::make_unique<SceneRenderer>(scene_);
        renderer_->Initialise();
        renderer_->Resize(width, height);
    }
    Molecule& Add(std::unique_ptr<Molecule> m) { return *molecules_.Append(std::move(m)); }
    void Render() {
        renderer_->RenderPass(molecules_, 0);
        glFinish();
        pixels_ = context_->ReadPixels();
    }
    Pixel At(int x, int y) const {
        const std::size_t i = (static_cast<std::size_t>(y) * kSize + static_cast<std::size_t>(x)) * 4;
        return {pixels_[i], pixels_[i + 1], pixels_[i + 2]};
    }
    // Where a point of the molecule (identity trackball) lands, for the eye
    // turned by `eyeAngle` degrees in the viewport given.
    std::array<double, 2> Project(const Vec3& p, double eyeAngle = 0, std::array<int, 4> viewport = {0, 0, kSize, kSize}) {
        GLdouble projection[16], model[16];
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glTranslated(0, 0, -4);
        glRotated(eyeAngle, 0, 1, 0);
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glPopMatrix();
        GLdouble x, y, z;
        gluProject(p.x, p.y, p.z, model, projection, viewport.data(), &x, &y, &z);
        return {x, y};
    }
    Pixel AtPoint(const Vec3& p) {
        const auto [x, y] = Project(p);
        return At(static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)));
    }
    // Pixels brighter than the background in the columns [x0, x1).
    struct Ink {
        int count = 0;
        double x = 0, y = 0;  // centroid
    };
    Ink InkIn(int x0, int x1, bool (*wanted)(Pixel)) const {
        Ink ink;
        for (int y = 0; y < kSize; ++y)
            for (int x = x0; x < x1; ++x)
                if (wanted(At(x, y))) ++ink.count, ink.x += x, ink.y += y;
        if (ink.count) ink.x /= ink.count, ink.y /= ink.count;
        return ink;
    }

    Scene scene_;
    std::unique_ptr<OffscreenContext> context_;
    std::unique_ptr<SceneRenderer> renderer_;
    list<std::unique_ptr<Molecule>> molecules_;
    std::vector<std::uint8_t> pixels_;
};

bool Reddish(Pixel p) { return p.r > 100 && p.r > p.g + 50 && p.r > p.b + 50; }
bool Greenish(Pixel p) { return p.g > 100 && p.g > p.r + 50 && p.g > p.b + 50; }
bool Dark(Pixel p) { return p.r + p.g + p.b < 10; }

TEST_F(RenderPassTest, CpkSphereIsLitInTheAtomColourAndSizedByItsRadius) {
    Molecule& m = Add(Atoms({{{0, 0, 0}, kRed}}));
    m.atoms[0].radius = 1;
    m.renderMode = Cpk;
    Render();
    // Facing the front light: ambient 0.2 from the ambient light and 0.2 from
    // the light model, diffuse 0.5, and a white highlight of the material's 0.3.
    const Pixel centre = AtPoint({0, 0, 0});
    EXPECT_EQ(centre.r, 255);
    EXPECT_NEAR(centre.g, 77, 3);
    EXPECT_NEAR(centre.b, 77, 3);
    EXPECT_TRUE(Reddish(AtPoint({0.8, 0, 0})));
    EXPECT_TRUE(Dark(AtPoint({1.2, 0, 0})));
    EXPECT_TRUE(Dark(At(2, 2)));

    m.atoms[0].radius = 0.5;
    Render();
    EXPECT_TRUE(Reddish(AtPoint({0.4, 0, 0})));
    EXPECT_TRUE(Dark(AtPoint({0.8, 0, 0})));
}

TEST_F(RenderPassTest, SplitBondsTakeBothColoursAndOthersTheFirstAtoms) {
    Molecule& m = Add(Atoms({{{-1.5, 0, 0}, kRed}, {{1.5, 0, 0}, kBlue}}, {{0, 1}}));
    ASSERT_EQ(m.bonds[0].splitColour, 1);
    Render();
    const Pixel left = AtPoint({-0.75, 0, 0}), right = AtPoint({0.75, 0, 0});
    EXPECT_EQ(left.r, 255);
    EXPECT_EQ(left.b, 0);
    EXPECT_EQ(right.b, 255);
    EXPECT_EQ(right.r, 0);

    // A clear flag draws the whole bond in the first atom's colour, even
    // though the atoms differ.
    m.bonds[0].splitColour = 0;
    Render();
    EXPECT_EQ(AtPoint({0.75, 0, 0}).r, 255);
    EXPECT_EQ(AtPoint({0.75, 0, 0}).b, 0);
}

TEST_F(RenderPassTest, SticksSplitAtTheMiddleAndBallAndStickSpheresIgnoreTheAtomRadius) {
    Molecule& m = Add(Atoms({{{-1.5, 0, 0}, kRed}, {{1.5, 0, 0}, kBlue}}, {{0, 1}}));
    m.atoms[0].radius = m.atoms[1].radius = 1.5;
    ApplyModeToSelected(scene_.settings, molecules_, BallAndStick);
    EXPECT_FLOAT_EQ(scene_.settings.stickAtomRadius, 0.275f);
    EXPECT_FLOAT_EQ(scene_.settings.stickBondRadius, 0.175f);
    Render();
    EXPECT_TRUE(Reddish(AtPoint({-0.5, 0, 0})));
    const Pixel blue = AtPoint({0.5, 0, 0});
    EXPECT_GT(blue.b, 150);
    EXPECT_LT(blue.r, 100);
    // The ball reaches 0.275 above its atom, the stick 0.175, the atom's own
    // radius of 1.5 nowhere.
    EXPECT_TRUE(Reddish(AtPoint({-1.5, 0.24, 0})));
    EXPECT_TRUE(Dark(AtPoint({-0.75, 0.24, 0})));
    EXPECT_TRUE(Dark(AtPoint({-1.5, 0.4, 0})));

    ApplyModeToSelected(scene_.settings, molecules_, Sticks);
    Render();
    EXPECT_TRUE(Dark(AtPoint({-1.5, 0.24, 0})));
    EXPECT_TRUE(Reddish(AtPoint({-1.5, 0.12, 0})));

    // Other modes leave the stick radii as they were.
    ApplyModeToSelected(scene_.settings, molecules_, TraceSticks);
    ApplyModeToSelected(scene_.settings, molecules_, Cpk);
    EXPECT_FLOAT_EQ(scene_.settings.stickAtomRadius, 0.275f);
    EXPECT_EQ(m.renderMode, Cpk);
}

TEST_F(RenderPassTest, HeteroAtomsAndBondsShowOnlyWithSolvent) {
    Molecule& m = Add(Atoms({{{-1.5, 0, 0}, kRed}, {{1.5, 0, 0}, kRed}, {{0, 1.5, 0}, kGreen}}, {{0, 1}}));
    m.atoms[2].hetero = 1;
    m.bonds[0].hetero = 1;  // between two atoms that are not hetero
    Render();
    EXPECT_TRUE(Dark(AtPoint({0, 0, 0})));
    m.renderMode = Cpk;
    Render();
    EXPECT_TRUE(Reddish(AtPoint({-1.5, 0, 0})));
    EXPECT_TRUE(Dark(AtPoint({0, 1.5, 0})));

    m.showSolvent = 1;
    Render();
    EXPECT_TRUE(Greenish(AtPoint({0, 1.5, 0})));
    m.renderMode = WireFrame;
    Render();
    EXPECT_TRUE(Reddish(AtPoint({0, 0, 0})));
}

TEST_F(RenderPassTest, PointsAndTraces) {
    // Three residues of one chain and a chain of one residue.
    Molecule& m = Add(Atoms({{{-2, 0, 0}, kRed}, {{0, 0, 0}, kRed}, {{2, 0, 0}, kRed}, {{0, 2, 0}, kGreen}}));
    Chain chain;
    for (int i = 0; i < 3; ++i) {
        Residue r;
        r.alphaCarbon = r.traceAtom = i;
        r.atoms = {i};
        chain.residues.push_back(r);
    }
    m.chains.push_back(chain);
    Chain single;
    single.residues.emplace_back();
    single.residues[0].alphaCarbon = single.residues[0].traceAtom = 3;
    m.chains.push_back(single);

    m.renderMode = TraceWireFrame;
    Render();
    EXPECT_TRUE(Reddish(AtPoint({-1, 0, 0})));
    EXPECT_TRUE(Reddish(AtPoint({1, 0, 0})));
    EXPECT_EQ(InkIn(0, kSize, Greenish).count, 0);  // a chain of one residue draws nothing

    ApplyModeToSelected(scene_.settings, molecules_, TraceSticks);
    Render();
    EXPECT_TRUE(Reddish(AtPoint({1, 0.1, 0})));
    EXPECT_TRUE(Reddish(AtPoint({2, 0.24, 0})));  // spheres of 0.275 at the alpha carbons
    EXPECT_EQ(InkIn(0, kSize, Greenish).count, 0);

    m.renderMode = Points;
    Render();
    EXPECT_TRUE(Reddish(AtPoint({2, 0, 0})));
    EXPECT_TRUE(Greenish(AtPoint({0, 2, 0})));
    EXPECT_TRUE(Dark(AtPoint({1, 0, 0})));
    GLfloat size = 0;
    glGetFloatv(GL_POINT_SIZE, &size);
    EXPECT_EQ(size, 1);

    m.renderMode = Hidden;
    Render();
    EXPECT_EQ(InkIn(0, kSize, [](Pixel p) { return !Dark(p); }).count, 0);
}

TEST_F(RenderPassTest, DepthCueFadesTheBackIntoTheBackgroundAndSwitchesAtOnce) {
    // A bond 1.5 behind the origin: 5.5 from the eye, where linear fog from 3
    // to 6 leaves a sixth of its colour.
    Add(Atoms({{{-1.5, 0, -1.5}, kRed}, {{1.5, 0, -1.5}, kRed}}, {{0, 1}}));
    Render();
    const int clear = AtPoint({0, 0, -1.5}).r;
    scene_.settings.depthCue = true;
    renderer_->ApplyDepthCue();
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    Render();
    const int fogged = AtPoint({0, 0, -1.5}).r;
    EXPECT_EQ(clear, 255);
    EXPECT_NEAR(fogged, 255 / 6.0, 6);

    scene_.settings.depthCue = false;
    renderer_->ApplyDepthCue();
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    Render();
    EXPECT_EQ(AtPoint({0, 0, -1.5}).r, 255);

    // Fog fades to the background colour, whatever it is.
    scene_.settings.depthCue = true;
    scene_.settings.backgroundColor = {0, 0, 1, 1};
    renderer_->ApplyBackground();
    renderer_->ApplyDepthCue();
    Render();
    EXPECT_EQ(At(1, 1).b, 255);
    EXPECT_GT(AtPoint({0, 0, -1.5}).b, 200);
}

TEST_F(RenderPassTest, StereoHalvesTurnTheSceneByMinusAndPlusTheHalfAngle) {
    scene_.settings.stereo = 1;
    renderer_->SetProjection();
    GLdouble projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    // Aspect (width / 2) / height = 0.5: the field of view goes across the
    // narrower side, each half 60 degrees wide and twice as high.
    const double f = 1 / std::tan(30 * M_PI / 180);
    EXPECT_NEAR(projection[0], f, 1e-4);
    EXPECT_NEAR(projection[5], f * 0.5, 1e-4);

    // An atom in front of the origin moves sideways as the eye turns.
    Molecule& m = Add(Atoms({{{0, 0, 1.5}, kRed}}));
    m.atoms[0].radius = 0.3;
    m.renderMode = Cpk;
    Render();
    const Ink left = InkIn(0, kSize / 2, Reddish), right = InkIn(kSize / 2, kSize, Reddish);
    ASSERT_GT(left.count, 20);
    ASSERT_GT(right.count, 20);
    EXPECT_NEAR(left.count, right.count, left.count / 10);
    const auto expectLeft = Project({0, 0, 1.5}, -3.5, {0, 0, kSize / 2, kSize});
    const auto expectRight = Project({0, 0, 1.5}, 3.5, {kSize / 2, 0, kSize / 2, kSize});
    EXPECT_NEAR(left.x, expectLeft[0], 1.0);
    EXPECT_NEAR(right.x, expectRight[0], 1.0);
    // The turns are opposite: the offsets from each half's middle mirror.
    EXPECT_NEAR(left.x - kSize / 4.0 + 0.5, -(right.x - 3 * kSize / 4.0 + 0.5), 1.0);
    EXPECT_GT(std::fabs(left.x - kSize / 4.0), 2.0);
}

TEST_F(RenderPassTest, LabelsDrawTheSerialNumberBesideTheAtomInItsColour) {
    Molecule& m = Add(Atoms({{{-1, 0, 0}, kGreen}}));
    m.atoms[0].serial = 48;
    Render();
    EXPECT_EQ(InkIn(0, kSize, Greenish).count, 0);
    m.showLabels = 1;
    Render();
    if (renderer_->Font().ListBase() == 0) GTEST_SKIP() << "no font on this system";
    const Ink ink = InkIn(0, kSize, Greenish);
    const auto at = Project({-1, 0, 0});
    EXPECT_GT(ink.count, 20);
    // The text starts at the atom and runs right and up from its baseline.
    EXPECT_GT(ink.x, at[0]);
    EXPECT_LT(ink.x, at[0] + 30);
    EXPECT_GT(ink.y, at[1]);
    EXPECT_LT(ink.y, at[1] + 20);
    // Labels leave lighting and fog as they were.
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
}

TEST_F(RenderPassTest, MonitorsAxesAndOverlaysDrawAndRestoreTheLights) {
    Molecule& m = Add(Atoms({{{-1.5, 0, 0}, kRed}, {{1.5, 0, 0}, kRed}}));
    m.renderMode = Hidden;
    m.monitors.Append(Monitor{3, 0, 1, kBlue});
    m.showMonitors = 1;
    Render();
    EXPECT_GT(AtPoint({0, 0, 0}).b, 150);        // the cylinder between the atoms
    EXPECT_GT(AtPoint({-1.5, 0.12, 0}).b, 150);  // the sphere of 0.15 at an end
    EXPECT_TRUE(Dark(AtPoint({0, 0.3, 0})));

    scene_.settings.showAxes = true;
    scene_.markers = {{{0, 1.5, 0}, kGreen}};
    Render();
    EXPECT_TRUE(Greenish(AtPoint({0, 1.5, 0})));
    // After every overlay the line light is on and the solid lights off.
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT1));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT7));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));

    // Hydrogen bonds: six dashes from the acceptor, a gap at the donor.
    scene_.markers.clear();
    scene_.settings.showAxes = false;
    m.showMonitors = 0;
    scene_.settings.showHBonds = true;
    list<DisplayHBond> bonds;
    bonds.Append({&m, &m, 0, 1});
    scene_.hydrogenBonds = &bonds;
    Render();
    const Pixel dash = AtPoint({1.5 - 3.0 / 24, 0, 0}), gap = AtPoint({1.5 - 3 * 3.0 / 24, 0, 0});
    EXPECT_EQ(dash.r, 255);
    EXPECT_TRUE(Dark(gap));
    EXPECT_TRUE(Dark(AtPoint({-1.5 + 3.0 / 24, 0, 0})));
    scene_.hydrogenBonds = nullptr;
}

TEST_F(RenderPassTest, MoleculeTransformAppliesOffsetRotationScaleAndTranslation) {
    Molecule& m = Add(Atoms({{{1, 0, 0}, kRed}}));
    m.atoms[0].radius = 0.3;
    m.renderMode = Cpk;
    // A quarter turn about z; the translation applies first, inside the turn.
    const float s = std::sqrt(0.5f);
    m.trackball.orientation[2] = s;
    m.trackball.orientation[3] = s;
    m.trackball.translation[0] = -2;
    const Vec3 placed = Placement(m.trackball).Place({1, 0, 0});
    EXPECT_NEAR(placed.x, 0, 1e-6);  // (-1, 0, 0) turned onto the y axis
    EXPECT_NEAR(std::fabs(placed.y), 1, 1e-6);
    Render();
    EXPECT_TRUE(Reddish(AtPoint(placed)));
    EXPECT_TRUE(Dark(AtPoint({1, 0, 0})));
    EXPECT_TRUE(Dark(AtPoint({-1, 0, 0})));

    // The display offset moves the turned molecule, with y reversed.
    m.displayOffset = {0.5, placed.y, 0};
    Render();
    EXPECT_TRUE(Reddish(AtPoint({0.5, 0, 0})));
    EXPECT_TRUE(Dark(AtPoint(placed)));

    // Scale 4 / SceneRadius: twice the radius, half the size.
    m.displayOffset = {};
    scene_.settings.SceneRadius = 8;
    Render();
    EXPECT_TRUE(Reddish(AtPoint(placed * 0.5)));
    EXPECT_TRUE(Dark(AtPoint(placed)));
}

TEST_F(RenderPassTest, FramesDrawTheirOwnCoordinates) {
    Molecule& m = Add(Atoms({{{-1, 0, 0}, kRed}}));
    m.renderMode = Cpk;
    m.atoms[0].radius = 0.3;
    Frame f(1);
    f.SetPosition(0, {1, 0, 0});
    m.frames.Append(f);
    m.currentFrame = 1;
    Render();
    EXPECT_TRUE(Reddish(AtPoint({1, 0, 0})));
    EXPECT_TRUE(Dark(AtPoint({-1, 0, 0})));
}

TEST_F(RenderPassTest, ZeroSizeLeavesTheProjectionAndAnUnknownModeThrows) {
    GLdouble before[16], after[16];
    glGetDoublev(GL_PROJECTION_MATRIX, before);
    renderer_->Resize(0, 50);
    renderer_->Resize(50, 0);
    glGetDoublev(GL_PROJECTION_MATRIX, after);
    EXPECT_EQ(std::vector<double>(before, before + 16), std::vector<double>(after, after + 16));
    EXPECT_EQ(scene_.settings.width, kSize);
    try {
        renderer_->RenderPass(molecules_, 2);
        FAIL() << "mode 2 drew";
    } catch (const VelmError& e) {
        EXPECT_EQ(e.text(), "Unknown rendering mode!");
    }
}

TEST_F(RenderPassTest, SelectionPassNamesAtomsAndBondMidpointsAcrossMolecules) {
    // A hidden molecule first keeps its block of names.
    Molecule& hidden = Add(Atoms({{{0, 0, 0}, kRed}, {{1, 0, 0}, kRed}}, {{0, 1}}));
    hidden.renderMode = Hidden;
    Add(Atoms({{{-1, 1, 0}, kRed}, {{1, 1, 0}, kRed}}, {{0, 1}}));
    std::vector<GLuint> buffer(64);
    glSelectBuffer(static_cast<GLsizei>(buffer.size()), buffer.data());
    glRenderMode(GL_SELECT);
    glInitNames();
    glPushName(0);
    const auto at = Project({0, 1, 0});  // the bond's midpoint
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    GLint viewport[4] = {0, 0, kSize, kSize};
    gluPickMatrix(at[0], at[1], 10, 10, viewport);
    gluPerspective(60, 1, 0.5, 7);
    glMatrixMode(GL_MODELVIEW);
    renderer_->RenderPass(molecules_, 1);
    const GLint hits = glRenderMode(GL_RENDER);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    ASSERT_EQ(hits, 1);
    EXPECT_EQ(buffer[0], 1u);
    EXPECT_EQ(buffer[3], 3u + 2u + 0u);  // 2 atoms + 1 bond of the first, then atoms 0, 1 and bond 0
}

// Geometry read back through the feedback buffer.
class RenderFeedbackTest : public RenderPassTest {
protected:
    // Triangles of one render pass, in window coordinates.
    std::vector<std::array<std::array<float, 3>, 3>> Triangles() {
        std::vector<GLfloat> feedback(1 << 16);
        glFeedbackBuffer(static_cast<GLsizei>(feedback.size()), GL_3D, feedback.data());
        glRenderMode(GL_FEEDBACK);
        renderer_->RenderPass(molecules_, 0);
        const GLint n = glRenderMode(GL_RENDER);
        EXPECT_GT(n, 0);
        std::vector<std::array<std::array<float, 3>, 3>> out;
        for (GLint i = 0; i < n;) {
            const auto token = static_cast<GLint>(feedback[static_cast<size_t>(i++)]);
            if (token != GL_POLYGON_TOKEN) {
                ADD_FAILURE() << "token " << token;
                break;
            }
            const auto count = static_cast<int>(feedback[static_cast<size_t>(i++)]);
            EXPECT_EQ(count, 3);
            std::array<std::array<float, 3>, 3> t{};
            for (int v = 0; v < count; ++v, i += 3)
                if (v < 3) t[static_cast<size_t>(v)] = {feedback[static_cast<size_t>(i)], feedback[static_cast<size_t>(i + 1)], feedback[static_cast<size_t>(i + 2)]};
            out.push_back(t);
        }
        return out;
    }
};

TEST_F(RenderFeedbackTest, LowQualitySpheresAreOneFanAroundThePole) {
    Molecule& m = Add(Atoms({{{0, 0, 0}, kRed}}));
    m.renderMode = Cpk;
    scene_.settings.quality.SetLevel(GraphicsQuality::Low);
    renderer_->UpdateResolutions();
    const auto fan = Triangles();
    ASSERT_EQ(fan.size(), 8u);  // 8 slices, 2 stacks: no strips
    const auto pole = Project({0, 0, 0});
    for (const auto& t : fan) {
        int atPole = 0;
        for (const auto& v : t) atPole += std::hypot(v[0] - pole[0], v[1] - pole[1]) < 0.5;
        EXPECT_EQ(atPole, 1);
    }
    scene_.settings.quality.SetLevel(GraphicsQuality::Medium);
    renderer_->UpdateResolutions();
    EXPECT_GT(Triangles().size(), 15u * 2);  // a fan and strips
}

TEST_F(RenderFeedbackTest, CylindersFollowTheirBondEvenAlongZ) {
    // The turn that puts a list's +z onto a bond, read back from GL.
    const Vec3 directions[] = {{1, 0, 0}, {0, -2, 0}, {1, 2, 3}, {0, 0, 5}, {0, 0, -5}, {1e-9, 0, -1}};
    for (const Vec3& d : directions) {
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        TurnOnto(d, Length(d));
        GLdouble m[16];
        glGetDoublev(GL_MODELVIEW_MATRIX, m);
        glPopMatrix();
        const double l = Length(d);
        EXPECT_NEAR(m[8], d.x / l, 1e-6) << d.x << "," << d.y << "," << d.z;
        EXPECT_NEAR(m[9], d.y / l, 1e-6) << d.x << "," << d.y << "," << d.z;
        EXPECT_NEAR(m[10], d.z / l, 1e-6) << d.x << "," << d.y << "," << d.z;
    }

    // A stick bond pointing away from the eye stays inside its radius about
    // the line of sight; drawn from its far end it must not flip forwards.
    Molecule& mol = Add(Atoms({{{0, 0, 1}, kRed}, {{0, 0, -1}, kRed}}, {{0, 1}}));
    ApplyModeToSelected(scene_.settings, molecules_, Sticks);
    scene_.settings.stickAtomRadius = 0;
    glDisable(GL_CULL_FACE);  // seen along its axis, every wall is seen from inside
    const auto centre = Project({0, 0, 0});
    const auto edge = Project({0.175, 0, 1});  // the near end's rim, the widest on screen
    const double reach = edge[0] - centre[0] + 0.5;
    const auto triangles = Triangles();
    ASSERT_FALSE(triangles.empty());
    for (const auto& t : triangles)
        for (const auto& v : t) EXPECT_LE(std::hypot(v[0] - centre[0], v[1] - centre[1]), reach);
    (void)mol;
}

TEST(SceneRadius, HoldsEveryAtomSphereMovedOrNot) {
    list<std::unique_ptr<Molecule>> molecules;
    EXPECT_EQ(ComputeSceneRadius(molecules, true), 1);
    EXPECT_EQ(ComputeSceneRadius(molecules, false), 1);

    const double fit = 1 / std::sin(kFitHalfAngle * M_PI / 180);
    auto a = Atoms({{{0, 0, 0}, kRed}, {{4, 6, 12}, kRed}});
    auto b = Atoms({{{0, 0, 0}, kRed}, {{2, 2, 2}, kRed}});
    b->atoms[1].radius = 1.5;
    b->trackball.translation[0] = -12;
    molecules.Append(std::move(a));
    molecules.Append(std::move(b));
    // a reaches 14 A (+ its atoms' 1 A); b 3.46 A + 12 moved + 1.5.
    EXPECT_NEAR(ComputeSceneRadius(molecules, true), (std::sqrt(12.0) + 12 + 1.5) * fit, 1e-4);
    EXPECT_NEAR(ComputeSceneRadius(molecules, false), 15 * fit, 1e-4);

    // A single atom at the origin: its sphere.
    list<std::unique_ptr<Molecule>> one;
    one.Append(Atoms({{{0, 0, 0}, kRed}}));
    EXPECT_NEAR(ComputeSceneRadius(one, true), fit, 1e-5);
}

// The default view shows the whole scene, space-filling spheres included,
// in a window of any shape and in each half of a stereo pair.
TEST(SceneRadius, TheWholeSceneLiesInsideTheViewForAnyShape) {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    for (const char* file : {"1ubi.pdb", "133d.pdb"}) {
        RecordingUiHooks ui;
        CVelmDoc doc(ui);
        ASSERT_EQ(doc.AddMoleculeFromFile(test::DataPath(file)), 1);
        Scene scene;
        scene.settings.depthCue = false;
        SceneDocumentLink link(scene, doc);
        doc.EditSelected(DocumentChange::Display, [](Molecule& m) {
            m.renderMode = Cpk;
            m.showSolvent = 1;
        });
        OffscreenRenderer offscreen(scene);
        for (const auto& [w, h, stereo] : {std::tuple{400, 300, 0}, {200, 400, 0}, {600, 300, 1}, {300, 300, 0}}) {
            scene.settings.width = w;
            scene.settings.height = h;
            scene.settings.stereo = stereo;
            OffscreenRenderer::Session session(offscreen, w, h);
            session.Renderer().SetProjection();
            session.Renderer().RenderPass(doc.Molecules(), 0);
            const auto pixels = session.ReadPixels();
            const auto ink = [&](int x, int y) { return pixels[4 * (static_cast<size_t>(y) * w + x)] != 0; };
            int edge = 0, top = h, bottom = -1;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const bool border = x == 0 || y == 0 || x == w - 1 || y == h - 1 || (stereo && (x == w / 2 - 1 || x == w / 2));
                    if (!ink(x, y)) continue;
                    edge += border;
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
            EXPECT_EQ(edge, 0) << file << " " << w << "x" << h;
            // And not lost in the middle: it spans a good part of the view.
            EXPECT_GT(bottom - top, std::min(stereo ? w / 2 : w, h) / 3) << file << " " << w << "x" << h;
        }
    }
}

TEST(DocumentChanged, RadiusPlayingAndTorsionFollowTheDocument) {
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    Scene scene;
    scene.settings.animation.animating = true;
    OnDocumentChanged(scene, doc);
    EXPECT_FALSE(scene.settings.animation.animating);

    auto added = Atoms({{{0, 0, 0}, kRed}, {{0, 0, 8}, kRed}});
    Molecule& m = *added;
    doc.AddMolecule(std::move(added));
    scene.torsion = {&m, 0, 1, {1}, true};
    OnDocumentChanged(scene, doc);
    EXPECT_NEAR(scene.settings.SceneRadius, (8 + 1) / std::sin(kFitHalfAngle * M_PI / 180), 1e-4);
    EXPECT_FALSE(scene.settings.animation.playing);
    EXPECT_EQ(scene.torsion.molecule, nullptr);

    m.frames.Append(Frame(2));
    scene.settings.animation.playDirection = 1;
    OnDocumentChanged(scene, doc);
    EXPECT_TRUE(scene.settings.animation.playing);
    EXPECT_TRUE(scene.settings.animation.animating);
    EXPECT_EQ(scene.settings.animation.playDirection, 0);

    // Without frames a spinning scene keeps animating.
    m.frames.Clear();
    scene.settings.animation.spinning = true;
    OnDocumentChanged(scene, doc);
    EXPECT_FALSE(scene.settings.animation.playing);
    EXPECT_TRUE(scene.settings.animation.animating);
}

}  // namespace

// The scene follows its document by itself: no caller tells it.
TEST(DocumentChanged, TheLinkedSceneFollowsLoadsAndFramesWithoutBeingTold) {
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    Scene scene;
    SceneDocumentLink link(scene, doc);
    EXPECT_EQ(scene.hydrogenBonds, &doc.HydrogenBonds());
    EXPECT_EQ(scene.settings.SceneRadius, 1);

    ASSERT_EQ(doc.AddMoleculeFromFile(test::DataPath("1ubi.pdb")), 1);
    EXPECT_GT(scene.settings.SceneRadius, 10);  // fitted to the structure
    EXPECT_FALSE(scene.settings.animation.playing);
    doc.ReadTrajectoryIntoPrimary(test::DataPath("1ubi_20frames_le.dcd"), Verbatim);
    EXPECT_TRUE(scene.settings.animation.playing);  // a trajectory plays

    // Hydrogen bonds, while shown, follow the frame; not otherwise.
    struct Count : DocumentObserver {
        int refills = 0;
        void DocumentChanged(DocumentChange what) override { refills += Any(what, DocumentChange::HydrogenBonds); }
    } count;
    doc.AddObserver(count);
    doc.SetFrame(1);
    EXPECT_EQ(count.refills, 0);
    scene.settings.showHBonds = true;
    doc.SetFrame(2);
    EXPECT_EQ(count.refills, 1);
    EXPECT_FALSE(doc.HydrogenBonds().Empty());
    doc.RemoveObserver(count);

    doc.DeleteMolecules({0});
    EXPECT_FALSE(scene.settings.animation.animating);
}
