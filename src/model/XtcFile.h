#pragma once
// XTC trajectories, the compressed coordinates that GROMACS writes. Each frame
// is a header (magic 1995, atoms, step, time, box) and the coordinates in nm:
// nine atoms or fewer as plain floats, more as integers on a grid of
// 1/precision nm, packed together with the differences between neighbouring
// atoms in few bits. Frames differ in size, so opening the file walks the
// frame headers once and keeps each frame's offset. Read as ångström.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/TrajectorySource.h"
#include "model/XdrFile.h"

namespace velm {

class XtcFile : public TrajectorySource {
public:
    // Opens the file and indexes its frames. Throws VelmError when the file
    // cannot be opened or its first frame's header cannot be used.
    explicit XtcFile(const std::string& path);

    TrajectoryFormat Format() const override { return TrajectoryFormat::Xtc; }
    int AtomCount() const override { return atoms_; }
    int FrameCount() const override { return static_cast<int>(offsets_.size()) - 1; }
    const std::string& Notice() const override { return notice_; }
    void ReadFrame(int k, float* xyz) override;
    std::optional<TrajectoryBox> Box() const override { return box_; }

private:
    void Index();

    XdrFile file_;
    int atoms_ = 0;
    std::vector<std::int64_t> offsets_;  // frame k spans offsets_[k] to offsets_[k + 1]
    std::string notice_;
    std::vector<unsigned char> frame_;  // the frame being decoded and 8 zero bytes after it
    std::optional<TrajectoryBox> box_;
};

}  // namespace velm
