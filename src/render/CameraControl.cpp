#include "render/CameraControl.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "model/Molecule.h"
#include "render/Scene.h"
#include "render/SceneRadius.h"

namespace velm {

namespace {
constexpr float kMinimumSensitivity = 0.4f, kMaximumSensitivity = 1.5f, kDefaultSensitivity = 0.8f;

void ApplySpin(Trackball& t) { AddQuaternions(t.spin, t.orientation, t.orientation); }

// Column j of the captured inverse rotation: screen axis j in the trackball's frame.
Vec3 ScreenAxis(const Trackball& t, int j) {
    return {t.inverseRotation[4 * j], t.inverseRotation[4 * j + 1], t.inverseRotation[4 * j + 2]};
}

void Move(Trackball& t, const Vec3& by) {
    t.translation[0] += static_cast<float>(by.x);
    t.translation[1] += static_cast<float>(by.y);
    t.translation[2] += static_cast<float>(by.z);
}

}  // namespace

void CaptureInverseRotation(Trackball& t) {
    float m[16];
    RotationMatrix(t.orientation, m);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) t.inverseRotation[4 * c + r] = m[4 * r + c];
}

CameraControl::CameraControl(Scene& scene, const list<std::unique_ptr<Molecule>>& molecules, CameraCallbacks callbacks)
    : scene_(scene), molecules_(molecules), callbacks_(std::move(callbacks)) {}

template <typename F>
void CameraControl::ForEachMoving(F f) {
    if (scene_.trackball.free) f(scene_.trackball);
    for (auto& m : molecules_)
        if (m->trackball.free) f(m->trackball);
}

bool CameraControl::AllFree() const {
    for (const auto& m : molecules_)
        if (!m->trackball.free) return false;
    return true;
}

void CameraControl::RecomputeRadius() {
    scene_.settings.SceneRadius = ComputeSceneRadius(molecules_, scene_.settings.scaleToFit);
}

void CameraControl::StopSpinning() {
    AnimationState& a = scene_.settings.animation;
    a.spinning = false;
    if (!a.playing) a.animating = false;
}

void CameraControl::ButtonDown(int button, int x, int y, int held, bool ctrl) {
    const bool left = button == kLeftButton, right = button == kRightButton;
    if ((left && (held & kRightButton)) || (right && (held & kLeftButton)) || button == kMiddleButton) {
        ForEachMoving([&](Trackball& t) {
            t.lastTranslateX = x;
            t.lastTranslateY = y;
            CaptureInverseRotation(t);
        });
        return;
    }
    if (left) {
        if (callbacks_.captureMouse) callbacks_.captureMouse(true);
        dragging_ = true;
        if (callbacks_.pick) callbacks_.pick(x, y);
        if (ctrl) {
            scene_.clip.StartRotate(x, y);
            return;
        }
        const auto start = [&](Trackball& t) {
            t.lastRotateX = x;
            t.lastRotateY = y;
            t.moveCount = 0;
        };
        start(scene_.trackball);
        for (auto& m : molecules_)
            if (m->trackball.free) start(m->trackball);
        StopSpinning();
    } else if (right) {
        if (callbacks_.captureMouse) callbacks_.captureMouse(true);
        if (ctrl) {
            scene_.clip.StartScale(x);
            return;
        }
        lastZoomX_ = x;
        if (!AllFree())
            ForEachMoving([&](Trackball& t) {
                t.lastZoomX = x;
                CaptureInverseRotation(t);
            });
    }
}

void CameraControl::ButtonUp(int button, int x, int y, bool ctrl) {
    if (button == kLeftButton) {
        dragging_ = false;
        // A click without a move: one step at the same point stops any spin.
        if (scene_.trackball.moveCount == 0 && !ctrl) Rotate(x, y);
        if (callbacks_.captureMouse) callbacks_.captureMouse(false);
        // A Ctrl drag turned the clipping plane: no spin left from an
        // earlier drag starts again.
        if (scene_.settings.momentum && !ctrl) {
            AnimationState& a = scene_.settings.animation;
            a.spinning = true;
            if (!a.playing) a.animating = true;
            Notify(callbacks_.redraw);
        }
    } else if (button == kRightButton) {
        if (callbacks_.captureMouse) callbacks_.captureMouse(false);
    }
}

void CameraControl::MouseMove(int x, int y, int held, bool ctrl) {
    const bool left = held & kLeftButton, right = held & kRightButton, middle = held & kMiddleButton;
    const int w = scene_.settings.width, h = scene_.settings.height;
    if (middle || (left && right)) {
        Translate(x, y);
    } else if (left) {
        if (ctrl) {
            scene_.clip.Rotate(x, y, w, h);
            Notify(callbacks_.redraw);
        } else {
            Rotate(x, y);
        }
    } else if (right) {
        if (ctrl) {
            scene_.clip.Scale(x, w);
            Notify(callbacks_.redraw);
        } else {
            const int dx = x - lastZoomX_;
            Zoom(dx);
        }
        lastZoomX_ = x;
        ForEachMoving([&](Trackball& t) { t.lastZoomX = x; });
    }
}

void CameraControl::Rotate(int x, int y) {
    const int w = scene_.settings.width, h = scene_.settings.height;
    ForEachMoving([&](Trackball& t) {
        TrackballStep(t.spin, NormalisedX(t.lastRotateX, w), NormalisedY(t.lastRotateY, h), NormalisedX(x, w),
                      NormalisedY(y, h), t.radius);
        t.lastRotateX = x;
        t.lastRotateY = y;
        ++t.moveCount;
    });
    if (scene_.settings.showHBonds && !AllFree()) Notify(callbacks_.hydrogenBondsChanged);
    Notify(callbacks_.coordinatesChanged);
    AnimationState& a = scene_.settings.animation;
    if (!scene_.settings.momentum || dragging_) {
        ForEachMoving(ApplySpin);
    } else {
        a.spinning = true;
        if (!a.playing) a.animating = true;
    }
    Notify(callbacks_.redraw);
}

