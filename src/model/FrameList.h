#pragma once
// A molecule's trajectory frames: held in memory, or read from the file when
// they are asked for (FrameStream) when the whole would not fit the memory
// budget. Callers index both alike; a frame read on demand stays valid until
// this list is asked for two other frames.
#include <map>
#include <memory>

#include "core/List.h"
#include "model/Frame.h"

namespace velm {

class FrameStream;

class FrameList {
public:
    FrameList() = default;
    FrameList(const FrameList& other);
    FrameList& operator=(const FrameList& other);
    FrameList(FrameList&&) noexcept = default;
    FrameList& operator=(FrameList&&) noexcept = default;
    FrameList& operator=(list<Frame>&& frames);
    ~FrameList();

    int Count() const;
    bool Empty() const { return Count() == 0; }
    bool OnDemand() const { return stream_ != nullptr; }
    FrameStream* Stream() const { return stream_.get(); }

    // Frame k (0-based). On demand the frame is read when not cached, and
    // VelmError is thrown when it cannot be.
    const Frame& operator[](int k) const;
    // A frame to change: on demand it is kept in memory from now on, so that
    // the change stays (a superposition or a torsion turn of one frame).
    Frame& operator[](int k);

    // In memory only.
    Frame& Append(Frame frame) { return frames_.Append(std::move(frame)); }
    auto begin() { return frames_.begin(); }
    auto end() { return frames_.end(); }
    auto begin() const { return frames_.begin(); }
    auto end() const { return frames_.end(); }

    // Frames from now on come from `stream`; the frames held are dropped.
    void SetStream(std::shared_ptr<FrameStream> stream);
    void Clear();
    // Keeps the first n frames (a frame that could not be read ends them).
    void Truncate(int n);

private:
    list<Frame> frames_;
    std::shared_ptr<FrameStream> stream_;  // shared by copies: the file's frames do not change
    std::map<int, Frame> edited_;          // frames of the stream changed here
    int limit_ = -1;                       // frames of the stream in use; -1: all
    // The two frames handed out last on demand, kept alive for their callers.
    mutable std::shared_ptr<const Frame> held_[2];
    mutable int heldIndex_[2] = {-1, -1};
};

}  // namespace velm
