// velm: the molecular viewer. A batch run that loads, measures and saves is
// done here, in a program linked statically, which starts in a fraction of
// the time a program mapping shared libraries takes. The window, and the
// batch runs that draw or download, are handed to the module host: a program
// linked against the shared libraries, which opens the module that does them.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "batch/Batch.h"
#include "batch/BatchHeap.h"
#include "core/ProgramHandOff.h"

int main(int argc, char** argv) {
    const bool batch = argc >= 2 && std::strcmp(argv[1], "-batch") == 0;
    if (batch) {
        std::vector<std::string> args(argv + 2, argv + argc);
        if (!velm::BatchOpensModules(args)) {
            velm::TuneHeapForBatch(args);
            // The run ends the process: its streams are flushed and nothing
            // is freed or taken apart after it.
            const int status = velm::RunBatch(args, stdout, stderr, true);
            std::fflush(stdout);
            std::fflush(stderr);
            std::_Exit(status);
        }
    }
    const velm::ProgramModule host{VELM_HOST_NAME, VELM_HOST_INSTALLED, VELM_HOST_BUILT};
    std::string problem;
    velm::HandOffToProgram(host, argv, problem);
    if (batch)
        std::fprintf(stderr, "velm: pictures cannot be drawn nor files downloaded: %s\n", problem.c_str());
    else
        std::fprintf(stderr, "velm: the window cannot be opened: %s; use velm -batch FILE... to work without it\n",
                     problem.c_str());
    return 2;
}
