#include "app/VelmApplication.h"

#include <QApplication>
#include <QSurfaceFormat>

#include "analysis/MakeDocument.h"
#include "app/MainFrame.h"
#include "app/QtSettingsStore.h"
#include "app/ViewController.h"
#include "core/HeapUse.h"
#include "core/VelmError.h"
#include "dialogs/TextReportDialog.h"
#include "model/CommandLine.h"
#include "model/VelmDoc.h"

namespace velm {

void PrepareSurfaceFormat(const DisplayDepths& depths, bool colourGiven) {
    // Fixed-function drawing, display lists and the selection buffer need
    // the compatibility profile.
    QSurfaceFormat f;
    f.setRenderableType(QSurfaceFormat::OpenGL);
    f.setProfile(QSurfaceFormat::CompatibilityProfile);
    f.setVersion(2, 1);
    f.setDepthBufferSize(depths.depthBits);
    if (colourGiven) {
        const int channel = depths.colourBits >= 24 ? 8 : 5;
        f.setRedBufferSize(channel);
        f.setGreenBufferSize(depths.colourBits >= 24 ? 8 : 6);
        f.setBlueBufferSize(channel);
    }
    f.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    QSurfaceFormat::setDefaultFormat(f);
    // Keeps the view's context (and its display lists) when the widget moves.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

DesktopApplication::DesktopApplication(SettingsStore& store)
    : store_(store), document_(MakeDocument(ui_)) {
    KeepLargeBlocksInHeap();
    recent_.Load(store_);
    view_ = std::make_unique<ViewController>(*document_, store_, ui_);
    frame_ = std::make_unique<CMainFrame>(*document_, *view_, ui_, recent_);
    ui_.SetFrame(frame_.get());
}

DesktopApplication::~DesktopApplication() {
    ui_.SetFrame(nullptr);
    frame_.reset();
    view_->StoreSettings(store_);
    if (!view_->CleanRegistry()) recent_.Save(store_);
    view_.reset();
    document_.reset();
}

void DesktopApplication::Start(const CommandLine& commandLine) {
    frame_->show();
    const bool help = StartUp(commandLine, *document_, depths_, ui_);
    // A load that failed stopped at one of its stages: the window is ready all the same.
    ui_.SetStatusText("Ready");
    // The files the command line loaded join the recent-file list.
    for (const std::string& file : commandLine.files)
        for (const auto& m : document_->Molecules())
            if (m->path == file) {
                frame_->AddRecentFile(file);
                break;
            }
    frame_->UpdateRecentFiles();
    frame_->UpdateMenus();
    if (help) frame_->ShowCommandLineHelp();
}

namespace {

std::vector<std::string> Words(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

}  // namespace

int RunDesktop(int argc, char** argv) {
    // The depths shape the GL format, which is fixed before the toolkit
    // starts; the toolkit then takes its own options off the command line.
    DisplayDepths depths;
    bool colourGiven = false;
    try {
        CommandLine early;
        early.Parse(Words(argc, argv));
        if (early.bppGiven) depths.colourBits = early.bpp;
        if (early.zbufGiven) depths.depthBits = early.zbuf;
        colourGiven = early.bppGiven != 0;
    } catch (const VelmError&) {
        // Reported once the window can show it.
    }
    PrepareSurfaceFormat(depths, colourGiven);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QString::fromLatin1(kOrganisation));
    QApplication::setApplicationName(QString::fromLatin1(kApplication));

    QtSettingsStore store;
    int status = 0;
    {
        DesktopApplication velm(store);
        CommandLine commandLine;
        std::string problem;
        try {
            commandLine.Parse(Words(argc, argv));
        } catch (const VelmError& e) {
            problem = e.shownText();
            commandLine = CommandLine{};
        }
        if (!problem.empty()) {
            velm.Frame().show();
            velm.Ui().Message(problem);
        }
        velm.Start(commandLine);
        status = app.exec();
    }
    store.Sync();
    return status;
}

}  // namespace velm
