#pragma once
// The widget that shows the scene. Where the platform has OpenGL it is the
// GL widget CVelmView; on the offscreen and minimal platforms (no GL there,
// and a shown GL widget crashes Qt 6.4) an image drawn by the EGL core.
#include <QImage>
#include <QString>

class QWidget;

namespace velm {

class ViewController;

class SceneView {
public:
    virtual ~SceneView() = default;
    virtual QWidget* Widget() = 0;
    // What is shown, at device pixels.
    virtual QImage Snapshot() = 0;
    // The OpenGL renderer string; empty before the first frame.
    virtual QString RendererName() const = 0;
    virtual bool UsesGlWidget() const = 0;
    // Off-screen work from the window (pictures, pages, PostScript) makes
    // the EGL context current, which cannot happen over the window's own
    // (GLX) context; the view lets go of it, and takes it back afterwards if
    // it held it.
    virtual void ReleaseContext() {}
    virtual void RestoreContext() {}
};

// The view's context released for the lifetime of a scope.
class WithoutViewContext {
public:
    explicit WithoutViewContext(SceneView& view) : view_(view) { view_.ReleaseContext(); }
    ~WithoutViewContext() { view_.RestoreContext(); }
    WithoutViewContext(const WithoutViewContext&) = delete;
    WithoutViewContext& operator=(const WithoutViewContext&) = delete;

private:
    SceneView& view_;
};

// The view for this platform, forwarding mouse, wheel and keys to the
// controller, and hooking the controller's redraws and picks to itself.
SceneView* MakeSceneView(ViewController& controller, QWidget* parent);

}  // namespace velm
