#pragma once
// Parts of the program kept in files of their own, mapped only when needed,
// so that the program starts without their libraries: the module host (the
// program linked against the shared libraries, to which the window and the
// batch runs that draw or download are handed) and the modules it opens (the
// window, the drawing, the movie writer, the downloader). An installed part
// lies at a fixed place relative to the directory of the program that uses
// it; a part not installed is taken from the build tree that made the
// program.
#include <string>

namespace velm {

struct ProgramModule {
    const char* name;        // its file name, for messages
    const char* installed;   // its installed place relative to the using program's directory
    const char* built;       // where the build tree holds it
};

// The file of the part: the installed one, else the built one. Empty, and
// `problem` set, when neither is there.
std::string FindProgramModule(const ProgramModule& module, std::string& problem);

// Opens the module and returns its entry point `symbol`; the module stays
// mapped for the run. nullptr and `problem` set when the module is missing,
// cannot be opened or lacks the entry point.
void* OpenProgramModule(const ProgramModule& module, const char* symbol, std::string& problem);

}  // namespace velm
