// Surface and hydrogen-bond benchmark:
//  - seconds per BuildSurface (spacing 0.595 A, probe 0, solvent excluded
//    unless asked for) with one and with two threads, the sampling grid,
//    the mesh counts, and whether both thread counts give the same bytes;
//  - ms per RecomputeHydrogenBonds on structures of 1,000 to 10,000 atoms.
//
//   surface_bench [--dir DIR] [--repeat N] [--calls N]
//       every case in a fresh process; prints markdown tables
//   surface_bench --surface FILE[,FILE...] 0|1 [--repeat N]
//       one build case (1: includeSolvent) in this process, one line of figures
//   surface_bench --hbonds FILE [--calls N]
//       one hydrogen-bond case in this process, one line of figures
//   surface_bench --memory FILE 0|1 [--threads N] [--spacing A] [--probe A]
//       one build in this process: seconds, peak resident memory of the build,
//       the mesh's own bytes, the longest wait between two progress calls and
//       a hash of the mesh arrays
//
// Every file is loaded as one molecule with AddMoleculeFromFile (bonds, no
// secondary structure); a comma list loads several molecules, and only the
// first of them is surfaced.
#include <unistd.h>

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/UiHooks.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"
#include "surface/HydrogenBonds.h"
#include "surface/SurfaceBuild.h"

#include "BenchSupport.h"

namespace fs = std::filesystem;

namespace {

using namespace velm::bench;

void Load(velm::CVelmDoc& doc, const std::string& files) {
    doc.options.computeSecondaryStructure = 0;
    for (const std::string& f : SplitCommas(files))
        if (!doc.AddMoleculeFromFile(f)) throw std::runtime_error("no atoms in " + f);
}

// ---------------------------------------------------------------------------
// Surfaces.

struct SurfaceFigures {
    long atoms = 0, taken = 0;        // atoms of the molecule, and those the density sums
    long long nx = 0, ny = 0, nz = 0;  // sampling grid
    long vertices = 0, triangles = 0;
    int runs = 0;
    double median1 = 0, best1 = 0, median2 = 0, best2 = 0;  // seconds
    int identical = 0;
    bool ok = false;
};

constexpr const char* kSurfaceLine = "%ld %ld %lld %lld %lld %ld %ld %d %lf %lf %lf %lf %d\n";

// The mesh arrays, copied so that a later build can be compared byte for byte.
struct Mesh {
    std::vector<float> vertices, normals;
    std::vector<int> nearestAtom, indices;
};

Mesh Copy(const velm::VelmSurface& s) { return {s.vertices, s.normals, s.nearestAtom, s.indices}; }

template <class T>
bool SameBytes(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

bool SameBytes(const Mesh& a, const Mesh& b) {
    return SameBytes(a.vertices, b.vertices) && SameBytes(a.normals, b.normals) &&
           SameBytes(a.nearestAtom, b.nearestAtom) && SameBytes(a.indices, b.indices);
}

int CaseSurface(const std::string& files, bool solvent, int repeat) {
    velm::SilentUiHooks ui;
    velm::CVelmDoc doc(ui);
    Load(doc, files);
    velm::Molecule& m = *doc.Molecules().begin()->get();
    velm::VelmSurface& s = m.surface;
    s.spacing = 0.595f;
    s.probeRadius = 0.0f;
    s.includeSolvent = solvent;

    SurfaceFigures f;
    f.atoms = m.AtomCount();
    for (const velm::Atom& a : m.atoms)
        if (solvent || !a.hetero) ++f.taken;
    {
        // The grid as BuildSurface lays it out over the atom box.
        s.frameIndex = m.currentFrame - 1;
        const velm::AtomBox box(m, s);
        const velm::Vec3 lo = box.Minimum(), hi = box.Maximum();
        f.nx = static_cast<long long>((hi.x - lo.x) / s.spacing) + 1;
        f.ny = static_cast<long long>((hi.y - lo.y) / s.spacing) + 1;
        f.nz = static_cast<long long>((hi.z - lo.z) / s.spacing) + 1;
    }

    // One and two threads in turn, so that both see the same machine load.
    std::vector<double> one, two;
    Mesh first1, first2;
    bool same = true;
    for (int r = 0; r < repeat; ++r) {
        for (int threads : {1, 2}) {
            const double t0 = Now();
            velm::BuildSurface(m, ui, threads);
            const double t = Now() - t0;
            if (!s.built) throw std::runtime_error("the surface was not built");
            (threads == 1 ? one : two).push_back(t);
            Mesh& keep = threads == 1 ? first1 : first2;
            if (r == 0) keep = Copy(s);
            else same = same && SameBytes(keep, Copy(s));
        }
    }
    same = same && SameBytes(first1, first2);
    f.vertices = s.VertexCount();
    f.triangles = s.TriangleCount();
    f.runs = repeat;
    f.median1 = Median(one);
    f.best1 = *std::min_element(one.begin(), one.end());
    f.median2 = Median(two);
    f.best2 = *std::min_element(two.begin(), two.end());
    f.identical = same ? 1 : 0;
    std::printf(kSurfaceLine, f.atoms, f.taken, f.nx, f.ny, f.nz, f.vertices, f.triangles, f.runs, f.median1,
                f.best1, f.median2, f.best2, f.identical);
    return same ? 0 : 2;
}

// ---------------------------------------------------------------------------
// Memory of one build.

long StatusKb(const char* key) {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long kb = -1;
    const size_t n = std::strlen(key);
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, key, n) == 0) kb = std::atol(line + n);
    std::fclose(f);
    return kb;
}

