#include "core/ReplacingFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace velm {

ReplacingFile::ReplacingFile(const std::string& path) : path_(path) {
    const std::filesystem::path target(path);
    std::string pattern = (target.has_parent_path() ? target.parent_path().string() + "/" : std::string()) + "." +
                          target.filename().string() + ".XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) return;
    temp_ = pattern;
    stream_ = fdopen(fd, "w");
    if (!stream_) ::close(fd);
}

ReplacingFile::~ReplacingFile() {
    if (stream_) std::fclose(stream_);
    if (!temp_.empty()) std::remove(temp_.c_str());
}

bool ReplacingFile::Commit() {
    if (!stream_) return false;
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    if (!closed) return false;
    // mkstemp creates 0600; a written file gets the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    std::filesystem::permissions(temp_, static_cast<std::filesystem::perms>(0666 & ~mask));
    if (std::rename(temp_.c_str(), path_.c_str()) != 0) return false;
    temp_.clear();
    return true;
}

}  // namespace velm
