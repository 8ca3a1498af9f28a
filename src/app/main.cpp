// velm: the molecular viewer. With -batch it works headless; otherwise it
// opens its window, which needs a display and lives in a module of its own.
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/WindowModule.h"
#include "batch/Batch.h"
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

// A batch run ends with its work: what one step frees the next takes again
// from the heap, instead of handing it back to the system and faulting fresh
// pages in, one fault a page (a third of the time of a small load). The
// worker threads share the one heap for the same reason. The heap's first
// stretch is reserved at once and offered huge pages: a load of a few
// megabytes then faults a handful of 2 MB pages instead of thousands of 4 KB
// ones. Where the system grants none this changes nothing.
void TuneHeapForBatch();

// Volatile: the block is kept for where it lies, which the compiler cannot see.
void* volatile belowHugePages = nullptr;

void TuneHeapForBatch() {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, -1);
    mallopt(M_TOP_PAD, 64 << 20);
    mallopt(M_ARENA_MAX, 1);
    // Start-up code has made the heap already: a block larger than its top
    // makes it grow, by the block and the pad.
    void* first = std::malloc(1 << 20);
    if (!first) return;
    constexpr std::uintptr_t kHuge = 2 << 20;
    const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(first) + kHuge - 1) & ~(kHuge - 1);
    const std::uintptr_t end = reinterpret_cast<std::uintptr_t>(sbrk(0)) & ~(kHuge - 1);
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    std::free(first);
    // What lies below the first huge page is taken and kept, untouched past
    // its first page, so that the load's memory begins on it: the block
    // takes the room from its header at first - 16, so the next one's header
    // falls on the page's first byte.
    const std::uintptr_t below = begin - reinterpret_cast<std::uintptr_t>(first);
    if (end > begin && below > 4096) belowHugePages = std::malloc(below);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "-batch") == 0) {
        TuneHeapForBatch();
        std::vector<std::string> args(argv + 2, argv + argc);
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
