// The scene leaving the window: a PNG of the size typed into "Export Image"
// (read back with libpng), a page printed to a PDF file (rendered back with
// pdftoppm), the clipboard's picture, and PostScript equal to batch mode's.
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <png.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/MainFrame.h"
#include "app/QtSettingsStore.h"
#include "app/SceneOutput.h"
#include "app/SceneView.h"
#include "app/VelmApplication.h"
#include "app/ViewController.h"
#include "batch/Batch.h"
#include "dialogs/ExportImageDialog.h"
#include "model/CommandLine.h"

using namespace velm;

namespace {

std::string Data(const char* name) { return std::string(VELM_TEST_DATA) + "/" + name; }

std::string Slurp(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Closes every message box shown while it lives, keeping the texts.
class MessageCloser {
public:
    MessageCloser() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                box->accept();
            }
        });
        timer_.start();
    }
    QStringList texts;

private:
    QTimer timer_;
};

// Pixels of a picture that differ from the black background, in a box of it
// given in fractions of its size.
int Lit(const QImage& image, double x0, double y0, double x1, double y1) {
    int lit = 0;
    for (int y = static_cast<int>(y0 * image.height()); y < static_cast<int>(y1 * image.height()); ++y)
        for (int x = static_cast<int>(x0 * image.width()); x < static_cast<int>(x1 * image.width()); ++x)
            lit += (image.pixel(x, y) & 0xFFFFFF) != 0;
    return lit;
}

}  // namespace

class OutputWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QVERIFY(dir_.isValid());
        store_ = std::make_unique<QtSettingsStore>(dir_.filePath(QStringLiteral("settings.ini")));
        app_ = std::make_unique<DesktopApplication>(*store_);
        CommandLine c;
        c.Parse({Data("1ubi.pdb")});
        app_->Start(c);
        QVERIFY(QTest::qWaitForWindowExposed(&app_->Frame()));
        for (int i = 0; i < 5; ++i) QTest::qWait(20);
    }
    void cleanup() {
        app_.reset();
        store_.reset();
    }

    void pictureOfTheTypedSize() {
        const ViewSettings& s = app_->View().scene.settings;
        const int w = s.width, h = s.height;
        const QString path = dir_.filePath(QStringLiteral("scene.png"));
        MessageCloser messages;
        int stage = 0;
        QTimer driver;
        driver.setInterval(10);
        connect(&driver, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<CExportImageDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            // First a width of 0, which is refused with the dialog left open;
            // then twice the window's width and a height the shape cuts down.
            dialog->width->setText(stage == 0 ? QStringLiteral("0") : QString::number(2 * w));
            dialog->height->setText(QStringLiteral("100000"));
            ++stage;
            dialog->accept();
        });
        driver.start();
        app_->Frame().Output().ExportImageTo(path, 3);
        QCOMPARE(stage, 2);
        QCOMPARE(messages.texts, QStringList{QStringLiteral("Please enter an integer between 1 and 4294967295.")});

        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        QVERIFY(png_image_begin_read_from_file(&image, path.toLocal8Bit().constData()));
        QCOMPARE(static_cast<int>(image.width), 2 * w);
        QCOMPARE(static_cast<int>(image.height), 2 * h);
        png_image_free(&image);
    }

    void pageOnAPdfPrinter() {
        MessageCloser messages;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setResolution(150);
        printer.setPageMargins(QMarginsF(0, 0, 0, 0));  // the background then covers the whole sheet
        const QString pdf = dir_.filePath(QStringLiteral("page.pdf"));
        printer.setOutputFileName(pdf);
        QVERIFY(app_->Frame().Output().PrintTo(printer));
        QVERIFY(messages.texts.isEmpty());

        QProcess render;
        render.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("30"), QStringLiteral("-png"),
                                                  QStringLiteral("-singlefile"), pdf, dir_.filePath(QStringLiteral("page"))});
        QVERIFY2(render.waitForFinished(30000) && render.exitCode() == 0, "pdftoppm (poppler-utils) rendered the PDF");
        const QImage page(dir_.filePath(QStringLiteral("page.png")));
        QVERIFY(!page.isNull());
        // A portrait page and a window wider than tall: the scene sits in the
        // middle, background above and below it.
        QVERIFY(page.height() > page.width());
        QCOMPARE(Lit(page, 0, 0, 1, 0.15), 0);
        QVERIFY(Lit(page, 0.3, 0.4, 0.7, 0.6) > page.width() * page.height() / 100);

        // A folder that is not there: said so, nothing written, the printer as it was.
        const QString nowhere = dir_.filePath(QStringLiteral("missing/page.pdf"));
        printer.setOutputFileName(nowhere);
        QVERIFY(!app_->Frame().Output().PrintTo(printer));
        QCOMPARE(messages.texts,
                 QStringList{QStringLiteral("Unable to open %1 for writing: No such file or directory").arg(nowhere)});
        QCOMPARE(printer.outputFileName(), nowhere);
        QVERIFY(!QFile::exists(nowhere));
    }

    void clipboardHoldsTheWindowsPicture() {
        const ViewSettings& s = app_->View().scene.settings;
        QApplication::clipboard()->clear();
        QAction* copy = app_->Frame().FindAction(QStringLiteral("Copy"));
        QVERIFY(copy && copy->isEnabled());
        copy->trigger();
        const QImage image = QApplication::clipboard()->image();
        QCOMPARE(image.size(), QSize(s.width, s.height));
        QVERIFY(Lit(image, 0.3, 0.3, 0.7, 0.7) > image.width() * image.height() / 50);
        QCOMPARE(Lit(image, 0, 0, 0.05, 0.05), 0);
    }

    void postScriptEqualsBatchModes() {
        const ViewSettings& s = app_->View().scene.settings;
        const QString window = dir_.filePath(QStringLiteral("window.ps"));
        const QString batch = dir_.filePath(QStringLiteral("batch.ps"));
        app_->Frame().Output().ExportImageTo(window, 1);
        // The window keeps drawing afterwards in its own context.
        app_->View().Redraw();
        QTest::qWait(50);
        std::FILE* out = std::tmpfile();
        const int status = RunBatch({Data("1ubi.pdb"), "-defaults", "-image", batch.toStdString(), "-width",
                                     std::to_string(s.width), "-height", std::to_string(s.height)},
                                    out, stderr);
        std::fclose(out);
        QCOMPARE(status, 0);
        const std::string fromWindow = Slurp(window), fromBatch = Slurp(batch);
        QVERIFY(fromWindow.size() > 10000);
        QVERIFY(fromWindow == fromBatch);
        QVERIFY(!app_->Frame().View().Snapshot().isNull());
    }

private:
    QTemporaryDir dir_;
    std::unique_ptr<QtSettingsStore> store_;
    std::unique_ptr<DesktopApplication> app_;
};

QTEST_MAIN(OutputWindowTest)
#include "OutputWindowTest.moc"
