// mmCIF loading benchmark: how fast mmCIF files are read and loaded, and
// the memory of a load, next to gemmi's own read of the same files.
//
//   mmcif_load_bench [--dir DIR] [--repeat N] [--no-gemmi]
//       DIR/6zu5.cif (the largest real entry at hand) and DIR/tiled_1M.cif
//       (the 1M-atom PDB file of the loading benchmark, written as mmCIF by
//       gemmi); run-mmcif-bench prepares both
//   mmcif_load_bench --time FILE [--repeat N]   "atoms bonds read_s load_s"
//   mmcif_load_bench --peak FILE                "atoms rss_before hwm_after"
//
// As in pdb_load_bench, each file is timed and measured in a fresh process;
// times are best-of-N wall times with the file in the page cache.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/UiHooks.h"
#include "model/MmcifRead.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"

#include "BenchSupport.h"

namespace fs = std::filesystem;
using namespace velm::bench;

namespace {

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
    long atoms = 0, bonds = 0;
    double read = 0, load = 0;
    long rssBefore = -1, hwmAfter = -1;
    double gemmi = 0;
    long gemmiAtoms = 0;
};

int TimeMode(const std::string& path, int repeat) {
    double read = 1e30, load = 1e30;
    long atoms = 0, bonds = 0;
    velm::SilentUiHooks ui;
    for (int i = 0; i < repeat; ++i) {
        const double t0 = Now();
        const velm::PdbFile file = velm::ReadMmcif(path);
        read = std::min(read, Now() - t0);
        atoms = static_cast<long>(file.atoms.size());
    }
    for (int i = 0; i < repeat; ++i) {
        velm::CVelmDoc doc(ui);
        const double t0 = Now();
        doc.AddMoleculeFromFile(path);
        load = std::min(load, Now() - t0);
        bonds = doc.Primary() ? static_cast<long>(doc.Primary()->bonds.size()) : 0;
    }
    std::printf("%ld %ld %f %f\n", atoms, bonds, read, load);
    return 0;
}

int PeakMode(const std::string& path) {
    const long rssBefore = StatusBytes("VmRSS");
    velm::SilentUiHooks ui;
    velm::CVelmDoc doc(ui);
    doc.AddMoleculeFromFile(path);
    std::printf("%d %ld %ld\n", doc.Primary() ? doc.Primary()->AtomCount() : 0, rssBefore, StatusBytes("VmHWM"));
    return 0;
}

void Measure(LoadFigures& f, int repeat, bool gemmi) {
    f.megabytes = static_cast<double>(fs::file_size(f.path)) / 1e6;
    const std::string times = Capture(Self() + " --time " + Quote(f.path) + " --repeat " + std::to_string(repeat));
    if (std::sscanf(times.c_str(), "%ld %ld %lf %lf", &f.atoms, &f.bonds, &f.read, &f.load) != 4)
        throw std::runtime_error("no timings for " + f.path);
    long atoms = 0;
    std::sscanf(Capture(Self() + " --peak " + Quote(f.path)).c_str(), "%ld %ld %ld", &atoms, &f.rssBefore,
                &f.hwmAfter);
    if (!gemmi) return;
    const std::string out = Capture("/usr/bin/python3 " + Quote(VELM_BENCH_DIR "/gemmi_reference.py") +
                                    " --repeat " + std::to_string(repeat) + " " + Quote(f.path));
    const size_t at = out.find("\ngemmi\t");
    if (at == std::string::npos || std::sscanf(out.c_str() + at + 7, "%*[^\t]\t%ld\t%lf", &f.gemmiAtoms, &f.gemmi) != 2)
        std::fprintf(stderr, "mmcif_load_bench: no gemmi figures for %s\n", f.path.c_str());
}

void Row(const char* label, const std::vector<LoadFigures>& all, double (*value)(const LoadFigures&), const char* format) {
    std::printf("%-44s", label);
    for (const LoadFigures& f : all) {
        const double v = value(f);
        if (v > 0) std::printf(format, v);
        else std::printf("%14s", "-");
    }
    std::printf("\n");
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
                std::fprintf(stderr, "usage: mmcif_load_bench [--dir DIR] [--repeat N] [--no-gemmi]\n"
                                     "       mmcif_load_bench --time FILE [--repeat N] | --peak FILE\n");
                return 2;
            }
        }
        if (!peakFile.empty()) return PeakMode(peakFile);
        if (!timeFile.empty()) return TimeMode(timeFile, repeat);
        std::vector<LoadFigures> all(2);
        all[0].path = (dir / "6zu5.cif").string();
        all[1].path = (dir / "tiled_1M.cif").string();
        for (const LoadFigures& f : all)
            if (!fs::exists(f.path)) {
                std::fprintf(stderr, "mmcif_load_bench: %s is missing: run bench/run-mmcif-bench\n", f.path.c_str());
                return 1;
            }
        std::printf("build %s, best of %d, %ld cores, %s\n", VELM_BUILD_TYPE, repeat, sysconf(_SC_NPROCESSORS_ONLN),
                    CpuName().c_str());
        for (LoadFigures& f : all) {
            std::printf("measuring %s\n", f.path.c_str());
            std::fflush(stdout);
            Measure(f, repeat, gemmi);
        }
        std::printf("\n%-44s", "");
        for (const LoadFigures& f : all) std::printf("%14.14s", fs::path(f.path).stem().c_str());
        std::printf("\n");
        using F = const LoadFigures&;
        Row("atoms", all, [](F f) { return static_cast<double>(f.atoms); }, "%14.0f");
        Row("file MB", all, [](F f) { return f.megabytes; }, "%14.2f");
        Row("bonds", all, [](F f) { return static_cast<double>(f.bonds); }, "%14.0f");
        Row("read: ReadMmcif                          s", all, [](F f) { return f.read; }, "%14.4f");
        Row("load: AddMoleculeFromFile                s", all, [](F f) { return f.load; }, "%14.4f");
        Row("gemmi: read_structure                    s", all, [](F f) { return f.gemmi; }, "%14.4f");
        Row("         atoms read", all, [](F f) { return static_cast<double>(f.gemmiAtoms); }, "%14.0f");
        Row("ratio read / gemmi            (goal <= 1.3)", all,
            [](F f) { return f.gemmi > 0 ? f.read / f.gemmi : 0; }, "%14.2f");
        Row("ratio load / gemmi", all, [](F f) { return f.gemmi > 0 ? f.load / f.gemmi : 0; }, "%14.2f");
        Row("peak (VmHWM - VmRSS before)        B/atom", all,
            [](F f) { return f.hwmAfter > 0 ? static_cast<double>(f.hwmAfter - f.rssBefore) / f.atoms : 0; },
            "%14.1f");
        Row("peak VmHWM   (PDB goal < 400)      B/atom", all,
            [](F f) { return f.hwmAfter > 0 ? static_cast<double>(f.hwmAfter) / f.atoms : 0; }, "%14.1f");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mmcif_load_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
