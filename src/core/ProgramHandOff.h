#pragma once
// Handing a run to another program of the system: the process becomes that
// program, with the same arguments, streams and environment.
#include <string>

#include "core/ProgramModule.h"

namespace velm {

// Replaces this process with `program`, run with `argv` (argv[0] included,
// null-terminated). Returns only when it cannot, with `problem` set.
void HandOffToProgram(const ProgramModule& program, char* const* argv, std::string& problem);

}  // namespace velm
