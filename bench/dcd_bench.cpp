// Trajectory benchmark: how fast a large DCD file is read (by DcdFile alone
// and by the document's worker-thread path), next to one fread of the whole
// file and MDAnalysis iterating it; how long superposing two 1M-atom
// molecules takes; how fast the "Align" read mode turns 500 frames.
//
//   dcd_bench [--dir DIR] [--repeat N] [--no-mdanalysis]
//       reads DIR/dcd_50k.pdb + DIR/dcd_50k_500.dcd (make_large_dcd) and
//       DIR/tiled_1M.pdb (make_large_pdb) and prints one table
//   dcd_bench --time KIND [--dir DIR] [--repeat N]
//       one measurement, printed as key=value pairs on one line; KIND is
//       fread, steps, kept, document, superpose or align
//
// The first mode runs each KIND in a fresh process: what one measurement
// leaves in the heap (glibc moves its mmap threshold after large frees)
// would change the page faults of the next one.
//
// Times are best-of-N wall times with the files in the page cache: the
// minimum is the figure least disturbed by the rest of the machine.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/Kabsch.h"
#include "core/UiHooks.h"
#include "model/DcdFile.h"
#include "model/Molecule.h"
#include "model/ReadCoordinates.h"
#include "model/Trajectory.h"
#include "model/VelmDoc.h"

#include "BenchSupport.h"

namespace fs = std::filesystem;

