#include "core/WorkerThreads.h"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <latch>
#include <memory>
#include <thread>

namespace velm {

namespace {

thread_local int heldBeside = 0;  // CPUs the work beside this thread's keeps busy

}  // namespace

int WorkerThreads(int most) {
    cpu_set_t set;
    CPU_ZERO(&set);
    int cpus = sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set)
                                                           : static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(cpus - heldBeside, 1, std::max(1, most));
}

CpuHeldBeside::CpuHeldBeside() { ++heldBeside; }
CpuHeldBeside::~CpuHeldBeside() { --heldBeside; }

std::jthread StartBeside(std::function<void(std::stop_token)> work) {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    const int here = sched_getcpu();
    const bool place = here >= 0 && sched_getaffinity(0, sizeof allowed, &allowed) == 0 &&
                       CPU_COUNT(&allowed) >= 2 && CPU_ISSET(here, &allowed);
    // The thread waits until it is placed: an affinity asked for a thread
    // that has ended would fall on its maker.
    auto placed = std::make_shared<std::latch>(1);
    std::jthread worker([placed, place, allowed, work = std::move(work)](std::stop_token stop) {
        placed->wait();
        if (place) sched_setaffinity(0, sizeof allowed, &allowed);
        work(stop);
    });
    if (place) {
        cpu_set_t elsewhere = allowed;
        CPU_CLR(here, &elsewhere);
        pthread_setaffinity_np(worker.native_handle(), sizeof elsewhere, &elsewhere);
    }
    placed->count_down();
    return worker;
}

}  // namespace velm
