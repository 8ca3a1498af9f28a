// Picking and backbone rendering benchmark, off screen in a 1000 x 1000 view:
//  - how long one Pick takes on a 100,000-atom scene (the selection pass
//    through a 10 x 10 pixel window, every atom and bond a named point), at
//    a grid of points over the view, and what each point hit;
//  - the same in CPK at 100,000 and 1,000,000 atoms (tiled_1M.pdb when it is
//    there), Pick's rays beside the selection pass;
//  - ms per frame of TraceSpline, SolidRibbon, FlatRibbon and Tube for a
//    structure of about 10,000 residues at Medium quality.
//
//   pick_ribbon_bench [--dir DIR] [--rounds N] [--frames N] [--budget S]
//       every case in a fresh process; prints markdown tables
//   pick_ribbon_bench --pick FILE[,FILE...] [--rounds N] [--pick-mode MODE] [--selection] [--grid N]
//       (MODE: WireFrame, Cpk, ...; --selection: the selection pass, where
//       Pick would cast rays; --grid: N x N points, 5 unless told)
//   pick_ribbon_bench --ribbon FILE MODE [--frames N] [--budget S]
//       one case in this process: one line of figures, then the GL
//       renderer's name
//
// Picking runs on DIR/tiled_100k.pdb from make_large_pdb (two copies of the
// solvated 1tw7 system side by side), or on the system loaded twice when
// that file is missing. Solvent is shown, so every atom and bond is named.
//
// The backbone structure is DIR/2hhb_x18.pdb, written here: 18 copies of
// examples/2hhb.pdb (574 residues in four chains, with their hemes and
// waters) on a 3 x 3 x 2 lattice, one molecule of 72 chains and 10,332
// residues; secondary structure is assigned on loading as batch mode does.
//
// Mesa's software rasteriser is forced (LIBGL_ALWAYS_SOFTWARE=1).
#include <unistd.h>

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/MakeDocument.h"
#include "core/UiHooks.h"
#include "model/Molecule.h"
#include "model/RenderMode.h"
#include "model/VelmDoc.h"
#include "render/OffscreenContext.h"
#include "render/Pick.h"
#include "render/RenderCommands.h"
#include "render/Scene.h"
#include "render/SceneRenderer.h"
#include "render/SplineCursor.h"

#include "BenchSupport.h"

namespace fs = std::filesystem;

