// The sequence tool's cost: building its rows from the primary molecule and
// refilling them after a change, and the window's fill (the list reset and
// painted), for the 2,750 residues of 4jsv and for 120,000 residues (4jsv's
// chains repeated as models). Beside them, from the same run: loading 4jsv
// whole, and the 15 ms frame interval the window keeps while playing.
//
//   sequence_bench [--repeat N]      (offscreen Qt unless QT_QPA_PLATFORM says otherwise)
#include <QApplication>
#include <QTableView>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "analysis/MakeDocument.h"
#include "core/UiHooks.h"
#include "dialogs/SequenceDialog.h"
#include "model/Molecule.h"
#include "model/SequenceTool.h"
#include "model/VelmDoc.h"

using namespace velm;
using velm::bench::Median;
using velm::bench::Now;

namespace {

// 4jsv's atoms once, its chains again and again as further models, up to
// `residues` rows; the rows read only the atoms' residue names.
std::unique_ptr<Molecule> Repeated(const Molecule& source, int residues) {
    auto m = std::make_unique<Molecule>();
    m->atoms = source.atoms;
    for (int model = 1, n = 0; n < residues; ++model)
        for (Chain c : source.chains) {
            if (n >= residues) break;
            if (static_cast<int>(c.residues.size()) > residues - n) c.residues.resize(static_cast<size_t>(residues - n));
            c.model = model;
            n += static_cast<int>(c.residues.size());
            m->chains.push_back(std::move(c));
        }
    return m;
}

// A change of what the rows show: the first residue's class flips.
void FlipFirstResidue(CVelmDoc& doc) {
    doc.EditMolecule(*doc.Primary(), DocumentChange::Display, [](Molecule& m) {
        Residue& r = m.chains.front().residues.front();
        r.secondaryStructure = r.secondaryStructure == Coil ? AlphaHelix : Coil;
    });
}

template <class F>
double Best(int repeat, F&& run) {
    std::vector<double> t;
    for (int i = 0; i < repeat; ++i) {
        const double t0 = Now();
        run();
        t.push_back(Now() - t0);
    }
    return Median(t) * 1e3;
}

}  // namespace

int main(int argc, char** argv) {
    int repeat = 7;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--repeat") repeat = std::max(1, std::atoi(argv[i + 1]));
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication qt(argc, argv);

    const std::string file = std::string(VELM_TEST_DATA) + "/4jsv.pdb.gz";
    SilentUiHooks ui;
    double load = 0;
    std::unique_ptr<Molecule> source;
    {
        std::vector<double> t;
        for (int i = 0; i < repeat; ++i) {
            auto doc = MakeDocument(ui);
            const double t0 = Now();
            if (!doc->AddMoleculeFromFile(file)) return 1;
            t.push_back(Now() - t0);
            if (!source) source = std::make_unique<Molecule>(*doc->Primary());
        }
        load = Median(t) * 1e3;
    }
    std::printf("reference: load 4jsv (22,194 atoms, 2,750 residues) %.2f ms; frame interval 15 ms\n", load);

    for (int residues : {2750, 120000}) {
        auto doc = MakeDocument(ui);
        doc->AddMolecule(Repeated(*source, residues));
        const int rows = doc->Primary()->ResidueCount();

        const double build = Best(repeat, [&] { SequenceTool tool(*doc); });
        SequenceTool tool(*doc);
        const double refill = Best(repeat, [&] { FlipFirstResidue(*doc); });
        const double unchanged = Best(repeat, [&] { tool.Fill(); });

        // The window: made, shown and painted; then a change refilled and painted.
        std::vector<double> open, refresh;
        for (int i = 0; i < repeat; ++i) {
            const double t0 = Now();
            auto* dialog = new CSequenceDialog(nullptr, *doc);
            dialog->show();
            dialog->list->viewport()->repaint();
            QApplication::processEvents();
            open.push_back(Now() - t0);
            const double t1 = Now();
            FlipFirstResidue(*doc);
            dialog->list->viewport()->repaint();
            QApplication::processEvents();
            refresh.push_back(Now() - t1);
            delete dialog;
        }
        std::printf("rows=%d model_build_ms=%.2f model_refill_ms=%.2f model_unchanged_fill_ms=%.2f "
                    "window_open_ms=%.2f window_refresh_ms=%.2f\n",
                    rows, build, refill, unchanged, Median(open) * 1e3, Median(refresh) * 1e3);
    }
    return 0;
}
