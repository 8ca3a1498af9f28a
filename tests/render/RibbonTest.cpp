#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "core/RecordingUiHooks.h"
#include "core/VelmError.h"
#include "model/Molecule.h"
#include "model/ReadCoordinates.h"
#include "render/BackboneRuns.h"
#include "render/DrawContext.h"
#include "render/OffscreenContext.h"
#include "render/RenderCommands.h"
#include "render/Ribbons.h"
#include "render/SceneRenderer.h"
#include "render/SplineCursor.h"
#include "support/TestData.h"

using namespace velm;

namespace {

// The Render command's work on a list of molecules outside any document.
void ApplyModeToSelected(ViewSettings& settings, list<std::unique_ptr<Molecule>>& molecules, RenderMode mode) {
    for (auto& m : molecules)
        if (m->selected) SetRenderMode(settings, *m, mode);
}

constexpr Rgba kRed{255, 0, 0, 255}, kBlue{0, 0, 255, 255};

// A chain of n residues along a gentle helix about z: alpha carbon k and its
// oxygen 1.2 A further out. Even residues red, odd ones blue.
std::unique_ptr<Molecule> Chain(int n, double rise = 1.5) {
    auto m = std::make_unique<Molecule>();
    velm::Chain chain;
    for (int k = 0; k < n; ++k) {
        const double a = k * 1.7;
        const Vec3 ca{2.3 * std::cos(a), 2.3 * std::sin(a), rise * k - rise * n / 2};
        const Vec3 o{3.5 * std::cos(a + 0.3), 3.5 * std::sin(a + 0.3), ca.z + 0.4};
        for (const Vec3& p : {ca, o}) {
            Atom atom;
            atom.x = p.x, atom.y = p.y, atom.z = p.z;
            atom.colour = k % 2 ? kBlue : kRed;
            atom.serial = static_cast<int>(m->atoms.size()) + 1;
            atom.temperatureFactor = k;
            m->atoms.push_back(atom);
        }
        Residue r;
        r.alphaCarbon = r.traceAtom = 2 * k;
        r.carbonylOxygen = r.guideAtom = 2 * k + 1;
        r.atoms = {2 * k, 2 * k + 1};
        r.secondaryStructure = AlphaHelix;
        chain.residues.push_back(r);
    }
    m->chains.push_back(chain);
    UpdateBoundingBox(*m);
    m->minTemperature = 0;
    m->maxTemperature = n - 1;
    m->selected = 1;
    return m;
}

// A strand along x whose carbonyl oxygens point alternately up and down, as
// in a beta sheet: the ribbon must not twist with them.
std::unique_ptr<Molecule> Strand(int n) {
    auto m = std::make_unique<Molecule>();
    velm::Chain chain;
    for (int k = 0; k < n; ++k) {
        const double sign = k % 2 ? -1 : 1;
        const Vec3 ca{3.3 * k, 0.4 * sign, 0};
        const Vec3 o = ca + Vec3{0.5, 0, 1.2 * sign};
        for (const Vec3& p : {ca, o}) {
            Atom atom;
            atom.x = p.x, atom.y = p.y, atom.z = p.z;
            m->atoms.push_back(atom);
        }
        Residue r;
        r.alphaCarbon = r.traceAtom = 2 * k;
        r.carbonylOxygen = r.guideAtom = 2 * k + 1;
        chain.residues.push_back(r);
    }
    m->chains.push_back(chain);
    return m;
}

std::vector<SplinePoint> Points(const Molecule& m, int resolution, double tension) {
    SplineCursor cursor(m, 0, resolution, tension);
    std::vector<SplinePoint> out;
    for (SplinePoint p; cursor.NextPoint(p);) out.push_back(p);
    return out;
}

double Distance(const Vec3& a, const Vec3& b) { return Length(a - b); }

TEST(SplineCursor, PointsPerSegmentFollowTheSplineResolution) {
    const auto m = Chain(6);
    // High quality: 10 points between residues, 11 per segment; Low: 2 and
    // 3; and the last alpha carbon.
    EXPECT_EQ(Points(*m, 10, 1.25).size(), 5u * 11 + 1);
    EXPECT_EQ(Points(*m, 2, 1.25).size(), 5u * 3 + 1);
    EXPECT_EQ(Points(*m, 0, 1.25).size(), 5u + 1);
    // The curve starts on the first alpha carbon and passes through each,
    // ending on the last.
    const auto points = Points(*m, 4, 1.25);
    for (int k = 0; k < 5; ++k) {
        EXPECT_LT(Distance(points[static_cast<size_t>(5 * k)].point, m->atoms[static_cast<size_t>(2 * k)].Position()), 1e-9);
        EXPECT_EQ(points[static_cast<size_t>(5 * k)].atom, 2 * k);
    }
    EXPECT_LT(Distance(points.back().point, m->atoms[10].Position()), 1e-9);
}

TEST(SplineCursor, ShortChainsAndBadArgumentsYieldNothingOrAnError) {
    for (int n : {1, 2, 3}) {
        const auto m = Chain(n);
        EXPECT_TRUE(Points(*m, 5, 1.25).empty()) << n;
        SplineCursor cursor(*m, 0, 5, 1.25);
        SplineFrame f;
        EXPECT_FALSE(cursor.NextFrame(f));
    }
    const auto m = Chain(5);
    const auto fails = [&](int chain, int resolution, const char* text) {
        try {
            SplineCursor(*m, chain, resolution, 1.25);
            ADD_FAILURE() << text;
        } catch (const VelmError& e) {
            EXPECT_EQ(e.text(), text);
        }
    };
    fails(0, -1, "Bad resolution");
    fails(-1, 5, "Bad chain number -- too small");
    fails(1, 5, "Bad chain number -- too large");
}

TEST(SplineCursor, TensionOutsideOneToThreeIsTwo) {
    const auto m = Chain(7);
    const auto two = Points(*m, 5, 2);
    for (double t : {0.5, 3.5, -1.0, 100.0}) {
        const auto other = Points(*m, 5, t);
        ASSERT_EQ(other.size(), two.size());
        for (size_t k = 0; k < two.size(); ++k) EXPECT_LT(Distance(other[k].point, two[k].point), 1e-12) << t;
    }
    // Inside the range the tension changes the curve between the carbons.
    const auto loose = Points(*m, 5, 1.25);
    EXPECT_GT(Distance(loose[8].point, two[8].point), 1e-3);
}

TEST(SplineCursor, BasisInterpolatesAndDerivativesMatchDifferences) {
    for (double t : {1.0, 1.25, 2.0, 3.0}) {
        double w[4], d[4];
        CardinalWeights(0, t, w);
        EXPECT_NEAR(w[1], 1, 1e-12);
        EXPECT_NEAR(std::fabs(w[0]) + std::fabs(w[2]) + std::fabs(w[3]), 0, 1e-12);
        CardinalWeights(1, t, w);
        EXPECT_NEAR(w[2], 1, 1e-12);
        for (double u : {0.1, 0.5, 0.9}) {
            double a[4], b[4];
            CardinalWeights(u - 1e-6, t, a);
            CardinalWeights(u + 1e-6, t, b);
            CardinalDerivatives(u, t, d);
            CardinalWeights(u, t, w);
            EXPECT_NEAR(w[0] + w[1] + w[2] + w[3], 1, 1e-12);
            for (int k = 0; k < 4; ++k) EXPECT_NEAR(d[k], (b[k] - a[k]) / 2e-6, 1e-6) << t << " " << u << " " << k;
        }
    }
}

TEST(SplineCursor, GuidePointsAgreeSoAPleatedStrandDoesNotTwist) {
    auto m = Strand(8);
    PrepareRibbonSizes(*m, Tube);
    SplineCursor cursor(*m, 0, 5, 2);
    int frames = 0;
    for (SplineFrame f; cursor.NextFrame(f); ++frames) {
        // The width runs along z, one way only, all along the strand.
        EXPECT_GT(f.normal.z / Length(f.normal), 0.9) << frames;
    }
    EXPECT_EQ(frames, 7 * 6 + 1);
}

TEST(SplineCursor, FramesHaveTheResidueSizesAndChangeColourHalfway) {
    auto m = Chain(8);
    PrepareRibbonSizes(*m, Tube);
    SplineCursor cursor(*m, 0, 5, 1.25);
    std::vector<SplineFrame> frames;
    for (SplineFrame f; cursor.NextFrame(f);) frames.push_back(f);
    ASSERT_EQ(frames.size(), 7u * 6 + 1);
    for (size_t k = 0; k < frames.size(); ++k) {
        const SplineFrame& f = frames[k];
        EXPECT_NEAR(Length(f.normal), 0.5, 1e-9);
        EXPECT_NEAR(Length(f.binormal), 0.5, 1e-9);
        EXPECT_NEAR(Dot(f.binormal, f.tangent), 0, 1e-9);
        EXPECT_NEAR(Dot(f.normal, f.tangent), 0, 1e-9);  // the section stands square to the curve
        if (k + 1 == frames.size()) {
            // The closing frame sits on the last residue, in its colour.
            EXPECT_LT(Length(f.centre - m->atoms[14].Position()), 1e-9);
            EXPECT_EQ(f.colourAtom, 14);
            break;
        }
        // Steps 0..3 of a segment (u = 0 .. 0.5) keep the segment's first
        // residue's colour; steps 4 and 5 (u > 0.5) take the next one's.
        const int segment = static_cast<int>(k / 6), step = static_cast<int>(k % 6);
        EXPECT_EQ(f.atom, 2 * segment);
        EXPECT_EQ(f.colourAtom, step * (1.0 / 6) > 0.5 ? 2 * (segment + 1) : 2 * segment) << k;
    }
}

TEST(RibbonSizes, PerModeAndClass) {
    auto m = Chain(4);
    m->chains[0].residues[1].secondaryStructure = SecondaryStructureCode::Strand;
    m->chains[0].residues[2].secondaryStructure = Turn;
    PrepareRibbonSizes(*m, SolidRibbon);
    const auto& r = m->chains[0].residues;
    EXPECT_EQ(r[0].width, 1);
    EXPECT_EQ(r[0].thickness, 0.5);
    EXPECT_EQ(r[1].width, 2);
    EXPECT_EQ(r[1].thickness, 0.2);
    EXPECT_EQ(r[2].width, 0.2);
    EXPECT_EQ(r[2].thickness, 0.2);

    // Temperature tubes: 2 (norm + 0.1); equal factors normalise to 1.
    for (Atom& a : m->atoms) a.temperatureFactor = 30;
    m->minTemperature = m->maxTemperature = 30;
    PrepareRibbonSizes(*m, TemperatureTube);
    for (const Residue& res : r) EXPECT_DOUBLE_EQ(res.width, 2.2);
    m->atoms[0].temperatureFactor = 10;
    m->minTemperature = 10;
    m->atoms[2].temperatureFactor = 20;
    PrepareRibbonSizes(*m, TemperatureTube);
    EXPECT_DOUBLE_EQ(r[0].width, 0.2);
    EXPECT_DOUBLE_EQ(r[1].width, 1.2);
    EXPECT_DOUBLE_EQ(r[1].thickness, 1.2);

    // Haemoglobin: its side chains reach B 80.58, its alpha carbons 59.42;
    // the tube spans its whole width range over the alpha carbons it follows.
    Molecule hb;
    RecordingUiHooks ui;
    ReadCoordinateFile(hb, test::DataPath("2hhb.pdb"), false, false, PdbType, ui);
    PrepareRibbonSizes(hb, TemperatureTube);
    double thinnest = 1e9, thickest = 0;
    for (const velm::Chain& c : hb.chains)
        for (const Residue& res : c.residues) thinnest = std::min(thinnest, res.width), thickest = std::max(thickest, res.width);
    EXPECT_NEAR(thinnest, 0.2, 1e-9);
    EXPECT_NEAR(thickest, 2.2, 1e-9);

    // A crystal structure's chain A misses residues 164-183: its backbone
    // breaks there instead of bridging 23.6 A with a rod.
    Molecule transporter;
    ReadCoordinateFile(transporter, test::DataPath("3hsy.pdb.gz"), false, false, PdbType, ui);
    const velm::Chain& a = transporter.chains[0];
    const auto runs = BackboneRuns(a, DrawnPositions(transporter));
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(a.residues[static_cast<size_t>(runs[0].first + runs[0].count - 1)].number, 163);
    EXPECT_EQ(a.residues[static_cast<size_t>(runs[1].first)].number, 184);

    // Other modes leave the sizes alone; the render command prepares them.
    PrepareRibbonSizes(*m, Cpk);
    EXPECT_DOUBLE_EQ(r[1].width, 1.2);
    list<std::unique_ptr<Molecule>> molecules;
    molecules.Append(std::move(m));
    ViewSettings settings;
    ApplyModeToSelected(settings, molecules, Tube);
    EXPECT_EQ(molecules[0]->chains[0].residues[1].width, 0.5);
}

class RibbonDrawTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1); }
    void SetUp() override {
        context_ = std::make_unique<OffscreenContext>(kSize, kSize);
        scene_.settings.depthCue = false;
        scene_.settings.width = scene_.settings.height = kSize;
        renderer_ = std::make_unique<SceneRenderer>(scene_);
        renderer_->Initialise();
        renderer_->SetProjection();
    }
    void TearDown() override {
        renderer_.reset();
        context_.reset();
    }
    // Lit pixels of one render pass, and how many are reddish and bluish.
    struct Count {
        int lit = 0, red = 0, blue = 0;
    };
    Count Render() {
        scene_.settings.SceneRadius = ComputeRadius();
        renderer_->RenderPass(molecules_, 0);
        glFinish();
        const auto pixels = context_->ReadPixels();
        Count c;
        for (size_t i = 0; i < pixels.size(); i += 4) {
            const int r = pixels[i], b = pixels[i + 2];
            if (r + pixels[i + 1] + b > 30) ++c.lit;
            if (r > b + 40) ++c.red;
            if (b > r + 40) ++c.blue;
        }
        return c;
    }
    float ComputeRadius() const { return 12; }

    static constexpr int kSize = 160;
    Scene scene_;
    std::unique_ptr<OffscreenContext> context_;
    std::unique_ptr<SceneRenderer> renderer_;
    list<std::unique_ptr<Molecule>> molecules_;
};