namespace {

using namespace velm::bench;

constexpr int kSide = 1000;
constexpr int kWarmUpFrames = 3;
constexpr int kMinimumFrames = 5;
constexpr int kGrid = 5;  // pick points: a 5 x 5 grid whose middle point is the centre of the view
constexpr int kCpkGrid = 3;  // and 3 x 3 in CPK, where the selection pass at 1M atoms takes seconds
constexpr int kCopies = 18;
constexpr double kLatticeGap = 10;  // angstrom between the boxes of neighbouring copies

// Silent, but remembers whether Pick complained (a selection buffer overflow).
class CountingUi : public velm::SilentUiHooks {
public:
    void Message(std::string_view) override { ++messages; }
    int messages = 0;
};

std::string RendererName() {
    const GLubyte* name = glGetString(GL_RENDERER);
    return name ? reinterpret_cast<const char*>(name) : "unknown renderer";
}

// ---------------------------------------------------------------------------
// Picking.

struct PickFigures {
    long atoms = 0, bonds = 0;
    int picks = 0;               // timed picks: rounds x grid points
    double median = 0, best = 0, worst = 0;  // ms per pick
    double first = 0;            // ms of the very first pick (centre), not among the timed ones
    double frame = 0;            // ms of one wire-frame draw of the same scene, median of 3, for scale
    int atomHits = 0, bondHits = 0, misses = 0;  // over one round of the grid
    int changed = 0;             // grid points whose result differed between rounds
    int messages = 0;            // warnings Pick showed
    bool ok = false;
};

constexpr const char* kPickLine = "%ld %ld %d %lf %lf %lf %lf %lf %d %d %d %d %d\n";

// `selection`: the selection pass whatever the scene, else Pick's own choice
// (rays for spheres and sticks).
int CasePick(const std::string& files, int rounds, velm::RenderMode mode, bool selection, int grid) {
    CountingUi ui;
    velm::CVelmDoc doc(ui);
    doc.options.computeSecondaryStructure = 0;  // no ribbons here; picking names atoms and bonds
    for (const std::string& f : SplitCommas(files))
        if (!doc.AddMoleculeFromFile(f)) throw std::runtime_error("no atoms in " + f);
    PickFigures p;
    for (auto& m : doc.Molecules()) {
        m->selected = 1;
        m->showSolvent = 1;  // hetero atoms are named only when shown: show them, so every atom is pickable
        p.atoms += m->AtomCount();
        p.bonds += static_cast<long>(m->bonds.size());
    }

    velm::OffscreenContext context(kSide, kSide);
    std::string renderer;
    {
        velm::Scene scene;
        velm::ViewSettings& s = scene.settings;
        s.quality.SetLevel(velm::GraphicsQuality::Medium);
        velm::SceneRenderer view(scene);
        view.Initialise();
        view.Resize(kSide, kSide);
        velm::ApplyRenderMode(s, doc, mode);  // wire frame: what a loaded molecule shows
        velm::OnDocumentChanged(scene, doc);
        renderer = RendererName();

        // The view as the user sees it before clicking.
        std::vector<double> frames;
        for (int i = 0; i < 3; ++i) {
            const double t0 = Now();
            view.RenderPass(doc.Molecules(), 0);
            glFinish();
            frames.push_back((Now() - t0) * 1e3);
        }
        p.frame = Median(frames);

        std::vector<std::array<int, 2>> points;
        for (int j = 0; j < grid; ++j)
            for (int i = 0; i < grid; ++i)
                points.push_back({kSide * (2 * i + 1) / (2 * grid), kSide * (2 * j + 1) / (2 * grid)});

        const auto pick = [&](int x, int y) {
            return selection ? velm::SelectionPick(view, doc.Molecules(), x, y, ui)
                             : velm::Pick(view, doc.Molecules(), x, y, ui);
        };
        double t0 = Now();
        pick(kSide / 2, kSide / 2);
        p.first = (Now() - t0) * 1e3;

        std::vector<double> times;
        std::vector<velm::PickResult> firstRound;
        for (int round = 0; round < rounds; ++round) {
            for (size_t k = 0; k < points.size(); ++k) {
                t0 = Now();
                const velm::PickResult hit = pick(points[k][0], points[k][1]);
                times.push_back((Now() - t0) * 1e3);
                if (round == 0) {
                    firstRound.push_back(hit);
                    if (hit.kind == velm::PickResult::AtomHit) ++p.atomHits;
                    else if (hit.kind == velm::PickResult::BondHit) ++p.bondHits;
                    else ++p.misses;
                } else if (hit.kind != firstRound[k].kind || hit.index != firstRound[k].index ||
                           hit.molecule != firstRound[k].molecule) {
                    ++p.changed;
                }
            }
        }
        if (glGetError() != GL_NO_ERROR) std::fprintf(stderr, "pick_ribbon_bench: GL error after picking\n");
        p.picks = static_cast<int>(times.size());
        p.median = Median(times);
        p.best = *std::min_element(times.begin(), times.end());
        p.worst = *std::max_element(times.begin(), times.end());
        p.messages = ui.messages;
    }
    context.Release();
    std::printf(kPickLine, p.atoms, p.bonds, p.picks, p.median, p.best, p.worst, p.first, p.frame, p.atomHits,
                p.bondHits, p.misses, p.changed, p.messages);
    std::printf("%s\n", renderer.c_str());
    return 0;
}

// ---------------------------------------------------------------------------
// Ribbons and tubes.

struct RibbonFigures {
    long atoms = 0, residues = 0, chains = 0;  // residues of the chains: those with CA and O
    long helix = 0, strand = 0;                // residues assigned a helix (codes 0-2) or a strand
    long splinePoints = 0;                     // spline points one frame walks, counted with SplineCursor
    int spline = 0, ribbon = 0;                // the Medium resolutions in force
    int frames = 0;
    double median = 0, best = 0, submitMedian = 0;
    bool ok = false;
};

constexpr const char* kRibbonLine = "%ld %ld %ld %ld %ld %ld %d %d %d %lf %lf %lf\n";

// The points the drawing functions take from the spline in one frame: they
// skip chains of one residue and walk every other chain to its end.
long SplinePointsPerFrame(const velm::CVelmDoc& doc, velm::RenderMode mode, int resolution, double tension) {
    long points = 0;
    for (const auto& m : doc.Molecules()) {
        for (int c = 0; c < static_cast<int>(m->chains.size()); ++c) {
            if (m->chains[static_cast<size_t>(c)].residues.size() <= 1) continue;
            velm::SplineCursor cursor(*m, c, resolution, tension);
            if (mode == velm::TraceSpline) {
                for (velm::SplinePoint p; cursor.NextPoint(p);) ++points;
            } else {
                for (velm::SplineFrame f; cursor.NextFrame(f);) ++points;
            }
        }
    }
    return points;
}

int CaseRibbon(const std::string& files, const std::string& modeName, int frameCount, double budget) {
    const std::optional<velm::RenderMode> mode = velm::RenderModeFromName(modeName);
    if (!mode) throw std::runtime_error("unknown render mode " + modeName);

    CountingUi ui;
    const auto made = velm::MakeDocument(ui);
    velm::CVelmDoc& doc = *made;
    for (const std::string& f : SplitCommas(files))
        if (!doc.AddMoleculeFromFile(f)) throw std::runtime_error("no atoms in " + f);
    if (ui.messages) std::fprintf(stderr, "pick_ribbon_bench: the secondary-structure stage complained\n");
    RibbonFigures r;
    for (auto& m : doc.Molecules()) {
        m->selected = 1;  // a load leaves only the newest molecule selected
        r.atoms += m->AtomCount();
        r.chains += static_cast<long>(m->chains.size());
        for (const velm::Chain& chain : m->chains) {
            r.residues += static_cast<long>(chain.residues.size());
            for (const velm::Residue& res : chain.residues) {
                if (res.secondaryStructure >= velm::AlphaHelix && res.secondaryStructure <= velm::PiHelix) ++r.helix;
                else if (res.secondaryStructure == velm::Strand) ++r.strand;
            }
        }
    }

    velm::OffscreenContext context(kSide, kSide);
    std::string renderer;
    {
        velm::Scene scene;
        velm::ViewSettings& s = scene.settings;
        s.quality.SetLevel(velm::GraphicsQuality::Medium);
        r.spline = s.quality.Values().spline;
        r.ribbon = s.quality.Values().ribbon;
        velm::SceneRenderer view(scene);
        view.Initialise();
        view.Resize(kSide, kSide);
        velm::ApplyRenderMode(s, doc, *mode);
        velm::OnDocumentChanged(scene, doc);
        renderer = RendererName();
        r.splinePoints = SplinePointsPerFrame(doc, *mode, r.spline, s.quality.Values().tension);

        for (int i = 0; i < kWarmUpFrames; ++i) {
            view.RenderPass(doc.Molecules(), 0);
            glFinish();
        }
        std::vector<double> total, submit;
        const double start = Now();
        for (int i = 0; i < frameCount; ++i) {
            if (i >= kMinimumFrames && Now() - start > budget) break;
            const double t0 = Now();
            view.RenderPass(doc.Molecules(), 0);
            const double t1 = Now();
            glFinish();
            const double t2 = Now();
            submit.push_back((t1 - t0) * 1e3);
            total.push_back((t2 - t0) * 1e3);
        }
        if (glGetError() != GL_NO_ERROR) std::fprintf(stderr, "pick_ribbon_bench: GL error after %s\n", modeName.c_str());
        r.frames = static_cast<int>(total.size());
        r.median = Median(total);
        r.best = *std::min_element(total.begin(), total.end());
        r.submitMedian = Median(submit);
    }
    context.Release();
    std::printf(kRibbonLine, r.atoms, r.residues, r.chains, r.helix, r.strand, r.splinePoints, r.spline, r.ribbon,
                r.frames, r.median, r.best, r.submitMedian);
    std::printf("%s\n", renderer.c_str());
    return 0;
}

// Writes DIR/2hhb_x18.pdb once: the atom, hetero-atom and TER records of
// examples/2hhb.pdb repeated on a 3 x 3 x 2 lattice spaced by the structure's
// box plus a gap, serials renumbered and chain letters handed out afresh to
// every copy (A-Z, a-z, 0-9, starting over after 62 chains; waters keep their
// blank chain). Connectivity is computed on loading, so CONECT records are left out.
std::string TiledHaemoglobin(const fs::path& dir) {
    const fs::path out = dir / ("2hhb_x" + std::to_string(kCopies) + ".pdb");
    if (fs::exists(out)) return out.string();
    const std::string source = VELM_EXAMPLES_DIR "/2hhb.pdb";
    std::ifstream in(source);
    if (!in) throw std::runtime_error("cannot open " + source);
    std::vector<std::string> records;
    double lo[3] = {1e30, 1e30, 1e30}, hi[3] = {-1e30, -1e30, -1e30};
    for (std::string line; std::getline(in, line);) {
        const bool atom = line.rfind("ATOM  ", 0) == 0 || line.rfind("HETATM", 0) == 0;
        if (!atom && line.rfind("TER", 0) != 0) continue;
        if (atom) {
            if (line.size() < 54) throw std::runtime_error("short atom record in " + source);
            for (int k = 0; k < 3; ++k) {
                const double v = std::stod(line.substr(30 + 8 * static_cast<size_t>(k), 8));
                lo[k] = std::min(lo[k], v);
                hi[k] = std::max(hi[k], v);
            }
        }
        records.push_back(line);
    }
    if (records.empty()) throw std::runtime_error("no atoms in " + source);

    static const std::string kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    fs::create_directories(dir);
    const fs::path partial = out.string() + ".part";
    std::FILE* o = std::fopen(partial.c_str(), "w");
    if (!o) throw std::runtime_error("cannot write " + partial.string());
    std::fprintf(o, "REMARK   %d copies of 2hhb on a 3 x 3 x 2 lattice, written by pick_ribbon_bench\n", kCopies);
    int serial = 0, nextLetter = 0;
    for (int copy = 0; copy < kCopies; ++copy) {
        const int cell[3] = {copy % 3, (copy / 3) % 3, copy / 9};
        double shift[3];
        for (int k = 0; k < 3; ++k) shift[k] = cell[k] * (hi[k] - lo[k] + kLatticeGap);
        std::string from, to;  // this copy's chain letters: original -> new
        auto letterOf = [&](char c) {
            if (c == ' ') return c;
            const size_t at = from.find(c);
            if (at != std::string::npos) return to[at];
            from += c;
            to += kLetters[static_cast<size_t>(nextLetter++) % kLetters.size()];
            return to.back();
        };
        for (std::string line : records) {
            if (line.size() < 27) line.resize(27, ' ');
            char number[8];
            std::snprintf(number, sizeof number, "%5d", ++serial % 100000);
            line.replace(6, 5, number);
            line[21] = letterOf(line[21]);
            if (line.rfind("TER", 0) != 0) {
                char xyz[32];
                for (int k = 0; k < 3; ++k) {
                    const size_t at = 30 + 8 * static_cast<size_t>(k);
                    std::snprintf(xyz, sizeof xyz, "%8.3f", std::stod(line.substr(at, 8)) + shift[k]);
                    line.replace(at, 8, xyz);
                }
            }
            std::fprintf(o, "%s\n", line.c_str());
        }
    }
    std::fputs("END\n", o);
    if (std::fclose(o) != 0) throw std::runtime_error("cannot write " + partial.string());
    fs::rename(partial, out);
    return out.string();
}

// ---------------------------------------------------------------------------

std::string SecondLine(const std::string& text) {
    const size_t eol = text.find('\n');
    if (eol == std::string::npos) return "";
    std::string rest = text.substr(eol + 1);
    while (!rest.empty() && rest.back() == '\n') rest.pop_back();
    return rest;
}

constexpr velm::RenderMode kRibbonModes[] = {velm::TraceSpline, velm::SolidRibbon, velm::FlatRibbon, velm::Tube};

int RunAll(const fs::path& dir, int rounds, int frames, double budget) {
    // This very program for the children, even if a build replaces the file meanwhile.
    const std::string self = "/proc/" + std::to_string(getpid()) + "/exe";
    std::string renderer;

    const std::string source = DefaultSource();
    const fs::path tiled = dir / "tiled_100k.pdb";
    const bool haveTiled = fs::exists(tiled);
    const std::string pickFiles = haveTiled ? tiled.string() : source + "," + source;
    const std::string pickLabel = haveTiled ? "tiled_100k.pdb (2 copies of 1tw7 side by side)"
                                            : "1tw7 loaded twice (2 molecules, overlapping)";
    std::fprintf(stderr, "pick_ribbon_bench: picking in %s\n", pickLabel.c_str());
    const std::string pickOut = Capture(self + " --pick " + Quote(pickFiles) + " --rounds " + std::to_string(rounds));
    PickFigures p;
    p.ok = std::sscanf(pickOut.c_str(), kPickLine, &p.atoms, &p.bonds, &p.picks, &p.median, &p.best, &p.worst,
                       &p.first, &p.frame, &p.atomHits, &p.bondHits, &p.misses, &p.changed, &p.messages) == 13;
    if (p.ok) renderer = SecondLine(pickOut);

    // CPK: Pick (rays) against the selection pass, at 100k and 1M atoms.
    struct CpkPick {
        std::string file;
        bool selection;
        PickFigures p;
    };
    std::vector<CpkPick> cpk;
    for (const char* name : {"tiled_100k.pdb", "tiled_1M.pdb"}) {
        if (!fs::exists(dir / name)) continue;
        for (bool selection : {false, true}) {
            std::fprintf(stderr, "pick_ribbon_bench: picking %s in CPK, %s\n", name, selection ? "selection" : "Pick");
            const std::string out = Capture(self + " --pick " + Quote((dir / name).string()) +
                                            " --pick-mode Cpk --rounds 1 --grid " + std::to_string(kCpkGrid) +
                                            (selection ? " --selection" : ""));
            CpkPick c{name, selection, {}};
            c.p.ok = std::sscanf(out.c_str(), kPickLine, &c.p.atoms, &c.p.bonds, &c.p.picks, &c.p.median, &c.p.best,
                                 &c.p.worst, &c.p.first, &c.p.frame, &c.p.atomHits, &c.p.bondHits, &c.p.misses,
                                 &c.p.changed, &c.p.messages) == 13;
            cpk.push_back(c);
        }
    }

    const std::string ribbonFile = TiledHaemoglobin(dir);
    RibbonFigures r[std::size(kRibbonModes)];
    for (size_t m = 0; m < std::size(kRibbonModes); ++m) {
        const std::string name(velm::RenderModeName(kRibbonModes[m]));
        std::fprintf(stderr, "pick_ribbon_bench: %s, %s\n", fs::path(ribbonFile).filename().c_str(), name.c_str());
        const std::string out = Capture(self + " --ribbon " + Quote(ribbonFile) + " " + name + " --frames " +
                                        std::to_string(frames) + " --budget " + std::to_string(budget));
        RibbonFigures& c = r[m];
        c.ok = std::sscanf(out.c_str(), kRibbonLine, &c.atoms, &c.residues, &c.chains, &c.helix, &c.strand,
                           &c.splinePoints, &c.spline, &c.ribbon, &c.frames, &c.median, &c.best,
                           &c.submitMedian) == 12;
        if (c.ok && renderer.empty()) renderer = SecondLine(out);
        if (!c.ok) std::fprintf(stderr, "pick_ribbon_bench: %s failed: %s\n", name.c_str(), FirstLine(out).c_str());
    }

    std::printf("pick_ribbon_bench: %dx%d off-screen, Medium quality; GL_RENDERER %s; %ld cores, %s; build %s\n",
                kSide, kSide, renderer.c_str(), sysconf(_SC_NPROCESSORS_ONLN), CpuName().c_str(), VELM_BUILD_TYPE);

    std::printf("\n### Pick: ms per `Pick` at %d x %d points over the view (centre included), %d round%s, "
                "wire frame, solvent shown\n\n",
                kGrid, kGrid, rounds, rounds == 1 ? "" : "s");
    std::printf("| atoms | bonds | selection buffer | picks timed | median | best | worst | first pick | "
                "hits: atom / bond / none | wire-frame frame | structure |\n");
    std::printf("|---:|---:|---:|---:|---:|---:|---:|---:|---|---:|---|\n");
    if (p.ok) {
        const double bytes = 4.0 * static_cast<double>(p.atoms + p.bonds) * 4;
        std::printf("| %s | %s | %.1f MB | %d | %.1f | %.1f | %.1f | %.1f | %d / %d / %d | %.1f | %s |\n",
                    Thousands(p.atoms).c_str(), Thousands(p.bonds).c_str(), bytes / 1e6, p.picks, p.median, p.best,
                    p.worst, p.first, p.atomHits, p.bondHits, p.misses, p.frame, pickLabel.c_str());
        if (p.changed) std::printf("\n%d picks hit something else than the same point in the first round.\n", p.changed);
        if (p.messages) std::printf("\n`Pick` showed %d warning%s (selection buffer overflow).\n", p.messages,
                                    p.messages == 1 ? "" : "s");
    } else {
        std::printf("| failed | | | | | | | | | | %s |\n", pickLabel.c_str());
    }

    std::printf("\n### Pick in CPK: rays (`Pick`) and the selection pass (`SelectionPick`), ms per pick at the "
                "same %d x %d points, one round\n\n| structure | atoms | way | median | best | worst | first pick | "
                "hits: atom / none | CPK frame (shader path) |\n|---|---:|---|---:|---:|---:|---:|---|---:|\n",
                kCpkGrid, kCpkGrid);
    for (const CpkPick& c : cpk) {
        if (!c.p.ok) {
            std::printf("| %s | | %s | failed | | | | | |\n", c.file.c_str(), c.selection ? "selection" : "rays");
            continue;
        }
        std::printf("| %s | %s | %s | %.1f | %.1f | %.1f | %.1f | %d / %d | %.1f |\n", c.file.c_str(),
                    Thousands(c.p.atoms).c_str(), c.selection ? "selection" : "rays", c.p.median, c.p.best,
                    c.p.worst, c.p.first, c.p.atomHits, c.p.misses, c.p.frame);
    }

    long residues = 0, chains = 0, atoms = 0, helix = 0, strand = 0;
    int spline = 0, ribbon = 0;
    for (const RibbonFigures& c : r)
        if (c.ok) {
            residues = c.residues, chains = c.chains, atoms = c.atoms, helix = c.helix, strand = c.strand;
            spline = c.spline, ribbon = c.ribbon;
        }
    std::printf("\n### Backbone modes: ms per frame (RenderPass + glFinish); %d warm-up frames, then up to %d "
                "(at least %d, within %.0f s)\n\n",
                kWarmUpFrames, frames, kMinimumFrames, budget);
    std::printf("%s: %s copies of 2hhb, one molecule, %s atoms, %s chains, %s residues (%s helix, %s strand); "
                "spline resolution %d, ribbon resolution %d, so residues x %d = %s spline points.\n\n",
                fs::path(ribbonFile).filename().c_str(), Thousands(kCopies).c_str(), Thousands(atoms).c_str(),
                Thousands(chains).c_str(), Thousands(residues).c_str(), Thousands(helix).c_str(),
                Thousands(strand).c_str(), spline, ribbon, spline + 1, Thousands(residues * (spline + 1)).c_str());
    std::printf("| mode | median | best | until RenderPass returns | frames | spline points per frame | "
                "ns per spline point |\n|---|---:|---:|---:|---:|---:|---:|\n");
    for (size_t m = 0; m < std::size(kRibbonModes); ++m) {
        const RibbonFigures& c = r[m];
        const std::string name(velm::RenderModeName(kRibbonModes[m]));
        if (!c.ok) {
            std::printf("| %s | failed | | | | | |\n", name.c_str());
            continue;
        }
        std::printf("| %s | %.1f | %.1f | %.1f | %d | %s | %.0f |\n", name.c_str(), c.median, c.best,
                    c.submitMedian, c.frames, Thousands(c.splinePoints).c_str(),
                    c.median * 1e6 / static_cast<double>(std::max(1L, c.splinePoints)));
    }
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // Before any context exists: Mesa reads it when the driver is chosen.
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    fs::path dir = "/tmp/velm-bench";
    std::string pickFiles, ribbonFile, ribbonMode, pickMode = "WireFrame";
    bool selection = false;
    int grid = kGrid;
    int rounds = 3, frames = 20;
    double budget = 20;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string a = argv[i];
            if (a == "--pick" && i + 1 < argc) pickFiles = argv[++i];
            else if (a == "--pick-mode" && i + 1 < argc) pickMode = argv[++i];
            else if (a == "--selection") selection = true;
            else if (a == "--grid" && i + 1 < argc) grid = std::max(1, std::atoi(argv[++i]));
            else if (a == "--ribbon" && i + 2 < argc) {
                ribbonFile = argv[++i];
                ribbonMode = argv[++i];
            } else if (a == "--dir" && i + 1 < argc) dir = argv[++i];
            else if (a == "--rounds" && i + 1 < argc) rounds = std::max(1, std::atoi(argv[++i]));
            else if (a == "--frames" && i + 1 < argc) frames = std::max(kMinimumFrames, std::atoi(argv[++i]));
            else if (a == "--budget" && i + 1 < argc) budget = std::max(0.0, std::atof(argv[++i]));
            else {
                std::fprintf(stderr,
                             "usage: pick_ribbon_bench [--dir DIR] [--rounds N] [--frames N] [--budget S]\n"
                             "       pick_ribbon_bench --pick FILE[,FILE...] [--rounds N] [--pick-mode MODE] [--selection] [--grid N]\n"
                             "       pick_ribbon_bench --ribbon FILE MODE [--frames N] [--budget S]\n");
                return 2;
            }
        }
        if (!pickFiles.empty()) {
            const std::optional<velm::RenderMode> mode = velm::RenderModeFromName(pickMode);
            if (!mode) throw std::runtime_error("unknown render mode " + pickMode);
            return CasePick(pickFiles, rounds, *mode, selection, grid);
        }
        if (!ribbonFile.empty()) return CaseRibbon(ribbonFile, ribbonMode, frames, budget);
        return RunAll(dir, rounds, frames, budget);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pick_ribbon_bench: %s\n", e.what());
        return 1;
    }
}
