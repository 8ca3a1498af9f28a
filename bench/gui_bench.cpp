// The window's benchmark: from start to the first painted frame, and the
// frame time while the scene spins, for one file in one representation; and
// the core's own render time for the same scene at the same size.
//
//   gui_bench FILE MODE [--spin N]   the window, as velm FILE opens it, on the
//       platform Qt picks (xcb: the GL view; offscreen: the EGL core's images)
//   gui_bench FILE MODE --play DCD [--spin N]   the same window playing the
//       trajectory instead of spinning, its frames read on demand (a budget
//       of 1 MB), N frames timed
//   gui_bench --core FILE MODE WIDTH HEIGHT [--spin N]   the render pass alone,
//       off screen (EGL), turned as the window turns it, glFinish per frame
//   --renderer fixed|shader with any of them: the drawing path (default the
//       built-in one, shaders where the context runs them)
//   --size WxH with the window: the main window resized so before it spins
//
// Prints one line of key=value figures. Settings come from a file of the
// benchmark's own (built-in defaults), never the user's.
#include <QApplication>
#include <QOpenGLWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchSupport.h"
#include "analysis/MakeDocument.h"
#include "app/MainFrame.h"
#include "app/QtSettingsStore.h"
#include "app/SceneView.h"
#include "app/VelmApplication.h"
#include "app/ViewController.h"
#include "core/UiHooks.h"
#include "model/CommandLine.h"
#include "model/Molecule.h"
#include "model/RenderMode.h"
#include "model/VelmDoc.h"
#include "output/SettingsTable.h"
#include "render/OffscreenRenderer.h"
#include "render/RenderCommands.h"
#include "render/RendererChoice.h"
#include "render/SceneDocumentLink.h"
#include "render/SceneRenderer.h"

using namespace velm;
using velm::bench::Now;

