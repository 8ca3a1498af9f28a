#include "app/OffscreenView.h"

#include <QDateTime>
#include <QPainter>
#include <QResizeEvent>

#include <GL/gl.h>

#include <cmath>
#include <cstring>

#include "app/ViewController.h"
#include "app/ViewInput.h"
#include "core/VelmError.h"
#include "model/VelmDoc.h"
#include "render/OffscreenRenderer.h"
#include "render/SceneRenderer.h"

namespace velm {

COffscreenView::COffscreenView(ViewController& controller, QWidget* parent)
    : QWidget(parent), controller_(controller) {
    new ViewInput(controller, this);
    setAttribute(Qt::WA_OpaquePaintEvent);
    later_.setSingleShot(true);
    connect(&later_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
    ViewHooks& hooks = controller.Hooks();
    hooks.redraw = [this] { update(); };
    hooks.redrawIn = [this](int ms) {
        if (!later_.isActive()) later_.start(ms);
    };
    hooks.pick = [this](int x, int y) {
        return PickOffscreen(controller_.Offscreen(), controller_.Document().Molecules(), x, y, controller_.Ui());
    };
}

COffscreenView::~COffscreenView() = default;

void COffscreenView::resizeEvent(QResizeEvent* event) {
    const qreal dpr = devicePixelRatioF();
    controller_.Resize(static_cast<int>(std::lround(event->size().width() * dpr)),
                       static_cast<int>(std::lround(event->size().height() * dpr)));
    QWidget::resizeEvent(event);
}

QImage COffscreenView::Snapshot() {
    if (image_.isNull()) Render();
    return image_;
}

void COffscreenView::Render() {
    const ViewSettings& s = controller_.scene.settings;
    if (s.width <= 0 || s.height <= 0 || failed_) return;
    try {
        // A session sets the GL state up for the scene as it is: the flags
        // for the window's own context are not needed here.
        controller_.TakeReinitialise();
        controller_.TakeProjectionChange();
        OffscreenRenderer::Session session(controller_.Offscreen(), s.width, s.height);
        session.Renderer().SetProjection();
        session.Renderer().RenderPass(controller_.Document().Molecules(), static_cast<int>(PassMode::Draw));
        if (renderer_name_.isEmpty())
            if (const auto* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER)))
                renderer_name_ = QString::fromLatin1(name);
        const std::vector<std::uint8_t> pixels = session.ReadPixels();
        QImage image(s.width, s.height, QImage::Format_RGBA8888);
        const size_t row = static_cast<size_t>(s.width) * 4;
        for (int y = 0; y < s.height; ++y)  // bottom row first
            std::memcpy(image.scanLine(s.height - 1 - y), pixels.data() + row * static_cast<size_t>(y), row);
        image.setDevicePixelRatio(devicePixelRatioF());
        image_ = std::move(image);
    } catch (const VelmError& e) {
        // Without an off-screen context the window still works, with an empty view.
        failed_ = true;
        const std::string text = e.shownText();
        QMetaObject::invokeMethod(this, [this, text] { controller_.Ui().Message(text); }, Qt::QueuedConnection);
    }
}

void COffscreenView::paintEvent(QPaintEvent*) {
    if (controller_.BeginFrame(QDateTime::currentMSecsSinceEpoch())) {
        Render();
        controller_.EndFrame();
    }
    QPainter painter(this);
    if (image_.isNull()) painter.fillRect(rect(), Qt::black);
    else painter.drawImage(rect(), image_);
}

}  // namespace velm
