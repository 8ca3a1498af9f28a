#pragma once
// How the mouse, the wheel and the arrow keys turn, move and zoom the scene,
// without any window: the window forwards its events here with window
// coordinates (y down), the buttons held and the Ctrl key, and gets told
// through callbacks what to redraw or recompute.
#include <functional>
#include <memory>

#include "core/List.h"
#include "core/Vec3.h"

namespace velm {

class Molecule;
struct Scene;
struct Trackball;

enum MouseButtons : int { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };
enum class ArrowKey { Left, Right, Up, Down };

struct CameraCallbacks {
    std::function<void()> redraw;
    std::function<void()> projectionChanged;      // field of view or stereo: reset the projection
    std::function<void()> hydrogenBondsChanged;   // recompute the displayed hydrogen bonds
    std::function<void()> coordinatesChanged;     // molecules moved relative to one another
    std::function<void(int x, int y)> pick;       // left press: pick at the point
    std::function<void(bool on)> captureMouse;
};

class CameraControl {
public:
    CameraControl(Scene& scene, const list<std::unique_ptr<Molecule>>& molecules, CameraCallbacks callbacks = {});

    // `held`: the buttons down after the change, as the window reports them.
    void ButtonDown(int button, int x, int y, int held, bool ctrl);
    void ButtonUp(int button, int x, int y, bool ctrl);
    void MouseMove(int x, int y, int held, bool ctrl);
    // One notch is 120: the field of view grows 5 degrees a notch.
    void Wheel(int delta);
    void Shift(bool down) { shift_ = down; }
    void Arrow(ArrowKey key);
    // Each painted frame while spinning: every moving trackball turns by its spin again.
    void SpinFrame();

    void ToggleMomentum();
    void IncreaseSensitivity();
    void DecreaseSensitivity();
    void DefaultSensitivity();
    void Centre();
    void ToggleScaleToFit();

    // Turns the scene by `degrees` about a screen axis (x right, y up, z
    // towards the eye), as a drag would: every moving trackball.
    void Turn(const Vec3& axis, double degrees);

    bool Dragging() const { return dragging_; }

private:
    template <typename F>
    void ForEachMoving(F f);
    bool AllFree() const;
    void Rotate(int x, int y);
    void RotateStep(float x1, float y1, float x2, float y2);
    void Zoom(int dx);
    void Translate(int x, int y);
    void RecomputeRadius();
    void StopSpinning();
    void Notify(const std::function<void()>& f) const {
        if (f) f();
    }

    Scene& scene_;
    const list<std::unique_ptr<Molecule>>& molecules_;
    CameraCallbacks callbacks_;
    bool dragging_ = false;
    bool shift_ = false;
    int lastZoomX_ = 0;
};

// The inverse of a trackball's rotation, whose first three columns are the
// screen's x, y and z directions in the trackball's frame; taken when a
// translate or zoom drag starts.
void CaptureInverseRotation(Trackball& trackball);

}  // namespace velm
