#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "core/RecordingUiHooks.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"
#include "surface/AreaReport.h"
#include "surface/SurfaceBuild.h"
#include "support/TestData.h"

using namespace velm;

namespace {

constexpr const char* kTotalRule = "###################################\n# Total Surface Area = ";

double MeshArea(const VelmSurface& s) {
    double area = 0;
    for (size_t t = 0; t < s.indices.size(); t += 3) {
        Vec3 p[3];
        for (int k = 0; k < 3; ++k) {
            const size_t v = 3 * static_cast<size_t>(s.indices[t + static_cast<size_t>(k)]);
            p[k] = {s.vertices[v], s.vertices[v + 1], s.vertices[v + 2]};
        }
        const Vec3 a = p[1] - p[0], b = p[2] - p[0];
        area += Length(Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}) / 2;
    }
    return area;
}

// The report's rows as number -> area, in order, and its total.
struct Parsed {
    std::vector<std::pair<int, double>> rows;
    double total = -1;
};

Parsed Parse(const std::string& text) {
    Parsed p;
    const size_t rule = text.find(kTotalRule);
    EXPECT_NE(rule, std::string::npos) << text;
    if (rule == std::string::npos) return p;
    std::istringstream rows(text.substr(0, rule));
    for (std::string line; std::getline(rows, line);) {
        EXPECT_TRUE(!line.empty() && line.back() == '\r') << line;
        int n;
        double a;
        EXPECT_EQ(std::sscanf(line.c_str(), "%d\t%lf", &n, &a), 2) << line;
        p.rows.push_back({n, a});
    }
    p.total = std::stod(text.substr(rule + std::string(kTotalRule).size()));
    return p;
}

class Loaded {
public:
    explicit Loaded(const std::string& name) : doc(ui) {
        doc.options.computeSecondaryStructure = 0;
        EXPECT_EQ(doc.AddMoleculeFromFile(test::DataPath(name)), 1);
    }
    Molecule& molecule() { return *doc.Primary(); }
    RecordingUiHooks ui;
    CVelmDoc doc;
};

TEST(AtomSurfaceArea, SharesAddUpToTheMeshAreaAndSkipHeteroAtoms) {
    Loaded ubi("1ubi.pdb");
    Molecule& m = ubi.molecule();
    BuildSurface(m, ubi.ui, 1);
    std::vector<float> areas(5, 99.0f);
    EXPECT_EQ(GetAtomSurfaceArea(m.surface, areas, m.AtomCount()), 3 * m.surface.TriangleCount());
    ASSERT_EQ(areas.size(), static_cast<size_t>(m.AtomCount()));
    const double mesh = MeshArea(m.surface);
    EXPECT_NEAR(std::accumulate(areas.begin(), areas.end(), 0.0), mesh, 1e-4 * mesh);
    int hetero = 0;
    for (int i = 0; i < m.AtomCount(); ++i) {
        EXPECT_GE(areas[static_cast<size_t>(i)], 0);
        if (m.atoms[static_cast<size_t>(i)].hetero) {
            ++hetero;
            EXPECT_EQ(areas[static_cast<size_t>(i)], 0) << "hetero atom " << i;
        }
    }
    EXPECT_GT(hetero, 0);

    // A nearest atom beyond the count given is an error.
    EXPECT_THROW(GetAtomSurfaceArea(m.surface, areas, 10), std::exception);
}

TEST(AtomSurfaceArea, BuriedAtomsGetNothing) {
    Molecule m;
    for (double r : {2.0, 0.6}) {
        Atom a;
        a.radius = r;
        a.x = 0.1;  // the small atom sits in the middle of the large one
        m.atoms.push_back(a);
    }
    RecordingUiHooks ui;
    BuildSurface(m, ui, 1);
    std::vector<float> areas;
    GetAtomSurfaceArea(m.surface, areas, 2);
    EXPECT_GT(areas[0], 40);
    EXPECT_EQ(areas[1], 0);
}

