#include "model/FrameStream.h"

#include <algorithm>
#include <new>
#include <utility>

#include "core/VelmError.h"

namespace velm {

FrameStream::FrameStream(std::unique_ptr<TrajectorySource> source, int cacheFrames)
    : source_(std::move(source)),
      count_(source_->FrameCount()),
      atoms_(source_->AtomCount()),
      capacity_(std::max(2, cacheFrames)),
      format_(source_->Format()),
      worker_([this](std::stop_token stop) { Work(stop); }) {}

FrameStream::~FrameStream() = default;

void FrameStream::SetPreparation(Preparation prepare) {
    const std::lock_guard<std::mutex> guard(lock_);
    prepare_ = std::move(prepare);
    cache_.clear();
    failed_.clear();
    ++generation_;
}

int FrameStream::Distance(int k) const {
    const long d = (static_cast<long>(k) - shown_) * direction_;
    return static_cast<int>(((d % count_) + count_) % count_);
}

void FrameStream::Trim() {
    // The frames left behind go first; those ahead are about to be shown.
    while (static_cast<int>(cache_.size()) > capacity_) {
        auto farthest = cache_.begin();
        for (auto it = cache_.begin(); it != cache_.end(); ++it)
            if (Distance(it->first) > Distance(farthest->first)) farthest = it;
        cache_.erase(farthest);
    }
}

std::shared_ptr<const Frame> FrameStream::Get(int k) {
    if (k < 0 || k >= count_) throw VelmError("No frame " + std::to_string(k + 1) + " in the trajectory");
    std::unique_lock<std::mutex> l(lock_);
    if (k != shown_) {
        // Playing wraps from the last frame to the first and back.
        if (shown_ == count_ - 1 && k == 0) direction_ = 1;
        else if (shown_ == 0 && k == count_ - 1) direction_ = -1;
        else direction_ = k > shown_ ? 1 : -1;
        shown_ = k;
    }
    for (;;) {
        if (const auto it = cache_.find(k); it != cache_.end()) {
            wanted_ = -1;
            changed_.notify_all();  // on to the frames ahead
            return it->second;
        }
        if (const auto it = failed_.find(k); it != failed_.end()) {
            wanted_ = -1;
            throw VelmError(it->second);
        }
        wanted_ = k;
        changed_.notify_all();
        changed_.wait(l);
    }
}

void FrameStream::Work(std::stop_token stop) {
    const int ahead = std::max(1, capacity_ / 2);
    std::unique_lock<std::mutex> l(lock_);
    // The frame asked for first, then the ones ahead of the frame shown.
    const auto next = [&]() -> int {
        const auto missing = [&](int k) { return !cache_.contains(k) && !failed_.contains(k); };
        if (wanted_ >= 0 && missing(wanted_)) return wanted_;
        for (int j = 1; j <= ahead && j < count_; ++j) {
            const int k = static_cast<int>(((static_cast<long>(shown_) + j * direction_) % count_ + count_) % count_);
            if (missing(k)) return k;
        }
        return -1;
    };
    for (;;) {
        int k = -1;
        if (!changed_.wait(l, stop, [&] { return (k = next()) >= 0; })) return;
        reading_ = k;
        const int generation = generation_;
        const Preparation prepare = prepare_;
        l.unlock();
        std::shared_ptr<Frame> frame;
        std::string error;
        try {
            frame = std::make_shared<Frame>(static_cast<size_t>(atoms_));
            source_->ReadFrame(k, frame->xyz.data());
            if (prepare) prepare(k, *frame);
        } catch (const VelmError& e) {
            error = e.text();
        } catch (const std::bad_alloc&) {
            error = "Out of memory";
        }
        l.lock();
        reading_ = -1;
        if (generation == generation_) {
            if (error.empty()) cache_[k] = std::move(frame);
            else failed_[k] = error;
            Trim();
        }
        changed_.notify_all();
    }
}

std::vector<std::string> FrameStream::TakeNotices() {
    const std::lock_guard<std::mutex> guard(lock_);
    return std::exchange(notices_, {});
}

void FrameStream::AddNotice(const std::string& text) {
    const std::lock_guard<std::mutex> guard(lock_);
    notices_.push_back(text);
}

}  // namespace velm