namespace {

using namespace velm::bench;

// Counts what the code under test reports, so a failed alignment shows.
class CountingUi : public velm::SilentUiHooks {
public:
    void Message(std::string_view) override { ++messages; }
    int messages = 0;
};

struct Paths {
    fs::path dir = "/tmp/velm-bench";
    std::string Topology() const { return (dir / "dcd_50k.pdb").string(); }
    std::string Dcd() const { return (dir / "dcd_50k_500.dcd").string(); }
    std::string Large() const { return (dir / "tiled_1M.pdb").string(); }
};

// The whole file in one fread into memory not touched before: the most a
// reader that keeps every byte can hope for.
Figures TimeFread(const Paths& p, int repeat) {
    const size_t size = fs::file_size(p.Dcd());
    Figures f;
    f["seconds"] = Best(repeat, [&] {
        std::unique_ptr<char[]> data(new char[size]);  // not value-initialised: pages are first touched by fread
        std::FILE* in = std::fopen(p.Dcd().c_str(), "rb");
        if (!in || std::fread(data.get(), 1, size, in) != size) throw std::runtime_error("cannot read " + p.Dcd());
        std::fclose(in);
    });
    return f;
}

// DcdFile alone: every step into one reused buffer (keeping no frame, as
// "for ts in u.trajectory: pass" does), or into a new array per step kept.
Figures TimeSteps(const Paths& p, int repeat, bool keep) {
    Figures f;
    std::vector<std::vector<float>> frames;
    f["seconds"] = Best(
        repeat,
        [&] {
            velm::DcdFile file(p.Dcd());
            const velm::DcdHeader h = file.ReadHeader();
            const size_t values = 3 * static_cast<size_t>(h.atoms);
            std::vector<float> one(keep ? 0 : values);
            for (int k = 0; k < h.steps; ++k) {
                float* xyz = one.data();
                if (keep) xyz = frames.emplace_back(values).data();
                if (!file.ReadStep(xyz)) throw std::runtime_error("step " + std::to_string(k) + ": " + file.Message());
            }
            f["frames"] = h.steps;
            f["atoms"] = h.atoms;
            f["unitCell"] = h.unitCell;
        },
        [&] { frames = {}; });
    return f;
}

velm::Molecule& LoadTopology(velm::CVelmDoc& doc, const Paths& p) {
    if (!doc.AddMoleculeFromFile(p.Topology()) || !doc.Primary()) throw std::runtime_error("no atoms in " + p.Topology());
    return *doc.Primary();
}

// The document's path: header on this thread, steps on the worker into the
// molecule's frame list.
Figures TimeDocument(const Paths& p, int repeat) {
    CountingUi ui;
    velm::CVelmDoc doc(ui);
    velm::Molecule& mol = LoadTopology(doc, p);
    Figures f;
    f["seconds"] = Best(
        repeat,
        [&] {
            velm::OpenTrajectory t = velm::ReadTrajectoryHeader(mol, p.Dcd(), velm::DcdType);
            if (!velm::ReadTrajectorySteps(mol, t, ui)) throw std::runtime_error("trajectory read cancelled");
        },
        [&] { mol.frames.Clear(); });  // the frames of the last round are freed outside the timed span
    f["frames"] = mol.FrameCount();
    f["atoms"] = mol.AtomCount();
    return f;
}

// A unit quaternion (x, y, z, w) for `degrees` about an axis.
void Quaternion(double degrees, double ax, double ay, double az, float q[4]) {
    const double l = std::sqrt(ax * ax + ay * ay + az * az), h = degrees * std::acos(-1.0) / 360.0;
    q[0] = static_cast<float>(std::sin(h) * ax / l);
    q[1] = static_cast<float>(std::sin(h) * ay / l);
    q[2] = static_cast<float>(std::sin(h) * az / l);
    q[3] = static_cast<float>(std::cos(h));
}

// Two copies of the 1M-atom file, the second turned and moved by its
// trackball as a user would drag it; lists hold every atom, mass-weighted.
Figures TimeSuperpose(const Paths& p, int repeat) {
    velm::SilentUiHooks ui;
    velm::CVelmDoc doc(ui);
    doc.options.computeConnectivity = 0;  // bonds play no part here; the load is quicker without them
    if (!doc.AddMoleculeFromFile(p.Large())) throw std::runtime_error("no atoms in " + p.Large());
    doc.DuplicateMolecules({0});
    const velm::Molecule& A = *doc.Molecules()[0];
    velm::Molecule& B = *doc.Molecules()[1];
    Quaternion(35.0, 1.0, -2.0, 0.5, B.trackball.orientation);
    B.trackball.translation[0] = 12.0f;
    B.trackball.translation[1] = -7.0f;
    B.trackball.translation[2] = 4.0f;
    const velm::Trackball placed = B.trackball;
    std::vector<velm::Vec3> original(B.atoms.size());
    for (size_t i = 0; i < original.size(); ++i) original[i] = B.atoms[i].Position();
    auto restore = [&] {
        for (size_t i = 0; i < original.size(); ++i) {
            B.atoms[i].x = original[i].x;
            B.atoms[i].y = original[i].y;
            B.atoms[i].z = original[i].z;
        }
        B.trackball = placed;
    };
    std::vector<int> all(A.atoms.size());
    std::iota(all.begin(), all.end(), 0);

    Figures f;
    f["atoms"] = static_cast<double>(all.size());
    f["rmsdBefore"] = velm::computeRmsd(A, B, all, all, true);
    f["rmsdSeconds"] = Best(repeat, [&] { f["rmsdBefore"] = velm::computeRmsd(A, B, all, all, true); });
    f["seconds"] = Best(repeat, [&] { velm::superpose(A, B, all, all, true); }, restore);
    f["rmsdAfter"] = velm::computeRmsd(A, B, all, all, true);

    // The correlation and the 3x3 solution alone, on pairs prepared as
    // superpose prepares them: what is left is gathering and rewriting.
    std::vector<velm::Vec3> fixed(all.size()), moving(all.size());
    std::vector<double> weights(all.size());
    for (size_t i = 0; i < all.size(); ++i) {
        fixed[i] = A.atoms[i].Position();
        moving[i] = original[i];
        weights[i] = A.atoms[i].mass;
    }
    f["rotationSeconds"] = Best(repeat, [&] { velm::SuperpositionRotation(fixed, moving, weights); });
    return f;
}

// Mass-weighted RMSD of one frame from the molecule's own atoms.
double FrameRmsd(const velm::Molecule& mol, const velm::Frame& frame) {
    double sum = 0, total = 0;
    for (size_t i = 0; i < mol.atoms.size(); ++i) {
        const velm::Vec3 d = frame.Position(i) - mol.atoms[i].Position();
        sum += mol.atoms[i].mass * velm::Dot(d, d);
        total += mol.atoms[i].mass;
    }
    return std::sqrt(sum / total);
}

// PostProcessFrames over the 500 read frames in each mode; the trajectory is
// read again, untimed, before every round so each round starts from the file.
Figures TimeAlign(const Paths& p, int repeat) {
    CountingUi ui;
    velm::CVelmDoc doc(ui);
    doc.frameAligner = velm::superposeFrame;
    velm::Molecule& mol = LoadTopology(doc, p);
    std::vector<velm::Vec3> reference(mol.atoms.size());
    for (size_t i = 0; i < reference.size(); ++i) reference[i] = mol.atoms[i].Position();
    auto reread = [&] {
        for (size_t i = 0; i < reference.size(); ++i) {
            mol.atoms[i].x = reference[i].x;
            mol.atoms[i].y = reference[i].y;
            mol.atoms[i].z = reference[i].z;
        }
        mol.frames.Clear();
        velm::OpenTrajectory t = velm::ReadTrajectoryHeader(mol, p.Dcd(), velm::DcdType);
        if (!velm::ReadTrajectorySteps(mol, t, ui)) throw std::runtime_error("trajectory read cancelled");
    };
    Figures f;
    const char* names[] = {"mode0", "mode1", "mode2"};
    for (int mode : {velm::Verbatim, velm::ZeroCenterOfMass, velm::Align}) {
        f[names[mode]] = Best(repeat, [&] { velm::PostProcessFrames(mol, mode, ui, doc.frameAligner); }, reread);
        const velm::Frame& last = mol.frames[mol.FrameCount() - 1];
        f[std::string(names[mode]) + "Rmsd"] = FrameRmsd(mol, last);
    }
    f["frames"] = mol.FrameCount();
    f["messages"] = ui.messages;

    // The command line's -dcd with -align: read and align in one call.
    f["whole"] = Best(repeat, [&] { doc.ReadTrajectoryIntoPrimary(p.Dcd(), velm::Align); },
                      [&] { mol.frames.Clear(); });
    f["messages"] = ui.messages;
    return f;
}

int TimeMode(const std::string& kind, const Paths& p, int repeat) {
    if (kind == "fread") Print(TimeFread(p, repeat));
    else if (kind == "steps") Print(TimeSteps(p, repeat, false));
    else if (kind == "kept") Print(TimeSteps(p, repeat, true));
    else if (kind == "document") Print(TimeDocument(p, repeat));
    else if (kind == "superpose") Print(TimeSuperpose(p, repeat));
    else if (kind == "align") Print(TimeAlign(p, repeat));
    else throw std::runtime_error("unknown --time " + kind);
    return 0;
}




Figures InChild(const std::string& kind, const Paths& p, int repeat) {
    std::printf("measuring %s\n", kind.c_str());
    std::fflush(stdout);
    std::istringstream words(Capture(Self() + " --time " + kind + " --dir " + Quote(p.dir.string()) +
                                     " --repeat " + std::to_string(repeat)));
    Figures f;
    for (std::string w; words >> w;)
        if (const size_t eq = w.find('='); eq != std::string::npos) f[w.substr(0, eq)] = std::atof(w.c_str() + eq + 1);
    if (!f.count("seconds") && !f.count("mode2")) throw std::runtime_error("no figures for " + kind);
    return f;
}

// MDAnalysis's lines read "mdanalysis <tab> pass|copy <tab> frames <tab> seconds ...".
Figures MeasureMdAnalysis(const Paths& p, int repeat) {
    std::printf("measuring MDAnalysis\n");
    std::fflush(stdout);
    const std::string out = Capture("/usr/bin/python3 " + Quote(VELM_BENCH_DIR "/mdanalysis_reference.py") +
                                    " --repeat " + std::to_string(repeat) + " " + Quote(p.Topology()) + " " +
                                    Quote(p.Dcd()));
    Figures f;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        char label[16] = {};
        long frames = 0;
        double seconds = 0;
        if (std::sscanf(line.c_str(), "mdanalysis\t%15[a-z]\t%ld\t%lf", label, &frames, &seconds) == 3) {
            f[std::string(label)] = seconds;
            f[std::string(label) + "Frames"] = static_cast<double>(frames);
        } else if (line.rfind("# MDAnalysis ", 0) == 0) {
            std::printf("%s\n", line.c_str() + 2);
        }
    }
    if (!f.count("pass")) std::fprintf(stderr, "dcd_bench: no MDAnalysis figures (scripts/install-bench-deps?)\n");
    return f;
}


