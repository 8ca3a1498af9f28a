#include "core/WorkerThreads.h"

#include <pthread.h>
#include <sched.h>
#ifdef __SSE2__
#include <immintrin.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
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

bool KeepThreadBeside(std::function<void()> first) {
    if (WorkerThreads() < 2 || standbyKept.exchange(true)) return false;
    try {
        standby.store(kFirst, std::memory_order_relaxed);
        std::jthread kept = StartPlaced([first = std::move(first)](std::stop_token) { Standby(first); });
        kept.detach();
        return true;
    } catch (const std::exception&) {  // no thread: work is started as it comes
        standby.store(kBusy, std::memory_order_relaxed);
        return false;
    }
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
