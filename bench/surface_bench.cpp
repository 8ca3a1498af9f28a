// Molecular surfaces and display hydrogen bonds: build time with one thread
// and with all of them (the arrays must be identical), grid points, vertices
// and triangles; hydrogen-bond recomputation time.
//   surface_bench FILE [--solvent] [--repeat N]     one surface line
//   surface_bench --hbonds FILE [--repeat N]        one hydrogen-bond line
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/UiHooks.h"
#include "model/VelmDoc.h"
#include "surface/HydrogenBonds.h"
#include "surface/SurfaceBuild.h"

using namespace velm;

namespace {

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    std::string file;
    bool solvent = false, hbonds = false;
    int repeat = 3;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--solvent")) solvent = true;
        else if (!std::strcmp(argv[i], "--hbonds")) hbonds = true;
        else if (!std::strcmp(argv[i], "--repeat") && i + 1 < argc) repeat = std::atoi(argv[++i]);
        else file = argv[i];
    }
    SilentUiHooks ui;
    CVelmDoc doc(ui);
    doc.options.computeSecondaryStructure = 0;
    if (file.empty() || !doc.AddMoleculeFromFile(file)) {
        std::fprintf(stderr, "surface_bench: cannot load %s\n", file.c_str());
        return 1;
    }
    Molecule& m = *doc.primary;
    if (hbonds) {
        std::vector<double> t;
        RecomputeHydrogenBonds(doc);
        for (int r = 0; r < std::max(repeat, 1); ++r) {
            const double a = Now();
            RecomputeHydrogenBonds(doc);
            t.push_back(Now() - a);
        }
        std::printf("| %s | %d | %d | %.2f | %.2f |\n", file.c_str(), m.AtomCount(), doc.hydrogenBonds.Count(),
                    1e3 * Median(t), 1e3 * *std::min_element(t.begin(), t.end()));
        return 0;
    }
    m.surface.includeSolvent = solvent;
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    std::vector<double> serial, parallel;
    VelmSurface one, many;
    for (int r = 0; r < repeat; ++r) {
        double a = Now();
        BuildSurface(m, ui, 1);
        serial.push_back(Now() - a);
        one = m.surface;
        a = Now();
        BuildSurface(m, ui, cores);
        parallel.push_back(Now() - a);
        many = m.surface;
    }
    const bool identical = one.vertices == many.vertices && one.normals == many.normals &&
                           one.nearestAtom == many.nearestAtom && one.indices == many.indices;
    // Grid points as the build lays them out.
    const AtomBox box(m, m.surface);
    long long points = 1;
    const Vec3 lo = box.Minimum(), hi = box.Maximum();
    for (double extent : {hi.x - lo.x, hi.y - lo.y, hi.z - lo.z}) points *= static_cast<long long>(extent / m.surface.spacing) + 1;
    int drawn = 0;
    for (const Atom& atom : m.atoms) drawn += solvent || !atom.hetero;
    std::printf("| %s%s | %d | %lld | %d | %d | %.3f | %.3f | %d | %.2f | %s |\n", file.c_str(), solvent ? " (with solvent)" : "",
                drawn, points, many.VertexCount(), many.TriangleCount(), Median(serial), Median(parallel), cores,
                Median(serial) / Median(parallel), identical ? "yes" : "NO");
    return identical ? 0 : 2;
}
