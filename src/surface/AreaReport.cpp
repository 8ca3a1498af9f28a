#include "surface/AreaReport.h"

#include <cstdio>
#include <vector>

#include "core/UiHooks.h"
#include "model/Molecule.h"
#include "surface/SurfaceBuild.h"

namespace velm {

namespace {

void Row(std::string& text, int number, float area) {
    char line[64];
    std::snprintf(line, sizeof line, "%d\t%f\r\n", number, static_cast<double>(area));
    text += line;
}

}  // namespace

AreaReport SurfaceAreaReport(Molecule& m, AreaReportKind kind, UiHooks& ui) {
    const bool builtHere = !m.surface.built;
    if (builtHere) {
        WaitCursor wait(ui);
        if (!BuildSurface(m, ui)) {
            AreaReport stopped;
            stopped.cancelled = true;
            return stopped;
        }
    }
    std::vector<float> areas;
    try {
        if (m.surface.built || !builtHere) GetAtomSurfaceArea(m.surface, areas, m.AtomCount());
        else areas.assign(static_cast<size_t>(m.AtomCount()), 0.0f);  // no atoms: nothing to build
    } catch (...) {
        if (builtHere) m.surface.Discard();
        throw;
    }
    if (builtHere) m.surface.Discard();

    AreaReport report;
    float total = 0;
    if (kind == AreaReportKind::ByResidue) {
        report.caption = "Residue Surface Areas (in Angstrom^2)";
        for (const Chain& c : m.chains)
            for (const Residue& r : c.residues) {
                float sum = 0;
                for (int i : r.atoms) sum += areas[static_cast<size_t>(i)];
                Row(report.text, r.number, sum);
                total += sum;
            }
    } else {
        report.caption = "Atomic Surface Areas (in Angstrom^2)";
        for (size_t i = 0; i < m.atoms.size(); ++i) {
            Row(report.text, m.atoms[i].serial, areas[i]);
            total += areas[i];
        }
    }
    char last[96];
    std::snprintf(last, sizeof last, "###################################\n# Total Surface Area = %f", static_cast<double>(total));
    report.text += last;
    return report;
}

}  // namespace velm
