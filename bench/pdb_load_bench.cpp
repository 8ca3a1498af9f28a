// Loading benchmark: how fast PDB files are parsed, bonded and loaded, and
// how much memory a load takes, next to gemmi reading the same files.
//
//   pdb_load_bench [--dir DIR] [--repeat N] [--no-gemmi]
//       times the largest sample and DIR/tiled_1M.pdb, DIR/tiled_100k.pdb
//       (written by make_large_pdb) and prints one table
//   pdb_load_bench --time FILE [--repeat N]   prints FILE's timings, one line
//   pdb_load_bench --peak FILE                loads FILE once, prints memory
//
// The first mode runs the other two in a fresh process per file: what one
// file leaves in the heap (glibc raises its mmap threshold after large
// frees) would otherwise speed up or slow down the files timed after it,
// and the high-water mark must not include earlier loads.
//
// Times are best-of-N wall times with the file in the page cache: the
// minimum is the figure least disturbed by the rest of the machine.
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/UiHooks.h"
#include "model/Connectivity.h"
#include "model/Molecule.h"
#include "model/PdbFile.h"
#include "model/ReadCoordinates.h"
#include "model/VelmDoc.h"

#include "BenchSupport.h"

namespace fs = std::filesystem;
using velm::PdbFile;

namespace {

using namespace velm::bench;

// A "VmRSS:  1234 kB" style field of /proc/self/status, in bytes.
long StatusBytes(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string key;
    while (in >> key) {
        long kb = 0;
        if (key == std::string(field) + ":" && in >> kb) return kb * 1024;
        in.ignore(1 << 12, '\n');
    }
    return -1;
}



struct LoadFigures {
    std::string path;
    double megabytes = 0;
    long atoms = 0;
    long bonds = 0;
    long chains = 0;
    double cellEdge = 0, atomsPerCell = 0;  // MakeBondGrid: the coarse grid, which bounds the work per atom
    double parse = 0, compute = 0, apply = 0, bonding = 0, load = 0;
    long rssBefore = -1, hwmAfter = -1;  // from the --peak process
    double gemmi = 0;                    // 0: not measured
    long gemmiAtoms = 0;
};

// One load in this process, reporting memory: "atoms rss_before hwm_after".
int PeakMode(const std::string& path) {
    const long rssBefore = StatusBytes("VmRSS");
    velm::SilentUiHooks ui;
    velm::CVelmDoc doc(ui);
    doc.AddMoleculeFromFile(path);
    const long hwmAfter = StatusBytes("VmHWM");
    std::printf("%d %ld %ld\n", doc.Primary() ? doc.Primary()->AtomCount() : 0, rssBefore, hwmAfter);
    return 0;
}

void Measure(LoadFigures& f, int repeat) {
    velm::SilentUiHooks ui;
    f.megabytes = static_cast<double>(fs::file_size(f.path)) / 1e6;

    // Parse only. Each result is destroyed outside the timed span.
    f.parse = 1e30;
    for (int i = 0; i < repeat; ++i) {
        const double t0 = Now();
        const PdbFile file = PdbFile::Read(f.path);
        f.parse = std::min(f.parse, Now() - t0);
        f.atoms = static_cast<long>(file.atoms.size());
    }

    // Bonds, on a molecule read without them. Its bond arrays are released
    // before each round so every round allocates them as a real load does.
    const PdbFile file = PdbFile::Read(f.path);
    velm::Molecule mol;
    velm::ReadCoordinateFile(mol, f.path, false, false, velm::PdbType, ui);
    f.compute = f.apply = f.bonding = 1e30;
    for (int i = 0; i < repeat; ++i) {
        mol.partners = std::vector<int>();
        mol.partnerStart = std::vector<int>();
        mol.bonds = std::vector<velm::Bond>();
        const double t0 = Now();
        const velm::Connectivity c = velm::ComputeConnectivity(file);
        const double t1 = Now();
        velm::ApplyConnectivity(mol, file, c);
        const double t2 = Now();
        f.compute = std::min(f.compute, t1 - t0);
        f.apply = std::min(f.apply, t2 - t1);
        f.bonding = std::min(f.bonding, t2 - t0);
    }
    f.bonds = static_cast<long>(mol.bonds.size());
    const velm::BondGrid grid = velm::MakeBondGrid(file.atoms);
    f.cellEdge = std::max({grid.cell[0], grid.cell[1], grid.cell[2]});
    const double cells = static_cast<double>(grid.count[0]) * grid.count[1] * grid.count[2];
    f.atomsPerCell = static_cast<double>(f.atoms) / cells;

    // The whole load as the document does it: parse, bonds, centring.
    f.load = 1e30;
    for (int i = 0; i < repeat; ++i) {
        velm::CVelmDoc doc(ui);
        const double t0 = Now();
        doc.AddMoleculeFromFile(f.path);
        f.load = std::min(f.load, Now() - t0);
        f.chains = doc.Primary() ? static_cast<long>(doc.Primary()->chains.size()) : 0;
    }
}

// The --time line: every figure Measure takes, in this order.
constexpr const char* kTimeLine = "%ld %ld %ld %lf %lf %lf %lf %lf %lf %lf %lf\n";

int TimeMode(const std::string& path, int repeat) {
    LoadFigures f;
    f.path = path;
    Measure(f, repeat);
    std::printf(kTimeLine, f.atoms, f.bonds, f.chains, f.megabytes, f.cellEdge, f.atomsPerCell, f.parse, f.compute,
                f.apply, f.bonding, f.load);
    return 0;
}


// Times and peak memory of one file, each taken in a fresh process.
void MeasureInChildren(LoadFigures& f, int repeat) {
    const std::string times = Capture(Self() + " --time " + Quote(f.path) + " --repeat " + std::to_string(repeat));
    if (std::sscanf(times.c_str(), kTimeLine, &f.atoms, &f.bonds, &f.chains, &f.megabytes, &f.cellEdge,
                    &f.atomsPerCell, &f.parse, &f.compute, &f.apply, &f.bonding, &f.load) != 11)
        throw std::runtime_error("no timings for " + f.path);
    long atoms = 0;
    std::sscanf(Capture(Self() + " --peak " + Quote(f.path)).c_str(), "%ld %ld %ld", &atoms, &f.rssBefore,
                &f.hwmAfter);
}

// gemmi in a fresh Python process per file too; its line reads
// "gemmi <tab> path <tab> atoms <tab> seconds ...".
void MeasureGemmi(LoadFigures& f, int repeat) {
    const std::string out = Capture("/usr/bin/python3 " + Quote(VELM_BENCH_DIR "/gemmi_reference.py") +
                                    " --repeat " + std::to_string(repeat) + " " + Quote(f.path));
    const size_t at = out.find("\ngemmi\t");
    if (at == std::string::npos ||
        std::sscanf(out.c_str() + at + 7, "%*[^\t]\t%ld\t%lf", &f.gemmiAtoms, &f.gemmi) != 2)
        std::fprintf(stderr, "pdb_load_bench: no gemmi figures for %s (scripts/install-bench-deps?)\n",
                     f.path.c_str());
}

// The largest sample file as a plain file: the reference copy, else the
// project's compressed copy unpacked next to the tiled files.
std::string SamplePath(const fs::path& dir) {
    const std::string shared = VELM_SHARED_DATA "/pdb/1tw7_solvated.pdb";
    if (fs::exists(shared)) return shared;
    const fs::path out = dir / "1tw7_solvated.pdb";
    if (fs::exists(out)) return out.string();
    gzFile in = gzopen(VELM_TEST_DATA "/1tw7_solvated.pdb.gz", "rb");
    std::FILE* o = in ? std::fopen(out.c_str(), "wb") : nullptr;
    if (!o) throw std::runtime_error("cannot unpack 1tw7_solvated.pdb.gz into " + dir.string());
    char buf[1 << 16];
    for (int n; (n = gzread(in, buf, sizeof buf)) > 0;) std::fwrite(buf, 1, static_cast<size_t>(n), o);
    gzclose(in);
    std::fclose(o);
    return out.string();
}


void Row(const char* label, const std::vector<LoadFigures>& all, double (*value)(const LoadFigures&), const char* format) {
    std::printf("%-40s", label);
    for (const LoadFigures& f : all) {
        const double v = value(f);
        if (v > 0) std::printf(format, v);
        else std::printf("%14s", "-");
    }
    std::printf("\n");
}

void PrintTable(const std::vector<LoadFigures>& all) {
    std::printf("\n%-40s", "");
    for (const LoadFigures& f : all) std::printf("%14.14s", fs::path(f.path).stem().c_str());
    std::printf("\n");
    const char* n = "%14.0f";
    const char* s = "%14.4f";
    const char* r = "%14.1f";
    const char* x = "%14.2f";
    using F = const LoadFigures&;
    Row("atoms", all, [](F f) { return static_cast<double>(f.atoms); }, n);
    Row("file MB", all, [](F f) { return f.megabytes; }, x);
    Row("bonds found", all, [](F f) { return static_cast<double>(f.bonds); }, n);
    Row("chains", all, [](F f) { return static_cast<double>(f.chains); }, n);
    Row("parse: PdbFile::Read                  s", all, [](F f) { return f.parse; }, s);
    Row("         MB/s", all, [](F f) { return f.megabytes / f.parse; }, r);
    Row("         Matoms/s", all, [](F f) { return f.atoms / f.parse / 1e6; }, x);
    Row("bonds: Compute+ApplyConnectivity      s", all, [](F f) { return f.bonding; }, s);
    Row("  ComputeConnectivity                 s", all, [](F f) { return f.compute; }, s);
    Row("  ApplyConnectivity                   s", all, [](F f) { return f.apply; }, s);
    Row("         Matoms/s", all, [](F f) { return f.atoms / f.bonding / 1e6; }, x);
    Row("  MakeBondGrid: largest cell edge     A", all, [](F f) { return f.cellEdge; }, x);
    Row("  MakeBondGrid: atoms per cell", all, [](F f) { return f.atomsPerCell; }, x);
    Row("load: AddMoleculeFromFile             s", all, [](F f) { return f.load; }, s);
    Row("         Matoms/s", all, [](F f) { return f.atoms / f.load / 1e6; }, x);
    Row("gemmi: read_structure                 s", all, [](F f) { return f.gemmi; }, s);
    Row("         MB/s", all, [](F f) { return f.gemmi > 0 ? f.megabytes / f.gemmi : 0; }, r);
    Row("         Matoms/s", all, [](F f) { return f.gemmi > 0 ? f.gemmiAtoms / f.gemmi / 1e6 : 0; }, x);
    Row("         atoms read", all, [](F f) { return static_cast<double>(f.gemmiAtoms); }, n);
    Row("ratio parse / gemmi        (goal <= 1)", all, [](F f) { return f.gemmi > 0 ? f.parse / f.gemmi : 0; }, x);
    Row("ratio parse+bonds / gemmi (goal <= 1.5)", all,
        [](F f) { return f.gemmi > 0 ? (f.parse + f.bonding) / f.gemmi : 0; }, x);
    Row("ratio load / gemmi", all, [](F f) { return f.gemmi > 0 ? f.load / f.gemmi : 0; }, x);
    Row("peak (VmHWM - VmRSS before)     B/atom", all,
        [](F f) { return f.hwmAfter > 0 ? static_cast<double>(f.hwmAfter - f.rssBefore) / f.atoms : 0; }, r);
    Row("peak VmHWM       (goal < 400)   B/atom", all,
        [](F f) { return f.hwmAfter > 0 ? static_cast<double>(f.hwmAfter) / f.atoms : 0; }, r);
}

}  // namespace

