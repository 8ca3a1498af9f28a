#pragma once
// A DCD file as a trajectory source: the reader's own header checks and
// messages, the frame count from the file size, any step by its offset, and
// the unit-cell record as the box.
#include <optional>
#include <string>

#include "model/DcdFile.h"
#include "model/TrajectorySource.h"

namespace velm {

class DcdSource : public TrajectorySource {
public:
    // Throws VelmError with the reader's messages, and "Incompatible data
    // size in DCD file!" for values neither 4 nor 8 bytes wide.
    explicit DcdSource(const std::string& path);

    TrajectoryFormat Format() const override { return TrajectoryFormat::Dcd; }
    int AtomCount() const override { return header_.atoms; }
    int FrameCount() const override { return header_.steps; }
    const std::string& Notice() const override { return notice_; }
    void ReadFrame(int k, float* xyz) override;
    std::optional<TrajectoryBox> Box() const override { return box_; }

private:
    DcdFile file_;
    DcdHeader header_;
    int next_ = 0;  // the step the stream stands at
    std::string notice_;
    std::optional<TrajectoryBox> box_;
};

}  // namespace velm
