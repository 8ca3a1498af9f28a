#include "app/ViewInput.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

#include <cmath>

#include "app/ViewController.h"

namespace velm {

namespace {

int ButtonOf(Qt::MouseButton b) {
    switch (b) {
    case Qt::LeftButton: return kLeftButton;
    case Qt::RightButton: return kRightButton;
    case Qt::MiddleButton: return kMiddleButton;
    default: return 0;
    }
}

int Held(Qt::MouseButtons buttons) {
    int held = 0;
    if (buttons & Qt::LeftButton) held |= kLeftButton;
    if (buttons & Qt::RightButton) held |= kRightButton;
    if (buttons & Qt::MiddleButton) held |= kMiddleButton;
    return held;
}

}  // namespace

ViewInput::ViewInput(ViewController& controller, QWidget* view) : QObject(view), controller_(controller), view_(view) {
    view->installEventFilter(this);
    view->setFocusPolicy(Qt::StrongFocus);
}

bool ViewInput::eventFilter(QObject* watched, QEvent* event) {
    if (watched != view_) return false;
    CameraControl& camera = controller_.Camera();
    // The renderer works in device pixels: so do picking and the trackball.
    const qreal dpr = view_->devicePixelRatioF();
    const auto device = [dpr](const QPointF& p, int& x, int& y) {
        x = static_cast<int>(std::lround(p.x() * dpr));
        y = static_cast<int>(std::lround(p.y() * dpr));
    };
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* e = static_cast<QMouseEvent*>(event);
        const int button = ButtonOf(e->button());
        if (!button) return false;
        int x, y;
        device(e->position(), x, y);
        view_->setFocus(Qt::MouseFocusReason);
        camera.ButtonDown(button, x, y, Held(e->buttons()), e->modifiers() & Qt::ControlModifier);
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* e = static_cast<QMouseEvent*>(event);
        const int button = ButtonOf(e->button());
        if (!button) return false;
        int x, y;
        device(e->position(), x, y);
        camera.ButtonUp(button, x, y, e->modifiers() & Qt::ControlModifier);
        return true;
    }
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        int x, y;
        device(e->position(), x, y);
        camera.MouseMove(x, y, Held(e->buttons()), e->modifiers() & Qt::ControlModifier);
        return true;
    }
    case QEvent::Wheel: {
        auto* e = static_cast<QWheelEvent*>(event);
        camera.Wheel(e->angleDelta().y());
        return true;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        auto* e = static_cast<QKeyEvent*>(event);
        const bool press = event->type() == QEvent::KeyPress;
        if (e->key() == Qt::Key_Shift) {
            camera.Shift(press);
            return true;
        }
        if (!press) return false;
        // Ctrl + arrows and page keys belong to the menus.
        if (e->modifiers() & Qt::ControlModifier) return false;
        // The flag follows the key as it is now, also after focus was elsewhere.
        camera.Shift(e->modifiers() & Qt::ShiftModifier);
        switch (e->key()) {
        case Qt::Key_Left: camera.Arrow(ArrowKey::Left); return true;
        case Qt::Key_Right: camera.Arrow(ArrowKey::Right); return true;
        case Qt::Key_Up: camera.Arrow(ArrowKey::Up); return true;
        case Qt::Key_Down: camera.Arrow(ArrowKey::Down); return true;
        default: return false;
        }
    }
    default: return false;
    }
}

}  // namespace velm
