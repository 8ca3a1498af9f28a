#pragma once
// How many threads work that splits in parts should use: the CPUs this
// process may run on (its affinity, so that `taskset -c 0` means one), at
// least 1, at most `most`.
#include <functional>
#include <memory>
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

struct BesideTurn;

// Work StartBeside started: on a thread of its own, or on the standby
// thread. As with std::jthread, Join waits for the work to end, and the
// work is asked to stop and waited for when its handle goes.
class BesideWork {
public:
    BesideWork() = default;
    BesideWork(BesideWork&&) noexcept = default;
    BesideWork& operator=(BesideWork&& other) noexcept;
    BesideWork(const BesideWork&) = delete;
    BesideWork& operator=(const BesideWork&) = delete;
    ~BesideWork();

    bool Joinable() const { return thread_.joinable() || turn_ != nullptr; }
    void Join();

private:
    friend BesideWork StartBeside(std::function<void(std::stop_token)> work);
    void StopAndJoin();

    std::jthread thread_;
    std::shared_ptr<BesideTurn> turn_;
};

// Starts work to share the calling thread's: on the standby thread when it
// is free (work it is busy with is waited for up to 0.1 ms, less than a
// thread takes to start), else on a thread started first on another of the
// CPUs the caller may use. Without that the scheduler of a virtual machine
// may queue the new thread behind its maker for milliseconds while the
// other CPU idles. Once it runs there the thread may use the caller's CPUs
// again, as may the threads it starts. Throws std::system_error (no
// thread) or std::bad_alloc as std::jthread does.
BesideWork StartBeside(std::function<void(std::stop_token)> work);

// Keeps a thread for the rest of the process, started on another CPU, which
// runs `first` and then whatever work StartBeside hands it while it is free:
// a new thread takes some 0.2 ms to run on an idle CPU, one that waits takes
// work up at once. Work handed to it while `first` runs waits for `first` to
// end; `first` itself hands none. Between two pieces of work it turns for
// 2 ms, then sleeps. For a process that ends with its work, as a batch run
// does: the thread is never joined, only released (ReleaseThreadBeside).
// Whether the thread was started: not where this process may use one CPU,
// nor where one is kept already (`first` is then not run).
bool KeepThreadBeside(std::function<void()> first);

// Whether the standby thread runs work now or has work waiting for it
// (false where none is kept or once it ended): work started beside would
// then get a thread of its own, which takes turns with it for a CPU. Work
// that would be split only to end sooner, while the standby's takes longer
// anyway, is then better left whole on the calling thread.
bool StandbyBusy();

// Ends the standby thread once the work it runs, if any, is over; work is
// then started on threads of their own. A process that still has a thread
// as it exits waits some 0.2 ms for the system to stop it, so a batch run
// lets it go as its loading is done, while it goes on.
void ReleaseThreadBeside();

}  // namespace velm
