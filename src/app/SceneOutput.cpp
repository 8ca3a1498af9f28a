#include "app/SceneOutput.h"

#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QPageSetupDialog>
#include <QPaintEngine>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QWidget>

#include <algorithm>
#include <cstring>
#include <optional>

#include "app/SceneView.h"
#include "app/ViewController.h"
#include "core/ReplacingFile.h"
#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "dialogs/ExportImageDialog.h"
#include "dialogs/PrintOptionsDialog.h"
#include "model/VelmDoc.h"
#include "output/ImageExport.h"
#include "render/OffscreenRenderer.h"

namespace velm {

namespace {
// PDF printers say 1200 dots per inch; a page of that is 140 million pixels.
constexpr int kPdfResolution = 600;

void Show(UiHooks& ui, const QString& text) { ui.Message(text.toStdString()); }
}  // namespace

SceneOutput::SceneOutput(QWidget& window, CVelmDoc& document, ViewController& controller, SceneView& view,
                         UiHooks& ui)
    : window_(window), document_(document), controller_(controller), view_(view), ui_(ui) {}

SceneOutput::~SceneOutput() = default;

QPrinter& SceneOutput::Printer() {
    if (!printer_) {
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
        if (printer_->outputFormat() == QPrinter::PdfFormat) printer_->setResolution(kPdfResolution);
    }
    return *printer_;
}

void SceneOutput::ExportImage() {
    ViewController::Pause pause(controller_);
    QStringList filters;
    for (const char* f : ExportImageForm::kFilters) filters << QString::fromLatin1(f);
    QFileDialog dialog(&window_, QString::fromLatin1(ExportImageForm::kTitle), QDir::currentPath());
    dialog.setNameFilters(filters);
    dialog.setAcceptMode(QFileDialog::AcceptSave);  // asks before overwriting; no default extension
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    ExportImageTo(dialog.selectedFiles().front(), static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1);
}

void SceneOutput::ExportImageTo(const QString& path, int filter) {
    ViewController::Pause pause(controller_);
    ImageFormat format = ImageFormat::Png;
    try {
        format = ExportImageForm::FormatOfFilter(filter);
    } catch (const VelmError& e) {
        ui_.Message(e.shownText());
        return;
    }
    const std::string file = path.toStdString();
    const auto run = [this, file, format](const ExportImageForm& form) {
        WithoutViewContext released(view_);
        return form.Accept(controller_.Offscreen(), document_, file, format, ui_);
    };
    const ViewSettings& s = controller_.scene.settings;
    const ExportImageForm opened = ExportImageForm::For(s.width, s.height);
    if (!ExportImageForm::AsksForSize(format)) {
        run(opened);
        return;
    }
    CExportImageDialog dialog(&window_, opened, run);
    dialog.exec();
}

QImage SceneOutput::Picture(const PrintPageLayout& layout) {
    const DibSize& size = layout.image;
    QImage image(size.width, size.height, QImage::Format_RGB888);
    if (image.isNull()) {
        ui_.Message("Unable to create DIB for storing image");
        return {};
    }
    try {
        WaitCursor wait(ui_);
        WithoutViewContext released(view_);
        TiledPicture picture(controller_.Offscreen(), document_.Molecules(), size.width, size.height, kMaxTileSide,
                             size.fontScaleNumerator);
        const size_t row = 3 * static_cast<size_t>(size.width);
        for (int y = 0; y < size.height; ++y) std::memcpy(image.scanLine(y), picture.RowFromTop(y), row);
    } catch (const VelmError& e) {
        ui_.Message(e.shownText());
        return {};
    }
    if (controller_.scene.settings.printColorDepth != 24) image.convertTo(QImage::Format_RGB16);
    return image;
}

void SceneOutput::PaintPage(QPainter& painter, const PrintPageLayout& layout, int targetWidth, int targetHeight,
                            const QImage& picture) const {
    const ColourF& b = controller_.scene.settings.backgroundColor;
    const auto byte = [](float c) { return static_cast<int>(std::clamp(c, 0.0f, 1.0f) * 255); };
    painter.fillRect(QRect(0, 0, targetWidth, targetHeight), QColor(byte(b[0]), byte(b[1]), byte(b[2])));
    if (!picture.isNull()) painter.drawImage(QRect(layout.x, layout.y, layout.width, layout.height), picture);
}

bool SceneOutput::PrintTo(QPrinter& printer) {
    ViewController::Pause pause(controller_);  // frame 0, no spin or playback while printing
    const ViewSettings& s = controller_.scene.settings;
    const QRect page = printer.pageRect(QPrinter::DevicePixel).toRect();
    const PrintPageLayout layout = LayOutPrintPage(page.width(), page.height(), s.width, s.height,
                                                   s.printMemoryLimit, printer.logicalDpiY(), false);
    QImage picture;
    if (!layout.image.Empty() && (picture = Picture(layout)).isNull()) return false;

    // A PDF file is written beside its target and replaces it only when complete.
    const QString target = printer.outputFileName();
    std::optional<ReplacingFile> file;
    if (!target.isEmpty()) {
        file.emplace(target.toStdString());
        if (!file->Stream()) {
            ui_.Message("Unable to open " + target.toStdString() + " for writing: " + file->Problem());
            return false;
        }
        printer.setOutputFileName(QString::fromStdString(file->TemporaryPath()));
    }
    QPainter painter;
    const bool began = painter.begin(&printer);
    if (began) PaintPage(painter, layout, page.width(), page.height(), picture);
    const bool ended = began && painter.end();
    if (file) printer.setOutputFileName(target);
    if (!began) {
        if (file) ui_.Message("Unable to open " + target.toStdString() + " for writing");
        else Show(ui_, QStringLiteral("Printer '%1' does not support required functions.").arg(printer.printerName()));
        return false;
    }
    if (file && (!ended || !file->Commit())) {
        ui_.Message("Unable to write " + target.toStdString() + ": " + file->Problem());
        return false;
    }
    return true;
}

void SceneOutput::PreviewPage(QPrinter* printer) {
    // The dialog's own Print asks for the page on the printer itself: a
    // print job as Print makes it, not the preview's picture.
    if (!printer->paintEngine() || printer->paintEngine()->type() != QPaintEngine::Picture) {
        PrintTo(*printer);
        return;
    }
    const ViewSettings& s = controller_.scene.settings;
    const QRect page = printer->pageRect(QPrinter::DevicePixel).toRect();
    const PrintPageLayout layout = LayOutPrintPage(page.width(), page.height(), s.width, s.height,
                                                   s.printMemoryLimit, printer->logicalDpiY(), true);
    const QImage picture = layout.image.Empty() ? QImage() : Picture(layout);
    QPainter painter(printer);
    PaintPage(painter, layout, page.width(), page.height(), picture);
}

QImage SceneOutput::ClipboardPicture() {
    const ViewSettings& s = controller_.scene.settings;
    WaitCursor wait(ui_);
    QImage bitmap(s.width, s.height, QImage::Format_RGB32);
    if (bitmap.isNull()) {
        ui_.Message("Unable to create Bitmap for clipboard copy");
        return {};
    }
    const PrintPageLayout layout = LayOutClipboardPicture(s.width, s.height, s.printMemoryLimit, window_.logicalDpiY());
    const QImage picture = layout.image.Empty() ? QImage() : Picture(layout);
    if (!layout.image.Empty() && picture.isNull()) return {};
    // The whole bitmap gets the background, not only the picture's area:
    // the rest would otherwise hold whatever the memory held.
    QPainter painter(&bitmap);
    PaintPage(painter, layout, s.width, s.height, picture);
    return bitmap;
}

void SceneOutput::Copy() {
    const QImage picture = ClipboardPicture();
    if (picture.isNull()) return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) {
        ui_.Message("The clip board does not support required functions.");
        return;
    }
    clipboard->setImage(picture);
}

void SceneOutput::Print() {
    ViewController::Pause pause(controller_);
    QPrintDialog dialog(&Printer(), &window_);
    if (dialog.exec() == QDialog::Accepted) PrintTo(Printer());
}

void SceneOutput::PrintPreview() {
    ViewController::Pause pause(controller_);
    QPrintPreviewDialog dialog(&Printer(), &window_);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [this](QPrinter* printer) { PreviewPage(printer); });
    dialog.exec();
}

void SceneOutput::PrintSetup() {
    ViewController::Pause pause(controller_);
    QPageSetupDialog dialog(&Printer(), &window_);
    dialog.exec();
}

void SceneOutput::PrintOptions() {
    ViewController::Pause pause(controller_);
    CPrintOptionsDialog dialog(&window_, controller_.scene.settings, ui_);
    dialog.exec();
}

}  // namespace velm
