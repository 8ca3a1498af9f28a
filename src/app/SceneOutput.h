#pragma once
// The scene going out of the window: "Export Image" (PostScript, BMP, PNG),
// the clipboard copy, printing with its preview and page setup, and the
// printing and clipboard options. Every picture is drawn by the program's
// off-screen renderer with the window's context put aside meanwhile.
#include <QImage>
#include <QString>

#include <memory>

#include "output/PrintPage.h"

class QPainter;
class QPrinter;
class QWidget;

namespace velm {

class CVelmDoc;
class SceneView;
class UiHooks;
class ViewController;

class SceneOutput {
public:
    SceneOutput(QWidget& window, CVelmDoc& document, ViewController& controller, SceneView& view, UiHooks& ui);
    ~SceneOutput();
    SceneOutput(const SceneOutput&) = delete;
    SceneOutput& operator=(const SceneOutput&) = delete;

    // The menu commands.
    void ExportImage();
    void Copy();
    void Print();
    void PrintPreview();
    void PrintSetup();
    void PrintOptions();

    // What the commands do after their file and print dialogs. filter: the
    // 1-based number of the export dialog's filter.
    void ExportImageTo(const QString& path, int filter);
    // One page on the printer (a PDF file replaces its target only when
    // complete); false when it failed, which was shown.
    bool PrintTo(QPrinter& printer);
    // The bitmap Copy puts on the clipboard: the window's size, the picture
    // centred in at most 1000 x 1000 of it. Null when it failed (shown).
    QImage ClipboardPicture();
    // The printer that Print Setup sets up, kept for the run.
    QPrinter& Printer();

private:
    // The page as the printer's painter draws it: the background over the
    // whole target and the scene stretched into its place.
    void PaintPage(QPainter& painter, const PrintPageLayout& layout, int targetWidth, int targetHeight,
                   const QImage& picture) const;
    // The scene drawn at the layout's image size, in the print colour depth;
    // null when it cannot be drawn (shown).
    QImage Picture(const PrintPageLayout& layout);
    // What the preview dialog asks for: its page drawn from a picture of the
    // window's size, or, from its Print button, the page on the printer.
    void PreviewPage(QPrinter* printer);

    QWidget& window_;
    CVelmDoc& document_;
    ViewController& controller_;
    SceneView& view_;
    UiHooks& ui_;
    std::unique_ptr<QPrinter> printer_;
};

}  // namespace velm
