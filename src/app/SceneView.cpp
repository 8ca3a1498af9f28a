#include "app/SceneView.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>

#include "app/OffscreenView.h"
#include "app/VelmView.h"

namespace velm {

namespace {
// Whether a GL widget can live here: not on the platforms without windows
// of their own, nor where no context can be made.
bool GlWidgetsWork() {
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return false;
    QOpenGLContext probe;
    return probe.create();
}
}  // namespace

SceneView* MakeSceneView(ViewController& controller, QWidget* parent) {
    if (GlWidgetsWork()) return new CVelmView(controller, parent);
    return new COffscreenView(controller, parent);
}

}  // namespace velm
