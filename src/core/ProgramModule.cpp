#include "core/ProgramModule.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

namespace velm {

void* OpenProgramModule(const ProgramModule& module, const char* symbol, std::string& problem) {
    std::vector<std::string> candidates;
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) candidates.push_back((self.parent_path() / module.fromBindir).lexically_normal().string());
    candidates.push_back(module.built);
    for (const std::string& path : candidates) {
        if (access(path.c_str(), F_OK) != 0) continue;
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
    problem = std::string(module.name) + " is not installed";
    return nullptr;
}

}  // namespace velm
