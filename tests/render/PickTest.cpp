#include <gtest/gtest.h>

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "core/RecordingUiHooks.h"
#include "core/VelmError.h"
#include "model/Molecule.h"
#include "model/ReadCoordinates.h"
#include "render/RenderCommands.h"
#include "render/OffscreenContext.h"
#include "render/Pick.h"
#include "render/RayPick.h"
#include "render/SceneRadius.h"
#include "render/SceneRenderer.h"
#include "support/TestData.h"

using namespace velm;

namespace {

std::unique_ptr<Molecule> Atoms(std::vector<Vec3> positions, std::vector<std::pair<int, int>> bonds = {}) {
    auto m = std::make_unique<Molecule>();
    for (const Vec3& p : positions) {
        Atom a;
        a.x = p.x, a.y = p.y, a.z = p.z;
        m->atoms.push_back(a);
    }
    for (auto [i, j] : bonds) m->bonds.push_back(Bond{i, j, 0, 0});
    return m;
}

TEST(ResolveHits, NearestRecordWinsLaterOnATieAndNamesMapToMolecules) {
    list<std::unique_ptr<Molecule>> molecules;
    molecules.Append(Atoms({{}, {}, {}}, {{0, 1}, {1, 2}}));  // names 0-2 atoms, 3-4 bonds
    molecules.Append(Atoms({{}, {}}, {{0, 1}}));             // names 5-6 atoms, 7 bond
    std::vector<unsigned> buffer(32, 0);
    const auto record = [&](size_t at, unsigned depth, unsigned name) {
        buffer[at] = 1, buffer[at + 1] = depth, buffer[at + 2] = depth + 10, buffer[at + 3] = name;
    };
    record(0, 500, 1);
    record(4, 200, 6);
    record(8, 300, 4);
    PickResult r = ResolveHits(buffer, 3, molecules);
    EXPECT_EQ(r.kind, PickResult::AtomHit);
    EXPECT_EQ(r.index, 1);
    EXPECT_EQ(r.molecule, molecules[1].get());

    record(8, 200, 7);  // as near as the atom before it: the later record wins
    r = ResolveHits(buffer, 3, molecules);
    EXPECT_EQ(r.kind, PickResult::BondHit);
    EXPECT_EQ(r.index, 0);
    EXPECT_EQ(r.molecule, molecules[1].get());

    record(0, 100, 3);
    r = ResolveHits(buffer, 1, molecules);
    EXPECT_EQ(r.kind, PickResult::BondHit);
    EXPECT_EQ(r.index, 0);
    EXPECT_EQ(r.molecule, molecules[0].get());

    EXPECT_EQ(ResolveHits(buffer, 0, molecules).molecule, nullptr);
    record(0, 100, 20);  // inside the buffer, beyond every molecule
    EXPECT_EQ(ResolveHits(buffer, 1, molecules).kind, PickResult::None);

    const auto fails = [&](int hits, const char* text) {
        try {
            ResolveHits(buffer, hits, molecules);
            ADD_FAILURE() << text;
        } catch (const VelmError& e) {
            EXPECT_EQ(e.text(), text);
        }
    };
    record(0, 100, 99);
    fails(1, "Selection buffer overflow!");
    buffer[0] = 0;  // a record without names
    fails(1, "Selection buffer underflow -> match not found!");
}

class PickTest : public ::testing::Test {
protected:
    static constexpr int kSize = 200;
    static void SetUpTestSuite() { setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1); }
    void SetUp() override {
        context_ = std::make_unique<OffscreenContext>(kSize, kSize);
        scene_.settings.SceneRadius = 4;  // one angstrom, one unit
        Start();
    }
    void Start() {
        renderer_ = std::make_unique<SceneRenderer>(scene_);
        renderer_->Initialise();
        renderer_->Resize(kSize, kSize);
    }
    void TearDown() override {
        renderer_.reset();
        context_.reset();
    }
    // The window point (y down) where a scene point lands, for an eye.
    std::pair<int, int> WindowPoint(const Vec3& p, double eyeAngle = 0, int x0 = 0, int width = kSize) {
        GLdouble projection[16], model[16];
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        const double aspect = static_cast<double>(width) / kSize;
        gluPerspective(EffectiveFieldOfView(60, aspect), aspect, 0.5, 7);
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glTranslated(0, 0, -4);
        glRotated(eyeAngle, 0, 1, 0);
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glPopMatrix();
        const GLint viewport[4] = {x0, 0, width, kSize};
        GLdouble x, y, z;
        gluProject(p.x, p.y, p.z, model, projection, viewport, &x, &y, &z);
        return {static_cast<int>(x + 0.5), kSize - static_cast<int>(y + 0.5)};
    }
    PickResult PickAt(std::pair<int, int> at) { return Pick(*renderer_, molecules_, at.first, at.second, ui_); }

