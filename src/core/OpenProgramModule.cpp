// Kept apart from FindProgramModule: the program itself, linked statically,
// finds the module host but never opens a module.
#include <dlfcn.h>

#include "core/ProgramModule.h"

namespace velm {

void* OpenProgramModule(const ProgramModule& module, const char* symbol, std::string& problem) {
    const std::string path = FindProgramModule(module, problem);
    if (path.empty()) return nullptr;
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        problem = why ? why : path + " cannot be opened";
        return nullptr;
    }
    void* entry = dlsym(handle, symbol);
    if (!entry) problem = path + " has no " + symbol;
    return entry;
}

}  // namespace velm
