#pragma once
// Trajectory frames read when they are shown, for trajectories too large to
// hold: the source's index gives any frame, a small cache keeps the frames
// around the one shown, and one worker thread reads ahead in the direction
// of play. Frames come out prepared (shifted, centred or aligned) as the
// whole read would have left them.
#include <condition_variable>
#include <stop_token>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "model/Frame.h"
#include "model/TrajectorySource.h"

namespace velm {

class FrameStream {
public:
    // What is done to frame k (0-based) after it is decoded, on the worker.
    using Preparation = std::function<void(int k, Frame& frame)>;

    // `cacheFrames` frames are kept (at least 2); half of them are read ahead.
    FrameStream(std::unique_ptr<TrajectorySource> source, int cacheFrames);
    ~FrameStream();
    FrameStream(const FrameStream&) = delete;
    FrameStream& operator=(const FrameStream&) = delete;

    int Count() const { return count_; }
    int AtomCount() const { return atoms_; }
    int CacheFrames() const { return capacity_; }
    TrajectoryFormat Format() const { return format_; }

    // Frames read before are dropped: they were prepared the old way.
    void SetPreparation(Preparation prepare);

    // Frame k (0 <= k < Count()), read now unless cached; the frames after
    // it in the direction of the last step are read meanwhile. Throws the
    // source's VelmError for a frame that cannot be decoded.
    std::shared_ptr<const Frame> Get(int k);

    // Messages of the preparation (an alignment that failed) since last asked.
    std::vector<std::string> TakeNotices();
    // Lets the preparation tell one.
    void AddNotice(const std::string& text);

private:
    void Work(std::stop_token stop);
    int Distance(int k) const;  // frames from the one shown to k, in the direction of play
    void Trim();

    std::unique_ptr<TrajectorySource> source_;  // read by the worker only
    const int count_, atoms_, capacity_;
    const TrajectoryFormat format_;

    std::mutex lock_;  // guards everything below
    std::condition_variable_any changed_;
    Preparation prepare_;
    std::map<int, std::shared_ptr<const Frame>> cache_;
    std::map<int, std::string> failed_;  // frames that could not be read, and why
    int wanted_ = -1;   // the frame a caller waits for
    int shown_ = 0;     // the frame asked for last
    int direction_ = 1;
    int reading_ = -1;  // the frame the worker decodes now
    int generation_ = 0;  // bumped by SetPreparation: a frame read before is not cached
    std::vector<std::string> notices_;
    std::jthread worker_;  // last: stops and joins before the rest goes
};

}  // namespace velm
