#pragma once
// The main window: the menus, the view, and the status bar with its four
// panes (menu prompts, window size and progress in pane 0; the picked atom's
// serial, name and residue in panes 1 to 3). It opens the document dialogs,
// takes files dropped on it, and keeps its title and menus in step with the
// document by observing it.
#include <QMainWindow>
#include <QPointer>

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "core/DocumentObserver.h"
#include "dialogs/AboutText.h"

class QLabel;
class QMenu;
class QProgressBar;

namespace velm {

class CAnimateDialog;
class CAtomRadiusDialog;
class CCustomColoursDialog;
class CLightingDialog;
class CMoleculeListDialog;
class CResolutionDialog;
class CSurfDialog;
class CAlignmentDialog;
class CSequenceDialog;
class CVelmDoc;
class MeasureWindows;
struct PdbHistory;
class RecentFileList;
class SceneOutput;
class SceneView;
class UiHooks;
class ViewController;

class CMainFrame : public QMainWindow, public DocumentObserver {
    Q_OBJECT
public:
    static constexpr int kWidth = 450, kHeight = 450;

    CMainFrame(CVelmDoc& document, ViewController& view, UiHooks& ui, RecentFileList& recent);
    ~CMainFrame() override;

    void SetPaneText(int pane, const QString& text);
    QString PaneText(int pane) const;
    // The progress bar over pane 0: range 0..n, step 1.
    void BeginProgress(int range);
    void SetProgress(int position);
    void EndProgress();
    QProgressBar* Progress() const { return progress_; }

    SceneView& View() { return *view_; }
    ViewController& Controller() { return controller_; }

    // Open Coord, the recent-file list and files dropped on the window: each
    // file in turn as a new primary molecule; the first that cannot be read
    // is shown and ends the loop.
    void OpenFiles(const QStringList& paths);

    // A menu item by its text, without '&' (for the tests and the menu checks).
    QAction* FindAction(const QString& text) const;
    void UpdateMenus();
    void UpdateRecentFiles();
    void AddRecentFile(const std::string& path);

    // What the About box says.
    AboutFacts About() const;
    CResolutionDialog* ResolutionDialog() const;
    // The tool windows, each made on demand and raised when asked again;
    // null while closed.
    CMoleculeListDialog* MoleculeList() const;
    CAnimateDialog* Animate() const;
    CSurfDialog* SurfaceOptions() const;
    CSequenceDialog* SequenceDialog() const;
    CAlignmentDialog* AlignmentDialog() const;
    CCustomColoursDialog* CustomColours() const;
    CAtomRadiusDialog* AtomRadius() const;
    CLightingDialog* Lighting() const;
    MeasureWindows& Measuring() { return *measuring_; }
    // Export Image, Copy, printing and their options.
    SceneOutput& Output() { return *output_; }

    void DocumentChanged(DocumentChange what) override;

    // The commands of the menus that open dialogs.
    void OpenCoord();
    void OpenCoordinatesAndTrajectory();
    void ReadCoordOptions();
    void SaveCoord();
    void ChooseFont();
    void CustomQuality();
    void ShowCommandLineHelp();
    void ShowAbout();
    void ShowMoleculeList();
    void ShowAnimate();
    void ExportTrajectory();
    void ShowSurfaceOptions(int page);  // CSurfDialog::Page
    void ReportSurfaceArea(bool byResidue);
    // "Background ...", "Selection ...", "Hydrogen Bonds ...", "Clip Plane ...":
    // the "Color" dialog, modal, on that scene colour (SceneColour).
    void ChooseSceneColour(int which);
    void ShowCustomColours();
    void ShowAtomRadius();
    void ShowLighting();
    // The tool windows: one each, raised when asked for again.
    void OpenSequenceTool();
    void OpenAlignment();
    // Data in and movies out.
    void QueryPdbDatabase();
    void PasteClipboard();
    void CreateMovie();
    // The servers and ids downloaded from in this run.
    PdbHistory& DownloadHistory();

protected:
    bool event(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    struct ItemState {
        QAction* action;
        std::function<bool()> checked;  // empty: not checkable
        std::function<bool()> enabled;  // empty: always
    };
    void BuildMenus();
    void BuildAnalysisMenus(QMenu* colour, QMenu* tools);  // their sequence and alignment items
    // The colour, radius and lighting items, and the Adjust menu after Color.
    void BuildAppearanceMenus(QMenu* render, QMenu* colour);
    void BuildExchangeMenus(QMenu* file, QAction* before);  // download, movie and paste items
    QAction* AddItem(QMenu* menu, const QString& text, std::function<void()> run, std::function<bool()> checked = {},
                     std::function<bool()> enabled = {}, const QString& prompt = {});
    void UpdateTitle();

    CVelmDoc& document_;
    ViewController& controller_;
    UiHooks& ui_;
    RecentFileList& recent_;
    SceneView* view_ = nullptr;
    std::array<QLabel*, 4> panes_{};
    QString pane0_;  // what pane 0 shows when no menu prompt covers it
    QProgressBar* progress_ = nullptr;
    std::vector<ItemState> items_;
    QMenu* fileMenu_ = nullptr;
    QAction* recentSeparator_ = nullptr;
    std::vector<QAction*> recentActions_;
    QPointer<CResolutionDialog> resolution_;
    QPointer<CMoleculeListDialog> moleculeList_;
    QPointer<CAnimateDialog> animate_;
    QPointer<CSurfDialog> surface_;
    QPointer<CSequenceDialog> sequence_;
    QPointer<CAlignmentDialog> alignment_;
    QPointer<CCustomColoursDialog> customColours_;
    QPointer<CAtomRadiusDialog> atomRadius_;
    QPointer<CLightingDialog> lighting_;
    std::unique_ptr<MeasureWindows> measuring_;
    std::unique_ptr<PdbHistory> pdbHistory_;
    std::unique_ptr<SceneOutput> output_;
};

}  // namespace velm
