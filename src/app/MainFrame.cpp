#include "app/MainFrame.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFileDialog>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QSysInfo>
#include <QUrl>

#include "app/MeasureWindows.h"
#include "app/SceneOutput.h"
#include "app/SceneView.h"
#include "app/ViewController.h"
#include "core/UiHooks.h"
#include "dialogs/AboutDialog.h"
#include "dialogs/AnimateDialog.h"
#include "dialogs/ExportTrajectoryDialog.h"
#include "dialogs/MoleculeListDialog.h"
#include "dialogs/SurfDialog.h"
#include "dialogs/SurfaceAreaCommand.h"
#include "dialogs/CoordinateFileOptionsDialog.h"
#include "dialogs/DocumentForms.h"
#include "dialogs/LabelFontDialog.h"
#include "dialogs/OpenCoordinatesAndTrajectoryDialog.h"
#include "dialogs/ResolutionDialog.h"
#include "dialogs/SaveCoordinatesDialog.h"
#include "dialogs/TextReportDialog.h"
#include "model/CommandLine.h"
#include "model/PdbDownload.h"
#include "model/StartUp.h"
#include "model/VelmDoc.h"

#ifndef VELM_VERSION
#define VELM_VERSION 0.1
#endif

namespace velm {

CMainFrame::CMainFrame(CVelmDoc& document, ViewController& view, UiHooks& ui, RecentFileList& recent)
    : document_(document), controller_(view), ui_(ui), recent_(recent) {
    resize(kWidth, kHeight);
    setAcceptDrops(true);

    // Pane 0 stretches; panes 1 and 2 are 30 wide, pane 3 40, growing with their text.
    QStatusBar* bar = statusBar();
    const int widths[4] = {0, 30, 30, 40};
    for (int i = 0; i < 4; ++i) {
        panes_[static_cast<size_t>(i)] = new QLabel(bar);
        if (i == 0) {
            bar->addWidget(panes_[0], 1);
        } else {
            panes_[static_cast<size_t>(i)]->setMinimumWidth(widths[i]);
            panes_[static_cast<size_t>(i)]->setAlignment(Qt::AlignCenter);
            bar->addPermanentWidget(panes_[static_cast<size_t>(i)]);
        }
    }
    SetPaneText(0, QStringLiteral("Ready"));

    view_ = MakeSceneView(controller_, this);
    setCentralWidget(view_->Widget());
    ViewHooks& hooks = controller_.Hooks();
    hooks.showPicked = [this](const PickedAtomText& atom) {
        SetPaneText(1, QString::fromStdString(atom.serial));
        SetPaneText(2, QString::fromStdString(atom.name));
        SetPaneText(3, QString::fromStdString(atom.residue));
    };
    hooks.resized = [this](int w, int h) { SetPaneText(0, QStringLiteral("Window Size %1 x %2").arg(w).arg(h)); };
    hooks.stateChanged = [this] { UpdateMenus(); };
    measuring_ = std::make_unique<MeasureWindows>(this, document_, controller_);
    hooks.picked = [this](const PickResult& hit) { measuring_->Picked(hit); };
    output_ = std::make_unique<SceneOutput>(*this, document_, controller_, *view_, ui_);
    BuildMenus();
    document_.AddObserver(*this);
    UpdateTitle();
}

CMainFrame::~CMainFrame() {
    document_.RemoveObserver(*this);
    // The view and this frame go; the controller stays with the application.
    controller_.Hooks() = ViewHooks{};
}

void CMainFrame::SetPaneText(int pane, const QString& text) {
    if (pane < 0 || pane > 3) return;
    if (pane == 0) pane0_ = text;
    panes_[static_cast<size_t>(pane)]->setText(text);
    // Long work on this thread shows its stage before it goes on.
    if (isVisible()) panes_[static_cast<size_t>(pane)]->repaint();
}

QString CMainFrame::PaneText(int pane) const {
    return pane >= 0 && pane <= 3 ? panes_[static_cast<size_t>(pane)]->text() : QString();
}

void CMainFrame::BeginProgress(int range) {
    EndProgress();
    progress_ = new QProgressBar(statusBar());
    progress_->setRange(0, range);
    progress_->setValue(0);
    panes_[0]->hide();
    statusBar()->insertWidget(0, progress_, 1);
    progress_->show();
}

void CMainFrame::SetProgress(int position) {
    if (!progress_) return;
    progress_->setValue(position);
    if (isVisible()) progress_->repaint();
}

void CMainFrame::EndProgress() {
    if (!progress_) return;
    statusBar()->removeWidget(progress_);
    delete progress_;
    progress_ = nullptr;
    panes_[0]->show();
}

bool CMainFrame::event(QEvent* e) {
    // Menu prompts cover pane 0 while a menu item is under the mouse; then
    // pane 0 shows again what it showed.
    if (e->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(e)->tip();
        panes_[0]->setText(tip.isEmpty() ? pane0_ : tip);
        return true;
    }
    return QMainWindow::event(e);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* e) {
    if (!e->mimeData()->hasUrls()) return;
    for (const QUrl& url : e->mimeData()->urls())
        if (url.isLocalFile()) {
            e->acceptProposedAction();
            return;
        }
}

void CMainFrame::dropEvent(QDropEvent* e) {
    QStringList paths;
    for (const QUrl& url : e->mimeData()->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    if (paths.isEmpty()) return;
    e->acceptProposedAction();
    OpenFiles(paths);
}

void CMainFrame::UpdateTitle() {
    setWindowTitle(QString::fromStdString(document_.Title()) + QStringLiteral(" - Velm"));
}

void CMainFrame::DocumentChanged(DocumentChange what) {
    if (Any(what, DocumentChange::Title)) UpdateTitle();
    UpdateMenus();
}

void CMainFrame::AddRecentFile(const std::string& path) {
    // Absolute, so that the list opens the same files from wherever the program starts.
    recent_.Add(QFileInfo(QString::fromStdString(path)).absoluteFilePath().toStdString());
}

void CMainFrame::OpenFiles(const QStringList& paths) {
    ViewController::Pause pause(controller_);
    std::vector<std::string> files;
    for (const QString& p : paths) files.push_back(p.toStdString());
    for (const std::string& read : OpenCoordinateFiles(document_, files, ui_)) AddRecentFile(read);
    UpdateRecentFiles();
}

void CMainFrame::OpenCoord() {
    QStringList paths;
    {
        ViewController::Pause pause(controller_);
        paths = QFileDialog::getOpenFileNames(this, QStringLiteral("Open Coord"), QDir::currentPath(),
                                              QStringLiteral("PDB files (*.pdb *.ent *.pdb.gz *.ent.gz);;"
                                                             "mmCIF files (*.cif *.mmcif *.cif.gz *.mmcif.gz);;All files (*)"));
    }
    if (!paths.isEmpty()) OpenFiles(paths);
}

void CMainFrame::OpenCoordinatesAndTrajectory() {
    ViewController::Pause pause(controller_);
    COpenCoordinatesAndTrajectoryDialog dialog(this, document_, ui_);
    if (dialog.exec() == QDialog::Accepted) {
        AddRecentFile(dialog.Form().coordinates);
        UpdateRecentFiles();
    }
}

void CMainFrame::ReadCoordOptions() {
    ViewController::Pause pause(controller_);
    CCoordinateFileOptionsDialog dialog(this, document_.options);
    dialog.exec();
}

void CMainFrame::SaveCoord() {
    ViewController::Pause pause(controller_);
    CSaveCoordinatesDialog dialog(this, document_, ui_);
    dialog.exec();
}

void CMainFrame::ChooseFont() {
    ViewController::Pause pause(controller_);
    LabelFontDescription font = controller_.scene.settings.font;
    if (ChooseLabelFont(this, font)) controller_.SetLabelFont(font);
}

void CMainFrame::CustomQuality() {
    controller_.SetQuality(GraphicsQuality::Custom);
    if (!resolution_) {
        resolution_ = new CResolutionDialog(this, controller_.scene.settings.quality,
                                            [this] { controller_.ResolutionsSent(); });
        resolution_->setAttribute(Qt::WA_DeleteOnClose);
    }
    resolution_->show();
    resolution_->raise();
    UpdateMenus();
}

CResolutionDialog* CMainFrame::ResolutionDialog() const { return resolution_.data(); }

CMoleculeListDialog* CMainFrame::MoleculeList() const { return moleculeList_.data(); }
CAnimateDialog* CMainFrame::Animate() const { return animate_.data(); }
CSurfDialog* CMainFrame::SurfaceOptions() const { return surface_.data(); }

namespace {
template <class Dialog>
void ShowTool(QPointer<Dialog>& tool, Dialog* (*make)(CMainFrame&), CMainFrame& frame) {
    if (!tool) {
        tool = make(frame);
        tool->setAttribute(Qt::WA_DeleteOnClose);
    }
    tool->show();
    tool->raise();
}
}  // namespace

void CMainFrame::ShowMoleculeList() {
    ShowTool<CMoleculeListDialog>(moleculeList_, [](CMainFrame& f) {
        return new CMoleculeListDialog(&f, f.document_);
    }, *this);
}

void CMainFrame::ShowAnimate() {
    ShowTool<CAnimateDialog>(animate_, [](CMainFrame& f) {
        return new CAnimateDialog(&f, f.document_, f.controller_.scene.settings.animation,
                                  [&f] { f.controller_.Redraw(); });
    }, *this);
}

void CMainFrame::ExportTrajectory() {
    ViewController::Pause pause(controller_);
    CExportTrajectoryDialog dialog(this, document_, ui_);
    dialog.exec();
}

void CMainFrame::ShowSurfaceOptions(int page) {
    // A second open while the sheet is shown leaves it as it is.
    if (surface_) {
        surface_->raise();
        return;
    }
    surface_ = new CSurfDialog(this, document_, ui_, static_cast<CSurfDialog::Page>(page));
    surface_->setAttribute(Qt::WA_DeleteOnClose);
    surface_->show();
}

void CMainFrame::ReportSurfaceArea(bool byResidue) {
    AreaReport report;
    if (!velm::ReportSurfaceArea(document_, byResidue ? AreaReportKind::ByResidue : AreaReportKind::ByAtom, ui_,
                                 report))
        return;
    ViewController::Pause pause(controller_);
    TextReportDialog dialog(this, QString::fromStdString(report.caption), QString::fromStdString(report.text));
    dialog.exec();
}

void CMainFrame::ShowCommandLineHelp() {
    ViewController::Pause pause(controller_);
    TextReportDialog dialog(this, QStringLiteral("Command Line Options"), QString::fromLatin1(kCommandLineHelp));
    dialog.exec();
}

AboutFacts CMainFrame::About() const {
    AboutFacts f;
    f.platform = QSysInfo::kernelType().toStdString();
    if (!f.platform.empty()) f.platform[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(f.platform[0])));
    f.version = VELM_VERSION;
    f.buildDate = __DATE__ " " __TIME__;
    f.depthBits = controller_.scene.settings.depthBits;
    f.colourBits = controller_.scene.settings.colourBits;
    f.renderer = view_->RendererName().toStdString();
    return f;
}

void CMainFrame::ShowAbout() {
    ViewController::Pause pause(controller_);
    CAboutDialog dialog(this, About());
    dialog.exec();
}

}  // namespace velm
