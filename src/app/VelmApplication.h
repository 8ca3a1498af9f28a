#pragma once
// The desktop program: the document, the view's controller, the main frame
// and the UI hooks, made at start-up from the command line, with the
// persistent settings loaded when the view is made and stored at the end.
#include <memory>
#include <string>
#include <vector>

#include "app/QtUiHooks.h"
#include "model/StartUp.h"

namespace velm {

class CMainFrame;
class CVelmDoc;
class CommandLine;
class SettingsStore;
class ViewController;

// The surface format every GL context of the program asks for; set before
// the QApplication exists. A depth override of the command line is asked for.
void PrepareSurfaceFormat(const DisplayDepths& depths, bool colourGiven);

class DesktopApplication {
public:
    // A QApplication must exist. Loads the settings and the recent files.
    explicit DesktopApplication(SettingsStore& store);
    // Stores the settings and the recent files (or removes them after "Clean Registry").
    ~DesktopApplication();
    DesktopApplication(const DesktopApplication&) = delete;
    DesktopApplication& operator=(const DesktopApplication&) = delete;

    // Shows the window and loads what the command line names; shows the
    // command-line help when it asks for it.
    void Start(const CommandLine& commandLine);

    CVelmDoc& Document() { return *document_; }
    ViewController& View() { return *view_; }
    CMainFrame& Frame() { return *frame_; }
    QtUiHooks& Ui() { return ui_; }
    RecentFileList& Recent() { return recent_; }

private:
    SettingsStore& store_;
    QtUiHooks ui_;
    std::unique_ptr<CVelmDoc> document_;
    RecentFileList recent_;
    std::unique_ptr<ViewController> view_;
    std::unique_ptr<CMainFrame> frame_;
    DisplayDepths depths_;
};

// velm FILE...: the whole program with its window; returns the exit status.
int RunDesktop(int argc, char** argv);

}  // namespace velm
