#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/RecordingUiHooks.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"
#include "render/MeshBuffers.h"
#include "render/OffscreenRenderer.h"
#include "render/RenderCommands.h"
#include "render/RendererChoice.h"
#include "render/SceneDocumentLink.h"
#include "render/SceneRenderer.h"
#include "surface/SurfaceBuild.h"
#include "support/TestData.h"
#include "PictureAgreement.h"

using namespace velm;
using velm::test::Agreement;
using velm::test::Ink;

namespace {

constexpr int kSide = 1000;

// Ribbons, tubes and surfaces drawn off screen through either path.
class MeshBuffersTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1); }
    void Load(const std::string& file, RenderMode mode) {
        if (doc_.MoleculeCount() > 0) doc_.DeleteMolecules({0});
        ASSERT_EQ(doc_.AddMoleculeFromFile(test::DataPath(file)), 1);
        scene_.settings.width = scene_.settings.height = kSide;
        scene_.settings.multisample = false;
        ApplyRenderMode(scene_.settings, doc_, mode);
    }
    void BuildSurfaces() {
        doc_.EditSelected(DocumentChange::Display, [this](Molecule& m) { BuildSurface(m, ui_, 1); });
    }
    std::vector<std::uint8_t> Picture(DrawingPath path, OffscreenRenderer& offscreen) {
        scene_.settings.drawingPath = path;
        OffscreenRenderer::Session session(offscreen, kSide, kSide);
        session.Renderer().SetMeshVerticesPerBuffer(perBuffer_);
        session.Renderer().SetProjection();
        session.Renderer().RenderPass(doc_.Molecules(), 0);
        if (const MeshBuffers* meshes = session.Renderer().Meshes()) counts_ = meshes->GetCounts();
        buffered_ = session.Renderer().Meshes() != nullptr;
        return session.ReadPixels();
    }
    std::vector<std::uint8_t> Picture(DrawingPath path) { return Picture(path, offscreen_); }

    RecordingUiHooks ui_;
    CVelmDoc doc_{ui_};
    Scene scene_;
    SceneDocumentLink link_{scene_, doc_};
    OffscreenRenderer offscreen_{scene_};
    std::size_t perBuffer_ = kMeshVerticesPerBuffer;
    MeshBuffers::Counts counts_;
    bool buffered_ = false;
};

// The same triangles through buffers: the same picture, fog, clipping,
// translucent surfaces and mesh lines included.
TEST_F(MeshBuffersTest, BothPathsDrawTheSamePicture) {
    struct Case {
        const char* file;
        RenderMode mode;
        int surface;  // style, or -1 for none
        std::uint8_t alpha;
        bool userColour, clipped;
    };
    const Case cases[] = {
        {"1ubi.pdb", SolidRibbon, -1, 255, false, false},    {"1ubi.pdb", FlatRibbon, -1, 255, false, false},
        {"1ubi.pdb", Tube, -1, 255, false, true},            {"1ubi.pdb", TemperatureTube, -1, 255, false, false},
        {"1ubi.pdb", OccupancyTube, -1, 255, false, false},  {"133d.pdb", SolidRibbon, -1, 255, false, false},
        {"133d.pdb", Tube, -1, 255, false, false},           {"1ubi.pdb", Hidden, SolidSurface, 255, false, false},
        {"1ubi.pdb", Tube, SolidSurface, 120, false, false}, {"1ubi.pdb", Hidden, MeshSurface, 255, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + std::string(RenderModeName(c.mode)) + " surface " +
                     std::to_string(c.surface));
        Load(c.file, c.mode);
        scene_.settings.clipView = c.clipped;
        if (c.surface >= 0) {
            doc_.EditSelected(DocumentChange::Display, [&](Molecule& m) {
                m.surface.style = static_cast<SurfaceStyle>(c.surface);
                m.surface.transparencyAlpha = c.alpha;
                m.surface.colourByAtom = !c.userColour;
                m.surface.userColour = Rgba{40, 200, 90, 255};
            });
            BuildSurfaces();
        }
        const auto fixed = Picture(DrawingPath::Fixed);
        const auto buffered = Picture(DrawingPath::Shader);
        ASSERT_TRUE(buffered_);
        EXPECT_GE(Agreement(fixed, buffered), 0.99);
        EXPECT_NEAR(double(Ink(buffered)), double(Ink(fixed)), 0.01 * kSide * kSide);
        EXPECT_GT(Ink(fixed), size_t(kSide * kSide / 500));
    }
}

// Meshes follow what they are made from, never the camera.
TEST_F(MeshBuffersTest, MeshesAreGatheredOnlyWhenWhatTheyFollowChanges) {
    Load("1ubi.pdb", Tube);
    BuildSurfaces();
    Picture(DrawingPath::Shader);
    Molecule& m = *doc_.Molecules()[0];
    for (float turn : {0.2f, 0.4f}) {
        m.trackball.orientation[1] = turn;
        scene_.settings.stereo = 1;
        Picture(DrawingPath::Shader);
    }
    scene_.settings.stereo = 0;
    EXPECT_EQ(counts_.ribbonBuilds, 1);
    EXPECT_EQ(counts_.surfaceBuilds, 1);
    EXPECT_EQ(counts_.surfaceRecolours, 0);

    // Another frame changes the tube's shape; the surface stays as built.
    Frame frame(static_cast<size_t>(m.AtomCount()));
    for (int i = 0; i < m.AtomCount(); ++i)
        frame.SetPosition(size_t(i), m.atoms[size_t(i)].Position() * 1.02);
    m.frames.Append(frame);
    m.currentFrame = 1;
    Picture(DrawingPath::Shader);
    EXPECT_EQ(counts_.ribbonBuilds, 2);
    EXPECT_EQ(counts_.surfaceBuilds, 1);

    // New colours: the tube again, the surface's colours only, as the 1.1
    // path shows them.
    doc_.EditSelected(DocumentChange::Display, [](Molecule& mol) {
        for (Atom& a : mol.atoms) a.colour = Rgba{200, 100, static_cast<std::uint8_t>(a.serial % 256), 255};
    });
    const auto buffered = Picture(DrawingPath::Shader);
    EXPECT_EQ(counts_.ribbonBuilds, 3);
    EXPECT_EQ(counts_.surfaceBuilds, 1);
    EXPECT_EQ(counts_.surfaceRecolours, 1);
    EXPECT_GE(Agreement(Picture(DrawingPath::Fixed), buffered), 0.99);

    BuildSurfaces();  // at the frame shown
    ApplyRenderMode(scene_.settings, doc_, SolidRibbon);
    Picture(DrawingPath::Shader);
    EXPECT_EQ(counts_.ribbonBuilds, 4);
    EXPECT_EQ(counts_.surfaceBuilds, 2);
}

// Meshes larger than one buffer are kept in several and drawn the same.
TEST_F(MeshBuffersTest, ALargeMeshIsDrawnFromSeveralBuffers) {
    for (RenderMode mode : {Tube, FlatRibbon}) {
        Load("1ubi.pdb", mode);
        if (mode == Tube) BuildSurfaces();
        perBuffer_ = kMeshVerticesPerBuffer;
        const auto whole = Picture(DrawingPath::Shader);
        OffscreenRenderer small(scene_);
        perBuffer_ = 500;
        EXPECT_EQ(Picture(DrawingPath::Shader, small), whole) << RenderModeName(mode);
    }
}

}  // namespace