// Silent, but notes the longest stretch without a progress call: how long
// the window would go without a repaint.
class TimingUiHooks : public velm::SilentUiHooks {
public:
    void ProgressBegin(std::string_view, int) override { last_ = Now(); }
    void ProgressSet(int p) override { Tick(), ++sets, last = p; }
    bool ProgressCancelled() override { Tick(); return false; }
    void ProgressEnd() override { Tick(); }
    double longest = 0;
    long sets = 0;
    int last = 0;
private:
    void Tick() {
        const double t = Now();
        longest = std::max(longest, t - last_);
        last_ = t;
    }
    double last_ = 0;
};

// FNV-1a over the four mesh arrays: equal builds print equal numbers.
unsigned long long MeshHash(const velm::VelmSurface& s) {
    unsigned long long h = 1469598103934665603ULL;
    const auto mix = [&h](const void* data, size_t bytes) {
        const auto* b = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < bytes; ++i) h = (h ^ b[i]) * 1099511628211ULL;
    };
    mix(s.vertices.data(), s.vertices.size() * sizeof(float));
    mix(s.normals.data(), s.normals.size() * sizeof(float));
    mix(s.nearestAtom.data(), s.nearestAtom.size() * sizeof(int));
    mix(s.indices.data(), s.indices.size() * sizeof(int));
    return h;
}

int CaseMemory(const std::string& files, bool solvent, int threads, float spacing, float probe) {
    velm::SilentUiHooks quiet;
    velm::CVelmDoc doc(quiet);
    Load(doc, files);
    velm::Molecule& m = *doc.Molecules().begin()->get();
    velm::VelmSurface& s = m.surface;
    s.includeSolvent = solvent;
    if (spacing > 0) s.spacing = spacing;
    s.probeRadius = probe;
    s.cellSize = probe * probe + 3;
    const long loaded = StatusKb("VmRSS:");
    // Peak from here on: what the reader needed does not count.
    if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
    TimingUiHooks ui;
    const double t0 = Now();
    velm::BuildSurface(m, ui, threads);
    const double seconds = Now() - t0;
    const long peak = StatusKb("VmHWM:");
    const double mesh = static_cast<double>(s.vertices.capacity() * sizeof(float) + s.normals.capacity() * sizeof(float) +
                                            s.nearestAtom.capacity() * sizeof(int) + s.indices.capacity() * sizeof(int));
    std::printf("%ld %d %.2f %.1f %.1f %.1f %d %d %.1f %.3f %ld %d %016llx\n", static_cast<long>(m.AtomCount()), threads, seconds,
                loaded / 1024.0, peak / 1024.0, (peak - loaded) / 1024.0, s.VertexCount(), s.TriangleCount(), mesh / (1 << 20),
                ui.longest, ui.sets, ui.last, MeshHash(s));
    return s.built ? 0 : 1;
}

// ---------------------------------------------------------------------------
// Hydrogen bonds.

struct HBondFigures {
    long atoms = 0;
    int calls = 0, bonds = 0;
    double median = 0, best = 0, worst = 0;  // ms
    bool ok = false;
};

constexpr const char* kHBondLine = "%ld %d %d %lf %lf %lf\n";

