// Data in and movies out, driven as a user drives them: numbers pasted from
// the clipboard, an entry downloaded from a local web server through the
// download dialog, and a movie recorded from the movie dialog.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/MainFrame.h"
#include "app/QtSettingsStore.h"
#include "app/VelmApplication.h"
#include "dialogs/MovieDialog.h"
#include "dialogs/PasteDialog.h"
#include "dialogs/PdbDownloadDialog.h"
#include "model/CommandLine.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"
#include "gui/TestWindow.h"
#include "support/HttpServer.h"

using namespace velm;

namespace {

std::string Data(const char* name) { return std::string(VELM_TEST_DATA) + "/" + name; }

// Every 10 ms: message boxes are answered (their texts kept), and the modal
// window on top is handed to `act`.
class ModalDriver {
public:
    explicit ModalDriver(std::function<void(QWidget*)> act) : act_(std::move(act)) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                texts << box->text();
                box->accept();
            } else if (modal) {
                // From the event loop, not this slot: a dialog's work may wait
                // in a nested loop for the next tick (Qt runs no timer's slot twice at once).
                QTimer::singleShot(0, modal, [this, modal] {
                    if (QApplication::activeModalWidget() == modal) act_(modal);
                });
            }
        });
        timer_.start();
    }
    QStringList texts;

private:
    std::function<void(QWidget*)> act_;
    QTimer timer_;
};

using Window = TestWindow;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

int ProbedFrames(const std::string& avi) {
    const std::string command = "ffprobe -v error -select_streams v:0 -count_frames -show_entries "
                                "stream=nb_read_frames -of csv=p=0 '" + avi + "' 2>&1";
    int frames = -1;
    if (std::FILE* p = popen(command.c_str(), "r")) {
        if (std::fscanf(p, "%d", &frames) != 1) frames = -1;
        pclose(p);
    }
    return frames;
}

}  // namespace

class ExchangeWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(settings_.isValid()); }

    void PastesClipboardNumbersIntoOccupancies() {
        Window w(settings_.filePath(QStringLiteral("paste.conf")), {Data("1ubi.pdb")});
        const Molecule& m = *w.doc().Primary();
        QString values;
        for (int i = 0; i < m.AtomCount(); ++i) values += QString::number(i + 1) + QLatin1Char('\n');
        bool shown = false;
        ModalDriver driver([&](QWidget* modal) {
            if (auto* paste = qobject_cast<CPasteDialog*>(modal)) {
                shown = true;
                paste->target[1]->click();  // "Occupancy"
                paste->accept();
            }
        });
        // Text that is not all numbers changes nothing and shows no dialog.
        QApplication::clipboard()->setText(QStringLiteral("1 2 three"));
        w.Menu("Paste");
        QCOMPARE(driver.texts, QStringList{QStringLiteral("Warning - non-numeric value found in clipboard")});
        QVERIFY(!shown);
        QCOMPARE(m.atoms[5].occupancy, 1.0);

        QApplication::clipboard()->setText(values);
        w.Menu("Paste");
        QVERIFY(shown);
        QCOMPARE(driver.texts.size(), 1);
        QCOMPARE(m.atoms[0].occupancy, 1.0);
        QCOMPARE(m.atoms[5].occupancy, 6.0);
        QCOMPARE(m.atoms.back().occupancy, static_cast<double>(m.AtomCount()));
    }

    void DownloadsFromALocalServerThroughTheDialog() {
        QTemporaryDir served;
        std::filesystem::copy_file(Data("1ubi.pdb.gz"), served.filePath(QStringLiteral("1ubi.pdb.gz")).toStdString());
        test::HttpServer server(served.path().toStdString());
        QVERIFY2(server.Running(), server.Problem().c_str());
        test::HttpServer stalling(served.path().toStdString(), test::HttpServer::Answer::Stalling);
        QVERIFY2(stalling.Running(), stalling.Problem().c_str());
        Window w(settings_.filePath(QStringLiteral("download.conf")), {});
        const QString host = QString::fromStdString(server.Host());

        // A missing entry: the message, the dialog open; a stalled one
        // cancelled: the dialog closes, histories and document as they were.
        int step = 0;
        QStringList progress;
        ModalDriver failing([&](QWidget* modal) {
            auto* d = qobject_cast<CPdbDownloadDialog*>(modal);
            if (!d) return;
            if (step == 0) {
                d->server->setCurrentText(host);
                d->id->setCurrentText(QStringLiteral("7zzz"));
                d->request->setText(QStringLiteral("http://%SERVER%/%PDBID%.pdb.gz"));
                d->ok->click();
                step = 1;
            } else if (step == 1 && d->ok->isEnabled() && !failing.texts.isEmpty()) {
                d->server->setCurrentText(QString::fromStdString(stalling.Host()));
                d->id->setCurrentText(QStringLiteral("1ubi"));
                d->ok->click();
                step = 2;
            } else if (step == 2 && d->progress->text() == QLatin1String("1.00kb read")) {
                progress << d->progress->text();
                d->reject();  // "Cancel"
                step = 3;
            }
        });
        w.Menu("Query PDB Database ...");
        QCOMPARE(failing.texts,
                 QStringList{QStringLiteral("Unable to download pdb entry -- please check server and pdb id")});
        QCOMPARE(progress, QStringList{QStringLiteral("1.00kb read")});
        QCOMPARE(w.frame().DownloadHistory().servers.Count(), 1);
        QCOMPARE(w.frame().DownloadHistory().ids.Count(), 1);
        QCOMPARE(w.doc().MoleculeCount(), 0);

        ModalDriver fetching([&](QWidget* modal) {
            auto* d = qobject_cast<CPdbDownloadDialog*>(modal);
            if (!d || !d->ok->isEnabled()) return;
            d->server->setCurrentText(host);
            d->id->setCurrentText(QStringLiteral("1ubi"));
            d->request->setText(QStringLiteral("http://%SERVER%/%PDBID%.pdb.gz"));
            d->ok->click();
        });
        w.Menu("Query PDB Database ...");
        QCOMPARE(fetching.texts, QStringList{});
        QCOMPARE(w.doc().MoleculeCount(), 1);
        QCOMPARE(w.doc().Primary()->AtomCount(), 683);
        QCOMPARE(QString::fromStdString(w.doc().Title()), QStringLiteral("1ubi"));
        QCOMPARE(QString::fromStdString(w.frame().DownloadHistory().servers[1]), host);
        QCOMPARE(w.frame().DownloadHistory().ids.Count(), 2);
    }

    void RecordsAMovieAndCancelLeavesTheOlderFile() {
        if (std::system("command -v ffprobe >/dev/null 2>&1") != 0) QSKIP("ffprobe is not installed");
        Window w(settings_.filePath(QStringLiteral("movie.conf")),
                 {Data("1ubi.pdb"), "-dcd", Data("1ubi_20frames_le.dcd")});
        const std::string avi = settings_.filePath(QStringLiteral("ubi.avi")).toStdString();
        int recordings = 0, wanted = 1;
        bool cancelling = false;
        ModalDriver driver([&](QWidget* modal) {
            if (modal->windowTitle() == QLatin1String(MovieForm::kCodecTitle)) {
                static_cast<QDialog*>(modal)->accept();  // the first codec: uncompressed frames
            } else if (auto* d = qobject_cast<MovieDialog*>(modal)) {
                if (d->Recording()) {
                    if (cancelling && d->progress->value() >= 2) d->cancel->click();
                } else if (recordings < wanted) {
                    ++recordings;
                    d->name->setText(QString::fromStdString(avi));
                    d->width->setValue(64);
                    d->height->setValue(48);
                    d->record->click();
                } else {
                    d->reject();  // left open after the cancel
                }
            }
        });
        const int shown = w.doc().CurrentAnimationFrame();
        w.Menu("Create Movie ...");
        QCOMPARE(driver.texts, QStringList{QStringLiteral("Movie creation successfull!")});
        QCOMPARE(ProbedFrames(avi), 20);
        QCOMPARE(w.doc().CurrentAnimationFrame(), shown);  // as before the dialog, not the last recorded

        std::ofstream(avi, std::ios::binary) << "an older movie";
        cancelling = true;
        wanted = 2;
        w.Menu("Create Movie ...");
        QCOMPARE(recordings, 2);
        QCOMPARE(driver.texts.size(), 1);
        QCOMPARE(Slurp(avi), std::string("an older movie"));
        // Nor is the unfinished movie left beside it.
        for (const auto& e : std::filesystem::directory_iterator(settings_.path().toStdString()))
            QVERIFY2(e.path().extension() == ".conf" || e.path().string() == avi, e.path().c_str());
    }

private:
    QTemporaryDir settings_;
};

QTEST_MAIN(ExchangeWindowsTest)
#include "ExchangeWindowsTest.moc"
