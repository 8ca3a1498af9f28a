#include "core/ProgramModule.h"

#include <unistd.h>

#include <filesystem>
#include <vector>

namespace velm {

std::string FindProgramModule(const ProgramModule& module, std::string& problem) {
    std::vector<std::string> candidates;
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) candidates.push_back((self.parent_path() / module.installed).lexically_normal().string());
    candidates.push_back(module.built);
    for (const std::string& path : candidates)
        if (access(path.c_str(), F_OK) == 0) return path;
    problem = std::string(module.name) + " is not installed";
    return {};
}

}  // namespace velm
