#include "model/InflateAhead.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "core/VelmError.h"
#include "core/WorkerThreads.h"

namespace velm {

namespace {

// How long a wait turns before it sleeps: about the time a block takes to inflate.
constexpr std::chrono::microseconds kTurning{1000};

}  // namespace

InflateAhead::InflateAhead(void* gz) : gz_(gz), thread_(StartBeside([this](std::stop_token) { Inflate(); })) {}

InflateAhead::~InflateAhead() {
    {
        std::lock_guard lock(mutex_);
        stop_.store(true);
    }
    changed_.notify_all();
    thread_.Join();
}

template <class Ready>
void InflateAhead::Await(Ready ready) {
    const auto until = std::chrono::steady_clock::now() + kTurning;
    while (!ready()) {
        if (std::chrono::steady_clock::now() > until) {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, ready);
            return;
        }
        std::this_thread::yield();
    }
}

void InflateAhead::Inflate() {
    for (size_t k = 0;; ++k) {
        Await([&] { return stop_.load() || k - taken_.load(std::memory_order_acquire) < kBlocks; });
        if (stop_.load()) return;
        Block& b = blocks_[k % kBlocks];
        const int got = gzread(static_cast<gzFile>(gz_), b.text.get(), static_cast<unsigned>(kBlock));
        b.size = got > 0 ? static_cast<size_t>(got) : 0;
        b.failed = got < 0;
        b.end = false;
        if (got == 0) {
            int err = Z_OK;
            gzerror(static_cast<gzFile>(gz_), &err);
            b.failed = err != Z_OK && err != Z_STREAM_END;  // truncated or corrupt
            b.end = !b.failed;
        }
        {
            std::lock_guard lock(mutex_);  // a reader going to sleep sees the block or is woken
            filled_.store(k + 1, std::memory_order_release);
        }
        changed_.notify_all();
        if (b.end || b.failed) return;
    }
}

size_t InflateAhead::Read(char* to, size_t room) {
    for (;;) {
        const size_t k = taken_.load(std::memory_order_relaxed);
        Await([&] { return filled_.load(std::memory_order_acquire) > k; });
        const Block& b = blocks_[k % kBlocks];
        if (offset_ < b.size) {
            const size_t n = std::min(room, b.size - offset_);
            std::memcpy(to, b.text.get() + offset_, n);
            offset_ += n;
            return n;
        }
        // The last block stays, so that every later read ends or fails as it did.
        if (b.failed) throw VelmError("Error parsing file!");
        if (b.end) return 0;
        offset_ = 0;
        {
            std::lock_guard lock(mutex_);
            taken_.store(k + 1, std::memory_order_release);
        }
        changed_.notify_all();
    }
}

}  // namespace velm
