#include "core/WorkerThreads.h"

#include <sched.h>

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

}  // namespace velm
