#include "core/BoundedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace velm {

std::string NotRegularFileReason(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return "";
    return S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "Not a regular file";
}

bool ReadBoundedFile(const std::string& path, std::size_t maxBytes, bool pipes, std::string& text, std::string& problem) {
    text.clear();
    // Not blocking: a pipe nobody writes to opens at once (and reads as empty).
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        problem = std::strerror(errno);
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (!ok) problem = std::strerror(errno);
    else if (S_ISDIR(st.st_mode)) problem = std::strerror(EISDIR), ok = false;
    else if (!S_ISREG(st.st_mode) && !(pipes && S_ISFIFO(st.st_mode))) problem = "Not a regular file", ok = false;
    else if (S_ISREG(st.st_mode) && static_cast<unsigned long long>(st.st_size) > maxBytes) ok = false;
    if (ok && S_ISFIFO(st.st_mode)) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    char buffer[65536];
    while (ok) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            problem = std::strerror(errno);
            ok = false;
        } else if (text.size() + static_cast<std::size_t>(got) > maxBytes) {
            ok = false;
        } else {
            text.append(buffer, static_cast<std::size_t>(got));
        }
    }
    if (!ok && problem.empty()) problem = "Larger than " + std::to_string(maxBytes >> 20) + " MB";
    ::close(fd);
    if (!ok) text.clear();
    return ok;
}

}  // namespace velm
