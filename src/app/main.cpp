// velm: the molecular viewer. With -batch it works headless; otherwise it
// opens its window, which needs a display and lives in a module of its own.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/WindowModule.h"
#include "batch/Batch.h"
#include "batch/BatchHeap.h"
#include "core/ProgramModule.h"

namespace {

bool Set(const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
}

// A display to open the window on, or a platform that needs none.
bool CanShowWindow() {
    if (Set("DISPLAY") || Set("WAYLAND_DISPLAY")) return true;
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    return platform && (std::strcmp(platform, "offscreen") == 0 || std::strcmp(platform, "minimal") == 0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "-batch") == 0) {
        std::vector<std::string> args(argv + 2, argv + argc);
        velm::TuneHeapForBatch(args);
        // The run ends the process: its streams are flushed and nothing is
        // freed or taken apart after it.
        const auto end = [](int status) {
            std::fflush(stdout);
            std::fflush(stderr);
            std::_Exit(status);
        };
        if (!velm::BatchDrawsPictures(args)) end(velm::RunBatch(args, stdout, stderr, true));
        const velm::ProgramModule pictures{VELM_PICTURE_MODULE_NAME, VELM_PICTURE_MODULE_FROM_BINDIR,
                                           VELM_PICTURE_MODULE_BUILT};
        std::string problem;
        void* entry = velm::OpenProgramModule(pictures, "VelmRunPictureBatch", problem);
        if (!entry) {
            std::fprintf(stderr, "velm: pictures cannot be drawn: %s\n", problem.c_str());
            return 2;
        }
        end(reinterpret_cast<decltype(&VelmRunPictureBatch)>(entry)(&args, stdout, stderr));
    }
    if (!CanShowWindow()) {
        std::fprintf(stderr, "velm: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not set); "
                             "use velm -batch FILE... to work without one\n");
        return 2;
    }
    const velm::ProgramModule window{VELM_WINDOW_MODULE_NAME, VELM_WINDOW_MODULE_FROM_BINDIR, VELM_WINDOW_MODULE_BUILT};
    std::string problem;
    void* entry = velm::OpenProgramModule(window, "VelmRunWindow", problem);
    if (!entry) {
        std::fprintf(stderr, "velm: the window cannot be opened: %s; use velm -batch FILE... to work without it\n",
                     problem.c_str());
        return 2;
    }
    return reinterpret_cast<decltype(&VelmRunWindow)>(entry)(argc, argv);
}
