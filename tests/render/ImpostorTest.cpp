#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "core/RecordingUiHooks.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"
#include "render/Impostors.h"
#include "render/OffscreenRenderer.h"
#include "render/Pick.h"
#include "render/RenderCommands.h"
#include "render/RendererChoice.h"
#include "render/SceneDocumentLink.h"
#include "render/SceneRenderer.h"
#include "render/SphereOcclusion.h"
#include "support/TestData.h"
#include "PictureAgreement.h"

using namespace velm;
using velm::test::Agreement;
using velm::test::Ink;

namespace {

constexpr int kWidth = 1000, kHeight = 1000;

TEST(RendererChoice, ShadersNeedOpenGl21AndGlsl120) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"4.5 (Compatibility Profile) Mesa 22.3.6", "4.50", true},
        {"2.1 Mesa 7.0", "1.20", true},
        {"2.1", "1.2", true},
        {"2.0", "1.10", false},
        {"2.1", "1.10", false},
        {"1.4", nullptr, false},
        {nullptr, nullptr, false},
        {"", "", false},
    };
    for (const auto& [gl, glsl, offered] : cases) EXPECT_EQ(OffersShaders(gl, glsl), offered) << (gl ? gl : "null");
    EXPECT_EQ(DrawingPathFromName("fixed"), DrawingPath::Fixed);
    EXPECT_EQ(DrawingPathFromName("shader"), DrawingPath::Shader);
    EXPECT_EQ(DrawingPathFromName("Shader"), std::nullopt);
}

// A wall of touching spheres 10 units in front of the eye and, behind it, one
// sphere just hidden, one beside the wall and one in front of it; sticks
// behind the wall, reaching past its edge and through it. A wall that is not
// opaque hides nothing. Identity model-view; 60 degrees, 200 x 200.
TEST(SphereOcclusion, OnlyWhatOpaqueSpheresCoverWhollyIsLeftOut) {
    std::vector<float> centres, radii;
    for (int y = -5; y <= 5; ++y)
        for (int x = -5; x <= 5; ++x) centres.insert(centres.end(), {x * 0.5f, y * 0.5f, -10}), radii.push_back(0.5f);
    const size_t wall = radii.size();
    const float behind[3][3] = {{0, 0, -12}, {5, 0, -12}, {0.3f, 0.2f, -8}};
    for (const auto& c : behind) centres.insert(centres.end(), {c[0], c[1], c[2]}), radii.push_back(0.5f);
    const std::vector<float> sticks = {-1, 0, -12, 1, 0, -12,  0, 0, -12, 4, 0, -12,  0, 0, -12, 0, 0, -9};
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const float f = 1 / std::tan(30 * 3.14159265f / 180), n = 0.5f, fa = 100;
    const float projection[16] = {f, 0, 0, 0, 0, f, 0, 0, 0, 0, (fa + n) / (n - fa), -1, 0, 0, 2 * fa * n / (n - fa), 0};
    const int viewport[4] = {0, 0, 200, 200};
    for (std::uint8_t opaque : {1, 0}) {
        std::vector<std::uint8_t> flags(radii.size(), opaque);
        std::vector<std::uint32_t> visible, visibleSticks;
        VisibleSpheres({centres.data(), radii.data(), flags.data(), radii.size()}, identity, projection, viewport,
                       visible);
        const auto kept = [&](size_t i) { return std::find(visible.begin(), visible.end(), i) != visible.end(); };
        EXPECT_EQ(kept(wall), !opaque);
        EXPECT_TRUE(kept(wall + 1));
        EXPECT_TRUE(kept(wall + 2));
        EXPECT_TRUE(kept(wall / 2));  // the wall's middle
        EXPECT_EQ(visible.size(), radii.size() - opaque);  // nothing else left out
        SphereOcclusion({centres.data(), radii.data(), flags.data(), radii.size()}, identity, projection, viewport)
            .VisibleCylinders({sticks.data(), 0.2f, 3}, visibleSticks);
        const std::vector<std::uint32_t> shown = opaque ? std::vector<std::uint32_t>{1, 2} : std::vector<std::uint32_t>{0, 1, 2};
        EXPECT_EQ(visibleSticks, shown);
    }
}

