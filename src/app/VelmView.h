#pragma once
// The window's OpenGL view: a GL widget that owns a renderer of the
// controller's scene in its context and draws the render pass on each paint.
#include <QOpenGLWidget>
#include <QTimer>

#include <memory>

#include "app/SceneView.h"

namespace velm {

class SceneRenderer;

class CVelmView : public QOpenGLWidget, public SceneView {
    Q_OBJECT
public:
    CVelmView(ViewController& controller, QWidget* parent);
    ~CVelmView() override;

    QWidget* Widget() override { return this; }
    QImage Snapshot() override { return grabFramebuffer(); }
    QString RendererName() const override { return renderer_name_; }
    bool UsesGlWidget() const override { return true; }
    void ReleaseContext() override;
    void RestoreContext() override;

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;

private:
    void ReleaseRenderer();

    ViewController& controller_;
    std::unique_ptr<SceneRenderer> renderer_;
    QString renderer_name_;
    bool depthsKnown_ = false;
    int released_ = 0;       // nesting of ReleaseContext
    bool wasCurrent_ = false;  // the context was current when first released
    QTimer later_;
};

}  // namespace velm
