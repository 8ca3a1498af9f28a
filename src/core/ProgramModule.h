#pragma once
// Parts of the program kept in modules of their own, opened when first
// needed, so that the program starts without mapping their libraries: the
// window (the toolkit) and the movie writer (the encoders). An installed
// module lies at a fixed place relative to the program's directory; a module
// not installed is taken from the build tree that made the program.
#include <string>

namespace velm {

struct ProgramModule {
    const char* name;        // its file name, for messages
    const char* fromBindir;  // its installed place relative to the program's directory
    const char* built;       // where the build tree holds it
};

// Opens the module and returns its entry point `symbol`; the module stays
// mapped for the run. nullptr and `problem` set when the module is missing,
// cannot be opened or lacks the entry point.
void* OpenProgramModule(const ProgramModule& module, const char* symbol, std::string& problem);

}  // namespace velm
