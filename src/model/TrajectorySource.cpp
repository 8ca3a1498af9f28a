#include "model/TrajectorySource.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "core/VelmError.h"
#include "model/DcdSource.h"
#include "model/TrrFile.h"
#include "model/XdrFile.h"
#include "model/XtcFile.h"

namespace velm {

namespace {
// cos and sin of whole right angles exactly, so that rectangular boxes have
// exact zeros off the diagonal.
double CosDegrees(double d) { return d == 90.0 ? 0.0 : std::cos(d * M_PI / 180.0); }
double SinDegrees(double d) { return d == 90.0 ? 1.0 : std::sin(d * M_PI / 180.0); }
}  // namespace

TrajectoryBox BoxFromLengthsAndAngles(double a, double b, double c, double alpha, double beta, double gamma) {
    const double ca = CosDegrees(alpha), cb = CosDegrees(beta), cg = CosDegrees(gamma), sg = SinDegrees(gamma);
    TrajectoryBox box;
    box.vectors[0][0] = static_cast<float>(a);
    box.vectors[1][0] = static_cast<float>(b * cg);
    box.vectors[1][1] = static_cast<float>(b * sg);
    const double cx = c * cb, cy = sg != 0 ? c * (ca - cb * cg) / sg : 0.0;
    box.vectors[2][0] = static_cast<float>(cx);
    box.vectors[2][1] = static_cast<float>(cy);
    box.vectors[2][2] = static_cast<float>(std::sqrt(std::max(0.0, c * c - cx * cx - cy * cy)));
    return box;
}

void CheckAtomCount(const TrajectorySource& source, int atoms) {
    if (source.AtomCount() != atoms) throw VelmError("Incorrect Number of atoms in DCD file!");
}

bool AllFinite(const float* values, std::size_t n) {
    // x * 0 is 0 for every finite x and NaN otherwise: one test for the frame,
    // in a loop without branches.
    float sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += values[i] * 0.0f;
    return sum == 0.0f;
}

float ToFloat(double d) {
    if (std::fabs(d) <= std::numeric_limits<float>::max()) return static_cast<float>(d);
    return std::isnan(d) ? std::numeric_limits<float>::quiet_NaN() : std::numeric_limits<float>::infinity();
}

std::string FramesStopNotice(const std::string& reason, int k) {
    const std::string where = reason + " in frame " + std::to_string(k + 1);
    if (k == 0) return where + "; no frame before it";
    if (k == 1) return where + "; the frame before it is read";
    return where + "; the " + std::to_string(k) + " frames before it are read";
}

std::unique_ptr<TrajectorySource> OpenTrajectorySource(const std::string& path) {
    unsigned char head[4];
    {
        const XdrFile file(path);
        if (!file.IsOpen()) throw VelmError("Can't open DCD file for reading!");
        if (!file.Read(0, head, 4)) throw VelmError("Unexpected end of file!");
    }
    // XTC and TRR open with a big-endian magic number, DCD with the length
    // of its first record, 84, in the byte order of the machine that wrote it.
    const std::int32_t big = XdrInt(head);
    const std::int32_t little = static_cast<std::int32_t>(head[0] | head[1] << 8 | head[2] << 16 |
                                                          static_cast<std::uint32_t>(head[3]) << 24);
    if (big == 1995 || big == 2023) return std::make_unique<XtcFile>(path);
    if (big == 1993) return std::make_unique<TrrFile>(path);
    if (big == 84 || little == 84) return std::make_unique<DcdSource>(path);
    throw VelmError("Unknown file type!");
}

}  // namespace velm
