#pragma once
// The velm executable run in batch mode as a child process, under limits a
// test sets (file size, address space, user), killed when it hangs; with
// what it printed and how it ended.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/TestData.h"

namespace velm::test {

struct ChildLimits {
    rlim_t fileBytes = RLIM_INFINITY;     // RLIMIT_FSIZE: a full disk, as far as the child can tell
    rlim_t addressBytes = RLIM_INFINITY;  // RLIMIT_AS
    uid_t user = static_cast<uid_t>(-1);  // run as this user (when root)
    int seconds = 60;                     // a child still running then has hung
};

struct VelmRun {
    bool hung = false;
    int status = -1;  // exit code, -1 when a signal ended it
    int signal = 0;
    std::string out, err;
};

// `before` runs in the child just before the program starts; `watch` in the
// parent once the child runs, given its process id.
inline VelmRun RunVelmChild(const std::vector<std::string>& args, const ChildLimits& limits = {},
                            const std::function<void()>& before = {},
                            const std::function<void(pid_t)>& watch = {}) {
    const TempDir io;
    const std::string out = io.File("out"), err = io.File("err");
    VelmRun run;
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!std::freopen(out.c_str(), "w", stdout) || !std::freopen(err.c_str(), "w", stderr)) ::_exit(126);
        ::signal(SIGXFSZ, SIG_IGN);  // the write fails with EFBIG instead
        const rlimit file{limits.fileBytes, limits.fileBytes}, space{limits.addressBytes, limits.addressBytes};
        ::setrlimit(RLIMIT_FSIZE, &file);
        ::setrlimit(RLIMIT_AS, &space);
        if (limits.user != static_cast<uid_t>(-1) && (::setgid(limits.user) != 0 || ::setuid(limits.user) != 0))
            ::_exit(125);
        if (before) before();
        std::vector<char*> argv{const_cast<char*>("velm"), const_cast<char*>("-batch")};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        // The program has no suppressions of the libraries' own leaks (see
        // SanitizerSuppressions.cpp); its leaks are checked in-process.
        const char* asan = std::getenv("ASAN_OPTIONS");
        const std::string options = std::string(asan ? asan : "") + ":detect_leaks=0";
        ::setenv("ASAN_OPTIONS", options.c_str(), 1);
        ::execv(VELM_BINARY, argv.data());
        ::_exit(127);
    }
    const auto start = std::chrono::steady_clock::now();
    if (watch && pid > 0) watch(pid);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(limits.seconds)) {
            run.hung = true;
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
    run.out = ReadText(out);
    run.err = ReadText(err);
    return run;
}

}  // namespace velm::test