    Scene scene_;
    std::unique_ptr<OffscreenContext> context_;
    std::unique_ptr<SceneRenderer> renderer_;
    list<std::unique_ptr<Molecule>> molecules_;
    RecordingUiHooks ui_;
};

TEST_F(PickTest, TheNearerAtomWinsAndBondsArePickedAtTheirMiddle) {
    // Two atoms on the line of sight through (1, 0): the one nearer the eye wins
    // whichever comes first.
    molecules_.Append(Atoms({{1, 0, -1}, {1, 0, 1}, {-1.5, 1, 0}, {-0.5, 1, 0}}, {{2, 3}}));
    PickResult r = PickAt(WindowPoint({1, 0, 1}));
    EXPECT_EQ(r.kind, PickResult::AtomHit);
    EXPECT_EQ(r.index, 1);
    std::swap(molecules_[0]->atoms[0], molecules_[0]->atoms[1]);
    r = PickAt(WindowPoint({1, 0, 1}));
    EXPECT_EQ(r.index, 0);

    r = PickAt(WindowPoint({-1, 1, 0}));
    EXPECT_EQ(r.kind, PickResult::BondHit);
    EXPECT_EQ(r.index, 0);
    EXPECT_EQ(PickAt(WindowPoint({0, -1.5, 0})).kind, PickResult::None);
    EXPECT_TRUE(ui_.with("message:").empty());

    list<std::unique_ptr<Molecule>> none;
    EXPECT_EQ(Pick(*renderer_, none, 100, 100, ui_).kind, PickResult::None);
}

TEST_F(PickTest, RibbonsWithoutTheirWireFrameAndHiddenMoleculesKeepTheirNames) {
    Molecule& ribbon = *molecules_.Append(Atoms({{0, 0, 0}, {1, 0, 0}}, {{0, 1}}));
    ribbon.renderMode = SolidRibbon;
    Molecule& hidden = *molecules_.Append(Atoms({{0, 1, 0}}));
    hidden.renderMode = Hidden;
    Molecule& shown = *molecules_.Append(Atoms({{0, -1, 0}}));

    EXPECT_EQ(PickAt(WindowPoint({0, 0, 0})).kind, PickResult::None);
    EXPECT_EQ(PickAt(WindowPoint({0, 1, 0})).kind, PickResult::None);
    PickResult r = PickAt(WindowPoint({0, -1, 0}));
    EXPECT_EQ(r.molecule, &shown);
    EXPECT_EQ(r.index, 0);

    ribbon.showWireFrame = 1;
    r = PickAt(WindowPoint({1, 0, 0}));
    EXPECT_EQ(r.molecule, &ribbon);
    EXPECT_EQ(r.index, 1);

    // Hetero atoms, and bonds between two of them, only with solvent shown.
    shown.atoms[0].hetero = 1;
    EXPECT_EQ(PickAt(WindowPoint({0, -1, 0})).kind, PickResult::None);
    shown.showSolvent = 1;
    EXPECT_EQ(PickAt(WindowPoint({0, -1, 0})).molecule, &shown);
}

TEST_F(PickTest, EachStereoHalfPicksInItsOwnEyesView) {
    scene_.settings.stereo = 1;
    Start();
    // An atom in front of the origin shows at different places in the halves.
    molecules_.Append(Atoms({{0, 0, 2}}));
    const auto left = WindowPoint({0, 0, 2}, -3.5, 0, kSize / 2);
    const auto right = WindowPoint({0, 0, 2}, 3.5, kSize / 2, kSize / 2);
    ASSERT_NE(left.first + kSize / 2, right.first);
    EXPECT_EQ(PickAt(left).kind, PickResult::AtomHit);
    EXPECT_EQ(PickAt(right).kind, PickResult::AtomHit);
    // The right half's point mirrored into the left half misses there.
    EXPECT_EQ(PickAt({right.first - kSize / 2, right.second}).kind, PickResult::None);
}

