#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>

#include "core/VelmError.h"
#include "output/AviEncoder.h"

namespace velm {

namespace {

// Where the module is: beside an installed program (its place relative to
// the program's directory is fixed at build time), else in the build tree.
std::vector<std::string> Candidates() {
    std::vector<std::string> out;
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) out.push_back((self.parent_path() / VELM_AVI_MODULE_FROM_BINDIR).lexically_normal().string());
    out.push_back(VELM_AVI_MODULE_BUILT);
    return out;
}

}  // namespace

const AviEncoderModule& LoadAviEncoderModule() {
    static std::once_flag once;
    static const AviEncoderModule* module = nullptr;
    static std::string problem;
    std::call_once(once, [] {
        for (const std::string& path : Candidates()) {
            if (access(path.c_str(), F_OK) != 0) continue;
            void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!handle) {
                problem = dlerror();
                return;
            }
            using Entry = const AviEncoderModule* (*)();
            auto entry = reinterpret_cast<Entry>(dlsym(handle, "VelmAviEncoderModule"));
            if (entry) module = entry();
            if (!module) problem = path + ": no movie writer in it";
            return;  // the module stays mapped for the run
        }
        problem = "the movie writer " VELM_AVI_MODULE_NAME " is not installed";
    });
    if (!module) throw VelmError("Movies cannot be made here: " + problem);
    return *module;
}

}  // namespace velm