// A real structure drawn off screen through either path.
class ImpostorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1); }
    void Load(const std::string& file, RenderMode mode) {
        ASSERT_EQ(doc_.AddMoleculeFromFile(test::DataPath(file)), 1);
        scene_.settings.width = kWidth;
        scene_.settings.height = kHeight;
        // Single samples: the impostors' edges are a pixel's, not a sample's.
        scene_.settings.multisample = false;
        // Fine enough caps and tubes that the 1.1 path's polygons and
        // per-vertex lighting come close to the true surfaces; at Medium the
        // two agree on about 97 % of the pixels, apart along the facets and
        // around the highlights.
        scene_.settings.quality.SetLevel(GraphicsQuality::High);
        scene_.fallbackNotice = [this](const std::string& text) { notices_.push_back(text); };
        doc_.EditSelected(DocumentChange::Display, [](Molecule& m) { m.showSolvent = 1; });
        ApplyRenderMode(scene_.settings, doc_, mode);
    }
    std::vector<std::uint8_t> Picture(DrawingPath path, OffscreenRenderer* offscreen = nullptr) {
        scene_.settings.drawingPath = path;
        OffscreenRenderer::Session session(offscreen ? *offscreen : offscreen_, kWidth, kHeight);
        session.Renderer().SetProjection();
        if (sources_) session.Renderer().SetImpostorSources(*sources_, perBuffer_, cull_);
        sources_ = nullptr;
        session.Renderer().RenderPass(doc_.Molecules(), 0);
        if (const ImpostorRenderer* i = session.Renderer().Impostors()) counts_ = i->GetCounts();
        shaders_ = session.Renderer().Impostors() != nullptr;
        return session.ReadPixels();
    }

    RecordingUiHooks ui_;
    CVelmDoc doc_{ui_};
    Scene scene_;
    SceneDocumentLink link_{scene_, doc_};
    OffscreenRenderer offscreen_{scene_};
    std::vector<std::string> notices_;
    const ImpostorSources* sources_ = nullptr;
    std::size_t perBuffer_ = kImpostorsPerBuffer;
    bool cull_ = true;
    ImpostorRenderer::Counts counts_;
    bool shaders_ = false;
};

// Both paths draw the same picture but for the silhouettes: fog, lights,
// material, split bond colours and the clipping plane included.
TEST_F(ImpostorTest, BothPathsDrawTheSamePicture) {
    const std::tuple<const char*, RenderMode, bool> cases[] = {
        {"1ubi.pdb", Cpk, false},          {"1ubi.pdb", BallAndStick, false}, {"1ubi.pdb", Sticks, false},
        {"133d.pdb", Cpk, false},          {"133d.pdb", BallAndStick, false}, {"1ubi.pdb", Cpk, true},
        {"1ubi.pdb", BallAndStick, true},
    };
    for (const auto& [file, mode, clipped] : cases) {
        SCOPED_TRACE(std::string(file) + " " + std::string(RenderModeName(mode)) + (clipped ? " clipped" : ""));
        if (doc_.MoleculeCount() > 0) doc_.DeleteMolecules({0});
        Load(file, mode);
        scene_.settings.clipView = clipped;
        const auto fixed = Picture(DrawingPath::Fixed);
        const auto shaded = Picture(DrawingPath::Shader);
        ASSERT_TRUE(shaders_);
        EXPECT_GE(Agreement(fixed, shaded), 0.99);
        // Nothing lost or added: as much of the picture is drawn.
        EXPECT_NEAR(double(Ink(shaded)), double(Ink(fixed)), 0.01 * kWidth * kHeight);
        EXPECT_GT(Ink(fixed), size_t(kWidth * kHeight / 50));
    }
    EXPECT_TRUE(notices_.empty());
}