TEST_F(RibbonDrawTest, EveryBackboneModeDrawsAndShortChainsDrawNothing) {
    molecules_.Append(Chain(12));
    int previous = -1;
    for (RenderMode mode : {TraceSpline, SolidRibbon, FlatRibbon, Tube, TemperatureTube, OccupancyTube}) {
        ApplyModeToSelected(scene_.settings, molecules_, mode);
        const Count c = Render();
        EXPECT_GT(c.lit, 200) << RenderModeName(mode);
        EXPECT_GT(c.red, 20) << RenderModeName(mode);
        EXPECT_GT(c.blue, 20) << RenderModeName(mode);
        EXPECT_NE(c.lit, previous) << RenderModeName(mode);
        previous = c.lit;
        // Every routine leaves culling on and two-sided lighting off.
        EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
        GLint twoSided = 1;
        glGetIntegerv(GL_LIGHT_MODEL_TWO_SIDE, &twoSided);
        EXPECT_EQ(twoSided, GL_FALSE);
    }
    // The wire frame under a ribbon adds the bonds.
    Molecule& m = *molecules_[0];
    for (int k = 0; k + 1 < 12; ++k) m.bonds.push_back(Bond{2 * k, 2 * k + 2, 1, 0});
    ApplyModeToSelected(scene_.settings, molecules_, FlatRibbon);
    const int without = Render().lit;
    m.showWireFrame = 1;
    EXPECT_GT(Render().lit, without);

    molecules_.Clear();
    molecules_.Append(Chain(3));
    for (RenderMode mode : {TraceSpline, SolidRibbon, FlatRibbon, Tube}) {
        ApplyModeToSelected(scene_.settings, molecules_, mode);
        EXPECT_EQ(Render().lit, 0) << RenderModeName(mode);
    }
}

}  // namespace
