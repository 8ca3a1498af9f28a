#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "core/RecordingUiHooks.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"
#include "render/Impostors.h"
#include "render/LineBuffers.h"
#include "render/OffscreenRenderer.h"
#include "render/RenderCommands.h"
#include "render/RendererChoice.h"
#include "render/SceneDocumentLink.h"
#include "render/SceneRenderer.h"
#include "support/TestData.h"
#include "PictureAgreement.h"

using namespace velm;
using velm::test::Agreement;
using velm::test::Ink;

namespace {

constexpr int kSide = 600;

// Lines and points of real structures drawn off screen through either path.
class LineBuffersTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1); }
    void Load(const std::string& file, RenderMode mode) {
        if (doc_.MoleculeCount() > 0) doc_.DeleteMolecules({0});
        ASSERT_EQ(doc_.AddMoleculeFromFile(test::DataPath(file)), 1);
        scene_.settings.width = scene_.settings.height = kSide;
        scene_.settings.multisample = false;  // the impostors' edges are a pixel's, not a sample's
        doc_.EditSelected(DocumentChange::Display, [](Molecule& m) { m.showSolvent = 1; });
        ApplyRenderMode(scene_.settings, doc_, mode);
    }
    std::vector<std::uint8_t> Picture(DrawingPath path, OffscreenRenderer& offscreen) {
        scene_.settings.drawingPath = path;
        OffscreenRenderer::Session session(offscreen, kSide, kSide);
        session.Renderer().SetLineVerticesPerBuffer(perBuffer_);
        session.Renderer().SetProjection();
        session.Renderer().RenderPass(doc_.Molecules(), 0);
        const LineBuffers* lines = session.Renderer().Lines();
        counts_ = lines ? lines->GetCounts() : LineBuffers::Counts{};
        bytes_ = lines ? lines->BufferBytes() : 0;
        if (const ImpostorRenderer* impostors = session.Renderer().Impostors()) {
            bytes_ += impostors->BufferBytes();
            impostorCounts_ = impostors->GetCounts();
        }
        return session.ReadPixels();
    }
    std::vector<std::uint8_t> Picture(DrawingPath path) { return Picture(path, offscreen_); }
    void NewFrame(float shift) {
        Molecule& m = *doc_.Molecules()[0];
        Frame frame(static_cast<size_t>(m.AtomCount()));
        for (int i = 0; i < m.AtomCount(); ++i)
            frame.SetPosition(size_t(i), m.atoms[size_t(i)].Position() + Vec3{shift, 0, 0});
        m.frames.Append(frame);
        m.currentFrame = m.FrameCount();
    }

    RecordingUiHooks ui_;
    CVelmDoc doc_{ui_};
    Scene scene_;
    SceneDocumentLink link_{scene_, doc_};
    OffscreenRenderer offscreen_{scene_};
    std::size_t perBuffer_ = kLineVerticesPerBuffer;
    LineBuffers::Counts counts_;
    ImpostorRenderer::Counts impostorCounts_;
    std::size_t bytes_ = 0;
};

// Both paths draw the same picture, fog, line smoothing and the clipping
// plane included; and the shader path really drew from buffers (trace
// sticks: impostors).
TEST_F(LineBuffersTest, BothPathsDrawTheSameLines) {
    const std::tuple<const char*, RenderMode, bool> cases[] = {
        {"1ubi.pdb", WireFrame, false},      {"1ubi.pdb", Points, false},      {"1ubi.pdb", TraceWireFrame, false},
        {"1ubi.pdb", TraceSpline, false},    {"133d.pdb", WireFrame, false},   {"133d.pdb", Points, false},
        {"133d.pdb", TraceWireFrame, false}, {"133d.pdb", TraceSpline, false}, {"1ubi.pdb", WireFrame, true},
        {"1ubi.pdb", Points, true},          {"1ubi.pdb", TraceSpline, true},  {"1ubi.pdb", TraceSticks, false},
        {"133d.pdb", TraceSticks, false},    {"1ubi.pdb", TraceSticks, true},
    };
    for (const auto& [file, mode, clipped] : cases) {
        SCOPED_TRACE(std::string(file) + " " + std::string(RenderModeName(mode)) + (clipped ? " clipped" : ""));
        Load(file, mode);
        scene_.settings.clipView = clipped;
        const auto fixed = Picture(DrawingPath::Fixed);
        const auto buffered = Picture(DrawingPath::Shader);
        EXPECT_GT(bytes_, 0u);
        EXPECT_GE(Agreement(fixed, buffered), 0.99);
        EXPECT_NEAR(double(Ink(buffered)), double(Ink(fixed)), 0.001 * kSide * kSide);
        EXPECT_GT(Ink(fixed), size_t(kSide * kSide / 1000));
    }
}

// Buffers follow what is drawn, never the camera; a frame rewrites positions.
TEST_F(LineBuffersTest, BuffersAreBuiltOnlyWhenWhatTheyHoldChanges) {
    long builds = 0, updates = 0;
    for (RenderMode mode : {WireFrame, Points, TraceWireFrame, TraceSpline}) {
        SCOPED_TRACE(std::string(RenderModeName(mode)));
        Load("1ubi.pdb", mode);
        Picture(DrawingPath::Shader);
        EXPECT_EQ(counts_.builds, ++builds);
        Molecule& m = *doc_.Molecules()[0];
        for (float turn : {0.2f, 0.4f}) {
            m.trackball.orientation[1] = turn;
            scene_.settings.stereo = 1;
            Picture(DrawingPath::Shader);
        }
        scene_.settings.stereo = 0;
        EXPECT_EQ(counts_.builds, builds);
        EXPECT_EQ(counts_.positionUpdates, updates);

        NewFrame(0.5f);
        Picture(DrawingPath::Shader);
        EXPECT_EQ(counts_.builds, builds);
        EXPECT_EQ(counts_.positionUpdates, ++updates);

        doc_.EditSelected(DocumentChange::Display, [](Molecule& mol) {
            for (const Chain& c : mol.chains)
                if (c.residues.size() > 3) mol.atoms[size_t(c.residues[3].traceAtom)].colour = Rgba{1, 2, 3, 255};
        });
        Picture(DrawingPath::Shader);
        EXPECT_EQ(counts_.builds, ++builds);
    }
    // Trace sticks: the trace's impostors, sticks and balls.
    Load("1ubi.pdb", TraceSticks);
    Picture(DrawingPath::Shader);
    const ImpostorRenderer::Counts before = impostorCounts_;
    doc_.Molecules()[0]->trackball.orientation[0] = 0.3f;
    Picture(DrawingPath::Shader);
    NewFrame(0.5f);
    Picture(DrawingPath::Shader);
    EXPECT_EQ(impostorCounts_.builds, before.builds);
    EXPECT_EQ(impostorCounts_.positionUpdates, before.positionUpdates + 2);
}

// A molecule larger than one buffer is drawn from several, the same; line
// strips go on across the buffers' ends.
TEST_F(LineBuffersTest, ALargeMoleculeIsDrawnFromSeveralBuffers) {
    for (RenderMode mode : {WireFrame, Points, TraceSpline}) {
        SCOPED_TRACE(std::string(RenderModeName(mode)));
        Load("1ubi.pdb", mode);
        const auto whole = Picture(DrawingPath::Shader);
        OffscreenRenderer small(scene_);
        perBuffer_ = 101;
        EXPECT_EQ(Picture(DrawingPath::Shader, small), whole);
        perBuffer_ = kLineVerticesPerBuffer;
    }
}

}  // namespace
