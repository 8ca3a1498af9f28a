// velm-host: the module host. The program hands it the window and the batch
// runs that draw or download; it is linked against the shared libraries, so
// it can open the module that does the work: the window, or the picture
// module, which runs the whole batch with its drawing and its downloads.

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
        const velm::ProgramModule pictures{VELM_PICTURE_MODULE_NAME, VELM_PICTURE_MODULE_INSTALLED,
                                           VELM_PICTURE_MODULE_BUILT};
        std::string problem;
        void* entry = velm::OpenProgramModule(pictures, "VelmRunPictureBatch", problem);
        if (!entry) {
            std::fprintf(stderr, "velm: pictures cannot be drawn nor files downloaded: %s\n", problem.c_str());
            return 2;
        }
        // As in the program: the run ends the process, nothing is freed after it.
        const int status = reinterpret_cast<decltype(&VelmRunPictureBatch)>(entry)(&args, stdout, stderr);
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(status);
    }
    if (!CanShowWindow()) {
        std::fprintf(stderr, "velm: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are not set); "
                             "use velm -batch FILE... to work without one\n");
        return 2;
    }
    const velm::ProgramModule window{VELM_WINDOW_MODULE_NAME, VELM_WINDOW_MODULE_INSTALLED, VELM_WINDOW_MODULE_BUILT};
    std::string problem;
    void* entry = velm::OpenProgramModule(window, "VelmRunWindow", problem);
    if (!entry) {
        std::fprintf(stderr, "velm: the window cannot be opened: %s; use velm -batch FILE... to work without it\n",
                     problem.c_str());
        return 2;
    }
    return reinterpret_cast<decltype(&VelmRunWindow)>(entry)(argc, argv);
}