TEST_F(PickTest, AClickPicksTheSphereStickOrRibbonUnderTheCursor) {
    // Off the centre of a space-filling sphere: the atom, where the centre's
    // point alone is out of the pick window's reach.
    Molecule& cpk = *molecules_.Append(Atoms({{0, 0, 0}}));
    cpk.atoms[0].radius = 1.5;
    SetRenderMode(scene_.settings, cpk, Cpk);
    PickResult r = PickAt(WindowPoint({1.0, 0.6, 0}));
    EXPECT_EQ(r.kind, PickResult::AtomHit);
    EXPECT_EQ(PickAt(WindowPoint({1.8, 0, 0})).kind, PickResult::None);

    // Along a stick its bond; at its end, the atom's ball in front of it (a
    // ball wider than the stick: in Sticks mode both have one radius and
    // meet in one surface there).
    molecules_.Clear();
    Molecule& sticks = *molecules_.Append(Atoms({{-1, 0, 0}, {1, 0, 0}}, {{0, 1}}));
    SetRenderMode(scene_.settings, sticks, BallAndStick);
    r = PickAt(WindowPoint({0.5, 0, 0}));
    EXPECT_EQ(r.kind, PickResult::BondHit);
    r = PickAt(WindowPoint({-1, 0, 0}));
    EXPECT_EQ(r.kind, PickResult::AtomHit);
    EXPECT_EQ(r.index, 0);

    // On ubiquitin's ribbon: the trace atom of the residue under the cursor,
    // never a side chain that the ribbon does not show.
    molecules_.Clear();
    auto read = std::make_unique<Molecule>();
    ReadCoordinateFile(*read, test::DataPath("1ubi.pdb"), false, true, PdbType, ui_);
    Molecule& ribbon = *molecules_.Append(std::move(read));
    SetRenderMode(scene_.settings, ribbon, SolidRibbon);
    scene_.settings.SceneRadius = 4 * 25;  // 25 angstroms a unit
    const double scale = 4 / scene_.settings.SceneRadius;
    int front = -1, picked = 0;
    for (const Residue& residue : ribbon.chains[0].residues) {
        const Atom& ca = ribbon.atoms[static_cast<size_t>(residue.traceAtom)];
        if (front < 0 || ca.z > ribbon.atoms[static_cast<size_t>(front)].z) front = residue.traceAtom;
        r = PickAt(WindowPoint(Vec3{ca.x, ca.y, ca.z} * scale));
        if (r.kind == PickResult::None) continue;
        ++picked;
        EXPECT_EQ(r.kind, PickResult::AtomHit);
        EXPECT_EQ(ribbon.atoms[static_cast<size_t>(r.index)].Name(), "CA");
    }
    EXPECT_GT(picked, 60);  // of 76 residues; a few lie behind others' ribbon
    const Atom& nearest = ribbon.atoms[static_cast<size_t>(front)];
    r = PickAt(WindowPoint(Vec3{nearest.x, nearest.y, nearest.z} * scale));
    ASSERT_EQ(r.kind, PickResult::AtomHit);
    EXPECT_LE(std::abs(ribbon.atoms[static_cast<size_t>(r.index)].residueNumber - nearest.residueNumber), 1);

    // A methyltransferase on its DNA: the DNA's ribbon, traced through its
    // phosphorus atoms, is there to be picked.
    molecules_.Clear();
    read = std::make_unique<Molecule>();
    ReadCoordinateFile(*read, test::DataPath("3mht.pdb.gz"), false, true, PdbType, ui_);
    Molecule& complex = *molecules_.Append(std::move(read));
    SetRenderMode(scene_.settings, complex, SolidRibbon);
    scene_.settings.SceneRadius = 4 * 40;
    int nucleotides = 0, onDna = 0;
    for (const velm::Chain& chain : complex.chains)
        for (const Residue& residue : chain.residues) {
            if (!residue.nucleotide) continue;
            ++nucleotides;
            const Atom& p = complex.atoms[static_cast<size_t>(residue.traceAtom)];
            r = PickAt(WindowPoint(Vec3{p.x, p.y, p.z} * (4 / scene_.settings.SceneRadius)));
            if (r.kind == PickResult::AtomHit && complex.atoms[static_cast<size_t>(r.index)].Name() == "P") ++onDna;
        }
    EXPECT_EQ(nucleotides, 25);  // 12 and 13 in the two strands
    EXPECT_GT(onDna, nucleotides / 2);
}

