// The tool windows driven as a user drives them: the molecule list, the
// animation control and the surface options sheet, with the menus that
// open them.
#include <QApplication>
#include <QCheckBox>
#include <QRadioButton>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include "app/MainFrame.h"
#include "app/QtSettingsStore.h"
#include "app/VelmApplication.h"
#include "app/ViewController.h"
#include "dialogs/AnimateDialog.h"
#include "dialogs/ColourChooserDialog.h"
#include "dialogs/MoleculeListDialog.h"
#include "dialogs/SurfDialog.h"
#include "dialogs/TextReportDialog.h"
#include "gui/TestWindow.h"
#include "model/CommandLine.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"

using namespace velm;

namespace {

std::string Data(const char* name) { return std::string(VELM_TEST_DATA) + "/" + name; }

// Closes the modal windows shown while it lives, keeping the texts of message boxes.
class ModalCloser {
public:
    ModalCloser() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                texts << box->text();
                box->accept();
            } else if (auto* report = qobject_cast<TextReportDialog*>(modal)) {
                texts << report->windowTitle();
                report->accept();
            }
        });
        timer_.start();
    }
    QStringList texts;

private:
    QTimer timer_;
};

using Window = TestWindow;

}  // namespace

class ToolWindowsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    int settingsFiles_ = 0;
    QString Settings() { return dir_.filePath(QStringLiteral("Velm%1.conf").arg(++settingsFiles_)); }

