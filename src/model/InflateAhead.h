// A gzip stream inflated on a thread of its own, blocks ahead of its reader:
// the reader parses one block while the next ones are inflated.
#pragma once
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>

#include "core/WorkerThreads.h"

namespace velm {

class InflateAhead {
public:
    // Reads the stream `gz` (a gzFile) from where it stands, on a thread
    // beside (throws std::system_error when none can be had). The stream is
    // not touched by anyone else while this lives.
    explicit InflateAhead(void* gz);
    ~InflateAhead();  // stops the thread, which ends with the block it inflates
    InflateAhead(const InflateAhead&) = delete;
    InflateAhead& operator=(const InflateAhead&) = delete;

    // Up to `room` bytes of the text into `to`; 0 at its end. A stream
    // corrupt or cut short throws VelmError once the text before is read.
    size_t Read(char* to, size_t room);

private:
    static constexpr size_t kBlock = 1 << 18, kBlocks = 4;

    struct Block {
        std::unique_ptr<char[]> text{new char[kBlock]};
        size_t size = 0;
        bool end = false, failed = false;  // the stream's last block: at its end, or not readable
    };

    void Inflate();
    template <class Ready>
    void Await(Ready ready);

    void* gz_;
    // Block k is blocks_[k % kBlocks]: the thread fills block filled_ while
    // fewer than kBlocks wait for the reader, which reads block taken_ from
    // offset_. Neither touches a block the other holds; each waits for the
    // other by turning a while (a sleeping thread of a virtual machine takes
    // some 0.1 ms to wake), then asleep.
    Block blocks_[kBlocks];
    std::atomic<size_t> filled_{0}, taken_{0};
    std::atomic<bool> stop_{false};
    size_t offset_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    BesideWork thread_;  // last: started once the rest stands
};

}  // namespace velm
