// The main frame's menus: File, Render, Display, Mouse, Clip, Persistent
// Settings and Help. Each item's check mark and enabling is a function of
// the view and the document, asked again whenever a menu opens or the
// document changes.
#include <QActionGroup>
#include <QApplication>
#include <QMenuBar>

#include "app/MainFrame.h"
#include "app/MeasureWindows.h"
#include "app/SceneOutput.h"
#include "app/ViewController.h"
#include "dialogs/SurfDialog.h"
#include "dialogs/SurfaceAreaCommand.h"
#include "model/Molecule.h"
#include "model/StartUp.h"
#include "model/VelmDoc.h"

namespace velm {

namespace {
QString PlainText(QString text) {
    text = text.section(QLatin1Char('\t'), 0, 0);
    text.remove(QLatin1Char('&'));
    return text;
}
}  // namespace

QAction* CMainFrame::AddItem(QMenu* menu, const QString& text, std::function<void()> run,
                             std::function<bool()> checked, std::function<bool()> enabled, const QString& prompt) {
    QAction* action = menu->addAction(text);
    action->setCheckable(static_cast<bool>(checked));
    if (!prompt.isEmpty()) action->setStatusTip(prompt);
    connect(action, &QAction::triggered, this, [this, run = std::move(run)] {
        run();
        UpdateMenus();
    });
    items_.push_back({action, std::move(checked), std::move(enabled)});
    return action;
}

QAction* CMainFrame::FindAction(const QString& text) const {
    const QString wanted = PlainText(text);
    for (const ItemState& item : items_)
        if (PlainText(item.action->text()) == wanted) return item.action;
    return nullptr;
}

void CMainFrame::UpdateMenus() {
    for (const ItemState& item : items_) {
        if (item.checked) item.action->setChecked(item.checked());
        item.action->setEnabled(!item.enabled || item.enabled());
    }
}

void CMainFrame::UpdateRecentFiles() {
    for (QAction* a : recentActions_) {
        fileMenu_->removeAction(a);
        delete a;
    }
    recentActions_.clear();
    int n = 0;
    for (const std::string& path : recent_.Files()) {
        const QString file = QString::fromStdString(path);
        auto* a = new QAction(QStringLiteral("&%1 %2").arg(++n).arg(file), fileMenu_);
        connect(a, &QAction::triggered, this, [this, file] { OpenFiles({file}); });
        fileMenu_->insertAction(recentSeparator_, a);
        recentActions_.push_back(a);
    }
}

void CMainFrame::BuildMenus() {
    ViewController& v = controller_;
    CameraControl& camera = v.Camera();
    const ViewSettings& s = v.scene.settings;
    const auto primary = [&v] { return v.HasPrimary(); };
    const auto anyMolecule = [this] { return document_.MoleculeCount() > 0; };

    fileMenu_ = menuBar()->addMenu(QStringLiteral("&File"));
    AddItem(fileMenu_, QStringLiteral("&Open Coord ..."), [this] { OpenCoord(); }, {}, {},
            QStringLiteral("Open one or more coordinate files"))
        ->setShortcut(QKeySequence::Open);
    AddItem(fileMenu_, QStringLiteral("Open Coord and &Trajectory ..."), [this] { OpenCoordinatesAndTrajectory(); },
            {}, {}, QStringLiteral("Open a coordinate file with its trajectory"));
    AddItem(fileMenu_, QStringLiteral("&Read Coord Options ..."), [this] { ReadCoordOptions(); }, {}, {},
            QStringLiteral("How the next coordinate files are read"));
    AddItem(fileMenu_, QStringLiteral("&Save Coord ..."), [this] { SaveCoord(); }, {}, anyMolecule,
            QStringLiteral("Save all molecules in one coordinate file"))
        ->setShortcut(QKeySequence::Save);
    AddItem(fileMenu_, QStringLiteral("Export Tra&jectory ..."), [this] { ExportTrajectory(); }, {},
            primary,
            QStringLiteral("Export the trajectory as a multi-model PDB file"));
    fileMenu_->addSeparator();
    SceneOutput& out = *output_;
    AddItem(fileMenu_, QStringLiteral("Export &Image..."), [&out] { out.ExportImage(); }, {}, {},
            QStringLiteral("Write the scene as a PostScript, BMP or PNG file"));
    AddItem(fileMenu_, QStringLiteral("Print/Cop&y/Export Options ..."), [&out] { out.PrintOptions(); }, {}, {},
            QStringLiteral("Memory and colour depth of printed and copied pictures"));
    AddItem(fileMenu_, QStringLiteral("&Print...\tCtrl+P"), [&out] { out.Print(); }, {}, {},
            QStringLiteral("Print the scene"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    AddItem(fileMenu_, QStringLiteral("Print Pre&view"), [&out] { out.PrintPreview(); }, {}, {},
            QStringLiteral("Show the printed page"));
    AddItem(fileMenu_, QStringLiteral("P&rint Setup..."), [&out] { out.PrintSetup(); }, {}, {},
            QStringLiteral("Choose the printer and the page"));
    QAction* beforeRecent = fileMenu_->addSeparator();
    recentSeparator_ = fileMenu_->addSeparator();
    AddItem(fileMenu_, QStringLiteral("E&xit"), [this] { close(); }, {}, {}, QStringLiteral("Quit Velm"))
        ->setShortcut(QKeySequence::Quit);
    UpdateRecentFiles();
    BuildExchangeMenus(fileMenu_, beforeRecent);

    QMenu* render = menuBar()->addMenu(QStringLiteral("&Render"));
    const auto modeItem = [&](QMenu* menu, const char* text, RenderMode mode) {
        AddItem(menu, QString::fromLatin1(text), [&v, mode] { v.SetRenderMode(mode); },
                [&v, mode] { return v.HasPrimary() && v.PrimaryMode() == mode; }, primary);
    };
    modeItem(render, "Hide molecule", Hidden);
    modeItem(render, "&Wire Frame", WireFrame);
    modeItem(render, "&CPK", Cpk);
    modeItem(render, "&Points", Points);
    modeItem(render, "&Sticks", Sticks);
    modeItem(render, "&Ball and Stick", BallAndStick);
    QMenu* trace = render->addMenu(QStringLiteral("&Trace"));
    modeItem(trace, "Sticks", TraceSticks);
    modeItem(trace, "Wire Frame", TraceWireFrame);
    modeItem(trace, "Spline", TraceSpline);
    modeItem(render, "Solid Ribbon", SolidRibbon);
    modeItem(render, "Flat Ribbon", FlatRibbon);
    modeItem(render, "Tube", Tube);
    modeItem(render, "Temperature Tube", TemperatureTube);
    modeItem(render, "Occupancy Tube", OccupancyTube);
    QMenu* surface = render->addMenu(QStringLiteral("Surface"));
    for (const auto& item : {std::pair{"Solid", SolidSurface}, {"Mesh", MeshSurface}, {"Dots", DotSurface}}) {
        const auto style = item.second;
        AddItem(surface, QString::fromLatin1(item.first), [&v, style] { v.SurfaceCommand(style); },
                [&v, style] { return v.PrimarySurfaceIs(style); }, primary);
    }
    surface->addSeparator();
    AddItem(surface, QStringLiteral("Surface Options ..."), [this] { ShowSurfaceOptions(CSurfDialog::RenderPage); });
    render->addSeparator();
    AddItem(render, QStringLiteral("Draw with Shaders"), [&v] { v.ToggleShaderPath(); },
            [&v] { return v.ShaderPathChosen(); }, {},
            QStringLiteral("Draw spheres and sticks with shaders; off, the OpenGL 1.1 way"));

    QMenu* display = menuBar()->addMenu(QStringLiteral("&Display"));
    AddItem(display, QStringLiteral("&Depth Cue"), [&v] { v.ToggleDepthCue(); }, [&s] { return s.depthCue; });
    AddItem(display, QStringLiteral("&Anti-alias lines"), [&v] { v.ToggleLineAlias(); }, [&s] { return s.lineAlias; });
    AddItem(display, QStringLiteral("Axes"), [&v] { v.ToggleAxes(); }, [&s] { return s.showAxes; });
    AddItem(display, QStringLiteral("Hydrogen Bonds"), [&v] { v.ToggleHydrogenBonds(); },
            [&s] { return s.showHBonds; });
    AddItem(display, QStringLiteral("Stereo view"), [&v] { v.ToggleStereo(); }, [&s] { return s.stereo != 0; });
    display->addSeparator();
    const auto flagItem = [&](const char* text, MoleculeFlag flag) {
        AddItem(display, QString::fromLatin1(text), [&v, flag] { v.ToggleMoleculeFlag(flag); },
                [&v, flag] { return v.PrimaryFlag(flag); }, primary);
    };
    flagItem("Solvent", &Molecule::showSolvent);
    flagItem("Atom Labels", &Molecule::showLabels);
    flagItem("Monitors", &Molecule::showMonitors);
    flagItem("Monitor Labels", &Molecule::showMonitorLabels);
    flagItem("Show Wire frame", &Molecule::showWireFrame);
    display->addSeparator();
    QMenu* width = display->addMenu(QStringLiteral("Line Width"));
    for (int px = 1; px <= 5; ++px)
        AddItem(width, QString::number(px), [&v, px] { v.SetLineWidth(static_cast<float>(px)); },
                [&s, px] { return s.lineWidth == static_cast<float>(px); });
    AddItem(display, QStringLiteral("&Font ..."), [this] { ChooseFont(); }, {}, {},
            QStringLiteral("Choose the font of the atom labels"));
    QMenu* quality = display->addMenu(QStringLiteral("Graphics Quality"));
    for (GraphicsQuality level : {GraphicsQuality::High, GraphicsQuality::Medium, GraphicsQuality::Low}) {
        AddItem(quality, QString::fromLatin1(GraphicsQualityMenuText(level).data(),
                                             static_cast<qsizetype>(GraphicsQualityMenuText(level).size())),
                [&v, level] { v.SetQuality(level); }, [&s, level] { return s.quality.Level() == level; });
    }
    AddItem(quality, QStringLiteral("Custom ..."), [this] { CustomQuality(); },
            [&s] { return s.quality.Level() == GraphicsQuality::Custom; });

    QMenu* colour = menuBar()->addMenu(QStringLiteral("C&olor"));
    BuildAppearanceMenus(render, colour);
    AddItem(colour, QStringLiteral("Surface ..."), [this] { ShowSurfaceOptions(CSurfDialog::ColorPage); });

    QMenu* measure = menuBar()->addMenu(QStringLiteral("M&easure"));
    AddItem(measure, QStringLiteral("&Coordinates ...\tCtrl+M"), [this] { measuring_->OpenMeasure(); }, {}, {},
            QStringLiteral("Pick up to four atoms and read their coordinates, distances, angles and torsion"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    AddItem(measure, QStringLiteral("&Torsion Angle ...\tCtrl+T"), [this] { measuring_->OpenTorsion(); }, {}, {},
            QStringLiteral("Pick a bond and turn the smaller side of the molecule about it"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    QMenu* area = measure->addMenu(QStringLiteral("Surface Area"));
    const auto canReport = [this] { return CanReportSurfaceArea(document_); };
    AddItem(area, QStringLiteral("by residue ..."), [this] { ReportSurfaceArea(true); }, {}, canReport,
            QStringLiteral("Measure surface area for each residue"));
    AddItem(area, QStringLiteral("by atom ..."), [this] { ReportSurfaceArea(false); }, {}, canReport,
            QStringLiteral("Measure surface area by atom."));

    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    AddItem(tools, QStringLiteral("Molecule &Selection ..."), [this] { ShowMoleculeList(); }, {}, {},
            QStringLiteral("Delete, duplicate, fix or free, select and make primary the loaded molecules"));
    AddItem(tools, QStringLiteral("&Animate ..."), [this] { ShowAnimate(); }, {}, {},
            QStringLiteral("Play the trajectories forwards or backwards"));
    BuildAnalysisMenus(colour, tools);

    QMenu* mouse = menuBar()->addMenu(QStringLiteral("&Mouse"));
    AddItem(mouse, QStringLiteral("&Momentum"), [&camera] { camera.ToggleMomentum(); }, [&s] { return s.momentum; },
            {}, QStringLiteral("Keep turning after the mouse is released"));
    QMenu* sensitivity = mouse->addMenu(QStringLiteral("Sensitivity"));
    AddItem(sensitivity, QStringLiteral("Increase"), [&camera] { camera.IncreaseSensitivity(); })
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp));
    AddItem(sensitivity, QStringLiteral("Decrease"), [&camera] { camera.DecreaseSensitivity(); })
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown));
    AddItem(sensitivity, QStringLiteral("Default"), [&camera] { camera.DefaultSensitivity(); });
    AddItem(mouse, QStringLiteral("&Center"), [&camera] { camera.Centre(); }, {}, {},
            QStringLiteral("Move every free molecule back to the centre"));
    AddItem(mouse, QStringLiteral("Scale To &Fit"), [&camera] { camera.ToggleScaleToFit(); },
            [&s] { return s.scaleToFit; });

    QMenu* clip = menuBar()->addMenu(QStringLiteral("&Clip"));
    AddItem(clip, QStringLiteral("Clip View"), [&v] { v.ToggleClipView(); }, [&s] { return s.clipView; }, {},
            QStringLiteral("Clip the molecule: Ctrl + Left mouse rotates, Ctrl + Right mouse scales"));
    AddItem(clip, QStringLiteral("Clip Surface"), [&v] { v.ToggleClipSurface(); }, [&s] { return s.clipSurface; });
    AddItem(clip, QStringLiteral("Display Clip Plane"), [&v] { v.ToggleDisplayClipPlane(); },
            [&s] { return s.displayClipPlane; });
    AddItem(clip, QStringLiteral("Center Clip Plane"), [&v] { v.CentreClipPlane(); });


    QMenu* persistent = menuBar()->addMenu(QStringLiteral("&Persistent Settings"));
    AddItem(persistent, QStringLiteral("Restore Defaults"), [&v] { v.RestoreDefaults(); }, {}, {},
            QStringLiteral("Return all Velm parameters to their default values"));
    AddItem(persistent, QStringLiteral("Clean Registry"), [&v] { v.ToggleCleanRegistry(); },
            [&v] { return v.CleanRegistry(); }, {}, QStringLiteral("Purge all Velm Registry Entries on exit"));

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    AddItem(help, QStringLiteral("Command Line Options ..."), [this] { ShowCommandLineHelp(); }, {}, {},
            QStringLiteral("Show the list of allowed command line options"));
    AddItem(help, QStringLiteral("&About Velm ..."), [this] { ShowAbout(); });

    for (QMenu* m : menuBar()->findChildren<QMenu*>()) connect(m, &QMenu::aboutToShow, this, &CMainFrame::UpdateMenus);
    UpdateMenus();
}

}  // namespace velm
