// Secondary-structure benchmark: assignment of the largest sample protein and
// of generated structures of 10,000 and 100,000 residues (ideal helices and
// hairpins on a lattice), each next to the time it takes to parse the same
// file, and the cell-grid bond search next to the all-pairs one it replaces.
//
//   stride_bench [--repeat N] [--dir DIR]
//
// Times are best-of-N wall times (default 5), files in the page cache.
// Goals: assignment faster than parsing; ten times the residues in about ten
// times the time.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "analysis/SecondaryStructure.h"
#include "analysis/StrideRun.h"
#include "core/UiHooks.h"
#include "core/Vec3.h"
#include "model/Molecule.h"
#include "model/ReadCoordinates.h"

#include "BenchSupport.h"

using namespace velm;
using velm::bench::Best;
namespace fs = std::filesystem;

namespace {

Vec3 Unit(const Vec3& v) { return v * (1 / Length(v)); }

Vec3 Place(const Vec3& a, const Vec3& b, const Vec3& c, double length, double angle, double torsion) {
    const double t = angle * M_PI / 180, p = torsion * M_PI / 180;
    const Vec3 bc = Unit(c - b), n = Unit(Cross(b - a, bc)), m = Cross(n, bc);
    return c + bc * (-length * std::cos(t)) + m * (length * std::sin(t) * std::cos(p)) +
           n * (length * std::sin(t) * std::sin(p));
}

struct Backbone {
    Vec3 n, ca, c, o;
};

std::vector<Backbone> Build(const std::vector<std::pair<double, double>>& phiPsi) {
    std::vector<Backbone> r(phiPsi.size());
    r[0].n = {0, 0, 0};
    r[0].ca = {1.458, 0, 0};
    r[0].c = Place({0, 1, 0}, r[0].n, r[0].ca, 1.525, 111.2, -60);
    for (size_t i = 0; i + 1 < r.size(); ++i) {
        r[i + 1].n = Place(r[i].n, r[i].ca, r[i].c, 1.329, 116.2, phiPsi[i].second);
        r[i + 1].ca = Place(r[i].ca, r[i].c, r[i + 1].n, 1.458, 121.7, 180);
        r[i + 1].c = Place(r[i].c, r[i + 1].n, r[i + 1].ca, 1.525, 111.2, phiPsi[i + 1].first);
        r[i].o = Place(r[i + 1].n, r[i].ca, r[i].c, 1.231, 120.5, 180);
    }
    r.back().o = Place(r.back().n, r.back().ca, r.back().c, 1.231, 120.5, phiPsi.back().second + 180);
    return r;
}

// A 20-residue helix followed by a 2:2 hairpin of two 9-residue strands.
std::vector<Backbone> Unit40() {
    std::vector<Backbone> unit = Build(std::vector<std::pair<double, double>>(20, {-57, -47}));
    const std::vector<Backbone> strand = Build(std::vector<std::pair<double, double>>(9, {-139, 135}));
    const Vec3 n4 = strand[4].n;
    const Vec3 h = Unit(Unit(n4 - strand[4].ca) + Unit(n4 - strand[3].c));
    const Vec3 normal = Unit(Cross(Unit(strand[8].ca - strand[0].ca), h));
    Vec3 q = (n4 + h * 2.9 + strand[4].o) * 0.5;
    q = q - normal * Dot(normal, q - strand[4].o);
    auto rotate = [&](const Vec3& p) { return q * 2 + normal * (2 * Dot(normal, p - q)) - p; };
    const Vec3 shift{0, 0, 12};  // beside the helix
    for (const Backbone& b : strand) unit.push_back({b.n + shift, b.ca + shift, b.c + shift, b.o + shift});
    for (int k = 1; k <= 2; ++k) {
        const Vec3 from = strand[8].c, to = rotate(strand[0].n);
        const Vec3 at = from + (to - from) * (k / 3.0) + normal * 3.0 + shift;
        unit.push_back({at + Vec3{-0.5, 0, 0}, at, at + Vec3{0.5, 0, 0}, at + Vec3{0.5, 1.2, 0}});
    }
    for (const Backbone& b : strand)
        unit.push_back({rotate(b.n) + shift, rotate(b.ca) + shift, rotate(b.c) + shift, rotate(b.o) + shift});
    return unit;
}

// Writes residues units of 40 on a lattice 40 A apart, 1,000 residues per chain.
void WriteGenerated(const std::string& path, int residues) {
    const std::vector<Backbone> unit = Unit40();
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f) throw std::runtime_error("cannot write " + path);
    const char ids[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const int side = static_cast<int>(std::ceil(std::cbrt(residues / 40.0)));
    int serial = 1;
    for (int r = 0; r < residues; ++r) {
        const int u = r / 40;
        const Vec3 at{40.0 * (u % side), 40.0 * ((u / side) % side), 40.0 * (u / (side * side))};
        const Backbone& b = unit[r % 40];
        const char chain = ids[(r / 1000) % (sizeof ids - 1)];
        const char* name = r % 40 >= 29 && r % 40 <= 30 ? "GLY" : "ALA";
        const std::pair<const char*, Vec3> atoms[] = {{" N  ", b.n}, {" CA ", b.ca}, {" C  ", b.c}, {" O  ", b.o}};
        for (const auto& [atom, p] : atoms) {
            const Vec3 x = p + at;
            std::fprintf(f, "ATOM  %5d %s %s %c%4d    %8.3f%8.3f%8.3f  1.00  0.00           %c\n", serial % 100000,
                         atom, name, chain, r % 1000 + 1, x.x, x.y, x.z, atom[1]);
            ++serial;
        }
    }
    std::fprintf(f, "END\n");
    std::fclose(f);
}

struct Timing {
    std::string name;
    int residues = 0;
    double parse = 0, assign = 0;
};

Timing Measure(const std::string& name, const std::string& path, int repeat) {
    SilentUiHooks ui;
    Timing t;
    t.name = name;
    Molecule molecule;
    t.parse = Best(repeat, [&] {
        Molecule m;
        ReadCoordinateFile(m, path, false, false, PdbType, ui);
        molecule = std::move(m);
    });
    t.residues = molecule.ResidueCount();
    t.assign = Best(repeat, [&] { AssignSecondaryStructure(molecule, ui); });
    int counts[kSecondaryStructureCodes] = {};
    for (const Chain& c : molecule.chains)
        for (const Residue& r : c.residues) ++counts[r.secondaryStructure];
    std::printf("%-22s %8d residues  parse %8.1f ms  assign %8.1f ms  (%.2f of parse, %.2f us/residue)  H %d E %d T %d C %d\n",
                name.c_str(), t.residues, 1e3 * t.parse, 1e3 * t.assign, t.assign / t.parse, 1e6 * t.assign / t.residues,
                counts[AlphaHelix], counts[Strand], counts[Turn], counts[Coil]);
    return t;
}

// The bond search alone, grid against all pairs, on one run of the file.
void SearchTimes(const std::string& path, int repeat) {
    SilentUiHooks ui;
    Molecule m;
    ReadCoordinateFile(m, path, false, false, PdbType, ui);
    int count = 1;
    while (count < static_cast<int>(m.chains.size()) && m.chains[count].model == m.chains[0].model) ++count;
    auto prepared = [&] {
        StrideRun run = BuildStrideRun(m, 0, count);
        MarkValidChains(run);
        ComputeBackboneAngles(run);
        AddAmideHydrogens(run);
        return run;
    };
    const StrideRun base = prepared();
    size_t bonds = 0;
    const double grid = Best(repeat, [&] { StrideRun run = base; FindHydrogenBonds(run, false); bonds = run.bonds.size(); });
    const double all = Best(repeat, [&] { StrideRun run = base; FindHydrogenBonds(run, true); });
    std::printf("bond search on the sample: grid %.1f ms, all pairs %.1f ms (%zu bonds)\n", 1e3 * grid, 1e3 * all, bonds);
}

}  // namespace

