// The "Measure" and "Adjust Torsion Angle" windows driven with the mouse:
// four atoms picked in the view give the torsion the core computes, and the
// slider turns a picked bond by 60 degrees.
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

#include "app/MainFrame.h"
#include "app/MeasureWindows.h"
#include "app/QtSettingsStore.h"
#include "app/SceneView.h"
#include "app/VelmApplication.h"
#include "app/ViewController.h"
#include "core/RecordingUiHooks.h"
#include "measure/Measurement.h"
#include "model/CommandLine.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"
#include "render/OffscreenRenderer.h"

using namespace velm;

namespace {

struct Window {
    Window(const QString& settings, const std::string& file) : store(settings), app(store) {
        CommandLine c;
        c.Parse({file});
        app.Start(c);
        QVERIFY(QTest::qWaitForWindowExposed(&app.Frame()));
        for (int i = 0; i < 5; ++i) QTest::qWait(20);
    }
    QtSettingsStore store;
    DesktopApplication app;
};

struct Hit {
    PickResult pick;
    QPoint at;  // logical pixels of the view
};

// Points of the view where the core's own picking finds something new of
// the wanted kind, until `want` of them are found.
std::vector<Hit> FindPicks(Window& w, int kind, size_t want, const std::function<bool(const PickResult&)>& usable = {}) {
    Scene copy = w.app.View().scene;
    OffscreenRenderer picker(copy);
    RecordingUiHooks quiet;
    const qreal dpr = w.app.Frame().View().Widget()->devicePixelRatioF();
    std::vector<Hit> found;
    for (int gy = copy.settings.height / 4; gy < copy.settings.height * 3 / 4 && found.size() < want; gy += 12)
        for (int gx = copy.settings.width / 4; gx < copy.settings.width * 3 / 4 && found.size() < want; gx += 12) {
            const PickResult hit = PickOffscreen(picker, w.app.Document().Molecules(), gx, gy, quiet);
            if (hit.kind != kind || (usable && !usable(hit))) continue;
            bool seen = false;
            for (const Hit& h : found) seen = seen || h.pick.index == hit.index;
            if (!seen) found.push_back({hit, QPoint(static_cast<int>(gx / dpr), static_cast<int>(gy / dpr))});
        }
    return found;
}

void Click(QWidget* w, QPoint at) {
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
}

float TorsionOf(Molecule& m, std::array<int, 4> atoms) {
    Measurement measurement;
    for (int a : atoms) measurement.AddOrRemovePicked(1, a, &m);
    return measurement.Torsion();
}

}  // namespace

class MeasureWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void fourPickedAtomsShowTheirTorsion() {
        Window w(dir_.filePath(QStringLiteral("a.conf")), VELM_TEST_DATA "/1ubi.pdb");
        w.app.View().SetRenderMode(Cpk);
        const std::vector<Hit> atoms = FindPicks(w, PickResult::AtomHit, 4);
        QCOMPARE(atoms.size(), size_t{4});
        w.app.Frame().FindAction(QStringLiteral("Coordinates ..."))->trigger();
        CMeasureDialog* dialog = w.app.Frame().Measuring().Measure();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Measure"));
        for (const Hit& h : atoms) Click(w.app.Frame().View().Widget(), h.at);
        Molecule& m = *w.app.Document().Primary();
        const float expected = TorsionOf(m, {atoms[0].pick.index, atoms[1].pick.index, atoms[2].pick.index,
                                             atoms[3].pick.index});
        QCOMPARE(dialog->internal[5]->text(), QString::asprintf("%.3f", expected));
        QCOMPARE(dialog->cartesian[3][3]->text(), QString::number(m.atoms[static_cast<size_t>(atoms[3].pick.index)].serial));
        QCOMPARE(w.app.View().scene.markers.size(), size_t{4});
        // Asked again, the one window comes forward; closed, the markers go.
        w.app.Frame().FindAction(QStringLiteral("Coordinates ..."))->trigger();
        QCOMPARE(w.app.Frame().Measuring().Measure(), dialog);
        dialog->close();
        QTRY_VERIFY(!w.app.Frame().Measuring().Measure());
        QVERIFY(w.app.View().scene.markers.empty());
    }

    void theSliderTurnsAPickedBondBySixtyDegrees() {
        Window w(dir_.filePath(QStringLiteral("b.conf")), VELM_TEST_DATA "/1ubi.pdb");
        Molecule& m = *w.app.Document().Primary();
        // A bond with a neighbour at each end, so that a torsion runs through it.
        const auto inner = [&m](const PickResult& hit) {
            const Bond& b = m.bonds[static_cast<size_t>(hit.index)];
            return m.Partners(b.first).size() > 1 && m.Partners(b.second).size() > 1;
        };
        w.app.Frame().FindAction(QStringLiteral("Torsion Angle ..."))->trigger();
        CTorsionDialog* dialog = w.app.Frame().Measuring().Torsion();
        QVERIFY(dialog && dialog->isVisible());
        QVERIFY(!dialog->slider->isEnabled());
        const TorsionAdjuster& adjuster = w.app.Frame().Measuring().GetTorsionForm().Adjuster();
        for (const Hit& h : FindPicks(w, PickResult::BondHit, 40, inner)) {
            Click(w.app.Frame().View().Widget(), h.at);
            if (dialog->slider->isEnabled()) break;
            if (adjuster.Selected()) Click(w.app.Frame().View().Widget(), h.at);  // a ring bond: let it go
        }
        QVERIFY(dialog->slider->isEnabled());
        QCOMPARE(dialog->slider->value(), 180);
        const int a = adjuster.AtomA(), b = adjuster.AtomB();
        const auto other = [&m](int atom, int not_) {
            for (int p : m.Partners(atom))
                if (p != not_) return p;
            return -1;
        };
        const std::array<int, 4> torsion = {other(a, b), a, b, other(b, a)};
        const float before = TorsionOf(m, torsion);
        dialog->slider->setValue(240);
        QCOMPARE(dialog->label->text(), QStringLiteral("1.05"));
        const bool dSideTurns =
            std::binary_search(adjuster.Moving().begin(), adjuster.Moving().end(), torsion[3]);
        const double turned = std::remainder(TorsionOf(m, torsion) - before, 2 * M_PI);
        QVERIFY2(std::fabs(turned - (dSideTurns ? 1 : -1) * M_PI / 3) < 1e-3, qPrintable(QString::number(turned)));
    }
};

QTEST_MAIN(MeasureWindowTest)
#include "MeasureWindowTest.moc"
