#pragma once
// How many threads work that splits in parts should use: the CPUs this
// process may run on (its affinity, so that `taskset -c 0` means one), at
// least 1, at most `most`.
#include <functional>
#include <stop_token>
#include <thread>

namespace velm {

int WorkerThreads(int most = 2);

// While one lives, WorkerThreads on this thread counts one CPU fewer: the
// work beside this thread's, started before it, keeps that CPU busy for as
// long, and a thread this one started to share its own work would only
// take turns with it.
class CpuHeldBeside {
public:
    CpuHeldBeside();
    ~CpuHeldBeside();
    CpuHeldBeside(const CpuHeldBeside&) = delete;
    CpuHeldBeside& operator=(const CpuHeldBeside&) = delete;
};

// Starts a thread to share the calling thread's work, first on another of
// the CPUs the caller may use. Without that the scheduler of a virtual
// machine may queue the new thread behind its maker for milliseconds while
// the other CPU idles. Once it runs there the thread may use the caller's
// CPUs again, as may the threads it starts. Throws std::system_error (no
// thread) or std::bad_alloc as std::jthread does.
std::jthread StartBeside(std::function<void(std::stop_token)> work);

}  // namespace velm
