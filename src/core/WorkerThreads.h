#pragma once
// How many threads work that splits in parts should use: the CPUs this
// process may run on (its affinity, so that `taskset -c 0` means one), at
// least 1, at most `most`.
#include <thread>

namespace velm {

int WorkerThreads(int most = 2);

// Asks that a thread just started to share the work of the calling one run
// on another of the process's CPUs. Without it the scheduler of a virtual
// machine may queue the new thread behind its maker for milliseconds while
// the other CPU idles. Nothing is asked with one CPU. Once the worker runs
// there it is let run on any CPU again (RunOnAnyCpu): before its maker waits
// for it, so that the CPU the maker leaves idle can take the rest, or by the
// worker itself before it starts threads of its own, which would inherit
// the narrower choice.
void RunBesideThisCpu(std::thread::native_handle_type worker);
void RunOnAnyCpu(std::thread::native_handle_type worker);

}  // namespace velm
