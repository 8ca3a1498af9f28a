// Data in and movies out: File > "Query PDB Database ..." and "Create
// Movie ...", and Edit > "Copy" of the scene and "Paste" of the clipboard's
// numbers.
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>

#include "app/MainFrame.h"
#include "app/SceneOutput.h"
#include "app/ViewController.h"
#include "dialogs/MovieDialog.h"
#include "dialogs/PasteDialog.h"
#include "dialogs/PdbDownloadDialog.h"
#include "model/VelmDoc.h"

namespace velm {

void CMainFrame::BuildExchangeMenus(QMenu* file, QAction* before) {
    QAction* query = AddItem(file, QStringLiteral("&Query PDB Database ..."), [this] { QueryPdbDatabase(); }, {}, {},
                             QStringLiteral("Download an entry from a Protein Data Bank server"));
    QAction* movie = AddItem(file, QStringLiteral("Create &Movie ..."), [this] { CreateMovie(); }, {},
                             [this] { return document_.AnimationFrames() > 1; },
                             QStringLiteral("Render the trajectory as an AVI movie"));
    for (QAction* a : {query, movie}) {
        file->removeAction(a);
        file->insertAction(before, a);
    }
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));  // after File
    SceneOutput& out = *output_;
    AddItem(edit, QStringLiteral("&Copy\tCtrl+C"), [&out] { out.Copy(); }, {}, {},
            QStringLiteral("Copy the scene to the clipboard as a picture"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    AddItem(edit, QStringLiteral("&Paste\tCtrl+V"), [this] { PasteClipboard(); }, {},
            [this] { return document_.Primary() != nullptr; },
            QStringLiteral("Paste numbers into the temperature factors or occupancies"))
        ->setShortcut(QKeySequence::Paste);
}

PdbHistory& CMainFrame::DownloadHistory() {
    if (!pdbHistory_) pdbHistory_ = std::make_unique<PdbHistory>();
    return *pdbHistory_;
}

void CMainFrame::QueryPdbDatabase() {
    ViewController::Pause pause(controller_);
    CPdbDownloadDialog dialog(this, DownloadHistory(), ui_);
    if (dialog.exec() != QDialog::Accepted) return;
    const PdbDownloadForm form = dialog.Form();
    if (std::unique_ptr<PdbDownloadJob> job = dialog.TakeDownload()) form.Read(document_, *job, ui_);
}

void CMainFrame::PasteClipboard() {
    ClipboardText clipboard;
    if (const QMimeData* offered = QApplication::clipboard()->mimeData()) {
        clipboard.anyFormat = !offered->formats().isEmpty();
        clipboard.hasText = offered->hasText();
        clipboard.text = offered->text().toStdString();
    }
    ViewController::Pause pause(controller_);
    std::optional<PasteForm> form = PasteForm::Open(document_, clipboard, ui_);
    if (!form) return;
    CPasteDialog dialog(this, std::move(*form), document_, ui_);
    dialog.exec();
}

void CMainFrame::CreateMovie() {
    // Spin and playback stop, frame 0 shows; afterwards the frame shown
    // before, whichever frame the recording ended on.
    const int shown = document_.CurrentAnimationFrame();
    ViewController::Pause pause(controller_);
    const ViewSettings& s = controller_.scene.settings;
    MovieDialog dialog(this, document_, controller_.Offscreen(), s.width, s.height, ui_);
    dialog.exec();
    if (document_.CurrentAnimationFrame() != shown && shown < document_.AnimationFrames()) document_.SetFrame(shown);
}

}  // namespace velm
