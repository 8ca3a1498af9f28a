// Whether the tool windows slow trajectory playback: a 50,000-atom
// trajectory plays in the window as `velm -dcd` opens it, and the frames the
// view steps per second are counted in turns without a tool window, with
// "Animate" open, with "Animate" and "Molecule Selection" open, and without
// again (so that a drift of the machine shows as a difference of the two
// bare turns).
//
//   animate_bench PDB DCD [--frames N]   (N frames per turn, default 60)
//
// Prints one line per turn of key=value figures. Settings come from a file
// of the benchmark's own, never the user's.
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "app/MainFrame.h"
#include "app/QtSettingsStore.h"
#include "app/SceneView.h"
#include "app/VelmApplication.h"
#include "app/ViewController.h"
#include "dialogs/AnimateDialog.h"
#include "dialogs/MoleculeListDialog.h"
#include "model/CommandLine.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"

using namespace velm;
using velm::bench::Now;

namespace {

// Counts the frames the view steps, and at each turn's end opens or closes
// the windows of the next turn.
class Turns : public DocumentObserver {
public:
    Turns(DesktopApplication& app, int frames) : app_(app), frames_(frames) { app_.Document().AddObserver(*this); }
    ~Turns() override { app_.Document().RemoveObserver(*this); }

    void DocumentChanged(DocumentChange what) override {
        if (what != DocumentChange::CurrentFrame || done_) return;
        if (counted_++ == 0) {
            start_ = Now();
            return;
        }
        if (counted_ <= frames_) return;
        const double seconds = Now() - start_;
        static const char* names[] = {"none", "animate", "animate+list", "none"};
        std::printf("turn=%d windows=%s atoms=%d frames=%d fps=%.2f frame_ms=%.1f\n", turn_ + 1, names[turn_],
                    app_.Document().Primary()->AtomCount(), frames_, frames_ / seconds, seconds / frames_ * 1e3);
        std::fflush(stdout);
        counted_ = 0;
        // Between frames, as a user's click would come.
        const int next = ++turn_;
        QTimer::singleShot(0, [this, next] { Enter(next); });
        if (next == 4) done_ = true;
    }

private:
    void Enter(int turn) {
        CMainFrame& f = app_.Frame();
        if (turn == 1) f.ShowAnimate();
        if (turn == 2) f.ShowMoleculeList();
        if (turn == 3) {
            if (CAnimateDialog* a = f.Animate()) {
                // What following one frame costs the window alone: the refresh
                // and its repaint, without the view's frame around it.
                const int n = 300;
                const double t0 = Now();
                for (int i = 0; i < n; ++i) {
                    a->DocumentChanged(DocumentChange::CurrentFrame);
                    a->repaint();
                }
                std::printf("animate_refresh_ms=%.3f\n", (Now() - t0) / n * 1e3);
                a->close();
            }
            if (f.MoleculeList()) f.MoleculeList()->close();
        }
        if (turn == 4) QApplication::quit();
    }

    DesktopApplication& app_;
    int frames_;
    int counted_ = 0, turn_ = 0;
    double start_ = 0;
    bool done_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> a(argv + 1, argv + argc);
    int frames = 60;
    for (size_t i = 0; i + 1 < a.size(); ++i)
        if (a[i] == "--frames") {
            frames = std::max(2, std::atoi(a[i + 1].c_str()));
            a.erase(a.begin() + static_cast<long>(i), a.begin() + static_cast<long>(i) + 2);
            break;
        }
    if (a.size() != 2) {
        std::fprintf(stderr, "usage: animate_bench PDB DCD [--frames N]\n");
        return 2;
    }
    PrepareSurfaceFormat(DisplayDepths{}, false);
    QApplication qt(argc, argv);
    QTemporaryDir dir;
    QtSettingsStore store(dir.filePath(QStringLiteral("Velm.conf")));
    DesktopApplication app(store);
    CommandLine c;
    c.Parse({a[0], "-dcd", a[1]});
    app.Start(c);
    if (!app.Document().Primary() || app.Document().Primary()->FrameCount() == 0) {
        std::fprintf(stderr, "animate_bench: no trajectory read\n");
        return 1;
    }
    std::printf("platform=%s view=%s list_frames=%d\n", qPrintable(QGuiApplication::platformName()),
                app.Frame().View().UsesGlWidget() ? "gl" : "image", app.Document().Primary()->FrameCount());
    Turns turns(app, frames);
    return qt.exec();
}
