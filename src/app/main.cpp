// velm: the molecular viewer. Until the desktop window is built, the program
// runs headless: velm -batch FILE...
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "batch/Batch.h"

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "-batch") == 0) {
        std::vector<std::string> args(argv + 2, argv + argc);
        return velm::RunBatch(args, stdout, stderr);
    }
    std::fprintf(stderr,
                 "velm: the desktop window is not available in this build; use batch mode:\n"
                 "  velm -batch FILE...   (velm -batch -help for the options)\n");
    return 2;
}