int main(int argc, char** argv) {
    int repeat = 5;
    std::string dir = (fs::temp_directory_path() / "velm-bench").string();
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--repeat" && i + 1 < argc) repeat = std::max(1, std::atoi(argv[++i]));
        else if (a == "--dir" && i + 1 < argc) dir = argv[++i];
        else {
            std::fprintf(stderr, "usage: stride_bench [--repeat N] [--dir DIR]\n");
            return 2;
        }
    }
    fs::create_directories(dir);
    std::string sample = std::string(VELM_SHARED_DATA) + "/pdb/4jsv.pdb";
    if (!fs::exists(sample)) sample = std::string(VELM_TEST_DATA) + "/4jsv.pdb.gz";
    std::printf("best of %d\n", repeat);
    Measure("4jsv (largest sample)", sample, repeat);
    SearchTimes(sample, repeat);
    Timing small, large;
    for (int residues : {10000, 100000}) {
        const std::string path = dir + "/stride_" + std::to_string(residues) + ".pdb";
        WriteGenerated(path, residues);
        (residues == 10000 ? small : large) = Measure("generated " + std::to_string(residues), path, repeat);
    }
    std::printf("100k / 10k: residues x%.1f, assignment time x%.1f, parse time x%.1f\n",
                static_cast<double>(large.residues) / small.residues, large.assign / small.assign,
                large.parse / small.parse);
    return 0;
}
