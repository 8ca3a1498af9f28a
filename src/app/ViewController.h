#pragma once
// What the window's view decides, apart from the toolkit: the scene and its
// link to the document, the camera control the mouse drives, the frame loop
// with its 15 ms throttle, picking into the status panes, the Render,
// Display, Mouse and Clip commands with their check marks, the persistent
// settings, and the pause of spin and playback around modal dialogs. The
// widget that shows the scene (a GL widget, or off screen an image of the EGL
// core) only turns its events into these calls.
#include <cstdint>
#include <functional>
#include <memory>

#include "core/Rgba.h"
#include "model/RenderMode.h"
#include "model/VelmSurface.h"
#include "render/CameraControl.h"
#include "render/LightingControls.h"
#include "render/Pick.h"
#include "render/Scene.h"
#include "render/SceneColours.h"
#include "render/SceneDocumentLink.h"

namespace velm {

class CVelmDoc;
class OffscreenRenderer;
class SettingsStore;
class UiHooks;

struct ViewHooks {
    std::function<void()> redraw;                  // invalidate and post a paint request
    std::function<void(int ms)> redrawIn;          // a paint request after that many milliseconds
    std::function<PickResult(int x, int y)> pick;  // at a point of the view, device pixels, y down
    std::function<void(const PickedAtomText&)> showPicked;  // status-bar panes 1 to 3
    std::function<void(const PickResult&)> picked;          // the tool windows take atoms and bonds
    std::function<void(bool on)> captureMouse;
    std::function<void()> stateChanged;  // check marks and enabling may differ
    std::function<void(int width, int height)> resized;
};

// The per-molecule display flags of the Display menu.
using MoleculeFlag = int Molecule::*;

class ViewController : public DocumentObserver {
public:
    static constexpr int kFrameIntervalMs = 15;

    // Sets the view's defaults and loads the persistent settings from the store.
    ViewController(CVelmDoc& document, SettingsStore& store, UiHooks& ui);
    ~ViewController() override;
    ViewController(const ViewController&) = delete;
    ViewController& operator=(const ViewController&) = delete;

    // The view and the frame each fill in theirs.
    ViewHooks& Hooks() { return hooks_; }

    Scene scene;
    CameraControl& Camera() { return camera_; }
    CVelmDoc& Document() { return document_; }
    UiHooks& Ui() { return ui_; }
    // The program's off-screen renderer of the scene: pictures, pages,
    // PostScript, and the view itself where there is no GL window.
    OffscreenRenderer& Offscreen() { return *offscreen_; }

    // Window size in device pixels; false when ignored (a side not positive).
    bool Resize(int width, int height);

    // One paint at `nowMs`: false when the frame is to be skipped (starting
    // less than 15 ms after the last drawn one while animating; a paint is
    // requested for when the 15 ms are up). A drawn frame's start is kept;
    // while animating the next paint is requested for 15 ms on, and spinning
    // turns the scene by its spin.
    bool BeginFrame(std::int64_t nowMs);
    // After the render pass: a playing trajectory advances.
    void EndFrame();
    // The GL state to set up again before drawing (quality, font, fog, line
    // smoothing, background, lights): true once per change.
    bool TakeReinitialise();
    bool TakeProjectionChange();

    // Render menu.
    bool HasPrimary() const;
    RenderMode PrimaryMode() const;
    void SetRenderMode(RenderMode mode);
    // Render menu: the shader path or the OpenGL 1.1 one from the next frame
    // on (kept with the settings as "renderer"); checked while the shader
    // path is chosen.
    void ToggleShaderPath();
    bool ShaderPathChosen() const;
    // Display menu: scene toggles; molecule flags on every selected molecule,
    // checked by the primary's.
    void ToggleDepthCue();
    void ToggleLineAlias();
    void ToggleAxes();
    void ToggleHydrogenBonds();
    void ToggleStereo();
    void ToggleMoleculeFlag(MoleculeFlag flag);
    bool PrimaryFlag(MoleculeFlag flag) const;
    void SetLineWidth(float pixels);
    void SetQuality(GraphicsQuality level);
    // The custom quality dialog sent values: rebuild the lists, redraw.
    void ResolutionsSent();
    void SetLabelFont(const LabelFontDescription& font);
    // Render > Surface on every selected molecule: build, restyle or discard;
    // a failed build is shown and the next molecule goes on. Checked when the
    // primary's surface is built in that style.
    void SurfaceCommand(SurfaceStyle style);
    bool PrimarySurfaceIs(SurfaceStyle style) const;
    // Color > "Background ...", "Selection ...", "Hydrogen Bonds ...",
    // "Clip Plane ...": the colour as bytes (current x 255, truncated) and
    // back (byte / 255); the background also sets the clear and fog colours.
    Rgba SceneColourBytes(SceneColour which) const;
    void SetSceneColour(SceneColour which, Rgba colour);
    // "Lighting": the dialog's controls into the lights and the material,
    // loaded into GL before the next frame.
    void ApplyLighting(const LightingControls& controls);
    // Clip menu.
    void ToggleClipView();
    void ToggleClipSurface();
    void ToggleDisplayClipPlane();
    void CentreClipPlane();
    // "Persistent Settings".
    void RestoreDefaults();
    void ToggleCleanRegistry();
    bool CleanRegistry() const { return cleanRegistry_; }
    // At the end of the run: the settings written, or after "Clean Registry"
    // every key removed (the recent files with them).
    void StoreSettings(SettingsStore& store);

    // Modal dialogs opened from the view stop spin and playback and show
    // frame 0 while they are open; afterwards all is as before, unless the
    // dialog changed the molecules, which then set the animation themselves.
    class Pause {
    public:
        explicit Pause(ViewController& view);
        ~Pause();
        Pause(const Pause&) = delete;
        Pause& operator=(const Pause&) = delete;

    private:
        ViewController& view_;
        AnimationState saved_;
        int frame_;
        int changes_;
    };

    void Redraw() const;

    void DocumentChanged(DocumentChange what) override;

private:
    void Picked(int x, int y);
    void StateChanged() const;
    void Reinitialise();

    CVelmDoc& document_;
    UiHooks& ui_;
    std::unique_ptr<SceneDocumentLink> link_;
    std::unique_ptr<OffscreenRenderer> offscreen_;
    CameraControl camera_;
    ViewHooks hooks_;
    bool reinitialise_ = true;
    bool projectionChanged_ = true;
    bool cleanRegistry_ = false;
    int moleculeChanges_ = 0;  // molecules or trajectories came or went
};

}  // namespace velm
