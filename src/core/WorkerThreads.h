#pragma once
// How many threads work that splits in parts should use: the CPUs this
// process may run on (its affinity, so that `taskset -c 0` means one), at
// least 1, at most `most`.
namespace velm {

int WorkerThreads(int most = 2);

}  // namespace velm
