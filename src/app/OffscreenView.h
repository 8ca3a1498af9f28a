#pragma once
// The view on platforms without OpenGL windows: each paint draws the scene
// with the program's off-screen renderer (EGL) and shows the image.
#include <QImage>
#include <QTimer>
#include <QWidget>

#include "app/SceneView.h"

namespace velm {

class COffscreenView : public QWidget, public SceneView {
    Q_OBJECT
public:
    COffscreenView(ViewController& controller, QWidget* parent);
    ~COffscreenView() override;

    QWidget* Widget() override { return this; }
    QImage Snapshot() override;
    QString RendererName() const override { return renderer_name_; }
    bool UsesGlWidget() const override { return false; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Render();

    ViewController& controller_;
    QImage image_;
    QString renderer_name_;
    bool failed_ = false;
    QTimer later_;
};

}  // namespace velm
