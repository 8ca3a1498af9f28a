#pragma once
// The UI hooks of the desktop program: message boxes, the main frame's
// status bar and its progress bar over pane 0, the wait cursor, and the
// "Reading Trajectory" dialog whose "Cancel" the trajectory reader polls.
// Work under the status-bar progress takes no input but Escape, which
// cancels it.
#include <QPointer>

#include <memory>

#include "core/UiHooks.h"

class QWidget;

namespace velm {

class CMainFrame;
class CTrajectoryProgressDialog;

class QtUiHooks : public UiHooks {
public:
    QtUiHooks();
    ~QtUiHooks() override;
    // The frame whose status bar and window the hooks use; none before it exists.
    void SetFrame(CMainFrame* frame);

    void Message(std::string_view text) override;
    bool AskYesNo(std::string_view question) override;
    void SetStatusText(std::string_view text) override;
    void ProgressBegin(std::string_view title, int range) override;
    void ProgressStep() override;
    void ProgressSet(int position) override;
    void ProgressEnd() override;
    bool ProgressCancelled() override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;

    // The open trajectory progress dialog, for tests; null when none.
    CTrajectoryProgressDialog* ProgressDialog() const;

private:
    QWidget* Window() const;

    class EscapeWatch;
    std::unique_ptr<EscapeWatch> escape_;  // while the status-bar progress is shown
    QPointer<CMainFrame> frame_;
    QPointer<CTrajectoryProgressDialog> dialog_;
    int position_ = 0;
    int waitDepth_ = 0;
};

}  // namespace velm
