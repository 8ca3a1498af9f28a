#include "model/XdrFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace velm {

XdrFile::XdrFile(const std::string& path) {
    // Not blocking: a pipe nobody writes to would hold the open.
    fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) {
        // A folder or a pipe has no frames to index.
        ::close(fd_);
        fd_ = -1;
    }
    if (fd_ >= 0) size_ = st.st_size;
}

XdrFile::~XdrFile() {
    if (fd_ >= 0) ::close(fd_);
}

void XdrFile::ExpectScatteredReads(bool scattered) const {
    if (fd_ >= 0) ::posix_fadvise(fd_, 0, 0, scattered ? POSIX_FADV_RANDOM : POSIX_FADV_NORMAL);
}

void XdrFile::Prefetch(std::int64_t offset, std::int64_t bytes) const {
    if (fd_ >= 0 && bytes > 0) ::posix_fadvise(fd_, std::max<std::int64_t>(offset, 0), bytes, POSIX_FADV_WILLNEED);
}

bool XdrFile::Read(std::int64_t offset, void* out, std::size_t n) const {
    if (fd_ < 0 || offset < 0 || offset > size_ || static_cast<std::uint64_t>(size_ - offset) < n) return false;
    auto* p = static_cast<unsigned char*>(out);
    while (n > 0) {
        const ssize_t got = ::pread(fd_, p, n, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        p += got;
        offset += got;
        n -= static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace velm