// Reads the file once so every measurement finds it in the page cache.
void Warm(const std::string& path) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return;
    std::vector<char> buf(1 << 20);
    while (std::fread(buf.data(), 1, buf.size(), in) == buf.size()) {
    }
    std::fclose(in);
}

void ReadRow(const char* label, double seconds, double megabytes, double frames, double fread, double reference,
             const char* referenceName) {
    if (!(seconds > 0)) {
        std::printf("%-46s %10s\n", label, "-");
        return;
    }
    std::printf("%-46s %10.4f %9.1f %9.1f %9.2f", label, seconds, megabytes / seconds, frames / seconds,
                fread / seconds);
    if (reference > 0) std::printf("   %5.2fx %s", reference / seconds, referenceName);
    std::printf("\n");
}

int Run(const Paths& p, int repeat, bool mdanalysis) {
    for (const std::string& f : {p.Topology(), p.Dcd(), p.Large()})
        if (!fs::exists(f)) {
            std::fprintf(stderr, "dcd_bench: %s is missing: run make_large_dcd and make_large_pdb %s first\n",
                         f.c_str(), p.dir.c_str());
            return 1;
        }
    std::printf("build %s, best of %d, %ld cores, %s\n", VELM_BUILD_TYPE, repeat, sysconf(_SC_NPROCESSORS_ONLN),
                CpuName().c_str());
    Warm(p.Dcd());
    const Figures fread = InChild("fread", p, repeat);
    const Figures steps = InChild("steps", p, repeat);
    const Figures kept = InChild("kept", p, repeat);
    const Figures document = InChild("document", p, repeat);
    Figures mda;
    if (mdanalysis) mda = MeasureMdAnalysis(p, repeat);
    const Figures sup = InChild("superpose", p, repeat);
    const Figures align = InChild("align", p, repeat);

    const double mb = static_cast<double>(fs::file_size(p.Dcd())) / 1e6;
    const double frames = steps.at("frames");
    const double f0 = fread.at("seconds");
    const double pass = mda.count("pass") ? mda.at("pass") : 0, copy = mda.count("copy") ? mda.at("copy") : 0;
    std::printf("\n%s: %.0f atoms x %.0f frames, %.1f MB, unit cells %s\n", p.Dcd().c_str(), steps.at("atoms"), frames,
                mb, steps.at("unitCell") != 0 ? "yes" : "no");
    std::printf("%-46s %10s %9s %9s %9s   %s\n", "(a) reading", "s", "MB/s", "frames/s", "/fread", "speed vs MDAnalysis");
    ReadRow("fread of the whole file into new memory", f0, mb, frames, f0, 0, "");
    ReadRow("DcdFile ReadHeader+ReadStep, one buffer", steps.at("seconds"), mb, frames, f0, pass, "its pass");
    ReadRow("DcdFile ReadHeader+ReadStep, frames kept", kept.at("seconds"), mb, frames, f0, copy, "its copy");
    ReadRow("ReadTrajectoryHeader+Steps (worker), kept", document.at("seconds"), mb, frames, f0, copy, "its copy");
    ReadRow("MDAnalysis for ts in u.trajectory: pass", pass, mb, frames, f0, 0, "");
    ReadRow("MDAnalysis + ts.positions.copy() kept", copy, mb, frames, f0, 0, "");
    std::printf("  goal: the document path at least as fast as MDAnalysis keeping every frame (ratio >= 1)\n");

    const double s = sup.at("seconds");
    std::printf("\n(b) two molecules of %.0f atoms, all atoms, mass-weighted\n", sup.at("atoms"));
    std::printf("%-46s %10.4f   goal < 0.050 s: %s\n", "superpose", s, s < 0.050 ? "met" : "NOT met");
    std::printf("%-46s %10.4f\n", "  of which SuperpositionRotation (prepared)", sup.at("rotationSeconds"));
    std::printf("%-46s %10.4f\n", "computeRmsd", sup.at("rmsdSeconds"));
    std::printf("%-46s %10.4f -> %.2e A\n", "RMSD before -> after superpose", sup.at("rmsdBefore"), sup.at("rmsdAfter"));

    const double n = align.at("frames");
    std::printf("\n(c) PostProcessFrames over %.0f frames of %.0f atoms  %10s %9s   RMSD of the last frame\n", n,
                document.at("atoms"), "s", "frames/s");
    const struct {
        const char* key;
        const char* label;
    } modes[] = {{"mode0", "mode 0, verbatim (centre + bounding box)"},
                 {"mode1", "mode 1, zero centre of mass"},
                 {"mode2", "mode 2, Align with superposeFrame"}};
    for (const auto& m : modes)
        std::printf("%-46s %10.4f %9.1f   %.3f A\n", m.label, align.at(m.key), n / align.at(m.key),
                    align.at(std::string(m.key) + "Rmsd"));
    const double aligner = align.at("mode2") - align.at("mode1");
    std::printf("%-46s %10.4f %9.1f\n", "  the aligner alone (mode 2 - mode 1)", aligner, aligner > 0 ? n / aligner : 0);
    std::printf("%-46s %10.4f %9.1f\n", "ReadTrajectoryIntoPrimary, Align (read + align)", align.at("whole"),
                n / align.at("whole"));
    std::printf("aligner messages (failed frames): %.0f\n", align.at("messages"));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Paths paths;
    std::string kind;
    int repeat = 5;
    bool mdanalysis = true;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string a = argv[i];
            if (a == "--time" && i + 1 < argc) kind = argv[++i];
            else if (a == "--dir" && i + 1 < argc) paths.dir = argv[++i];
            else if (a == "--repeat" && i + 1 < argc) repeat = std::max(1, std::atoi(argv[++i]));
            else if (a == "--no-mdanalysis") mdanalysis = false;
            else {
                std::fprintf(stderr, "usage: dcd_bench [--dir DIR] [--repeat N] [--no-mdanalysis]\n"
                                     "       dcd_bench --time fread|steps|kept|document|superpose|align "
                                     "[--dir DIR] [--repeat N]\n");
                return 2;
            }
        }
        if (!kind.empty()) return TimeMode(kind, paths, repeat);
        return Run(paths, repeat, mdanalysis);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "dcd_bench: %s\n", e.what());
        return 1;
    }
}
