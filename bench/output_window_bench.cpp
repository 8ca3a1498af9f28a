// The scene going out of the window next to batch mode, in one run:
//   (a) "Export Image" of a 4000 x 3000 PNG from the window (its size dialog
//       answered at once) against velm -batch -image of the same picture,
//   (b) one page printed at 600 dpi to a PDF file from the window against a
//       batch picture of the size the page draws the scene at.
// Batch figures are RunBatch with the picture less RunBatch without it (the
// same load), so that both columns time the output alone.
//   output_window_bench FILE [--repeat N]   (CPK; Qt's platform as the environment says)
#include <QApplication>
#include <QLineEdit>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "app/MainFrame.h"
#include "app/QtSettingsStore.h"
#include "app/SceneOutput.h"
#include "app/SceneView.h"
#include "app/VelmApplication.h"
#include "app/ViewController.h"
#include "batch/Batch.h"
#include "dialogs/ExportImageDialog.h"
#include "model/CommandLine.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"
#include "output/PrintPage.h"

using namespace velm;
using velm::bench::Best;

namespace {

double BatchSeconds(const std::vector<std::string>& args, int repeat) {
    return Best(repeat, [&] {
        std::FILE* out = std::tmpfile();
        if (RunBatch(args, out, stderr) != 0) std::fprintf(stderr, "bench: batch failed\n");
        std::fclose(out);
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: output_window_bench FILE [--repeat N]\n");
        return 2;
    }
    const std::string file = argv[1];
    const int repeat = argc > 3 && std::string(argv[2]) == "--repeat" ? std::atoi(argv[3]) : 3;
    QApplication qt(argc, argv);
    QTemporaryDir dir;
    QtSettingsStore store(dir.filePath(QStringLiteral("Velm.conf")));
    DesktopApplication app(store);
    CommandLine c;
    c.Parse({file});
    app.Start(c);
    app.View().SetRenderMode(Cpk);
    // A view of 800 x 600, the shape of the picture asked for.
    QWidget* view = app.Frame().View().Widget();
    for (int i = 0; i < 20 && view->size() != QSize(800, 600); ++i) {
        app.Frame().resize(app.Frame().size() + QSize(800, 600) - view->size());
        QApplication::processEvents();
    }
    const ViewSettings& s = app.View().scene.settings;
    const int atoms = app.Document().Primary()->AtomCount();
    const std::vector<std::string> load{file, "-defaults", "-render", "Cpk"};
    const auto batchWith = [&](int w, int h, const std::string& png) {
        std::vector<std::string> a = load;
        a.insert(a.end(), {"-width", std::to_string(w), "-height", std::to_string(h), "-image", png});
        return a;
    };
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setResolution(600);
    printer.setOutputFileName(dir.filePath(QStringLiteral("page.pdf")));
    const QRect page = printer.pageRect(QPrinter::DevicePixel).toRect();
    const PrintPageLayout layout =
        LayOutPrintPage(page.width(), page.height(), s.width, s.height, s.printMemoryLimit, 600, false);
    const QString png = dir.filePath(QStringLiteral("window.png"));
    const auto batchPicture = [&](int w, int h, const char* name) {
        return batchWith(w, h, dir.filePath(QString::fromLatin1(name)).toStdString());
    };
    const std::vector<std::string> batchExport = batchPicture(4000, 3000, "batch.png");
    const std::vector<std::string> batchPagePng = batchPicture(layout.image.width, layout.image.height, "page.png");
    const std::vector<std::string> batchPageBmp = batchPicture(layout.image.width, layout.image.height, "page.bmp");

    // Each turn times every case once, so that a busy machine slows all of them.
    double loadOnly = 1e30, window = 1e30, batch = 1e30, printed = 1e30, pagePng = 1e30, pageBmp = 1e30;
    for (int r = 0; r < repeat; ++r) {
        loadOnly = std::min(loadOnly, BatchSeconds(load, 1));
        window = std::min(window, Best(1, [&] {
            QTimer::singleShot(0, [] {
                if (auto* d = qobject_cast<CExportImageDialog*>(QApplication::activeModalWidget())) {
                    d->width->setText(QStringLiteral("4000"));
                    d->height->setText(QStringLiteral("3000"));
                    d->accept();
                }
            });
            app.Frame().Output().ExportImageTo(png, 3);
        }));
        batch = std::min(batch, BatchSeconds(batchExport, 1));
        printed = std::min(printed, Best(1, [&] { app.Frame().Output().PrintTo(printer); }));
        pagePng = std::min(pagePng, BatchSeconds(batchPagePng, 1));
        pageBmp = std::min(pageBmp, BatchSeconds(batchPageBmp, 1));
    }
    batch -= loadOnly;
    pagePng -= loadOnly;
    pageBmp -= loadOnly;
    std::printf("export atoms=%d view=%dx%d picture=4000x3000 window_s=%.3f batch_s=%.3f ratio=%.3f\n", atoms, s.width,
                s.height, window, batch, window / batch);
    std::printf("print atoms=%d page=%dx%d picture=%dx%d window_pdf_s=%.3f batch_png_s=%.3f batch_bmp_s=%.3f "
                "ratio_png=%.3f ratio_bmp=%.3f\n",
                atoms, page.width(), page.height(), layout.image.width, layout.image.height, printed, pagePng, pageBmp,
                printed / pagePng, printed / pageBmp);
    return 0;
}
