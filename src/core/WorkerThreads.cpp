#include "core/WorkerThreads.h"

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

namespace velm {

int WorkerThreads(int most) {
    cpu_set_t set;
    CPU_ZERO(&set);
    int cpus = sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set)
                                                           : static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(cpus, 1, std::max(1, most));
}

void RunBesideThisCpu(std::thread::native_handle_type worker) {
    cpu_set_t set;
    CPU_ZERO(&set);
    const int here = sched_getcpu();
    if (here < 0 || sched_getaffinity(0, sizeof set, &set) != 0 || CPU_COUNT(&set) < 2 || !CPU_ISSET(here, &set))
        return;
    CPU_CLR(here, &set);
    pthread_setaffinity_np(worker, sizeof set, &set);
}

void RunOnAnyCpu(std::thread::native_handle_type worker) {
    cpu_set_t set;
    CPU_ZERO(&set);
    // The CPUs of the process's first thread, which nothing here narrows.
    if (sched_getaffinity(getpid(), sizeof set, &set) == 0 && CPU_COUNT(&set) >= 2)
        pthread_setaffinity_np(worker, sizeof set, &set);
}

}  // namespace velm
