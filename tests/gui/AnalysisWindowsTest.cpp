// The sequence tool and the alignment dialog driven from the window's menus,
// as a user drives them.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "app/MainFrame.h"
#include "app/QtSettingsStore.h"
#include "app/VelmApplication.h"
#include "dialogs/AlignmentDialog.h"
#include "dialogs/ColourChooserDialog.h"
#include "dialogs/SelectAtomsDialog.h"
#include "dialogs/SequenceDialog.h"
#include "model/CommandLine.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"

using namespace velm;

namespace {

QString Data(const char* name) { return QStringLiteral(VELM_TEST_DATA "/") + QLatin1String(name); }

struct Window {
    explicit Window(const QString& settings) : store(settings), app(store) {
        app.Start(CommandLine{});
        QVERIFY(QTest::qWaitForWindowExposed(&app.Frame()));
    }
    CMainFrame& frame() { return app.Frame(); }
    CVelmDoc& doc() { return app.Document(); }
    QtSettingsStore store;
    DesktopApplication app;
};

void ClickRow(QTableView* list, int row) {
    const QRect r = list->visualRect(list->model()->index(row, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, r.center());
}

// "Add ..." of one side: in "Select Atoms", only alpha carbons, the first three lines.
void AddThreeAlphaCarbons(CAlignmentDialog* dialog, int side) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* chooser = qobject_cast<CSelectAtomsDialog*>(QApplication::activeModalWidget());
        if (!chooser) return;
        seen = true;
        chooser->filters[2]->click();
        for (int row = 0; row < 3; ++row) chooser->list->item(row)->setSelected(true);
        chooser->accept();
    });
    dialog->add[static_cast<size_t>(side)]->click();
    QVERIFY(seen);
}

}  // namespace

class AnalysisWindowsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    int settingsFiles_ = 0;
    QString Settings() { return dir_.filePath(QStringLiteral("Velm%1.conf").arg(++settingsFiles_)); }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void colourThreeResiduesFromTheSequenceTool() {
        Window w(Settings());
        QAction* open = w.frame().FindAction(QStringLiteral("Secondary Structure ..."));
        QAction* protein = w.frame().FindAction(QStringLiteral("Protein ..."));
        QVERIFY(!open->isEnabled());
        w.frame().OpenFiles({Data("1ubi.pdb")});
        QVERIFY(open->isEnabled() && protein->isEnabled());
        protein->trigger();
        CSequenceDialog* tool = w.frame().SequenceDialog();
        QVERIFY(tool && tool->isVisible());
        QCOMPARE(tool->windowTitle(), QStringLiteral("Sequence Tool"));
        QVERIFY(!open->isEnabled());  // one instance
        QCOMPARE(tool->list->model()->rowCount(), w.doc().Primary()->ResidueCount());
        QCOMPARE(tool->list->model()->index(1, 3).data().toString(), QStringLiteral("Strand"));

        for (int row : {2, 5, 9}) ClickRow(tool->list, row);
        QCOMPARE(tool->Tool().Selection(), (std::vector<int>{2, 5, 9}));
        tool->colour->click();
        CColourChooserDialog* chooser = tool->Chooser();
        QVERIFY(chooser && chooser->isVisible());
        const Molecule& m = *w.doc().Primary();
        const Rgba before = m.atoms[static_cast<size_t>(m.chains[0].residues[2].alphaCarbon)].colour;
        QCOMPARE(chooser->Colour(), before);
        const int rgba[4] = {250, 20, 200, 255};
        for (size_t i = 0; i < 4; ++i) chooser->edits[i]->setValue(rgba[i]);
        chooser->ok->click();
        QTRY_VERIFY(!tool->Chooser());

        const Rgba chosen{250, 20, 200, 255};
        int coloured = 0;
        for (size_t r = 0; r < m.chains[0].residues.size(); ++r)
            for (int atom : m.chains[0].residues[r].atoms) {
                const bool wanted = r == 2 || r == 5 || r == 9;
                QCOMPARE(m.atoms[static_cast<size_t>(atom)].colour == chosen, wanted);
                coloured += wanted;
            }
        QVERIFY(coloured > 3 * 4);

        tool->close->click();
        QTRY_VERIFY(!w.frame().SequenceDialog());
        QTRY_VERIFY(open->isEnabled());
    }

    void alignTwoMoleculesOnThreeAtomsAndReadTheRmsd() {
        Window w(Settings());
        w.frame().OpenFiles({Data("1ubi.pdb"), Data("1ubi.pdb")});
        // B turned a quarter about z and moved: placed far from A.
        Molecule& b = *w.doc().Molecules()[1];
        b.trackball.orientation[2] = static_cast<float>(std::sqrt(0.5));
        b.trackball.orientation[3] = static_cast<float>(std::sqrt(0.5));
        b.trackball.translation[0] = 4;

        QAction* align = w.frame().FindAction(QStringLiteral("Align Molecules ..."));
        QCOMPARE(align->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
        align->trigger();
        CAlignmentDialog* dialog = w.frame().AlignmentDialog();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Select Alignment Atoms"));
        QCOMPARE(dialog->rmsdText->text(), QStringLiteral("RMSD = --"));
        dialog->molecules[1]->setCurrentIndex(1);
        AddThreeAlphaCarbons(dialog, 0);
        AddThreeAlphaCarbons(dialog, 1);
        QCOMPARE(dialog->list->rowCount(), 3);
        QCOMPARE(dialog->list->item(0, 1)->text(), QStringLiteral("2:CA:MET1"));

        dialog->rmsd->click();
        QVERIFY(dialog->rmsdText->text() != QStringLiteral("RMSD = 0.000"));
        dialog->align->click();
        QCOMPARE(dialog->rmsdText->text(), QStringLiteral("RMSD = 0.000"));

        // The scene moves B: the figure follows.
        b.trackball.translation[1] += 2;
        w.doc().AnnounceSceneMoved();
        QCOMPARE(dialog->rmsdText->text(), QStringLiteral("RMSD = 2.000"));

        dialog->cancel->click();
        QTRY_VERIFY(!w.frame().AlignmentDialog());
    }
};

QTEST_MAIN(AnalysisWindowsTest)
#include "AnalysisWindowsTest.moc"
