#pragma once
// TRR trajectories, the full-precision frames GROMACS writes: per frame a
// header (magic 1993, a version text, the byte sizes of the blocks that
// follow, atoms, step, time) and then the box, virial and pressure tensors,
// positions, velocities and forces, each block present or not, in single or
// double precision (told by the sizes). Positions and the box are read as
// ångström; velocities (nm/ps) and forces (kJ mol^-1 nm^-1) keep the units of
// the file. Frames without positions (a run may save velocities more often
// than positions) have nothing to show and are left out of the frames.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/TrajectorySource.h"
#include "model/XdrFile.h"

namespace velm {

class TrrFile : public TrajectorySource {
public:
    // Opens the file and indexes its frames. Throws VelmError when the file
    // cannot be opened or its first frame's header cannot be used.
    explicit TrrFile(const std::string& path);

    TrajectoryFormat Format() const override { return TrajectoryFormat::Trr; }
    int AtomCount() const override { return atoms_; }
    int FrameCount() const override { return static_cast<int>(frames_.size()); }
    const std::string& Notice() const override { return notice_; }
    void ReadFrame(int k, float* xyz) override;
    std::optional<TrajectoryBox> Box() const override { return box_; }
    std::span<const float> Velocities() const override { return velocities_; }
    std::span<const float> Forces() const override { return forces_; }

    // Bytes per value of the frame last read (of the first frame before): 4 or 8.
    int ValueBytes() const { return real_; }

private:
    struct Span {
        std::int64_t offset;
        std::int64_t bytes;
    };
    void Index();

    XdrFile file_;
    int atoms_ = 0;
    int real_ = 4;
    std::vector<Span> frames_;  // the frames with positions
    std::string notice_;
    std::vector<unsigned char> frame_;
    std::optional<TrajectoryBox> box_;
    std::vector<float> velocities_, forces_;
};

}  // namespace velm