// Buffers follow what is drawn, never the camera.
TEST_F(ImpostorTest, BuffersAreBuiltOnlyWhenWhatTheyHoldChanges) {
    Load("1ubi.pdb", Cpk);
    Picture(DrawingPath::Shader);
    EXPECT_EQ(counts_.builds, 1);
    Molecule& m = *doc_.Molecules()[0];
    for (float turn : {0.2f, 0.4f}) {
        m.trackball.orientation[1] = turn;
        scene_.settings.stereo = 1;
        Picture(DrawingPath::Shader);
    }
    scene_.settings.stereo = 0;
    EXPECT_EQ(counts_.builds, 1);
    EXPECT_EQ(counts_.positionUpdates, 0);

    doc_.EditSelected(DocumentChange::Display, [](Molecule& mol) { mol.atoms[3].colour = Rgba{1, 2, 3, 255}; });
    Picture(DrawingPath::Shader);
    EXPECT_EQ(counts_.builds, 2);

    // Another frame moves the atoms: positions only.
    Frame frame(static_cast<size_t>(m.AtomCount()));
    for (int i = 0; i < m.AtomCount(); ++i) frame.SetPosition(size_t(i), m.atoms[size_t(i)].Position() + Vec3{0.5, 0, 0});
    m.frames.Append(frame);
    m.currentFrame = 1;
    Picture(DrawingPath::Shader);
    EXPECT_EQ(counts_.builds, 2);
    EXPECT_EQ(counts_.positionUpdates, 1);

    ApplyRenderMode(scene_.settings, doc_, BallAndStick);
    Picture(DrawingPath::Shader);
    EXPECT_EQ(counts_.builds, 4);  // sticks and balls
}

// A driver that cannot build the shaders gets the 1.1 picture and one notice.
TEST_F(ImpostorTest, AShaderThatFailsFallsBackToOpenGl11) {
    static const ImpostorSources broken{DefaultImpostorSources().sphereVertex, "#version 120\nvoid main() { oops }\n",
                                        DefaultImpostorSources().cylinderVertex,
                                        DefaultImpostorSources().cylinderFragment};
    Load("1ubi.pdb", Cpk);
    const auto fixed = Picture(DrawingPath::Fixed);
    sources_ = &broken;
    const auto fallback = Picture(DrawingPath::Shader);
    Picture(DrawingPath::Shader);
    EXPECT_FALSE(shaders_);
    EXPECT_EQ(fallback, fixed);
    ASSERT_EQ(notices_.size(), 1u);
    EXPECT_NE(notices_[0].find("fragment shader"), std::string::npos) << notices_[0];
}

// Picking takes the 1.1 geometry whichever path drew: the same atoms.
TEST_F(ImpostorTest, PicksAgreeAfterEitherPath) {
    Load("1ubi.pdb", Cpk);
    OffscreenRenderer fixed(scene_);
    std::vector<PickResult> picks[2];
    for (int k = 0; k < 2; ++k) {
        Picture(k ? DrawingPath::Shader : DrawingPath::Fixed, k ? &offscreen_ : &fixed);
        for (int y = kHeight / 4; y < kHeight; y += kHeight / 4)
            for (int x = kWidth / 4; x < kWidth; x += kWidth / 8)
                picks[k].push_back(PickOffscreen(k ? offscreen_ : fixed, doc_.Molecules(), x, y, ui_));
    }
    int atoms = 0;
    for (size_t i = 0; i < picks[0].size(); ++i) {
        EXPECT_EQ(picks[1][i].kind, picks[0][i].kind) << i;
        EXPECT_EQ(picks[1][i].index, picks[0][i].index) << i;
        atoms += picks[0][i].kind == PickResult::AtomHit;
    }
    EXPECT_GT(atoms, 3);
}

// A molecule larger than one buffer is drawn from several, the same.
TEST_F(ImpostorTest, ALargeMoleculeIsDrawnFromSeveralBuffers) {
    Load("1ubi.pdb", BallAndStick);
    const auto whole = Picture(DrawingPath::Shader);
    OffscreenRenderer small(scene_);
    sources_ = &DefaultImpostorSources();
    perBuffer_ = 100;
    EXPECT_EQ(Picture(DrawingPath::Shader, &small), whole);
}

// Leaving out the spheres and sticks hidden behind spheres changes no pixel:
// 50,293 atoms, most of them water packed in a box.
TEST_F(ImpostorTest, HiddenSpheresAndSticksLeftOutChangeNothing) {
    for (RenderMode mode : {Cpk, BallAndStick}) {
        if (doc_.MoleculeCount() > 0) doc_.DeleteMolecules({0});
        Load("1tw7_solvated.pdb.gz", mode);
        for (float turn : {0.0f, 0.5f}) {
            doc_.Molecules()[0]->trackball.orientation[0] = turn;
            const auto culled = Picture(DrawingPath::Shader);
            OffscreenRenderer all(scene_);
            sources_ = &DefaultImpostorSources();
            cull_ = false;
            EXPECT_EQ(Picture(DrawingPath::Shader, &all), culled) << RenderModeName(mode) << " " << turn;
            cull_ = true;
        }
    }
}

}  // namespace
