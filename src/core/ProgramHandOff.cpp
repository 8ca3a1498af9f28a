#include "core/ProgramHandOff.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace velm {

void HandOffToProgram(const ProgramModule& program, char* const* argv, std::string& problem) {
    const std::string path = FindProgramModule(program, problem);
    if (path.empty()) return;
    // What this process has written but not flushed would be lost with it.
    std::fflush(stdout);
    std::fflush(stderr);
    execv(path.c_str(), argv);
    problem = path + " cannot be started: " + std::strerror(errno);
}

}  // namespace velm
