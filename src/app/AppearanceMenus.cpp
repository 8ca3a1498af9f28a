// The colour, radius and lighting commands: the scene colours through the
// "Color" dialog, and the "Custom Colors", "Atom Radius" and "Lighting"
// windows, each modeless and kept once.
#include <QMenu>
#include <QMenuBar>

#include "app/MainFrame.h"
#include "app/ViewController.h"
#include "dialogs/AtomRadiusDialog.h"
#include "dialogs/ColourChooserDialog.h"
#include "dialogs/CustomColoursDialog.h"
#include "dialogs/LightingDialog.h"
#include "model/SequenceTool.h"
#include "model/VelmDoc.h"
#include "render/SceneColours.h"

namespace velm {

void CMainFrame::BuildAppearanceMenus(QMenu* render, QMenu* colour) {
    const auto primary = [this] { return controller_.HasPrimary(); };
    AddItem(render, QStringLiteral("&Lighting ...\tCtrl+L"), [this] { ShowLighting(); })
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));

    AddItem(colour, QStringLiteral("Molecule ..."), [this] { ShowCustomColours(); }, {}, primary);
    const auto sceneItem = [&](const char* text, SceneColour which) {
        AddItem(colour, QString::fromLatin1(text), [this, which] { ChooseSceneColour(static_cast<int>(which)); });
    };
    sceneItem("Background ...", SceneColour::Background);
    sceneItem("Selection ...", SceneColour::Selection);
    sceneItem("Hydrogen Bonds ...", SceneColour::HydrogenBonds);
    sceneItem("Clip Plane ...", SceneColour::ClipPlane);

    QMenu* adjust = menuBar()->addMenu(QStringLiteral("&Adjust"));
    AddItem(adjust, QStringLiteral("Atomic Radii ..."), [this] { ShowAtomRadius(); }, {}, primary);
}

void CMainFrame::ChooseSceneColour(int which) {
    const auto target = static_cast<SceneColour>(which);
    ViewController::Pause pause(controller_);
    CColourChooserDialog* dialog = nullptr;
    CColourChooserDialog chooser(this, controller_.SceneColourBytes(target), [&](int code, Rgba colour) {
        if (code == ChooserOk || code == ChooserApply) controller_.SetSceneColour(target, colour);
        if (code == ChooserOk) dialog->accept();
    }, SceneColourHasAlpha(target));
    dialog = &chooser;
    chooser.exec();
}

namespace {
template <class Dialog, class Make>
void ShowOnce(QPointer<Dialog>& tool, Make make) {
    if (!tool) {
        tool = make();
        tool->setAttribute(Qt::WA_DeleteOnClose);
    }
    tool->show();
    tool->raise();
    tool->activateWindow();
}
}  // namespace

void CMainFrame::ShowCustomColours() {
    ShowOnce(customColours_, [this] { return new CCustomColoursDialog(this, document_, ui_); });
}

void CMainFrame::ShowAtomRadius() {
    ShowOnce(atomRadius_, [this] { return new CAtomRadiusDialog(this, document_, ui_); });
}

void CMainFrame::ShowLighting() {
    ShowOnce(lighting_, [this] {
        return new CLightingDialog(this, controller_.scene.lighting,
                                   [this](const LightingControls& c) { controller_.ApplyLighting(c); });
    });
}

CCustomColoursDialog* CMainFrame::CustomColours() const { return customColours_.data(); }
CAtomRadiusDialog* CMainFrame::AtomRadius() const { return atomRadius_.data(); }
CLightingDialog* CMainFrame::Lighting() const { return lighting_.data(); }

}  // namespace velm
