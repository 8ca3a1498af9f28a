#include "model/FrameList.h"

#include <algorithm>

#include "model/FrameStream.h"

namespace velm {

FrameList::FrameList(const FrameList& other)
    : frames_(other.frames_), stream_(other.stream_), edited_(other.edited_), limit_(other.limit_) {}

FrameList& FrameList::operator=(const FrameList& other) {
    if (this == &other) return *this;
    FrameList copy(other);
    *this = std::move(copy);
    return *this;
}

FrameList& FrameList::operator=(list<Frame>&& frames) {
    Clear();
    frames_ = std::move(frames);
    return *this;
}

FrameList::~FrameList() = default;

int FrameList::Count() const {
    if (!stream_) return frames_.Count();
    return limit_ >= 0 ? std::min(limit_, stream_->Count()) : stream_->Count();
}

void FrameList::Truncate(int n) {
    if (n < 0 || n >= Count()) return;
    if (!stream_) {
        while (frames_.Count() > n) frames_.Remove(frames_.Count() - 1);
        return;
    }
    limit_ = n;
    edited_.erase(edited_.lower_bound(n), edited_.end());
}

const Frame& FrameList::operator[](int k) const {
    if (!stream_) return frames_[k];
    if (const auto it = edited_.find(k); it != edited_.end()) return it->second;
    if (heldIndex_[0] == k) return *held_[0];
    if (heldIndex_[1] == k) return *held_[1];
    std::shared_ptr<const Frame> frame = stream_->Get(k);
    held_[1] = std::move(held_[0]);
    heldIndex_[1] = heldIndex_[0];
    held_[0] = std::move(frame);
    heldIndex_[0] = k;
    return *held_[0];
}

Frame& FrameList::operator[](int k) {
    if (!stream_) return frames_[k];
    if (const auto it = edited_.find(k); it != edited_.end()) return it->second;
    const Frame& read = static_cast<const FrameList&>(*this)[k];
    return edited_.emplace(k, read).first->second;
}

void FrameList::SetStream(std::shared_ptr<FrameStream> stream) {
    Clear();
    stream_ = std::move(stream);
}

void FrameList::Clear() {
    frames_.Clear();
    stream_.reset();
    edited_.clear();
    limit_ = -1;
    held_[0].reset();
    held_[1].reset();
    heldIndex_[0] = heldIndex_[1] = -1;
}

}  // namespace velm
