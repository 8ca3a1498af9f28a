// The window driven as a user drives it: menus, mouse, dialogs, settings
// and what it shows. Runs on the offscreen platform (the view shows the EGL
// core's images), at a device pixel ratio of 2, and under Xvfb with the GL view.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "app/MainFrame.h"
#include "app/QtSettingsStore.h"
#include "app/SceneView.h"
#include "app/VelmApplication.h"
#include "app/ViewController.h"
#include "batch/IniSettingsFile.h"
#include "core/RecordingUiHooks.h"
#include "dialogs/OpenCoordinatesAndTrajectoryDialog.h"
#include "dialogs/SaveCoordinatesDialog.h"
#include "dialogs/FileNameRow.h"
#include "dialogs/TrajectoryProgressDialog.h"
#include "model/CommandLine.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"
#include "output/SettingsTable.h"
#include "render/ClipPlane.h"
#include "render/OffscreenRenderer.h"
#include "render/SceneRenderer.h"
#include "support/BatchRun.h"

using namespace velm;

namespace {

std::string Data(const char* name) { return std::string(VELM_TEST_DATA) + "/" + name; }

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Answers the message boxes the window shows while it lives, keeping their texts.
class MessageBoxes {
public:
    explicit MessageBoxes(bool answerYes = false) : yes_(answerYes) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            texts << box->text();
            QAbstractButton* b = box->button(yes_ ? QMessageBox::Yes : QMessageBox::No);
            if (!b) b = box->button(QMessageBox::Ok);
            if (b) b->click();
            else box->reject();
        });
        timer_.start();
    }
    QStringList texts;

private:
    bool yes_;
    QTimer timer_;
};

// A window of its own settings file, made as the program makes it.
struct Window {
    explicit Window(const QString& settings, std::vector<std::string> files = {})
        : store(settings), app(store) {
        CommandLine c;
        c.Parse(files);
        app.Start(c);
        QVERIFY(QTest::qWaitForWindowExposed(&app.Frame()));
        Settle();
    }
    void Settle() {
        // A paint or two, whatever the platform posts.
        for (int i = 0; i < 5; ++i) QTest::qWait(20);
    }
    CMainFrame& frame() { return app.Frame(); }
    ViewController& view() { return app.View(); }
    CVelmDoc& doc() { return app.Document(); }
    QWidget* widget() { return app.Frame().View().Widget(); }

    QtSettingsStore store;
    DesktopApplication app;
};

void SendMouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held,
               Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, held, mods);
    QApplication::sendEvent(w, &e);
}

// The scene as the core draws it off screen at the view's size, top row first.
QImage CoreImage(const Scene& scene, const CVelmDoc& doc) {
    Scene copy = scene;
    OffscreenRenderer offscreen(copy);
    OffscreenRenderer::Session session(offscreen, copy.settings.width, copy.settings.height);
    session.Renderer().SetProjection();
    session.Renderer().RenderPass(doc.Molecules(), 0);
    const std::vector<std::uint8_t> pixels = session.ReadPixels();
    QImage image(copy.settings.width, copy.settings.height, QImage::Format_RGBA8888);
    const size_t row = static_cast<size_t>(copy.settings.width) * 4;
    for (int y = 0; y < copy.settings.height; ++y)
        std::memcpy(image.scanLine(copy.settings.height - 1 - y), pixels.data() + row * static_cast<size_t>(y), row);
    return image;
}