// One ray and the selection pass (through a window a fraction of a pixel
// wide, so that it too finds what lies under the point) pick the same atoms and
// bonds of real structures over a grid of points; they part only where the
// selection pass's polygons and the true surfaces cross.
TEST_F(PickTest, RaysPickWhatTheSelectionPassPicks) {
    const std::tuple<const char*, RenderMode, bool, int> cases[] = {
        {"1ubi.pdb", Cpk, false, 0},        {"1ubi.pdb", BallAndStick, false, 0}, {"133d.pdb", Sticks, false, 0},
        {"1ubi.pdb", Cpk, true, 0},         {"1ubi.pdb", BallAndStick, true, 0},  {"1ubi.pdb", Cpk, false, 1},
    };
    scene_.settings.quality.SetLevel(GraphicsQuality::High);
    for (const auto& [file, mode, clipped, stereo] : cases) {
        SCOPED_TRACE(std::string(file) + " " + std::string(RenderModeName(mode)) + (clipped ? " clipped" : "") +
                     (stereo ? " stereo" : ""));
        molecules_.Clear();
        auto read = std::make_unique<Molecule>();
        ReadCoordinateFile(*read, test::DataPath(file), false, true, PdbType, ui_);
        Molecule& m = *molecules_.Append(std::move(read));
        Vec3 sum;
        for (const Atom& a : m.atoms) sum += a.Position();
        const Vec3 centre = sum * (1.0 / m.AtomCount());
        double reach = 0;
        for (Atom& a : m.atoms) {
            a.x -= centre.x, a.y -= centre.y, a.z -= centre.z;
            reach = std::max(reach, Length(a.Position()) + a.radius);
        }
        m.trackball.orientation[1] = 0.2955f, m.trackball.orientation[3] = 0.9553f;  // turned by 0.6 about y
        SetRenderMode(scene_.settings, m, mode);
        ASSERT_TRUE(RayPickable(molecules_));
        scene_.settings.SceneRadius = static_cast<float>(reach / std::sin(kFitHalfAngle * M_PI / 180));
        scene_.settings.clipView = clipped;
        scene_.settings.stereo = stereo;
        Start();
        int points = 0, same = 0, hits = 0;
        for (int y = 4; y < kSize; y += 8)
            for (int x = 4; x < kSize; x += 8) {
                const PickResult ray = RayPick(scene_, molecules_, x, y, 1);
                const PickResult drawn = SelectionPick(*renderer_, molecules_, x, y, ui_, 0.05);
                ++points;
                same += ray.kind == drawn.kind && ray.index == drawn.index && ray.molecule == drawn.molecule;
                hits += drawn.kind != PickResult::None;
            }
        EXPECT_GE(same, points * 97 / 100) << same << " of " << points;
        EXPECT_GT(hits, 10);
    }
    scene_.settings.clipView = false;
    scene_.settings.stereo = 0;
    // A miss under the point still picks what lies within the pick window.
    molecules_.Clear();
    Molecule& cpk = *molecules_.Append(Atoms({{0, 0, 0}}));
    cpk.atoms[0].radius = 1;
    SetRenderMode(scene_.settings, cpk, Cpk);
    scene_.settings.SceneRadius = 4;
    Start();
    const auto [x, y] = WindowPoint({1.05, 0, 0});
    EXPECT_EQ(RayPick(scene_, molecules_, x, y).kind, PickResult::AtomHit);
    EXPECT_EQ(RayPick(scene_, molecules_, x + 8, y).kind, PickResult::None);
}

}  // namespace