void CameraControl::RotateStep(float x1, float y1, float x2, float y2) {
    ForEachMoving([&](Trackball& t) {
        TrackballStep(t.spin, x1, y1, x2, y2, t.radius);
        ApplySpin(t);
    });
    Notify(callbacks_.redraw);
}

void CameraControl::Zoom(int dx) {
    ViewSettings& s = scene_.settings;
    if (AllFree()) {
        if (s.width > 0) s.fieldOfView = std::clamp(s.fieldOfView - 40.0f * dx / s.width, 0.0f, 180.0f);
        Notify(callbacks_.projectionChanged);
    } else {
        const double k = 3.0 * dx * s.SceneRadius / std::max({s.width, s.height, 1});
        ForEachMoving([&](Trackball& t) { Move(t, ScreenAxis(t, 2) * k); });
        RecomputeRadius();
        if (s.showHBonds) Notify(callbacks_.hydrogenBondsChanged);
        Notify(callbacks_.coordinatesChanged);
    }
    Notify(callbacks_.redraw);
}

void CameraControl::Translate(int x, int y) {
    const ViewSettings& s = scene_.settings;
    const double k = 3.0 * s.SceneRadius / std::max({s.width, s.height, 1});
    ForEachMoving([&](Trackball& t) {
        const int dx = x - t.lastTranslateX, dy = y - t.lastTranslateY;
        Move(t, ScreenAxis(t, 0) * (k * dx) - ScreenAxis(t, 1) * (k * dy));
        t.lastTranslateX = x;
        t.lastTranslateY = y;
    });
    RecomputeRadius();
    if (s.showHBonds && !AllFree()) Notify(callbacks_.hydrogenBondsChanged);
    Notify(callbacks_.coordinatesChanged);
    Notify(callbacks_.redraw);
}

void CameraControl::Wheel(int delta) {
    ViewSettings& s = scene_.settings;
    s.fieldOfView = std::clamp(s.fieldOfView + 5.0f * static_cast<float>(delta / 120), 0.0f, 180.0f);
    Notify(callbacks_.projectionChanged);
    Notify(callbacks_.redraw);
}

void CameraControl::Arrow(ArrowKey key) {
    if (shift_) {
        const int pixels = key == ArrowKey::Left || key == ArrowKey::Down ? 10 : -10;
        // The captured directions of a key zoom are those of the current orientation.
        if (!AllFree()) ForEachMoving(CaptureInverseRotation);
        Zoom(pixels);
        return;
    }
    switch (key) {
    case ArrowKey::Left: RotateStep(0.05f, 0, 0, 0); break;
    case ArrowKey::Right: RotateStep(0, 0, 0.05f, 0); break;
    case ArrowKey::Up: RotateStep(0, 0, 0, 0.05f); break;
    case ArrowKey::Down: RotateStep(0, 0.05f, 0, 0); break;
    }
}

void CameraControl::SpinFrame() {
    if (!scene_.settings.animation.spinning) return;
    ForEachMoving(ApplySpin);
}

void CameraControl::ToggleMomentum() {
    scene_.settings.momentum = !scene_.settings.momentum;
    if (!scene_.settings.momentum && scene_.settings.animation.spinning) StopSpinning();
}

void CameraControl::IncreaseSensitivity() {
    const auto step = [](Trackball& t) {
        if (t.radius > kMinimumSensitivity) t.radius -= 0.1f;
    };
    step(scene_.trackball);
    for (auto& m : molecules_) step(m->trackball);
}

void CameraControl::DecreaseSensitivity() {
    const auto step = [](Trackball& t) {
        if (t.radius < kMaximumSensitivity) t.radius += 0.1f;
    };
    step(scene_.trackball);
    for (auto& m : molecules_) step(m->trackball);
}

void CameraControl::DefaultSensitivity() {
    scene_.trackball.radius = kDefaultSensitivity;
    for (auto& m : molecules_) m->trackball.radius = kDefaultSensitivity;
}

void CameraControl::Centre() {
    for (auto& m : molecules_)
        if (m->trackball.free) std::fill(m->trackball.translation, m->trackball.translation + 3, 0.0f);
    RecomputeRadius();  // the whole scene in view again
    Notify(callbacks_.coordinatesChanged);
    Notify(callbacks_.redraw);
}

void CameraControl::ToggleScaleToFit() {
    scene_.settings.scaleToFit = !scene_.settings.scaleToFit;
    RecomputeRadius();
    Notify(callbacks_.redraw);
}

void CameraControl::Turn(const Vec3& axis, double degrees) {
    const double length = Length(axis);
    if (!(length > 0)) return;
    // The rotation matrix of a quaternion turns the other way round its
    // axis; the conjugate turns the scene by +degrees as seen on screen.
    const double half = degrees * std::numbers::pi / 360;
    const double s = -std::sin(half) / length;
    const float q[4] = {static_cast<float>(axis.x * s), static_cast<float>(axis.y * s),
                        static_cast<float>(axis.z * s), static_cast<float>(std::cos(half))};
    ForEachMoving([&](Trackball& t) { AddQuaternions(q, t.orientation, t.orientation); });
    Notify(callbacks_.redraw);
}

}  // namespace velm