private slots:
    void theListDeletesThePrimaryAndTogglesSelection() {
        Window w(Settings(), {Data("1ubi.pdb")});
        w.frame().OpenFiles({QString::fromStdString(Data("2hhb.pdb"))});
        w.Menu("Molecule Selection ...");
        CMoleculeListDialog* list = w.frame().MoleculeList();
        QVERIFY(list && list->isVisible());
        w.Menu("Molecule Selection ...");
        QCOMPARE(w.frame().MoleculeList(), list);  // one window, raised again
        QCOMPARE(list->list->topLevelItemCount(), 2);
        QCOMPARE(list->ChosenRows(), std::vector<int>{1});  // the primary's row
        QCOMPARE(list->list->topLevelItem(1)->text(1), QStringLiteral("Primary, Free"));

        QTest::mouseClick(list->deleteButton, Qt::LeftButton);
        QCOMPARE(w.doc().MoleculeCount(), 1);
        QCOMPARE(list->list->topLevelItemCount(), 1);
        QCOMPARE(list->list->topLevelItem(0)->text(0), QStringLiteral("1) ") + QString::fromStdString(Data("1ubi.pdb")));
        QCOMPARE(list->list->topLevelItem(0)->text(1), QStringLiteral("Primary, Free"));
        QVERIFY(w.frame().FindAction(QStringLiteral("CPK"))->isEnabled());

        QTest::mouseClick(list->duplicateButton, Qt::LeftButton);
        QCOMPARE(list->list->topLevelItemCount(), 2);
        QCOMPARE(list->list->topLevelItem(1)->text(2), QStringLiteral("X"));  // a full copy, selected too
        list->list->clearSelection();
        list->list->topLevelItem(1)->setSelected(true);
        QTest::mouseClick(list->selectionButton, Qt::LeftButton);
        QCOMPARE(list->list->topLevelItem(1)->text(2), QStringLiteral(" "));
        QVERIFY(!w.doc().Molecules()[1]->selected);
        // The primary stays selected.
        list->list->clearSelection();
        list->list->topLevelItem(0)->setSelected(true);
        QTest::mouseClick(list->selectionButton, Qt::LeftButton);
        QCOMPARE(list->list->topLevelItem(0)->text(2), QStringLiteral("X"));

        list->close();
        QTRY_VERIFY(!w.frame().MoleculeList());
        // Nothing is left listening: the document changes without the window.
        w.doc().DeleteMolecules({0, 1});
        QCOMPARE(w.doc().MoleculeCount(), 0);
    }

    void theAnimateWindowPlaysStopsAndFollowsTheView() {
        Window w(Settings(), {});
        w.doc().OpenCoordinatesAndTrajectory(Data("1ubi.pdb"), PdbType, Data("1ubi_20frames_le.dcd"), DcdType, 0);
        w.Menu("Animate ...");
        CAnimateDialog* animate = w.frame().Animate();
        QVERIFY(animate);
        QCOMPARE(animate->slider->maximum(), 20);
        const AnimationState& a = w.app.View().scene.settings.animation;
        QTest::mouseClick(animate->stop, Qt::LeftButton);
        QVERIFY(!a.playing);
        const int stopped = w.doc().CurrentAnimationFrame();
        QTest::qWait(100);
        QCOMPARE(w.doc().CurrentAnimationFrame(), stopped);

        QTest::mouseClick(animate->forward, Qt::LeftButton);
        QVERIFY(a.playing && a.playDirection == 0);
        QTRY_VERIFY(w.doc().CurrentAnimationFrame() != stopped);
        QTest::mouseClick(animate->stop, Qt::LeftButton);
        const int c = w.doc().CurrentAnimationFrame();
        QCOMPARE(animate->slider->value(), c);
        QCOMPARE(animate->frame->text(), QStringLiteral("Frame: %1").arg(c));
        QTest::qWait(100);
        QCOMPARE(w.doc().CurrentAnimationFrame(), c);

        animate->slider->setValue(7);
        QCOMPARE(w.doc().CurrentAnimationFrame(), 7);
        QCOMPARE(w.doc().Primary()->currentFrame, 7);
        QCOMPARE(animate->frame->text(), QStringLiteral("Frame: 7"));
        QTest::mouseClick(animate->reverse, Qt::LeftButton);
        QTRY_VERIFY(w.doc().CurrentAnimationFrame() < 7 || w.doc().CurrentAnimationFrame() > 10);
        QVERIFY(a.playing && a.playDirection == 1);
        animate->close();
        QTRY_VERIFY(!w.frame().Animate());
    }

    void theSurfaceSheetRebuildsTheSurface() {
        Window w(Settings(), {Data("1ubi.pdb")});
        ModalCloser modals;
        const VelmSurface& s = w.doc().Primary()->surface;
        // Escape while the progress bar and the wait cursor are shown stops the build.
        bool progressShown = false, waitCursor = false;
        QTimer::singleShot(0, [&] {
            progressShown = w.frame().Progress() != nullptr;
            waitCursor = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            QTest::keyClick(&w.frame(), Qt::Key_Escape);
        });
        w.Menu("Solid");
        QVERIFY(progressShown && waitCursor);
        QVERIFY(!s.built && !w.frame().Progress() && !QApplication::overrideCursor());
        QVERIFY(!w.frame().FindAction(QStringLiteral("Solid"))->isChecked());
        w.Menu("Solid");
        QVERIFY(s.built && s.style == SolidSurface);
        QVERIFY(w.frame().FindAction(QStringLiteral("Solid"))->isChecked());
        const int before = s.VertexCount();

        w.Menu("Surface Options ...");
        CSurfDialog* sheet = w.frame().SurfaceOptions();
        QVERIFY(sheet);
        QCOMPARE(sheet->pages->currentWidget(), static_cast<QWidget*>(sheet->renderPage));
        w.Menu("Surface ...");  // a second open leaves the sheet as it is
        QCOMPARE(w.frame().SurfaceOptions(), sheet);
        QCOMPARE(sheet->pages->currentWidget(), static_cast<QWidget*>(sheet->renderPage));

        sheet->renderPage->probe->setText(QStringLiteral("5"));
        QTest::mouseClick(sheet->renderPage->rebuild, Qt::LeftButton);
        QTRY_COMPARE(modals.texts, QStringList{QStringLiteral("Please enter a number between 0 and 3.")});
        QCOMPARE(s.VertexCount(), before);

        sheet->renderPage->probe->setText(QStringLiteral("1.4"));
        sheet->renderPage->resolution->setValue(40);
        QTest::mouseClick(sheet->renderPage->rebuild, Qt::LeftButton);
        QVERIFY(s.built);
        QCOMPARE(s.spacing, (100 - 40) * 0.0165f + 0.1f);
        QCOMPARE(s.probeRadius, 1.4f);
        QVERIFY(s.VertexCount() != before);
        QVERIFY(!w.frame().Progress());  // the progress bar is gone again

        // Mesh restyles without a rebuild; Mesh again discards.
        w.Menu("Mesh");
        QVERIFY(s.built && w.frame().FindAction(QStringLiteral("Mesh"))->isChecked());
        QVERIFY(!w.frame().FindAction(QStringLiteral("Solid"))->isChecked());
        w.Menu("Mesh");
        QVERIFY(!s.built && !w.frame().FindAction(QStringLiteral("Mesh"))->isChecked());

        // A report builds a surface of its own and leaves none behind.
        w.Menu("by residue ...");
        QTRY_COMPARE(modals.texts.size(), 2);
        QCOMPARE(modals.texts.back(), QStringLiteral("Residue Surface Areas (in Angstrom^2)"));
        QVERIFY(!s.built);

        // A user colour from the picker's Apply applies at once; Cancel closes both.
        CSurfColorProperty* colour = sheet->colorPage;
        colour->userColour->click();
        QVERIFY(!s.colourByAtom && colour->components[0]->isEnabled() && !colour->transparency->isEnabled());
        QTest::mouseClick(colour->chooseColour, Qt::LeftButton);
        QPointer<CColourChooserDialog> picker = colour->Picker();
        QVERIFY(picker);
        const int rgba[4] = {10, 20, 30, 40};
        for (size_t i = 0; i < 4; ++i) picker->edits[i]->setValue(rgba[i]);
        QTest::mouseClick(picker->apply, Qt::LeftButton);
        QCOMPARE(colour->components[2]->text(), QStringLiteral("30"));
        QCOMPARE(s.userColour, (Rgba{10, 20, 30, 40}));
        QTest::mouseClick(sheet->cancel, Qt::LeftButton);
        QTRY_VERIFY(!w.frame().SurfaceOptions() && !picker);
    }
};

QTEST_MAIN(ToolWindowsTest)
#include "ToolWindowsTest.moc"
