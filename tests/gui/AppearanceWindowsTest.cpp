// The colour, radius and lighting windows driven as a user drives them,
// judged by the pixels of the next frame.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

#include "app/MainFrame.h"
#include "app/QtSettingsStore.h"
#include "app/SceneView.h"
#include "app/VelmApplication.h"
#include "app/ViewController.h"
#include "dialogs/AtomRadiusDialog.h"
#include "dialogs/ColourChooserDialog.h"
#include "dialogs/CustomColoursDialog.h"
#include "dialogs/LightingDialog.h"
#include "gui/TestWindow.h"
#include "model/CommandLine.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"

using namespace velm;

namespace {

std::string Data(const char* name) { return std::string(VELM_TEST_DATA) + "/" + name; }

// Answers the modal windows shown while it lives: message boxes are
// accepted (their texts kept), anything else goes to `other`.
class ModalHandler {
public:
    explicit ModalHandler(std::function<void(QWidget*)> other = {}) : other_(std::move(other)) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                texts << box->text();
                box->accept();
            } else if (modal && other_) {
                other_(modal);
            }
        });
        timer_.start();
    }
    QStringList texts;

private:
    std::function<void(QWidget*)> other_;
    QTimer timer_;
};

struct Window : TestWindow {
    Window(const QString& settings, std::vector<std::string> files) : TestWindow(settings, std::move(files)) {
        app.View().SetRenderMode(Cpk);
    }
    // The frame drawn now, as the view shows it.
    QImage Frame() {
        frame().View().Widget()->repaint();
        return frame().View().Snapshot().convertToFormat(QImage::Format_RGBA8888);
    }
};

long Count(const QImage& image, const std::function<bool(QColor)>& wanted) {
    long n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += wanted(image.pixelColor(x, y)) ? 1 : 0;
    return n;
}

double Brightness(const QImage& image) {
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            sum += c.red() + c.green() + c.blue();
        }
    return sum / (image.width() * image.height());
}

bool Magenta(QColor c) { return c.red() > 90 && c.blue() > 90 && c.green() < 40 && std::abs(c.red() - c.blue()) < 30; }

void Type(QLineEdit* edit, const char* text) {
    edit->selectAll();
    QTest::keyClicks(edit, QString::fromLatin1(text));
}

}  // namespace

class AppearanceWindowsTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString Settings(const char* name) { return dir_.filePath(QString::fromLatin1(name)); }

private slots:
    void aColourPickedInCustomColorsShowsInTheNextFrame() {
        Window w(Settings("colours.conf"), {Data("1ubi.pdb")});
        QCOMPARE(Count(w.Frame(), Magenta), 0L);
        w.Menu("Molecule ...");
        QPointer<CCustomColoursDialog> dialog = w.frame().CustomColours();
        QVERIFY(dialog && dialog->isVisible());
        dialog->schemes[ColourByElement]->click();
        QVERIFY(dialog->elements->isEnabled() && !dialog->atomNumber->isEnabled());
        dialog->elements->setCurrentRow(Carbon);

        // A component above 255 is refused with the message, the dialog open.
        ModalHandler modals;
        Type(dialog->edits[0], "300");
        dialog->apply->click();
        QTRY_COMPARE(modals.texts, QStringList{QStringLiteral("Please enter a number between 0 and 255.")});
        QVERIFY(dialog->isVisible());
        QCOMPARE(Count(w.Frame(), Magenta), 0L);

        const char* magenta[4] = {"255", "0", "255", "255"};
        for (size_t i = 0; i < 4; ++i) Type(dialog->edits[i], magenta[i]);
        dialog->apply->click();
        QVERIFY(Count(w.Frame(), Magenta) > 2000);

        // Asked again, the same window; an atom that does not exist shows dashes.
        w.Menu("Molecule ...");
        QCOMPARE(w.frame().CustomColours(), dialog.data());
        dialog->schemes[ColourByAtom]->click();
        Type(dialog->atomNumber, "99999");
        QCOMPARE(dialog->edits[2]->text(), QStringLiteral("--"));
        dialog->close->click();
        QTRY_VERIFY(!dialog);
    }

    void aLightTurnedOffDarkensThePicture() {
        const QString file = Settings("lights.conf");
        {
            Window w(file, {Data("1ubi.pdb")});
            const double lit = Brightness(w.Frame());
            w.Menu("Lighting ...");
            QPointer<CLightingDialog> dialog = w.frame().Lighting();
            QVERIFY(dialog && dialog->lights[0]->isChecked());
            QCOMPARE(dialog->lights[0]->text(), QStringLiteral("Front"));
            dialog->automaticApply->click();
            QVERIFY(!dialog->apply->isEnabled());
            dialog->lights[0]->click();  // applied at once
            QVERIFY(!w.app.View().scene.lighting.IsOn(FrontLight));
            const double dark = Brightness(w.Frame());
            QVERIFY2(dark < 0.7 * lit, qPrintable(QStringLiteral("%1 against %2").arg(dark).arg(lit)));
            w.Menu("Lighting ...");
            QCOMPARE(w.frame().Lighting(), dialog.data());
            dialog->close->click();
            QTRY_VERIFY(!dialog);
        }
        // Kept for the next run.
        QCOMPARE(QtSettingsStore(file).Get("Settings", "TurnOnSolid0", "?"), std::string("FALSE"));
    }

    void theBackgroundComesFromTheColorDialog() {
        Window w(Settings("background.conf"), {Data("1ubi.pdb")});
        bool rgbOnly = false;
        ModalHandler modals([&](QWidget* modal) {
            auto* chooser = qobject_cast<CColourChooserDialog*>(modal);
            if (!chooser) return;
            rgbOnly = !chooser->edits[3]->isEnabled();
            const int blue[3] = {0, 0, 255};
            for (size_t i = 0; i < 3; ++i) chooser->edits[i]->setValue(blue[i]);
            chooser->ok->click();
        });
        w.Menu("Background ...");
        QVERIFY(rgbOnly);
        QCOMPARE(w.app.View().scene.settings.backgroundColor, (ColourF{0, 0, 1, 1}));
        QCOMPARE(w.Frame().pixelColor(0, 0), QColor(0, 0, 255));
    }

    void radiiFromTheAtomRadiusWindow() {
        Window w(Settings("radii.conf"), {Data("1ubi.pdb")});
        const long before = Count(w.Frame(), [](QColor c) { return c.red() + c.green() + c.blue() > 30; });
        w.Menu("Atomic Radii ...");
        QPointer<CAtomRadiusDialog> dialog = w.frame().AtomRadius();
        QVERIFY(dialog);
        dialog->schemes[RadiusByElement]->click();
        ModalHandler modals;
        Type(dialog->radius, "-1");
        dialog->ok->click();
        QTRY_COMPARE(modals.texts, QStringList{QStringLiteral("Please enter a number between 0 and 100.")});
        QVERIFY(dialog->isVisible());
        Type(dialog->radius, "0.3");  // carbon, the first element
        dialog->ok->click();
        QTRY_VERIFY(!dialog);
        const long after = Count(w.Frame(), [](QColor c) { return c.red() + c.green() + c.blue() > 30; });
        QVERIFY2(after < before, qPrintable(QStringLiteral("%1 against %2").arg(after).arg(before)));
    }
};

QTEST_MAIN(AppearanceWindowsTest)
#include "AppearanceWindowsTest.moc"