TEST(AreaReport, AtomTotalIsTheMeshAreaAndResidueRowsSumTheirAtoms) {
    Loaded pept("pept.pdb");
    Molecule& m = pept.molecule();
    BuildSurface(m, pept.ui, 1);
    const double mesh = MeshArea(m.surface);
    std::vector<float> areas;
    GetAtomSurfaceArea(m.surface, areas, m.AtomCount());

    const AreaReport byAtom = SurfaceAreaReport(m, AreaReportKind::ByAtom, pept.ui);
    EXPECT_EQ(byAtom.caption, "Atomic Surface Areas (in Angstrom^2)");
    const Parsed atoms = Parse(byAtom.text);
    ASSERT_EQ(atoms.rows.size(), static_cast<size_t>(m.AtomCount()));
    for (int i = 0; i < m.AtomCount(); ++i) {
        EXPECT_EQ(atoms.rows[static_cast<size_t>(i)].first, m.atoms[static_cast<size_t>(i)].serial);
        EXPECT_NEAR(atoms.rows[static_cast<size_t>(i)].second, areas[static_cast<size_t>(i)], 1e-6);
    }
    EXPECT_NEAR(atoms.total, mesh, 1e-4 * mesh);

    const AreaReport byResidue = SurfaceAreaReport(m, AreaReportKind::ByResidue, pept.ui);
    EXPECT_EQ(byResidue.caption, "Residue Surface Areas (in Angstrom^2)");
    const Parsed residues = Parse(byResidue.text);
    std::vector<std::pair<int, double>> expected;
    for (const Chain& c : m.chains)
        for (const Residue& r : c.residues) {
            double sum = 0;
            for (int i : r.atoms) sum += areas[static_cast<size_t>(i)];
            expected.push_back({r.number, sum});
        }
    ASSERT_EQ(residues.rows.size(), expected.size());
    ASSERT_GT(expected.size(), 5u);
    double sum = 0;
    for (size_t k = 0; k < expected.size(); ++k) {
        EXPECT_EQ(residues.rows[k].first, expected[k].first);
        EXPECT_NEAR(residues.rows[k].second, expected[k].second, 1e-4);
        sum += residues.rows[k].second;
    }
    EXPECT_NEAR(residues.total, sum, 1e-3);
}

TEST(AreaReport, ExactTextOfASingleAtom) {
    Molecule m;
    Atom a;
    a.radius = 1.5;
    a.serial = 42;
    m.atoms.push_back(a);
    RecordingUiHooks ui;
    const AreaReport report = SurfaceAreaReport(m, AreaReportKind::ByAtom, ui);
    BuildSurface(m, ui, 1);
    std::vector<float> areas;
    GetAtomSurfaceArea(m.surface, areas, 1);
    char expected[200];
    std::snprintf(expected, sizeof expected, "42\t%f\r\n###################################\n# Total Surface Area = %f",
                  static_cast<double>(areas[0]), static_cast<double>(areas[0]));
    EXPECT_EQ(report.text, expected);

    // No chains: the residue report is the total line alone.
    const AreaReport residues = SurfaceAreaReport(m, AreaReportKind::ByResidue, ui);
    EXPECT_EQ(residues.text, "###################################\n# Total Surface Area = 0.000000");
}

TEST(AreaReport, LeavesTheDisplayedSurfaceAsItWas) {
    Loaded pept("pept.pdb");
    Molecule& m = pept.molecule();

    // Absent before, absent after.
    const AreaReport built = SurfaceAreaReport(m, AreaReportKind::ByAtom, pept.ui);
    EXPECT_FALSE(m.surface.built);
    EXPECT_TRUE(m.surface.vertices.empty());
    EXPECT_EQ(pept.ui.with("progress-begin:").size(), 1u);
    EXPECT_EQ(pept.ui.waitDepth, 0);

    // Shown before: used as it is and kept.
    m.surface.style = MeshSurface;
    BuildSurface(m, pept.ui, 1);
    const float* data = m.surface.vertices.data();
    const AreaReport shown = SurfaceAreaReport(m, AreaReportKind::ByAtom, pept.ui);
    EXPECT_TRUE(m.surface.built);
    EXPECT_EQ(m.surface.vertices.data(), data);
    EXPECT_EQ(m.surface.style, MeshSurface);
    EXPECT_EQ(pept.ui.with("progress-begin:").size(), 2u);
    EXPECT_EQ(shown.text, built.text);

    // A molecule without atoms reports a zero total.
    Molecule empty;
    EXPECT_EQ(SurfaceAreaReport(empty, AreaReportKind::ByAtom, pept.ui).text,
              "###################################\n# Total Surface Area = 0.000000");
}

}  // namespace
