// The Render menu's choice of drawing path: the next frame is drawn the other
// way, the check mark follows, and the choice is kept with the settings.
#include <QTemporaryDir>
#include <QtTest>

#include "app/SceneView.h"
#include "app/ViewController.h"
#include "gui/TestWindow.h"

using namespace velm;

class RendererMenuTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    static QImage Frame(TestWindow& w) {
        w.frame().View().Widget()->repaint();
        return w.frame().View().Snapshot().convertToFormat(QImage::Format_RGBA8888);
    }

private slots:
    void theItemSwitchesThePathAtOnceAndIsKept() {
        const QString file = dir_.filePath(QStringLiteral("renderer.conf"));
        {
            TestWindow w(file, {std::string(VELM_TEST_DATA) + "/1ubi.pdb"});
            w.app.View().SetRenderMode(Cpk);
            QAction* item = w.frame().FindAction(QStringLiteral("Draw with Shaders"));
            QVERIFY(item && item->isCheckable() && item->isEnabled());
            QVERIFY(item->isChecked());
            const QImage shaded = Frame(w);
            w.Menu("Draw with Shaders");
            QVERIFY(!item->isChecked());
            QVERIFY(w.app.View().scene.settings.drawingPath == DrawingPath::Fixed);
            // The 1.1 spheres' facets and per-vertex lighting show.
            const QImage fixed = Frame(w);
            QCOMPARE(fixed.size(), shaded.size());
            QVERIFY(fixed != shaded);
            w.Menu("Draw with Shaders");
            QVERIFY(item->isChecked());
            QCOMPARE(Frame(w), shaded);
            w.Menu("Draw with Shaders");
        }
        QCOMPARE(QtSettingsStore(file).Get("Settings", "renderer", "?"), std::string("fixed"));
        TestWindow again(file, {});
        QVERIFY(!again.frame().FindAction(QStringLiteral("Draw with Shaders"))->isChecked());
    }
};

QTEST_MAIN(RendererMenuTest)
#include "RendererMenuTest.moc"
