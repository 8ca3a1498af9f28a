// A movie recorded from the window next to the same movie from batch mode:
// 100 frames of a 50,000-atom trajectory at 640 x 480, uncompressed, 24 bits.
//
//   movie_bench PDB DCD [--repeat N] [--frames N]  alternating fresh processes of the two
//   movie_bench --window PDB DCD OUT.avi FRAMES    one recording through "Create Movie ..."
//   movie_bench --batch PDB DCD OUT.avi FRAMES     one through velm -batch, in process
//
// The window's figure runs from the codec chosen in "Compression Options" to
// "Movie creation successfull!"; batch mode's is its run with -movie less
// the same run drawing one picture instead (loading, bonds, the context and
// the scene, which both share).
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QComboBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "app/MainFrame.h"
#include "app/QtSettingsStore.h"
#include "app/VelmApplication.h"
#include "batch/Batch.h"
#include "dialogs/MovieDialog.h"
#include "model/CommandLine.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"

using namespace velm;
using velm::bench::Now;

namespace {

constexpr int kWidth = 640, kHeight = 480;

int Window(int argc, char** argv, const std::string& pdb, const std::string& dcd, const std::string& avi, int frames) {
    QApplication qt(argc, argv);
    QTemporaryDir settings;
    QtSettingsStore store(settings.filePath(QStringLiteral("bench.conf")));
    DesktopApplication app(store);
    CommandLine c;
    c.Parse({pdb, "-dcd", dcd});
    app.Start(c);
    double started = 0, finished = 0;
    bool clicked = false;
    QTimer driver;
    driver.setInterval(1);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            if (finished == 0) finished = Now();
            if (box->text() != QLatin1String(MovieForm::kDone)) std::fprintf(stderr, "%s\n", qPrintable(box->text()));
            box->accept();
        } else if (modal && modal->windowTitle() == QLatin1String(MovieForm::kCodecTitle)) {
            started = Now();
            static_cast<QDialog*>(modal)->accept();  // uncompressed, the first entry
        } else if (auto* d = qobject_cast<MovieDialog*>(modal); d && !clicked) {
            clicked = true;
            QTimer::singleShot(0, d, [d, avi, frames] {
                d->name->setText(QString::fromStdString(avi));
                d->width->setValue(kWidth);
                d->height->setValue(kHeight);
                d->selection->setChecked(true);
                d->start->setValue(1);
                d->stop->setValue(frames);
                d->depth->setCurrentIndex(1);  // "24 bpp", batch mode's depth
                d->record->click();
            });
        }
    });
    driver.start();
    app.Frame().CreateMovie();
    std::printf("path=window atoms=%d frames=%d seconds=%.4f\n", app.Document().Primary() ? app.Document().Primary()->AtomCount() : 0, frames,
                finished - started);
    return finished > started ? 0 : 1;
}

double TimedBatch(const std::vector<std::string>& args) {
    std::FILE* null = std::fopen("/dev/null", "w");
    const double t0 = Now();
    const int status = RunBatch(args, null, stderr);
    const double t = Now() - t0;
    std::fclose(null);
    if (status != 0) std::exit(1);
    return t;
}

int Batch(const std::string& pdb, const std::string& dcd, const std::string& avi, int frames) {
    const std::vector<std::string> load{pdb, "-dcd", dcd, "-defaults", "-width", std::to_string(kWidth),
                                        "-height", std::to_string(kHeight)};
    std::vector<std::string> movie = load;
    for (const std::string& a : {std::string("-movie"), avi, std::string("-start"), std::string("1"),
                                 std::string("-stop"), std::to_string(frames)})
        movie.push_back(a);
    // The scene drawn once without the movie first: the same load, bonds,
    // context and display lists, so that the difference is the recording.
    std::vector<std::string> picture = load;
    picture.push_back("-image");
    picture.push_back(avi + ".bmp");
    const double without = TimedBatch(picture);
    std::remove((avi + ".bmp").c_str());
    const double with = TimedBatch(movie);
    std::printf("path=batch frames=%d seconds=%.4f run=%.4f load=%.4f\n", frames, with - without, with, without);
    return 0;
}

double Field(const std::string& line, const std::string& key) {
    const size_t at = line.find(key + "=");
    return at == std::string::npos ? -1 : std::atof(line.c_str() + at + key.size() + 1);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> a(argv + 1, argv + argc);
    if (a.size() == 5 && a[0] == "--window") return Window(argc, argv, a[1], a[2], a[3], std::atoi(a[4].c_str()));
    if (a.size() == 5 && a[0] == "--batch") return Batch(a[1], a[2], a[3], std::atoi(a[4].c_str()));
    if (a.size() < 2) {
        std::fprintf(stderr, "usage: movie_bench PDB DCD [--repeat N] [--frames N]\n");
        return 2;
    }
    int repeat = 3, frames = 100;
    for (size_t i = 2; i + 1 < a.size(); i += 2) {
        if (a[i] == "--repeat") repeat = std::atoi(a[i + 1].c_str());
        if (a[i] == "--frames") frames = std::atoi(a[i + 1].c_str());
    }
    QTemporaryDir out;
    const std::string avi = out.filePath(QStringLiteral("bench.avi")).toStdString();
    std::vector<double> window, batch;
    for (int r = 0; r < repeat; ++r) {
        for (const char* path : {"--window", "--batch"}) {
            const std::string line = bench::Capture(bench::Self() + " " + path + " " + bench::Quote(a[0]) +
                                                    " " + bench::Quote(a[1]) + " " + bench::Quote(avi) + " " +
                                                    std::to_string(frames) + " 2>/dev/null");
            std::printf("%s", line.c_str());
            (path[2] == 'w' ? window : batch).push_back(Field(line, "seconds"));
        }
        std::fflush(stdout);
    }
    const double w = bench::Median(window), b = bench::Median(batch);
    std::printf("median seconds: window=%.3f batch=%.3f window/batch=%.3f (%d frames %dx%d, %d runs each)\n", w, b,
                w / b, frames, kWidth, kHeight, repeat);
    return 0;
}