int main(int argc, char** argv) {
    fs::path dir = "/tmp/velm-bench";
    std::string timeFile, peakFile;
    int repeat = 5;
    bool gemmi = true;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string a = argv[i];
            if (a == "--peak" && i + 1 < argc) peakFile = argv[++i];
            else if (a == "--time" && i + 1 < argc) timeFile = argv[++i];
            else if (a == "--dir" && i + 1 < argc) dir = argv[++i];
            else if (a == "--repeat" && i + 1 < argc) repeat = std::max(1, std::atoi(argv[++i]));
            else if (a == "--no-gemmi") gemmi = false;
            else {
                std::fprintf(stderr, "usage: pdb_load_bench [--dir DIR] [--repeat N] [--no-gemmi]\n"
                                     "       pdb_load_bench --time FILE [--repeat N] | --peak FILE\n");
                return 2;
            }
        }
        if (!peakFile.empty()) return PeakMode(peakFile);
        if (!timeFile.empty()) return TimeMode(timeFile, repeat);
        std::vector<LoadFigures> all(3);
        all[0].path = SamplePath(dir);
        all[1].path = (dir / "tiled_1M.pdb").string();
        all[2].path = (dir / "tiled_100k.pdb").string();
        for (const LoadFigures& f : all)
            if (!fs::exists(f.path)) {
                std::fprintf(stderr, "pdb_load_bench: %s is missing: run make_large_pdb %s first\n", f.path.c_str(),
                             dir.c_str());
                return 1;
            }
        std::printf("build %s, best of %d, %ld cores, %s\n", VELM_BUILD_TYPE, repeat, sysconf(_SC_NPROCESSORS_ONLN),
                    CpuName().c_str());
        for (LoadFigures& f : all) {
            std::printf("measuring %s\n", f.path.c_str());
            std::fflush(stdout);
            MeasureInChildren(f, repeat);
        }
        if (gemmi)
            for (LoadFigures& f : all) MeasureGemmi(f, repeat);
        PrintTable(all);

        const LoadFigures& big = all[1];
        const LoadFigures& tenth = all[2];
        const double atomRatio = static_cast<double>(big.atoms) / tenth.atoms;
        std::printf("\nconnectivity 1M / 100k: %.1fx the time for %.1fx the atoms (goal: linear, ~%.0f)\n",
                    big.bonding / tenth.bonding, atomRatio, atomRatio);
        std::printf("  ComputeConnectivity alone: %.1fx; parse: %.1fx; whole load: %.1fx\n",
                    big.compute / tenth.compute, big.parse / tenth.parse, big.load / tenth.load);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pdb_load_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
