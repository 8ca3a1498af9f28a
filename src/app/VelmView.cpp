#include "app/VelmView.h"

#include <QDateTime>
#include <QOpenGLContext>
#include <QSurfaceFormat>

#include <GL/gl.h>

#include <cmath>

#include "app/ViewController.h"
#include "app/ViewInput.h"
#include "core/VelmError.h"
#include "model/VelmDoc.h"
#include "render/OffscreenRenderer.h"
#include "render/SceneRenderer.h"

namespace velm {

CVelmView::CVelmView(ViewController& controller, QWidget* parent) : QOpenGLWidget(parent), controller_(controller) {
    new ViewInput(controller, this);
    // Multisampled as pictures are, when the setting asks (read at start-up).
    QSurfaceFormat f = format();
    f.setSamples(controller.scene.settings.multisample ? kPictureSamples : 0);
    setFormat(f);
    // A paint skipped by the frame throttle keeps the last frame on screen.
    setUpdateBehavior(QOpenGLWidget::PartialUpdate);
    later_.setSingleShot(true);
    // The frame is due: paint now, not after the toolkit's own update delay (5 ms on X11).
    connect(&later_, &QTimer::timeout, this, qOverload<>(&QWidget::repaint));
    ViewHooks& hooks = controller.Hooks();
    hooks.redraw = [this] { update(); };
    hooks.redrawIn = [this](int ms) {
        if (!later_.isActive()) later_.start(ms);
    };
    hooks.pick = [this](int x, int y) {
        if (!renderer_) return PickResult{};
        makeCurrent();
        struct Done {
            CVelmView* v;
            ~Done() { v->doneCurrent(); }
        } done{this};
        return Pick(*renderer_, controller_.Document().Molecules(), x, y, controller_.Ui());
    };
}

CVelmView::~CVelmView() {
    // The context outlives this part of the widget: it must not call back here.
    if (QOpenGLContext* c = context()) disconnect(c, nullptr, this, nullptr);
    ReleaseRenderer();
}

void CVelmView::ReleaseRenderer() {
    // The lists go with the context: delete them while it is current.
    makeCurrent();
    renderer_.reset();
    doneCurrent();
}

void CVelmView::ReleaseContext() {
    if (released_++ > 0) return;
    wasCurrent_ = context() && QOpenGLContext::currentContext() == context();
    // Through the widget, so that the toolkit knows its context is no longer current.
    if (wasCurrent_) doneCurrent();
}

void CVelmView::RestoreContext() {
    if (released_ == 0 || --released_ > 0) return;
    if (wasCurrent_) makeCurrent();
}

void CVelmView::initializeGL() {
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &CVelmView::ReleaseRenderer, Qt::UniqueConnection);
    renderer_ = std::make_unique<SceneRenderer>(controller_.scene);
    controller_.scene.fallbackNotice = [this](const std::string& text) { controller_.Ui().SetStatusText(text); };
    depthsKnown_ = false;
    if (const auto* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER)))
        renderer_name_ = QString::fromLatin1(name);
    renderer_->Initialise();
    controller_.TakeReinitialise();
}

void CVelmView::resizeGL(int w, int h) {
    // The framebuffer is device pixels; so is everything the renderer does.
    const qreal dpr = devicePixelRatioF();
    controller_.Resize(static_cast<int>(std::lround(w * dpr)), static_cast<int>(std::lround(h * dpr)));
}

void CVelmView::paintGL() {
    if (!renderer_) return;
    if (!depthsKnown_) {
        // What the framebuffer drawn into has, for the About box.
        GLint r = 0, g = 0, b = 0, depth = 0;
        glGetIntegerv(GL_RED_BITS, &r);
        glGetIntegerv(GL_GREEN_BITS, &g);
        glGetIntegerv(GL_BLUE_BITS, &b);
        glGetIntegerv(GL_DEPTH_BITS, &depth);
        controller_.scene.settings.colourBits = r + g + b;
        controller_.scene.settings.depthBits = depth;
        depthsKnown_ = true;
    }
    if (!controller_.BeginFrame(QDateTime::currentMSecsSinceEpoch())) return;
    try {
        if (controller_.TakeReinitialise()) renderer_->Initialise();
        if (controller_.TakeProjectionChange()) renderer_->SetProjection();
        renderer_->RenderPass(controller_.Document().Molecules(), static_cast<int>(PassMode::Draw));
    } catch (const VelmError&) {
        // A frame that cannot be drawn shows the background; the next may succeed.
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    controller_.EndFrame();
}

}  // namespace velm