// A DCD file of `steps` copies of the molecule's coordinates.
void WriteDcd(const std::string& path, const Molecule& m, int steps) {
    std::ofstream out(path, std::ios::binary);
    const auto i32 = [&](std::int32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    i32(84);
    out.write("CORD", 4);
    i32(steps);
    for (int i = 0; i < 19; ++i) i32(0);
    i32(84);
    i32(84);
    i32(1);
    out.write(std::string(80, ' ').data(), 80);
    i32(84);
    i32(4);
    i32(m.AtomCount());
    i32(4);
    std::vector<float> axis(static_cast<size_t>(m.AtomCount()));
    for (int s = 0; s < steps; ++s)
        for (int a = 0; a < 3; ++a) {
            for (int i = 0; i < m.AtomCount(); ++i) {
                const Vec3 p = m.Position(i, 0);
                axis[static_cast<size_t>(i)] = static_cast<float>(a == 0 ? p.x : a == 1 ? p.y : p.z);
            }
            i32(4 * m.AtomCount());
            out.write(reinterpret_cast<const char*>(axis.data()), static_cast<std::streamsize>(4 * axis.size()));
            i32(4 * m.AtomCount());
        }
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    int settingsFiles_ = 0;
    // Each test starts from settings of its own.
    QString Settings() { return dir_.filePath(QStringLiteral("Velm%1.conf").arg(++settingsFiles_)); }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void menusCheckAndEnablePerThePrimaryMolecule() {
        Window w(Settings());
        QCOMPARE(w.frame().windowTitle(), QStringLiteral("No Molecule loaded - Velm"));
        for (const char* item : {"CPK", "Wire Frame", "Solid Ribbon", "Solvent", "Atom Labels"})
            QVERIFY2(!w.frame().FindAction(QString::fromLatin1(item))->isEnabled(), item);
        QVERIFY(w.frame().FindAction(QStringLiteral("Depth Cue"))->isEnabled());

        w.frame().OpenFiles({QString::fromStdString(Data("1ubi.pdb"))});
        QCOMPARE(w.frame().windowTitle(), QString::fromStdString(Data("1ubi.pdb")) + QStringLiteral(" - Velm"));
        QAction* cpk = w.frame().FindAction(QStringLiteral("CPK"));
        QAction* wire = w.frame().FindAction(QStringLiteral("Wire Frame"));
        QAction* solvent = w.frame().FindAction(QStringLiteral("Solvent"));
        QVERIFY(cpk->isEnabled() && wire->isChecked() && !cpk->isChecked());
        cpk->trigger();
        QVERIFY(cpk->isChecked() && !wire->isChecked());
        QCOMPARE(w.doc().Primary()->renderMode, Cpk);
        solvent->trigger();
        QVERIFY(solvent->isChecked());

        // A second molecule becomes primary, alone selected: the marks follow it.
        w.frame().OpenFiles({QString::fromStdString(Data("2hhb.pdb"))});
        QVERIFY(wire->isChecked() && !cpk->isChecked() && !solvent->isChecked());
        QCOMPARE(w.doc().Molecules()[0]->renderMode, Cpk);

        // Scene toggles flip their flag and mark.
        QAction* depthCue = w.frame().FindAction(QStringLiteral("Depth Cue"));
        const bool was = w.view().scene.settings.depthCue;
        depthCue->trigger();
        QCOMPARE(w.view().scene.settings.depthCue, !was);
        QCOMPARE(depthCue->isChecked(), !was);
        w.frame().FindAction(QStringLiteral("4"))->trigger();
        QCOMPARE(w.view().scene.settings.lineWidth, 4.0f);
        QVERIFY(w.frame().FindAction(QStringLiteral("4"))->isChecked());
        QVERIFY(!w.frame().FindAction(QStringLiteral("2"))->isChecked());
        w.frame().FindAction(QStringLiteral("Low"))->trigger();
        QCOMPARE(w.view().scene.settings.quality.Values().atom, 8);
        QVERIFY(w.frame().FindAction(QStringLiteral("Low"))->isChecked());
    }

    void theFrameLoopThrottlesSpinsAndPlays() {
        Window w(Settings());
        w.frame().OpenFiles({QString::fromStdString(Data("1ubi.pdb"))});
        ViewController& v = w.view();
        std::vector<int> asked;
        v.Hooks().redrawIn = [&asked](int ms) { asked.push_back(ms); };
        AnimationState& a = v.scene.settings.animation;
        a = AnimationState{};
        QVERIFY(v.BeginFrame(1000));  // still: every paint draws, nothing more is asked
        QVERIFY(asked.empty());
        TrackballStep(v.scene.trackball.spin, 0, 0, 0.05f, 0, 0.8f);
        a.spinning = a.animating = true;
        v.scene.settings.lastFrameMs = 990;
        const float w0 = v.scene.trackball.orientation[3];
        QVERIFY(!v.BeginFrame(1000));  // 10 ms after the last frame
        QCOMPARE(asked, std::vector<int>{5});
        QCOMPARE(v.scene.trackball.orientation[3], w0);
        QVERIFY(v.BeginFrame(1005));
        QCOMPARE(asked.back(), ViewController::kFrameIntervalMs);
        QVERIFY(v.scene.trackball.orientation[3] < w0);  // turned by its spin
        // Measured from the start of the last drawn frame: a frame that took
        // longer than 15 ms is followed at once.
        QVERIFY(v.BeginFrame(1020));
        QVERIFY(!v.BeginFrame(1034));
        // A trajectory read starts playing; each drawn frame steps it.
        w.doc().OpenCoordinatesAndTrajectory(Data("1ubi.pdb"), PdbType, Data("1ubi_20frames_le.dcd"), DcdType, 0);
        QVERIFY(a.playing && a.animating);
        QCOMPARE(w.doc().CurrentAnimationFrame(), 0);
        v.EndFrame();
        v.EndFrame();
        QCOMPARE(w.doc().CurrentAnimationFrame(), 2);
        // A modal dialog stops it and shows frame 0; afterwards it plays on from where it was.
        {
            ViewController::Pause pause(v);
            QVERIFY(!a.playing && !a.animating);
            QCOMPARE(w.doc().CurrentAnimationFrame(), 0);
        }
        QVERIFY(a.playing && a.animating);
        QCOMPARE(w.doc().CurrentAnimationFrame(), 2);
    }

    void failedOpenLeavesTheDocumentAndTheWindowAsTheyWere() {
        MessageBoxes boxes;
        Window w(Settings(), {Data("1ubi.pdb")});
        const QString title = w.frame().windowTitle();
        const QString pane0 = w.frame().PaneText(0);
        const std::string bad = dir_.filePath(QStringLiteral("bad.pdb")).toStdString();
        std::ofstream(bad) << "REMARK nothing here\n";
        w.frame().OpenFiles({QString::fromStdString(bad)});
        QCOMPARE(boxes.texts, QStringList{QStringLiteral("Unable to read file")});
        QCOMPARE(w.doc().MoleculeCount(), 1);
        QCOMPARE(w.frame().windowTitle(), title);
        QCOMPARE(w.frame().PaneText(0), pane0);
        QCOMPARE(w.app.Recent().Files().size(), size_t{1});

        // A file dropped on the window opens as Open Coord opens it.
        QMimeData dropped;
        dropped.setUrls({QUrl::fromLocalFile(QString::fromStdString(Data("2hhb.pdb")))});
        const QPointF centre(w.frame().width() / 2.0, w.frame().height() / 2.0);
        QDragEnterEvent enter(centre.toPoint(), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w.frame(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(centre, Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&w.frame(), &drop);
        QCOMPARE(w.doc().MoleculeCount(), 2);
        QCOMPARE(w.frame().windowTitle(), QString::fromStdString(Data("2hhb.pdb")) + QStringLiteral(" - Velm"));
        QCOMPARE(w.app.Recent().Files().front(), Data("2hhb.pdb"));
    }

    void clickOnAnAtomFillsPanesOneToThree() {
        Window w(Settings(), {Data("1ubi.pdb")});
        w.view().SetRenderMode(Cpk);
        w.Settle();
        const ViewSettings& s = w.view().scene.settings;
        // An atom under some point, found by the core's own picking.
        Scene copy = w.view().scene;
        OffscreenRenderer picker(copy);
        RecordingUiHooks quiet;
        PickResult hit;
        int x = 0, y = 0;
        for (int gy = s.height / 4; gy < s.height && hit.kind != PickResult::AtomHit; gy += 16)
            for (int gx = s.width / 4; gx < s.width && hit.kind != PickResult::AtomHit; gx += 16) {
                hit = PickOffscreen(picker, w.doc().Molecules(), gx, gy, quiet);
                x = gx;
                y = gy;
            }
        QVERIFY(hit.kind == PickResult::AtomHit);
        const qreal dpr = w.widget()->devicePixelRatioF();
        const QPoint at(static_cast<int>(x / dpr), static_cast<int>(y / dpr));
        SendMouse(w.widget(), QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
        SendMouse(w.widget(), QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
        const PickedAtomText expected = DescribePickedAtom(*hit.molecule, hit.index);
        QCOMPARE(w.frame().PaneText(1).toStdString(), expected.serial);
        QCOMPARE(w.frame().PaneText(2).toStdString(), expected.name);
        QCOMPARE(w.frame().PaneText(3).toStdString(), expected.residue);
    }

    void dragsTurnTheSceneAndCtrlDragsMoveTheClippingPlane() {
        Window w(Settings(), {Data("1ubi.pdb")});
        QWidget* v = w.widget();
        const qreal dpr = v->devicePixelRatioF();
        const ViewSettings& s = w.view().scene.settings;
        QCOMPARE(s.width, static_cast<int>(std::lround(v->width() * dpr)));

        // The same drag through a camera control of its own, in device pixels.
        Scene reference = w.view().scene;
        const list<std::unique_ptr<Molecule>> none;
        CameraControl camera(reference, none);
        const QPoint path[] = {{100, 120}, {110, 125}, {130, 140}, {170, 150}};
        const auto device = [dpr](QPoint p) { return QPoint(static_cast<int>(p.x() * dpr), static_cast<int>(p.y() * dpr)); };
        SendMouse(v, QEvent::MouseButtonPress, path[0], Qt::LeftButton, Qt::LeftButton);
        camera.ButtonDown(kLeftButton, device(path[0]).x(), device(path[0]).y(), kLeftButton, false);
        for (int i = 1; i < 4; ++i) {
            SendMouse(v, QEvent::MouseMove, path[i], Qt::NoButton, Qt::LeftButton);
            camera.MouseMove(device(path[i]).x(), device(path[i]).y(), kLeftButton, false);
        }
        SendMouse(v, QEvent::MouseButtonRelease, path[3], Qt::LeftButton, Qt::NoButton);
        camera.ButtonUp(kLeftButton, device(path[3]).x(), device(path[3]).y(), false);
        const float* turned = w.view().scene.trackball.orientation;
        QVERIFY(std::abs(turned[3]) < 0.999f);  // it did turn
        for (int i = 0; i < 4; ++i) QCOMPARE(turned[i], reference.trackball.orientation[i]);

        // Ctrl + left turns the plane's normal, Ctrl + right slides it; the scene stays.
        const float before[4] = {turned[0], turned[1], turned[2], turned[3]};
        ClipPlane plane = w.view().scene.clip;
        SendMouse(v, QEvent::MouseButtonPress, path[0], Qt::LeftButton, Qt::LeftButton, Qt::ControlModifier);
        plane.StartRotate(device(path[0]).x(), device(path[0]).y());
        SendMouse(v, QEvent::MouseMove, path[2], Qt::NoButton, Qt::LeftButton, Qt::ControlModifier);
        plane.Rotate(device(path[2]).x(), device(path[2]).y(), s.width, s.height);
        SendMouse(v, QEvent::MouseButtonRelease, path[2], Qt::LeftButton, Qt::NoButton, Qt::ControlModifier);
        SendMouse(v, QEvent::MouseButtonPress, path[0], Qt::RightButton, Qt::RightButton, Qt::ControlModifier);
        plane.StartScale(device(path[0]).x());
        SendMouse(v, QEvent::MouseMove, path[3], Qt::NoButton, Qt::RightButton, Qt::ControlModifier);
        plane.Scale(device(path[3]).x(), s.width);
        SendMouse(v, QEvent::MouseButtonRelease, path[3], Qt::RightButton, Qt::NoButton, Qt::ControlModifier);
        const ClipPlane& moved = w.view().scene.clip;
        QVERIFY(moved.Normal().z < 0.99 && Length(moved.Point()) > 0.1);
        QCOMPARE(moved.Normal().x, plane.Normal().x);
        QCOMPARE(moved.Normal().y, plane.Normal().y);
        QCOMPARE(moved.Point().z, plane.Point().z);
        for (int i = 0; i < 4; ++i) QCOMPARE(w.view().scene.trackball.orientation[i], before[i]);
    }

    void cancelEndsALongTrajectoryReadWithTheProgramsMessage() {
        MessageBoxes boxes;
        Window w(Settings(), {Data("1ubi.pdb")});
        const std::string dcd = dir_.filePath(QStringLiteral("long.dcd")).toStdString();
        WriteDcd(dcd, *w.doc().Primary(), 4000);

        COpenCoordinatesAndTrajectoryDialog dialog(&w.frame(), w.doc(), w.app.Ui());
        dialog.coordinates->name->setText(QString::fromStdString(Data("1ubi.pdb")));
        dialog.trajectory->name->setText(QString::fromStdString(dcd));
        dialog.show();
        int shownRange = -1;
        QTimer cancel;
        cancel.setInterval(0);
        QObject::connect(&cancel, &QTimer::timeout, [&] {
            if (CTrajectoryProgressDialog* p = w.app.Ui().ProgressDialog()) {
                shownRange = p->bar->maximum();
                p->cancel->click();
                cancel.stop();
            }
        });
        cancel.start();
        dialog.accept();
        QCOMPARE(shownRange, 4000);
        QCOMPARE(boxes.texts, QStringList{QStringLiteral("Trajectory read has been cancelled")});
        QVERIFY(dialog.isVisible());
        QCOMPARE(w.doc().MoleculeCount(), 1);
        QCOMPARE(w.doc().Primary()->FrameCount(), 0);
        QVERIFY(!w.app.Ui().ProgressDialog());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        dialog.reject();
    }

    void saveCoordinatesWritesWhatBatchSaveWritesAndRefusesBadValues() {
        Window w(Settings(), {Data("1ubi.pdb"), Data("2hhb.pdb")});
        const std::string batch = dir_.filePath(QStringLiteral("batch.pdb")).toStdString();
        const auto run = test::RunVelm({Data("1ubi.pdb"), Data("2hhb.pdb"), "-save", batch, "-precision", "6",
                                        "-noconect"});
        QCOMPARE(run.status, 0);

        RecordingUiHooks ui;
        CSaveCoordinatesDialog dialog(&w.frame(), w.doc(), ui);
        dialog.show();
        dialog.accept();  // no name yet
        QCOMPARE(ui.with("message:"), std::vector<std::string>{"Please enter a file name"});
        QVERIFY(dialog.isVisible());
        const QString out = dir_.filePath(QStringLiteral("window.pdb"));
        dialog.file->name->setText(out);
        dialog.precision->setCurrentIndex(dialog.precision->findText(QStringLiteral("6")));
        dialog.conect->setChecked(false);
        dialog.accept();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(ReadText(out.toStdString()), ReadText(batch));

        RecordingUiHooks refusing;
        COpenCoordinatesAndTrajectoryDialog open(&w.frame(), w.doc(), refusing);
        open.show();
        open.accept();
        open.coordinates->name->setText(QString::fromStdString(Data("1ubi.pdb")));
        open.accept();
        open.trajectory->name->setText(dir_.filePath(QStringLiteral("missing.dcd")));
        open.accept();
        QCOMPARE(refusing.with("message:"),
                 (std::vector<std::string>{"Please enter a coordinate file name", "Please enter a trajectory file name",
                                           "Can't open DCD file for reading!"}));
        QVERIFY(open.isVisible());
        QCOMPARE(w.doc().MoleculeCount(), 2);
    }

    void settingsSurviveARestartReachBatchModeAndCleanRegistryRemovesThem() {
        const QString file = Settings();
        const std::string spaced = "/data/mol one, two.pdb";
        {
            Window w(file);
            w.view().SetLineWidth(4);
            w.view().ToggleDepthCue();
            w.view().SetQuality(GraphicsQuality::High);
            w.app.Recent().Add(spaced);
        }
        {
            QtSettingsStore stored(file);
            const IniSettingsFile batch(file.toStdString());
            for (const std::string& key : SettingsKeys())
                QCOMPARE(batch.Get(kSettingsSection, key, "absent"), stored.Get(kSettingsSection, key, "missing"));
            Scene scene;
            LoadSettings({scene.settings, scene.lighting}, batch);
            QCOMPARE(scene.settings.lineWidth, 4.0f);
            QVERIFY(!scene.settings.depthCue);
            RecentFileList recent;
            recent.Load(batch);
            QCOMPARE(recent.Files(), std::vector<std::string>{spaced});
        }
        {
            MessageBoxes yes(true);
            Window w(file);
            QCOMPARE(w.view().scene.settings.lineWidth, 4.0f);
            QVERIFY(!w.view().scene.settings.depthCue);
            QVERIFY(w.frame().FindAction(QStringLiteral("High"))->isChecked());
            QCOMPARE(w.app.Recent().Files(), std::vector<std::string>{spaced});
            w.frame().FindAction(QStringLiteral("Clean Registry"))->trigger();
            QVERIFY(w.frame().FindAction(QStringLiteral("Clean Registry"))->isChecked());
            QCOMPARE(yes.texts.size(), 1);
        }
        QtSettingsStore cleaned(file);
        for (const std::string& key : SettingsKeys()) QCOMPARE(cleaned.Get(kSettingsSection, key, "gone"), std::string("gone"));
        QCOMPARE(cleaned.Get("Recent File List", "File1", "gone"), std::string("gone"));
        Window fresh(file);
        QCOMPARE(fresh.view().scene.settings.lineWidth, 2.0f);
        QVERIFY(fresh.view().scene.settings.depthCue);
    }

    void theWindowShowsTheMoleculeAsTheCoreDrawsIt() {
        Window w(Settings(), {Data("1ubi.pdb")});
        w.view().SetRenderMode(Cpk);
        w.Settle();
        QWidget* v = w.widget();
        QImage shown = v->screen()->grabWindow(w.frame().winId(), v->x(), v->y(), v->width(), v->height()).toImage();
        if (shown.isNull() || shown.size() != v->size() * v->devicePixelRatioF())
            shown = w.frame().View().Snapshot();
        shown = shown.convertToFormat(QImage::Format_RGBA8888);
        const QImage core = CoreImage(w.view().scene, w.doc());
        QCOMPARE(shown.size(), core.size());
        // Where the core has an atom's colour (not the black background),
        // the window shows that colour.
        long atoms = 0, same = 0;
        for (int y = 0; y < core.height(); ++y)
            for (int x = 0; x < core.width(); ++x) {
                const QColor c = core.pixelColor(x, y), s = shown.pixelColor(x, y);
                if (c.red() + c.green() + c.blue() < 60) continue;
                ++atoms;
                if (std::abs(c.red() - s.red()) <= 24 && std::abs(c.green() - s.green()) <= 24 &&
                    std::abs(c.blue() - s.blue()) <= 24)
                    ++same;
            }
        QVERIFY2(atoms > core.width() * core.height() / 10, "the core's picture shows the molecule");
        QVERIFY2(same >= atoms * 95 / 100, qPrintable(QStringLiteral("%1 of %2 atom pixels alike").arg(same).arg(atoms)));
    }
};

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
