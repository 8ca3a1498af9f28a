#include "core/WorkerThreads.h"

#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>
#ifdef __SSE2__
#include <immintrin.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <latch>
#include <memory>
#include <new>
#include <thread>

#include "core/PopulateForWriting.h"

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

// Work handed to the standby thread. `self` keeps it while the standby
// runs it, past the moment its handle sees it done.
struct BesideTurn {
    std::function<void(std::stop_token)> work;
    std::stop_source stop;
    std::atomic<bool> done{false};
    std::shared_ptr<BesideTurn> self;
};

namespace {

// The standby thread's one word: free, running its first work (work may
// still be handed to it, to run next), busy, ended, or the turn handed to
// it. Busy also while no standby is kept.
constexpr std::uintptr_t kFree = 0, kFirst = 1, kBusy = 2, kEnded = 3;
std::atomic<std::uintptr_t> standby{kBusy};
std::atomic<bool> standbyKept{false}, standbyReleased{false};
thread_local bool onStandby = false;  // the standby's first work hands none to itself

constexpr auto kTurnFor = std::chrono::milliseconds(2);    // the standby, before it sleeps
constexpr auto kJoinTurnsFor = std::chrono::microseconds(50);  // a join, before it sleeps
constexpr auto kWaitForStandby = std::chrono::microseconds(100);  // less than a thread takes to start

void Pause() {
#ifdef __SSE2__
    _mm_pause();
#endif
}

// Turns for `turns` at most while `ready` is false, then sleeps on `word`
// for as long as `ready` stays false.
template <class T, class Ready>
void Await(const std::atomic<T>& word, std::chrono::steady_clock::duration turns, Ready ready) {
    const auto until = std::chrono::steady_clock::now() + turns;
    for (unsigned k = 1; !ready(word.load(std::memory_order_acquire)); ++k) {
        if (k % 256 == 0 && std::chrono::steady_clock::now() > until) {
            for (T seen; !ready(seen = word.load(std::memory_order_acquire));) word.wait(seen, std::memory_order_acquire);
            return;
        }
        Pause();
    }
}

void Standby(const std::function<void()>& first) {
    onStandby = true;
    first();
    std::uintptr_t word = kFirst;
    standby.compare_exchange_strong(word, kFree, std::memory_order_acq_rel);  // or a turn was handed meanwhile
    for (;;) {
        if (standbyReleased.load(std::memory_order_acquire)) {
            word = kFree;
            if (standby.compare_exchange_strong(word, kEnded, std::memory_order_acq_rel)) return;
        }
        Await(standby, kTurnFor, [](std::uintptr_t w) { return w > kBusy; });
        word = standby.load(std::memory_order_acquire);
        if (word == kEnded) return;
        auto* turn = reinterpret_cast<BesideTurn*>(word);
        standby.store(kBusy, std::memory_order_relaxed);  // only this thread moves a word that holds a turn
        const std::shared_ptr<BesideTurn> keep = std::move(turn->self);
        turn->work(turn->stop.get_token());
        turn->work = nullptr;  // what it holds goes before its handle sees it done
        standby.store(kFree, std::memory_order_release);
        turn->done.store(true, std::memory_order_release);
        turn->done.notify_all();
    }
}

// The CPUs this thread may use, and whether a thread it starts should be
// placed on another of them first.
bool PlaceElsewhere(cpu_set_t& allowed, cpu_set_t& elsewhere) {
    CPU_ZERO(&allowed);
    const int here = sched_getcpu();
    const bool place = here >= 0 && sched_getaffinity(0, sizeof allowed, &allowed) == 0 &&
                       CPU_COUNT(&allowed) >= 2 && CPU_ISSET(here, &allowed);
    elsewhere = allowed;
    if (place) CPU_CLR(here, &elsewhere);
    return place;
}

std::jthread StartPlaced(std::function<void(std::stop_token)> work) {
    cpu_set_t allowed, elsewhere;
    const bool place = PlaceElsewhere(allowed, elsewhere);
    // The thread waits until it is placed: an affinity asked for a thread
    // that has ended would fall on its maker.
    auto placed = std::make_shared<std::latch>(1);
    std::jthread worker([placed, place, allowed, work = std::move(work)](std::stop_token stop) {
        placed->wait();
        if (place) sched_setaffinity(0, sizeof allowed, &allowed);
        work(stop);
    });
    if (place) pthread_setaffinity_np(worker.native_handle(), sizeof elsewhere, &elsewhere);
    placed->count_down();
    return worker;
}

}  // namespace

BesideWork& BesideWork::operator=(BesideWork&& other) noexcept {
    if (this != &other) {
        StopAndJoin();
        thread_ = std::move(other.thread_);
        turn_ = std::move(other.turn_);
    }
    return *this;
}

BesideWork::~BesideWork() { StopAndJoin(); }

void BesideWork::StopAndJoin() {
    if (thread_.joinable()) thread_.request_stop();
    if (turn_) turn_->stop.request_stop();
    Join();
}