namespace {

const double kStart = Now();

// The spin a drag of a few pixels leaves behind: 1 degree a frame about y.
void StartSpin(Trackball& t) {
    TrackballStep(t.spin, 0, 0, 0.014f, 0, t.radius);
}

DrawingPath path = ViewSettings{}.drawingPath;
int windowWidth = 0, windowHeight = 0;

int Core(const std::string& file, RenderMode mode, int width, int height, int frames) {
    SilentUiHooks ui;
    auto doc = MakeDocument(ui);
    const double t0 = Now();
    if (!doc->AddMoleculeFromFile(file)) return 1;
    const double loaded = Now() - t0;
    Scene scene;
    SetViewDefaults({scene.settings, scene.lighting}, nullptr);
    scene.settings.width = width;
    scene.settings.height = height;
    scene.settings.drawingPath = path;
    SceneDocumentLink link(scene, *doc);
    ApplyRenderMode(scene.settings, *doc, mode);
    OffscreenRenderer offscreen(scene);
    OffscreenRenderer::Session session(offscreen, width, height);
    SceneRenderer& r = session.Renderer();
    r.SetProjection();
    const double f0 = Now();
    r.RenderPass(doc->Molecules(), 0);
    glFinish();
    const double first = Now() - f0;
    StartSpin(scene.trackball);
    const double s0 = Now();
    for (int i = 0; i < frames; ++i) {
        AddQuaternions(scene.trackball.spin, scene.trackball.orientation, scene.trackball.orientation);
        r.RenderPass(doc->Molecules(), 0);
        glFinish();
    }
    const double frame = (Now() - s0) / frames;
    std::printf("core atoms=%d mode=%s size=%dx%d load_s=%.3f first_frame_ms=%.1f frame_ms=%.1f renderer=\"%s\"\n",
                doc->Primary()->AtomCount(), std::string(RenderModeName(mode)).c_str(), width, height, loaded,
                first * 1e3, frame * 1e3, reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    return 0;
}

int Window(int argc, char** argv, const std::string& file, RenderMode mode, int frames, const std::string& play) {
    PrepareSurfaceFormat(DisplayDepths{}, false);
    QApplication qt(argc, argv);
    QTemporaryDir dir;
    QtSettingsStore store(dir.filePath(QStringLiteral("Velm.conf")));
    DesktopApplication app(store);
    CommandLine c;
    if (play.empty()) {
        c.Parse({file});
    } else {
        app.Document().options.trajectoryMemory = 1;
        c.Parse({file, "-dcd", play});
    }
    app.Start(c);
    app.View().scene.settings.drawingPath = path;
    app.View().SetRenderMode(mode);
    if (windowWidth > 0 && windowHeight > 0) app.Frame().resize(windowWidth, windowHeight);
    const double loaded = Now() - kStart;

    QWidget* view = app.Frame().View().Widget();
    double first = 0, spinStart = 0, spinEnd = 0;
    int painted = 0;
    std::int64_t lastDrawn = -1;
    const auto framePainted = [&] {
        // Paints the 15 ms throttle skipped draw nothing: count drawn frames only.
        const std::int64_t drawn = app.View().scene.settings.lastFrameMs;
        if (drawn == lastDrawn) return;
        lastDrawn = drawn;
        ++painted;
        if (painted == 1) {
            first = Now() - kStart;
            ViewController& v = app.View();
            AnimationState& a = v.scene.settings.animation;
            if (play.empty()) {
                StartSpin(v.scene.trackball);
                a.spinning = true;
            } else {
                a.playing = true;
                a.playDirection = 0;
            }
            a.animating = true;
            view->update();
        } else if (painted == 2) {
            spinStart = Now();
        } else if (painted == frames + 2) {
            spinEnd = Now();
            QApplication::quit();
        }
    };
    if (auto* gl = qobject_cast<QOpenGLWidget*>(view)) {
        QObject::connect(gl, &QOpenGLWidget::frameSwapped, framePainted);
    } else {
        // The image view paints in its paint event: count once it has run.
        struct AfterPaint : QObject {
            std::function<void()> done;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Paint) QTimer::singleShot(0, this, [this] { done(); });
                return false;
            }
        };
        auto* filter = new AfterPaint;
        filter->done = framePainted;
        filter->setParent(view);
        view->installEventFilter(filter);
    }
    qt.exec();
    const ViewSettings& s = app.View().scene.settings;
    const Molecule* m = app.Document().Primary();
    std::printf("window platform=%s view=%s atoms=%d mode=%s size=%dx%d loaded_s=%.3f first_frame_s=%.3f frame_ms=%.1f "
                "renderer=\"%s\"",
                qPrintable(QGuiApplication::platformName()), app.Frame().View().UsesGlWidget() ? "gl" : "image",
                app.Document().Primary() ? app.Document().Primary()->AtomCount() : 0,
                std::string(RenderModeName(mode)).c_str(), s.width, s.height, loaded, first,
                (spinEnd - spinStart) / frames * 1e3, qPrintable(app.Frame().View().RendererName()));
    if (!play.empty())
        std::printf(" played=%s frames=%d on_demand=%d", play.c_str(), m ? m->frames.Count() : 0,
                    m && m->frames.OnDemand() ? 1 : 0);
    std::printf("\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> a(argv + 1, argv + argc);
    int frames = 20;
    for (size_t i = 0; i + 1 < a.size(); ++i)
        if (a[i] == "--spin") {
            frames = std::max(1, std::atoi(a[i + 1].c_str()));
            a.erase(a.begin() + static_cast<long>(i), a.begin() + static_cast<long>(i) + 2);
            break;
        }
    std::string play;
    for (size_t i = 0; i + 1 < a.size(); ++i)
        if (a[i] == "--play") {
            play = a[i + 1];
            a.erase(a.begin() + static_cast<long>(i), a.begin() + static_cast<long>(i) + 2);
            break;
        }
    for (size_t i = 0; i + 1 < a.size(); ++i)
        if (a[i] == "--renderer") {
            const auto chosen = DrawingPathFromName(a[i + 1]);
            if (!chosen) {
                std::fprintf(stderr, "gui_bench: unknown renderer %s\n", a[i + 1].c_str());
                return 2;
            }
            path = *chosen;
            a.erase(a.begin() + static_cast<long>(i), a.begin() + static_cast<long>(i) + 2);
            break;
        }
    for (size_t i = 0; i + 1 < a.size(); ++i)
        if (a[i] == "--size") {
            if (std::sscanf(a[i + 1].c_str(), "%dx%d", &windowWidth, &windowHeight) != 2) {
                std::fprintf(stderr, "gui_bench: --size takes WIDTHxHEIGHT\n");
                return 2;
            }
            a.erase(a.begin() + static_cast<long>(i), a.begin() + static_cast<long>(i) + 2);
            break;
        }
    const bool core = !a.empty() && a[0] == "--core";
    if (core) a.erase(a.begin());
    if (a.size() < 2 || (core && a.size() < 4)) {
        std::fprintf(stderr, "usage: gui_bench FILE MODE [--spin N] [--play DCD] [--size WxH] | gui_bench --core FILE MODE W H [--spin N]; "
                             "either with [--renderer fixed|shader]\n");
        return 2;
    }
    const auto mode = RenderModeFromName(a[1]);
    if (!mode) {
        std::fprintf(stderr, "gui_bench: unknown mode %s\n", a[1].c_str());
        return 2;
    }
    if (core) return Core(a[0], *mode, std::atoi(a[2].c_str()), std::atoi(a[3].c_str()), frames);
    return Window(argc, argv, a[0], *mode, frames, play);
}
