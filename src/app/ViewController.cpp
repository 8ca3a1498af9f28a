#include "app/ViewController.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"
#include "output/SettingsTable.h"
#include "render/OffscreenRenderer.h"
#include "render/RenderCommands.h"
#include "surface/HydrogenBonds.h"
#include "surface/SurfaceBuild.h"

namespace velm {

ViewController::ViewController(CVelmDoc& document, SettingsStore& store, UiHooks& ui)
    : document_(document),
      ui_(ui),
      camera_(scene, document.Molecules(),
              CameraCallbacks{
                  [this] { Redraw(); },
                  [this] { projectionChanged_ = true; },
                  [this] { RecomputeHydrogenBonds(document_); },
                  [this] { document_.AnnounceSceneMoved(); },
                  [this](int x, int y) { Picked(x, y); },
                  [this](bool on) {
                      if (hooks_.captureMouse) hooks_.captureMouse(on);
                  },
              }) {
    SetViewDefaults({scene.settings, scene.lighting}, &store);
    document_.options.trajectoryMemory = scene.settings.trajectoryMemory;
    link_ = std::make_unique<SceneDocumentLink>(scene, document_);
    offscreen_ = std::make_unique<OffscreenRenderer>(scene);
    document_.AddObserver(*this);
}

ViewController::~ViewController() { document_.RemoveObserver(*this); }

void ViewController::Redraw() const {
    if (hooks_.redraw) hooks_.redraw();
}

void ViewController::StateChanged() const {
    if (hooks_.stateChanged) hooks_.stateChanged();
}

void ViewController::Reinitialise() {
    reinitialise_ = true;
    Redraw();
}

bool ViewController::Resize(int width, int height) {
    if (width <= 0 || height <= 0) return false;
    scene.settings.width = width;
    scene.settings.height = height;
    projectionChanged_ = true;
    if (hooks_.resized) hooks_.resized(width, height);
    return true;
}

bool ViewController::BeginFrame(std::int64_t nowMs) {
    ViewSettings& s = scene.settings;
    if (!s.animation.animating) {
        s.lastFrameMs = nowMs;
        return true;
    }
    s.nowMs = nowMs;
    const std::int64_t since = nowMs - s.lastFrameMs;
    if (since >= 0 && since < kFrameIntervalMs) {
        // Too soon: this paint draws nothing new; the next comes when it is time.
        if (hooks_.redrawIn) hooks_.redrawIn(static_cast<int>(kFrameIntervalMs - since));
        else Redraw();
        return false;
    }
    // The next frame is asked for when it may be drawn, so that no paint in
    // between is spent on a frame the throttle would skip.
    if (hooks_.redrawIn) hooks_.redrawIn(kFrameIntervalMs);
    else Redraw();
    // Frames start at least 15 ms apart; one that takes longer is followed at once.
    s.lastFrameMs = nowMs;
    if (s.animation.spinning) {
        camera_.SpinFrame();
        document_.AnnounceSceneMoved();
    }
    return true;
}

void ViewController::EndFrame() {
    const ViewSettings& s = scene.settings;
    if (s.animation.playing) document_.Step(s.animation.playDirection);
}

bool ViewController::TakeReinitialise() { return std::exchange(reinitialise_, false); }
bool ViewController::TakeProjectionChange() { return std::exchange(projectionChanged_, false); }

void ViewController::Picked(int x, int y) {
    if (!hooks_.pick) return;
    try {
        const PickResult hit = hooks_.pick(x, y);
        if (hit.kind == PickResult::AtomHit && hit.molecule && hooks_.showPicked)
            hooks_.showPicked(DescribePickedAtom(*hit.molecule, hit.index));
        if (hit.kind != PickResult::None && hit.molecule && hooks_.picked) hooks_.picked(hit);
    } catch (const VelmError& e) {
        ui_.Message(e.shownText());
    }
    Redraw();
}

bool ViewController::HasPrimary() const { return document_.Primary() != nullptr; }

RenderMode ViewController::PrimaryMode() const {
    return document_.Primary() ? document_.Primary()->renderMode : Hidden;
}

void ViewController::SetRenderMode(RenderMode mode) {
    ApplyRenderMode(scene.settings, document_, mode);
    Redraw();
}

void ViewController::ToggleShaderPath() {
    scene.settings.drawingPath = ShaderPathChosen() ? DrawingPath::Fixed : DrawingPath::Shader;
    Redraw();
}

bool ViewController::ShaderPathChosen() const { return scene.settings.drawingPath == DrawingPath::Shader; }

void ViewController::ToggleDepthCue() {
    scene.settings.depthCue = !scene.settings.depthCue;
    Reinitialise();
}

void ViewController::ToggleLineAlias() {
    scene.settings.lineAlias = !scene.settings.lineAlias;
    Reinitialise();
}

void ViewController::ToggleAxes() {
    scene.settings.showAxes = !scene.settings.showAxes;
    Redraw();
}

void ViewController::ToggleHydrogenBonds() {
    scene.settings.showHBonds = !scene.settings.showHBonds;
    if (scene.settings.showHBonds) {
        WaitCursor wait(ui_);
        RecomputeHydrogenBonds(document_);
    }
    Redraw();
}

void ViewController::ToggleStereo() {
    scene.settings.stereo = scene.settings.stereo ? 0 : 1;
    projectionChanged_ = true;
    Redraw();
}

void ViewController::ToggleMoleculeFlag(MoleculeFlag flag) {
    document_.EditSelected(DocumentChange::Display, [flag](Molecule& m) { m.*flag = m.*flag ? 0 : 1; });
    Redraw();
}

bool ViewController::PrimaryFlag(MoleculeFlag flag) const {
    return document_.Primary() && document_.Primary()->*flag != 0;
}

void ViewController::SetLineWidth(float pixels) {
    scene.settings.lineWidth = pixels;
    Redraw();
}

void ViewController::SetQuality(GraphicsQuality level) {
    scene.settings.quality.SetLevel(level);
    Reinitialise();
}

void ViewController::ResolutionsSent() {
    Reinitialise();
    StateChanged();
}

void ViewController::SetLabelFont(const LabelFontDescription& font) {
    scene.settings.font = font;
    Reinitialise();
}

void ViewController::SurfaceCommand(SurfaceStyle style) {
    std::vector<Molecule*> chosen;
    for (const auto& m : document_.Molecules())
        if (m->selected) chosen.push_back(m.get());
    for (Molecule* m : chosen) {
        try {
            document_.EditMolecule(*m, DocumentChange::Display,
                                   [&](Molecule& mol) { SurfaceStyleCommand(mol, style, ui_); });
        } catch (const VelmError& e) {
            ui_.ProgressEnd();
            ui_.Message(e.shownText());
        }
    }
    Redraw();
}

bool ViewController::PrimarySurfaceIs(SurfaceStyle style) const {
    const Molecule* p = document_.Primary();
    return p && p->surface.built && p->surface.style == style;
}

Rgba ViewController::SceneColourBytes(SceneColour which) const { return velm::SceneColourBytes(scene.settings, which); }

void ViewController::SetSceneColour(SceneColour which, Rgba colour) {
    velm::SetSceneColour(scene.settings, which, colour);
    if (which == SceneColour::Background) Reinitialise();
    else Redraw();
}

void ViewController::ApplyLighting(const LightingControls& controls) {
    ApplyLightingControls(controls, scene.lighting);
    Reinitialise();
}

void ViewController::ToggleClipView() {
    scene.settings.clipView = !scene.settings.clipView;
    projectionChanged_ = true;  // enables or disables the GL plane with the projection
    Redraw();
}

void ViewController::ToggleClipSurface() {
    scene.settings.clipSurface = !scene.settings.clipSurface;
    Redraw();
}

void ViewController::ToggleDisplayClipPlane() {
    scene.settings.displayClipPlane = !scene.settings.displayClipPlane;
    Redraw();
}

void ViewController::CentreClipPlane() {
    scene.clip.Centre();
    if (scene.settings.clipView || scene.settings.clipSurface) Redraw();
}

void ViewController::RestoreDefaults() {
    if (!ui_.AskYesNo(kRestoreDefaultsQuestion)) return;
    // What the context gave stays what it gave.
    const int colourBits = scene.settings.colourBits, depthBits = scene.settings.depthBits;
    SetViewDefaults({scene.settings, scene.lighting}, nullptr);
    scene.settings.colourBits = colourBits;
    scene.settings.depthBits = depthBits;
    projectionChanged_ = true;
    Reinitialise();
    StateChanged();
}

void ViewController::ToggleCleanRegistry() {
    if (cleanRegistry_) cleanRegistry_ = false;
    else cleanRegistry_ = ui_.AskYesNo(kCleanRegistryQuestion);
}

void ViewController::StoreSettings(SettingsStore& store) {
    if (cleanRegistry_) RemoveAllSettings(store);
    else SaveSettings({scene.settings, scene.lighting}, store);
}

void ViewController::DocumentChanged(DocumentChange what) {
    if (Any(what, DocumentChange::Molecules | DocumentChange::Frames)) ++moleculeChanges_;
    if (what != DocumentChange::Title) Redraw();
    StateChanged();
}

ViewController::Pause::Pause(ViewController& view)
    : view_(view),
      saved_(view.scene.settings.animation),
      frame_(view.document_.CurrentAnimationFrame()),
      changes_(view.moleculeChanges_) {
    view_.scene.settings.animation = AnimationState{};
    if (frame_ != 0) view_.document_.SetFrame(0);
}

ViewController::Pause::~Pause() {
    if (view_.moleculeChanges_ == changes_) {
        view_.scene.settings.animation = saved_;
        if (frame_ != 0) view_.document_.SetFrame(frame_);
    }
    view_.Redraw();
}

}  // namespace velm