void BesideWork::Join() {
    if (thread_.joinable()) thread_.join();
    if (!turn_) return;
    Await(turn_->done, kJoinTurnsFor, [](bool done) { return done; });
    turn_.reset();
}

BesideWork StartBeside(std::function<void(std::stop_token)> work) {
    BesideWork started;
    std::uintptr_t word = standby.load(std::memory_order_relaxed);
    // Work the standby is about to end, it ends sooner than a new thread
    // would start: it is waited for a little.
    if (word != kEnded && word > kFirst && !onStandby && standbyKept.load(std::memory_order_relaxed)) {
        const auto until = std::chrono::steady_clock::now() + kWaitForStandby;
        for (unsigned k = 1; (word = standby.load(std::memory_order_relaxed)) > kFirst && word != kEnded; ++k) {
            if (k % 64 == 0 && std::chrono::steady_clock::now() > until) break;
            Pause();
        }
    }
    if (word <= kFirst && !onStandby) {
        auto turn = std::make_shared<BesideTurn>();
        turn->work = std::move(work);
        turn->self = turn;
        if (standby.compare_exchange_strong(word, reinterpret_cast<std::uintptr_t>(turn.get()),
                                            std::memory_order_acq_rel)) {
            standby.notify_one();
            started.turn_ = std::move(turn);
            return started;
        }
        work = std::move(turn->work);  // taken up meanwhile: a thread of its own
        turn->self.reset();
    }
    started.thread_ = StartPlaced(std::move(work));
    return started;
}

namespace {

// The standby's stack: a mapping of its own with a guard page below it,
// whose top (where the thread's control block and first frames go) is
// faulted in with one call. Its maker would otherwise take the fault of a
// fresh page as it writes that block (10 to 200 us on a virtual machine),
// and the thread others as it starts. Kept for the rest of the process.
constexpr size_t kStandbyStack = size_t{8} << 20, kStandbyStackTop = size_t{64} << 10;

struct StandbyStart {
    std::function<void()> first;
    std::latch placed{1};
    bool place = false;
    cpu_set_t allowed;
};

// The thread and its maker each hold the start: the maker may still be
// counting the latch down as the thread goes on.
void* RunStandby(void* arg) {
    std::shared_ptr<StandbyStart> start = std::move(*static_cast<std::shared_ptr<StandbyStart>*>(arg));
    delete static_cast<std::shared_ptr<StandbyStart>*>(arg);
    start->placed.wait();
    if (start->place) sched_setaffinity(0, sizeof start->allowed, &start->allowed);
    const std::function<void()> first = std::move(start->first);
    start.reset();
    Standby(first);
    return nullptr;
}

// Starts the standby as StartPlaced starts a thread, on that stack; false
// where no stack or thread can be had.
bool StartStandby(std::function<void()> first) {
    const long page = sysconf(_SC_PAGESIZE);
    void* stack = mmap(nullptr, kStandbyStack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK,
                       -1, 0);
    if (stack == MAP_FAILED) return false;
    mprotect(stack, static_cast<size_t>(page), PROT_NONE);
    PopulateForWriting(static_cast<char*>(stack) + kStandbyStack - kStandbyStackTop, kStandbyStackTop);
    std::shared_ptr<StandbyStart> start;
    std::shared_ptr<StandbyStart>* handed = nullptr;
    try {
        start = std::make_shared<StandbyStart>();
        start->first = std::move(first);
        handed = new std::shared_ptr<StandbyStart>(start);
    } catch (const std::bad_alloc&) {
        munmap(stack, kStandbyStack);
        return false;
    }
    cpu_set_t elsewhere;
    start->place = PlaceElsewhere(start->allowed, elsewhere);
    pthread_attr_t attr;
    pthread_t thread;
    bool started = false;
    if (pthread_attr_init(&attr) == 0) {
        started = pthread_attr_setstack(&attr, stack, kStandbyStack) == 0 &&
                  pthread_create(&thread, &attr, RunStandby, handed) == 0;
        pthread_attr_destroy(&attr);
    }
    if (started) {
        if (start->place) pthread_setaffinity_np(thread, sizeof elsewhere, &elsewhere);
        pthread_detach(thread);
        start->placed.count_down();
    } else {
        delete handed;
        munmap(stack, kStandbyStack);
    }
    return started;
}

}  // namespace

bool KeepThreadBeside(std::function<void()> first) {
    if (WorkerThreads() < 2 || standbyKept.exchange(true)) return false;
    standby.store(kFirst, std::memory_order_relaxed);
    const bool started = StartStandby(std::move(first));
    if (!started) standby.store(kBusy, std::memory_order_relaxed);  // work is started as it comes
    return started;
}

bool StandbyBusy() {
    const std::uintptr_t word = standby.load(std::memory_order_relaxed);
    return standbyKept.load(std::memory_order_relaxed) && word != kFree && word != kEnded;
}

void ReleaseThreadBeside() {
    standbyReleased.store(true, std::memory_order_release);
    std::uintptr_t word = kFree;
    if (standby.compare_exchange_strong(word, kEnded, std::memory_order_acq_rel)) standby.notify_one();
}

}  // namespace velm
