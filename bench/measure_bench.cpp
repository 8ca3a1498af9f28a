// The measuring tools under load, off screen:
//  (a) turning a torsion in a 100,000-atom molecule, per slider step: the
//      turn through the document (with the scene's link and the open windows'
//      forms listening), next to one frame of the same scene drawn, which
//      every step also asks for;
//  (b) a 50,000-atom trajectory playing with the "Measure" window open on
//      four atoms, per frame: the step of the animation with and without the
//      measurement, and the whole frame (step + render pass + glFinish).
// Usage: measure_bench [--dir DIR] [--steps N] [--frames N]
//   DIR holds tiled_100k.pdb (make_large_pdb), dcd_50k.pdb and dcd_50k_500.dcd
//   (make_large_dcd); default /tmp/velm-bench.
#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

#include "BenchSupport.h"
#include "analysis/MakeDocument.h"
#include "core/UiHooks.h"
#include "dialogs/MeasureForm.h"
#include "dialogs/TorsionForm.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"
#include "render/OffscreenContext.h"
#include "render/Pick.h"
#include "render/SceneDocumentLink.h"
#include "render/SceneRenderer.h"

using velm::bench::Median;
using velm::bench::Now;
using velm::bench::Thousands;

namespace {

constexpr int kSide = 800;

// A chain of `atoms` carbons bonded one after the other, zigzag: its middle
// bond moves half of them.
std::unique_ptr<velm::Molecule> Chain(int atoms) {
    auto m = std::make_unique<velm::Molecule>();
    m->atoms.resize(static_cast<size_t>(atoms));
    for (int i = 0; i < atoms; ++i) {
        velm::Atom& a = m->atoms[static_cast<size_t>(i)];
        a.x = 1.25 * (i % 100);
        a.y = (i % 2) * 0.9 + 3.0 * ((i / 100) % 30);
        a.z = 3.0 * (i / 3000);
        a.serial = i + 1;
        a.SetName("C");
    }
    for (int i = 0; i + 1 < atoms; ++i) m->bonds.push_back({i, i + 1});
    m->partnerStart.assign(static_cast<size_t>(atoms) + 1, 0);
    for (int i = 0; i < atoms; ++i) m->partnerStart[static_cast<size_t>(i) + 1] = m->partnerStart[static_cast<size_t>(i)] + (i > 0) + (i + 1 < atoms);
    for (int i = 0; i < atoms; ++i) {
        if (i > 0) m->partners.push_back(i - 1);
        if (i + 1 < atoms) m->partners.push_back(i + 1);
    }
    return m;
}

struct Drawn {
    velm::Scene scene;
    velm::SceneRenderer view{scene};
    explicit Drawn(velm::CVelmDoc& doc) {
        scene.settings.width = scene.settings.height = kSide;
        view.Initialise();
        view.SetProjection();
        velm::OnDocumentChanged(scene, doc);
    }
    double Frame(velm::CVelmDoc& doc) {
        const double t0 = Now();
        view.RenderPass(doc.Molecules(), 0);
        glFinish();
        return (Now() - t0) * 1e3;
    }
};

// The bond of the molecule whose smaller side is largest among `tries` bonds spread over it.
int BusiestBond(velm::Molecule& m, int tries, size_t& moving, double& selectMs) {
    int best = -1;
    moving = 0;
    std::vector<double> selects;
    for (int k = 1; k <= tries; ++k) {
        const int j = static_cast<int>(static_cast<long>(m.bonds.size()) * k / (tries + 1));
        velm::TorsionAdjuster t;
        const double t0 = Now();
        t.SelectBond(m, j);
        selects.push_back((Now() - t0) * 1e3);
        if (t.Moving().size() > moving) moving = t.Moving().size(), best = j;
    }
    selectMs = Median(selects);
    return best;
}

void TorsionCase(const char* what, std::unique_ptr<velm::CVelmDoc> doc, int steps) {
    velm::Molecule& m = *doc->Primary();
    Drawn drawn(*doc);
    velm::SceneDocumentLink link(drawn.scene, *doc);
    velm::MeasureForm measure(*doc, drawn.scene);
    velm::TorsionForm torsion(*doc, drawn.scene);
    measure.Open();
    torsion.Open();
    size_t moving = 0;
    double selectMs = 0;
    const int bond = BusiestBond(m, 200, moving, selectMs);
    if (bond < 0) throw std::runtime_error("no bond turns");
    torsion.Picked({velm::PickResult::BondHit, bond, &m});
    std::vector<double> turns, frames;
    for (int i = 0; i < 3; ++i) drawn.Frame(*doc);
    for (int i = 0; i < steps; ++i) {
        const double t0 = Now();
        torsion.SliderMoved(180 + 1 + i % 90);  // one slider step each
        turns.push_back((Now() - t0) * 1e3);
        frames.push_back(drawn.Frame(*doc));
    }
    std::printf("| %s | %s | %s | %.3f | %.3f | %.1f |\n", what, Thousands(m.AtomCount()).c_str(),
                Thousands(static_cast<long long>(moving)).c_str(), selectMs, Median(turns), Median(frames));
}

void PlaybackCase(const std::string& pdb, const std::string& dcd, int frames) {
    velm::SilentUiHooks ui;
    auto doc = velm::MakeDocument(ui);
    doc->options.computeSecondaryStructure = 0;
    if (!doc->AddMoleculeFromFile(pdb)) throw std::runtime_error("no atoms in " + pdb);
    doc->ReadTrajectoryIntoPrimary(dcd, 0);
    velm::Molecule& m = *doc->Primary();
    Drawn drawn(*doc);
    velm::SceneDocumentLink link(drawn.scene, *doc);
    velm::MeasureForm measure(*doc, drawn.scene);
    int refreshed = 0;
    measure.changed = [&] {
        // What the window does with each refresh: the table's text.
        refreshed += static_cast<int>(measure.Table().internal[5].size());
    };
    measure.Open();
    for (int a : {100, 101, 102, 103}) measure.Picked({velm::PickResult::AtomHit, a, &m});
    const auto play = [&](bool open, std::vector<double>& steps, std::vector<double>& whole) {
        if (open) measure.Open();
        else measure.Close();
        for (int i = 0; i < 3; ++i) drawn.Frame(*doc);
        for (int i = 0; i < frames; ++i) {
            const double t0 = Now();
            doc->Step(0);
            const double t1 = Now();
            const double drawnMs = drawn.Frame(*doc);
            steps.push_back((t1 - t0) * 1e3);
            whole.push_back((t1 - t0) * 1e3 + drawnMs);
        }
    };
    std::vector<double> stepsWithout, framesWithout, stepsWith, framesWith;
    play(false, stepsWithout, framesWithout);
    play(true, stepsWith, framesWith);
    std::printf("| %s | %d | %.4f | %.4f | %.1f | %.1f |\n", Thousands(m.AtomCount()).c_str(), m.FrameCount() + 1,
                Median(stepsWithout), Median(stepsWith), Median(framesWithout), Median(framesWith));
    if (refreshed == 0) std::printf("(the measurement was never refreshed)\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir = "/tmp/velm-bench";
    int steps = 60, frames = 60;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--dir")) dir = argv[i + 1];
        else if (!std::strcmp(argv[i], "--steps")) steps = std::stoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--frames")) frames = std::stoi(argv[i + 1]);
    }
    try {
        velm::OffscreenContext context(kSide, kSide);
        std::printf("### Turning a torsion, per slider step (ms, median of %d steps; %dx%d wire frame)\n\n", steps,
                    kSide, kSide);
        std::printf("| molecule | atoms | atoms turning | select bond | turn (document + forms) | frame drawn |\n");
        std::printf("|---|---:|---:|---:|---:|---:|\n");
        {
            velm::SilentUiHooks ui;
            auto doc = velm::MakeDocument(ui);
            doc->options.computeSecondaryStructure = 0;
            const std::string tiled = dir + "/tiled_100k.pdb";
            if (!doc->AddMoleculeFromFile(tiled)) throw std::runtime_error("no atoms in " + tiled);
            TorsionCase("tiled_100k.pdb (protein + water)", std::move(doc), steps);
        }
        {
            velm::SilentUiHooks ui;
            auto doc = velm::MakeDocument(ui);
            doc->AddMolecule(Chain(100000));
            TorsionCase("one chain, near the middle", std::move(doc), steps);
        }
        std::printf("\n### Playing a trajectory with the Measure window on four atoms (ms per frame, median of %d)\n\n",
                    frames);
        std::printf("| atoms | frames | step, no measurement | step, measuring | frame, no measurement | frame, measuring |\n");
        std::printf("|---:|---:|---:|---:|---:|---:|\n");
        PlaybackCase(dir + "/dcd_50k.pdb", dir + "/dcd_50k_500.dcd", frames);
        if (const GLubyte* name = glGetString(GL_RENDERER)) std::printf("\nrenderer: %s\n", reinterpret_cast<const char*>(name));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "measure_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