int CaseHBonds(const std::string& files, int calls) {
    velm::SilentUiHooks ui;
    velm::CVelmDoc doc(ui);
    Load(doc, files);
    HBondFigures h;
    for (const auto& m : doc.Molecules()) h.atoms += m->AtomCount();
    velm::RecomputeHydrogenBonds(doc);  // warm-up, not timed
    const int bonds = doc.HydrogenBonds().Count();
    std::vector<double> times;
    for (int i = 0; i < calls; ++i) {
        const double t0 = Now();
        velm::RecomputeHydrogenBonds(doc);
        times.push_back((Now() - t0) * 1e3);
        if (doc.HydrogenBonds().Count() != bonds) throw std::runtime_error("the bond count changed between calls");
    }
    h.calls = calls;
    h.bonds = bonds;
    h.median = Median(times);
    h.best = *std::min_element(times.begin(), times.end());
    h.worst = *std::max_element(times.begin(), times.end());
    std::printf(kHBondLine, h.atoms, h.calls, h.bonds, h.median, h.best, h.worst);
    return 0;
}

// ---------------------------------------------------------------------------

std::string Shared(const char* name) {
    const std::string p = std::string(VELM_SHARED_DATA "/pdb/") + name;
    return fs::exists(p) ? p : "";
}

int RunAll(const fs::path& dir, int repeat, int calls) {
    const std::string self = "/proc/" + std::to_string(getpid()) + "/exe";
    double load[3] = {};
    getloadavg(load, 3);

    struct SurfaceCase {
        std::string label, files;
        bool solvent;
        SurfaceFigures f;
    };
    std::vector<SurfaceCase> surfaces;
    std::vector<std::string> notes;
    const std::string system = VELM_TEST_DATA "/1tw7_solvated.pdb.gz";
    surfaces.push_back({"1tw7_solvated, protein and ions (water left out, the default)", system, false, {}});
    surfaces.push_back({"1tw7_solvated, whole system (includeSolvent)", system, true, {}});
    if (const std::string p = Shared("1adz.pdb"); !p.empty())
        surfaces.push_back({"1adz (reference corpus)", p, false, {}});
    else
        notes.push_back("1adz skipped: no " VELM_SHARED_DATA "/pdb/1adz.pdb.");
    if (const std::string p = Shared("4jsv.pdb.gz").empty() ? Shared("4jsv.pdb") : Shared("4jsv.pdb.gz"); !p.empty())
        surfaces.push_back({"4jsv (reference corpus)", p, false, {}});
    else
        notes.push_back("4jsv skipped: not in " VELM_SHARED_DATA "/pdb.");
    const fs::path tiled = dir / "tiled_100k.pdb";
    if (fs::exists(tiled))
        surfaces.push_back({"tiled_100k.pdb: 2 copies of 1tw7 side by side, one molecule (includeSolvent)",
                            tiled.string(), true, {}});
    else
        notes.push_back("tiled_100k.pdb skipped: not in " + dir.string() + " (run make_large_pdb).");

    for (SurfaceCase& c : surfaces) {
        std::fprintf(stderr, "surface_bench: surface of %s\n", c.label.c_str());
        const std::string out = Capture(self + " --surface " + Quote(c.files) + (c.solvent ? " 1" : " 0") +
                                        " --repeat " + std::to_string(repeat));
        SurfaceFigures& f = c.f;
        f.ok = std::sscanf(out.c_str(), kSurfaceLine, &f.atoms, &f.taken, &f.nx, &f.ny, &f.nz, &f.vertices,
                           &f.triangles, &f.runs, &f.median1, &f.best1, &f.median2, &f.best2, &f.identical) == 13;
        if (!f.ok) std::fprintf(stderr, "surface_bench: %s failed: %s\n", c.label.c_str(), FirstLine(out).c_str());
    }

    struct HBondCase {
        std::string label, file;
        HBondFigures h;
    };
    std::vector<HBondCase> hbonds;
    hbonds.push_back({"first 10,000 atoms of 1tw7", FirstAtoms(dir, system, 10000), {}});
    hbonds.push_back({"2hhb", VELM_TEST_DATA "/2hhb.pdb", {}});
    hbonds.push_back({"1ubi", VELM_TEST_DATA "/1ubi.pdb", {}});
    for (HBondCase& c : hbonds) {
        std::fprintf(stderr, "surface_bench: hydrogen bonds of %s\n", c.label.c_str());
        const std::string out = Capture(self + " --hbonds " + Quote(c.file) + " --calls " + std::to_string(calls));
        HBondFigures& h = c.h;
        h.ok = std::sscanf(out.c_str(), kHBondLine, &h.atoms, &h.calls, &h.bonds, &h.median, &h.best, &h.worst) == 6;
        if (!h.ok) std::fprintf(stderr, "surface_bench: %s failed: %s\n", c.label.c_str(), FirstLine(out).c_str());
    }

    std::printf("surface_bench: %ld cores, %s; load average %.2f %.2f %.2f at the start; build %s\n",
                sysconf(_SC_NPROCESSORS_ONLN), CpuName().c_str(), load[0], load[1], load[2], VELM_BUILD_TYPE);

    std::printf("\n### BuildSurface: seconds, median of %d (one and two threads in turn), spacing 0.595 A, probe 0\n\n",
                repeat);
    std::printf("| structure | atoms | atoms in the density | grid nx x ny x nz | grid points | vertices | "
                "triangles | 1 thread | 2 threads | speed-up | identical |\n");
    std::printf("|---|---:|---:|---|---:|---:|---:|---:|---:|---:|---|\n");
    for (const SurfaceCase& c : surfaces) {
        const SurfaceFigures& f = c.f;
        if (!f.ok) {
            std::printf("| %s | failed | | | | | | | | | |\n", c.label.c_str());
            continue;
        }
        std::printf("| %s | %s | %s | %lld x %lld x %lld | %s | %s | %s | %.2f | %.2f | %.2f | %s |\n",
                    c.label.c_str(), Thousands(f.atoms).c_str(), Thousands(f.taken).c_str(), f.nx, f.ny, f.nz,
                    Thousands(f.nx * f.ny * f.nz).c_str(), Thousands(f.vertices).c_str(),
                    Thousands(f.triangles).c_str(), f.median1, f.median2, f.median1 / f.median2,
                    f.identical ? "yes" : "no");
    }
    for (const std::string& n : notes) std::printf("\n%s\n", n.c_str());

    std::printf("\n### RecomputeHydrogenBonds: ms per call over %d calls after one untimed call\n\n", calls);
    std::printf("| structure | atoms | bonds found | median | best | worst |\n|---|---:|---:|---:|---:|---:|\n");
    for (const HBondCase& c : hbonds) {
        const HBondFigures& h = c.h;
        if (!h.ok) {
            std::printf("| %s | failed | | | | |\n", c.label.c_str());
            continue;
        }
        std::printf("| %s | %s | %s | %.2f | %.2f | %.2f |\n", c.label.c_str(), Thousands(h.atoms).c_str(),
                    Thousands(h.bonds).c_str(), h.median, h.best, h.worst);
    }
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    fs::path dir = "/tmp/velm-bench";
    std::string surfaceFiles, hbondFiles;
    bool solvent = false;
    int repeat = 3, calls = 50, threads = 0;
    float spacing = 0, probe = 0;
    bool memory = false;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string a = argv[i];
            if (a == "--surface" && i + 2 < argc) {
                surfaceFiles = argv[++i];
                solvent = std::atoi(argv[++i]) != 0;
            } else if (a == "--memory" && i + 2 < argc) {
                surfaceFiles = argv[++i];
                solvent = std::atoi(argv[++i]) != 0;
                memory = true;
            } else if (a == "--threads" && i + 1 < argc) threads = std::max(0, std::atoi(argv[++i]));
            else if (a == "--spacing" && i + 1 < argc) spacing = static_cast<float>(std::atof(argv[++i]));
            else if (a == "--probe" && i + 1 < argc) probe = static_cast<float>(std::atof(argv[++i]));
            else if (a == "--hbonds" && i + 1 < argc) hbondFiles = argv[++i];
            else if (a == "--dir" && i + 1 < argc) dir = argv[++i];
            else if (a == "--repeat" && i + 1 < argc) repeat = std::max(1, std::atoi(argv[++i]));
            else if (a == "--calls" && i + 1 < argc) calls = std::max(1, std::atoi(argv[++i]));
            else {
                std::fprintf(stderr,
                             "usage: surface_bench [--dir DIR] [--repeat N] [--calls N]\n"
                             "       surface_bench --surface FILE[,FILE...] 0|1 [--repeat N]\n"
                             "       surface_bench --hbonds FILE[,FILE...] [--calls N]\n"
                             "       surface_bench --memory FILE 0|1 [--threads N] [--spacing A] [--probe A]\n");
                return 2;
            }
        }
        if (memory) return CaseMemory(surfaceFiles, solvent, threads, spacing, probe);
        if (!surfaceFiles.empty()) return CaseSurface(surfaceFiles, solvent, repeat);
        if (!hbondFiles.empty()) return CaseHBonds(hbondFiles, calls);
        return RunAll(dir, repeat, calls);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "surface_bench: %s\n", e.what());
        return 1;
    }
}
