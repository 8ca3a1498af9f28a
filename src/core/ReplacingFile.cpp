#include "core/ReplacingFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core/TemporaryFile.h"

namespace velm {

namespace {

constexpr int kNotRegular = -1;  // error_: a device, pipe or socket

// The file a chain of symbolic links ends at (the path itself when it is
// none); a dangling link names the file to create. A loop is left for the
// system to refuse.
std::string ResolveLinks(std::string path) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::error_code ec;
        const std::filesystem::path to = std::filesystem::read_symlink(path, ec);
        if (ec) return path;
        path = to.is_absolute() ? to.string() : (std::filesystem::path(path).parent_path() / to).string();
    }
    return path;
}

bool WriteAll(int fd, const char* data, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, data, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        data += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

}  // namespace

ReplacingFile::ReplacingFile(const std::string& path) : target_(ResolveLinks(path)) {
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0) {
        exists_ = true;
        if (S_ISDIR(st.st_mode)) error_ = EISDIR;
        else if (!S_ISREG(st.st_mode)) error_ = kNotRegular;
        // No write bit counts for every user: root too is told, not obeyed.
        else if (::access(target_.c_str(), W_OK) != 0) error_ = errno;
        else if ((st.st_mode & 0222) == 0) error_ = EACCES;
        if (error_ != 0) return;
        mode_ = st.st_mode & 0777;
        owner_ = st.st_uid;
        group_ = st.st_gid;
        links_ = st.st_nlink;
        oldSize_ = st.st_size;
    } else if (errno != ENOENT) {
        error_ = errno;
        return;
    }
    const std::filesystem::path t(target_);
    temp_ = std::make_unique<TemporaryFile>(t.parent_path().string(), t.filename().string());
    if (temp_->Fd() < 0) {
        error_ = temp_->Error();
        return;
    }
    stream_ = ::fdopen(temp_->Fd(), "w");
    if (stream_) temp_->TakeFd();
    else error_ = errno;
}

ReplacingFile::~ReplacingFile() {
    if (stream_) std::fclose(stream_);
}

const std::string& ReplacingFile::TemporaryPath() const {
    static const std::string none;
    return temp_ ? temp_->Path() : none;
}

std::string ReplacingFile::Problem() const {
    if (error_ == kNotRegular) return "Not a regular file";
    const std::string reason = std::strerror(error_ != 0 ? error_ : EIO);
    return recovery_.empty() ? reason : reason + "; the new content is in " + recovery_;
}

bool ReplacingFile::StreamIsSound() {
    if (!stream_) return false;
    errno = 0;
    // A write that failed earlier (a full disk) left the stream's error flag.
    if (std::fflush(stream_) == 0 && !std::ferror(stream_)) return true;
    if (errno == 0) {
        // That write's errno is gone: one more byte after the end of the
        // (discarded) file asks the system again.
        struct stat st {};
        if (::fstat(::fileno(stream_), &st) == 0 && ::pwrite(::fileno(stream_), "", 1, st.st_size) == 1) errno = EIO;
    }
    error_ = errno != 0 ? errno : EIO;
    return false;
}

bool ReplacingFile::Commit() {
    if (!stream_) return false;
    bool ok = StreamIsSound() && ::fsync(::fileno(stream_)) == 0;
    if (!ok && error_ == 0) error_ = errno;
    std::FILE* s = stream_;
    stream_ = nullptr;
    if (ok && links_ <= 1) {
        if (exists_) {
            // The owner first: a change of owner clears permission bits.
            if (::fchown(::fileno(s), owner_, group_) != 0) (void)::fchown(::fileno(s), static_cast<uid_t>(-1), group_);
            ok = ::fchmod(::fileno(s), mode_) == 0;
        } else {
            // mkstemp creates 0600; a new file gets the usual permissions.
            const mode_t mask = ::umask(0);
            ::umask(mask);
            ok = ::fchmod(::fileno(s), 0666 & ~mask) == 0;
        }
    }
    if (!ok && error_ == 0) error_ = errno != 0 ? errno : EIO;
    if (std::fclose(s) != 0 && ok) {
        error_ = errno;
        ok = false;
    }
    if (!ok) return false;
    if (links_ > 1) return CopyInPlace();
    if (std::rename(temp_->Path().c_str(), target_.c_str()) != 0) {
        error_ = errno;
        return false;
    }
    temp_->Keep();
    return true;
}

// The target has other names, which a new file renamed over it would leave
// on the old content: its own content is rewritten instead. That is made
// safe as far as a file written in place can be: the new content is complete
// and on disk in the temporary file before the target changes; the space it
// needs beyond the old size is reserved first, so a full disk (or a file size
// limit) fails with the target untouched; SIGINT, SIGTERM and SIGHUP are held
// off while the bytes are copied, so that they cannot cut the copy short.
// Only a kill -9, a crash or an I/O error during the copy can leave the
// target part-written, and then the complete new content is still in the
// temporary file.
bool ReplacingFile::CopyInPlace() {
    const int in = ::open(temp_->Path().c_str(), O_RDONLY | O_CLOEXEC);
    const int out = in < 0 ? -1 : ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
    struct stat st {};
    bool ok = out >= 0 && ::fstat(in, &st) == 0, started = false;
    if (ok && st.st_size > oldSize_) {
        const int r = ::posix_fallocate(out, oldSize_, st.st_size - oldSize_);
        if (r != 0) errno = r;
        ok = r == 0;
    }
    if (ok) {
        sigset_t hold, before;
        sigemptyset(&hold);
        for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&hold, s);
        ::pthread_sigmask(SIG_BLOCK, &hold, &before);
        started = true;
        char buffer[1 << 16];
        for (ssize_t got; ok && (got = ::read(in, buffer, sizeof buffer)) != 0;) {
            if (got < 0) ok = errno == EINTR;
            else ok = WriteAll(out, buffer, static_cast<size_t>(got));
        }
        ok = ok && ::ftruncate(out, st.st_size) == 0 && ::fsync(out) == 0;
        const int saved = errno;
        ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
        errno = saved;
    }
    if (!ok) error_ = errno != 0 ? errno : EIO;
    if (out >= 0 && ::close(out) != 0 && ok) {
        error_ = errno;
        ok = false;
    }
    if (in >= 0) ::close(in);
    if (ok) {
        temp_->Remove();
    } else if (started) {
        recovery_ = temp_->Path();
        temp_->Keep();
    }
    return ok;
}

}  // namespace velm
