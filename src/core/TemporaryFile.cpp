#include "core/TemporaryFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace velm {

namespace {

constexpr std::string_view kMark = ".velm-";
constexpr std::time_t kStaleSeconds = 600;

// The files a signal handler removes. A handler may only touch what is
// lock-free, so the table is fixed: a slot is claimed (1), filled, then armed
// (2); the handler unlinks the armed ones. Beyond 32 files at once the
// newest go unguarded.
struct Slot {
    std::atomic<int> state{0};
    char path[4096];
};
constinit Slot slots[32]{};  // zero in .bss: no start-up code touches its pages

// SIGXFSZ: a file grew past the user's size limit.
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ};
struct sigaction previous[std::size(kSignals)];

void OnSignal(int signal, siginfo_t* info, void* context) {
    const int saved = errno;
    for (Slot& s : slots)
        if (s.state.load(std::memory_order_acquire) == 2) ::unlink(s.path);
    for (size_t k = 0; k < std::size(kSignals); ++k) {
        if (kSignals[k] != signal) continue;
        const struct sigaction& p = previous[k];
        if (p.sa_flags & SA_SIGINFO) {
            if (p.sa_sigaction) p.sa_sigaction(signal, info, context);
        } else if (p.sa_handler != SIG_DFL && p.sa_handler != SIG_IGN) {
            p.sa_handler(signal);
        } else {
            // The default action, once this handler returns and unblocks it.
            ::sigaction(signal, &p, nullptr);
            ::raise(signal);
        }
    }
    errno = saved;
}

void InstallHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (size_t k = 0; k < std::size(kSignals); ++k) {
            if (::sigaction(kSignals[k], nullptr, &previous[k]) != 0) continue;
            // An ignored signal (nohup) stays ignored.
            if (!(previous[k].sa_flags & SA_SIGINFO) && previous[k].sa_handler == SIG_IGN) continue;
            struct sigaction a {};
            a.sa_sigaction = OnSignal;
            a.sa_flags = SA_SIGINFO | SA_RESTART;
            sigemptyset(&a.sa_mask);
            ::sigaction(kSignals[k], &a, nullptr);
        }
    });
}

int Guard(const std::string& path) {
    if (path.size() >= sizeof slots[0].path) return -1;
    for (int i = 0; i < static_cast<int>(std::size(slots)); ++i) {
        int free = 0;
        if (!slots[i].state.compare_exchange_strong(free, 1)) continue;
        std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
        slots[i].state.store(2, std::memory_order_release);
        return i;
    }
    return -1;
}

void Unguard(int& slot) {
    if (slot >= 0) slots[slot].state.store(0, std::memory_order_release);
    slot = -1;
}

}  // namespace

bool IsStaleTemporaryFile(std::string_view name, std::time_t modified, std::time_t now) {
    // ".<base>.velm-<pid>-XXXXXX", the six characters mkstemp's.
    if (name.size() < 1 + kMark.size() + 8 || name[0] != '.') return false;
    const size_t mark = name.rfind(kMark);
    if (mark == std::string_view::npos || mark == 0) return false;
    std::string_view rest = name.substr(mark + kMark.size());
    const size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > 10 || rest.size() != dash + 7) return false;
    long long pid = 0;
    for (char c : rest.substr(0, dash)) {
        if (c < '0' || c > '9') return false;
        pid = pid * 10 + (c - '0');
    }
    for (char c : rest.substr(dash + 1))
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    if (now - modified < kStaleSeconds) return false;
    // A process of that number that still runs may be the writer.
    if (pid <= 0 || pid > 0x7fffffff) return false;
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

void RemoveStaleTemporaryFiles(const std::string& folder) {
    const std::string dir = folder.empty() ? "." : folder;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    const std::time_t now = std::time(nullptr);
    const uid_t me = ::geteuid();
    while (const dirent* e = ::readdir(d)) {
        const std::string_view name = e->d_name;
        if (name.size() < 2 || name[0] != '.' || name.find(kMark) == std::string_view::npos) continue;
        struct stat st {};
        if (::fstatat(::dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(st.st_mode) || st.st_uid != me) continue;
        if (IsStaleTemporaryFile(name, st.st_mtime, now)) ::unlinkat(::dirfd(d), e->d_name, 0);
    }
    ::closedir(d);
}

TemporaryFile::TemporaryFile(const std::string& folder, const std::string& base) {
    RemoveStaleTemporaryFiles(folder);
    InstallHandlers();
    std::string pattern = (folder.empty() ? std::string() : folder + "/") + "." + base + std::string(kMark) +
                          std::to_string(::getpid()) + "-XXXXXX";
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0) {
        error_ = errno;
        return;
    }
    path_ = pattern;
    slot_ = Guard(path_);
}

TemporaryFile::~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    Remove();
}

int TemporaryFile::TakeFd() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

bool TemporaryFile::Remove() {
    if (path_.empty()) return true;
    const bool removed = ::unlink(path_.c_str()) == 0;
    Unguard(slot_);
    path_.clear();
    return removed;
}

void TemporaryFile::Keep() {
    Unguard(slot_);
    path_.clear();
}

}  // namespace velm
