#include "model/DcdFile.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/BoundedFile.h"
#include "core/VelmError.h"
#include "model/TrajectorySource.h"

namespace velm {

namespace {
// One value of `width` bytes at p, in the file's byte order.
template <class T>
T Decode(const unsigned char* p, bool swap) {
    unsigned char b[sizeof(T)];
    for (size_t i = 0; i < sizeof(T); ++i) b[i] = swap ? p[sizeof(T) - 1 - i] : p[i];
    T v;
    std::memcpy(&v, b, sizeof(T));
    return v;
}

// Control integers of the header (0-based): how many fixed atoms, whether an
// extra (unit-cell) block precedes each step, the writing program's version.
constexpr int kFixedAtoms = 8;
constexpr int kExtraBlock = 10;
constexpr int kFourDims = 11;
constexpr int kVersion = 19;
constexpr long kCellRecord = 4 + 48 + 4;
}  // namespace

DcdFile::DcdFile(const std::string& path) {
    // Read-only: a trajectory is never written here, and may sit on read-only media.
    // Only a regular file: a device never ends, a pipe without a writer blocks the open.
    if (NotRegularFileReason(path).empty()) file_ = std::fopen(path.c_str(), "rb");
}

DcdFile::~DcdFile() {
    if (file_) std::fclose(file_);
}

bool DcdFile::Read(void* out, size_t bytes) {
    if (std::fread(out, 1, bytes, file_) == bytes) return true;
    message_ = std::ferror(file_) ? "Error reading DCD file" : "Unexpected end of file!";
    return false;
}

bool DcdFile::ReadInts(std::int32_t* out, size_t count) {
    unsigned char bytes[4 * 32];
    if (count > 32 || !Read(bytes, 4 * count)) return false;
    for (size_t i = 0; i < count; ++i) out[i] = Decode<std::int32_t>(bytes + 4 * i, swap_);
    return true;
}

bool DcdFile::Skip(long bytes) {
    if (std::fseek(file_, bytes, SEEK_CUR) == 0) return true;
    message_ = "Error reading DCD file";
    return false;
}

// A file whose steps stop early (a run that was killed): the value width
// comes from the first x record's length, since the size no longer tells it,
// and the steps are the whole ones the file holds.
void DcdFile::KeepWholeSteps(long stepsStart, long size) {
    const long cell = header_.unitCell ? kCellRecord : 0;
    std::int32_t length = 0;
    header_.width = 4;
    if (std::fseek(file_, stepsStart + cell, SEEK_SET) == 0 && ReadInts(&length, 1) &&
        length == 8 * static_cast<std::int64_t>(header_.atoms))
        header_.width = 8;
    message_.clear();
    const long stepBytes = cell + 3 * (header_.atoms * static_cast<long>(header_.width) + 8);
    header_.steps = static_cast<int>(std::min<long>(header_.steps, (size - stepsStart) / stepBytes));
    header_.cutShort = true;
}

DcdHeader DcdFile::ReadHeader(bool keepWholeSteps) {
    if (!file_) throw VelmError("Please open the file before reading!");
    message_.clear();
    auto fail = [this](SourceLocation where = SourceLocation::current()) {
        throw VelmError(message_, where);
    };

    std::int32_t first = 0;
    if (!ReadInts(&first, 1)) fail();
    if (first != 84) {
        swap_ = true;
        std::rewind(file_);
        if (!ReadInts(&first, 1)) fail();
        if (first != 84) throw VelmError("Corrupted DCD file header");
    }
    // "CORD", the step count and 19 more control integers, the closing 84,
    // then the title record's length and its line count.
    std::int32_t control[20] = {};
    std::int32_t tail[3] = {};
    if (!Skip(4) || !ReadInts(control, 20) || !ReadInts(tail, 3)) fail();
    const std::int32_t titleLength = tail[1], titles = tail[2];
    if (tail[0] != 84 || titleLength < 4 || (titleLength - 4) % 80 != 0 || titles != (titleLength - 4) / 80)
        throw VelmError("Bad DCD file header");

    if (std::fseek(file_, 0, SEEK_END) != 0) throw VelmError("Error reading DCD file");
    const long size = std::ftell(file_);
    if (std::fseek(file_, 92 + 4 + 4, SEEK_SET) != 0) throw VelmError("Error reading DCD file");
    if (static_cast<long>(titles) * 80 > size) throw VelmError("Unexpected end of file!");

    std::int32_t atomRecord[4] = {};
    if (!Skip(static_cast<long>(titles) * 80) || !ReadInts(atomRecord, 4)) fail();
    if (atomRecord[0] != titleLength || atomRecord[1] != 4 || atomRecord[3] != 4 || atomRecord[2] < 0)
        throw VelmError("Bad DCD file header");

    // Files of the common MD programs say in the header whether a unit-cell
    // record comes before every step; a list of fixed atoms would follow here
    // and change the layout of the steps after the first.
    const bool charmm = control[kVersion] != 0;
    if (charmm && control[kFixedAtoms] != 0)
        throw VelmError("DCD files with fixed atoms are not supported: the trajectory holds only the free atoms");
    if (charmm && control[kFourDims] != 0) throw VelmError("DCD files with a fourth coordinate are not supported");
    header_.unitCell = charmm && control[kExtraBlock] == 1;
    header_.atoms = atomRecord[2];
    header_.steps = control[0] < 0 ? 0 : control[0];

    const long stepsStart = std::ftell(file_);  // the first step's framing
    const long cell = header_.unitCell ? kCellRecord : 0;
    const long a = stepsStart + 4;  // the first x value of a file without unit cells
    const long A = header_.atoms;
    long N = header_.steps;
    // A file cut short (a run that stopped early) holds fewer steps than its
    // header says. Checked before the width is worked out, so that a header
    // claiming billions of steps and atoms cannot overflow the arithmetic.
    if (A > 0 && N > 0 && (size - stepsStart) / (cell + 3 * (A * 4 + 8)) < N) {
        if (!keepWholeSteps) throw VelmError("Unexpected end of file!");
        KeepWholeSteps(stepsStart, size);
    } else if (A > 0 && N > 0) {
        header_.width = static_cast<int>((size - (24 + cell) * N - a + 8) / (3 * N * A));
    } else if (A > 0) {
        header_.width = 4;
        N = (size - a + 8) / ((4 * A + 8) * 3 + cell);
        header_.steps = static_cast<int>(N);
        // Without a count in the header, bytes after the last whole step are
        // a step cut short.
        const long stepBytes = (4 * A + 8) * 3 + cell;
        if (keepWholeSteps && (size - stepsStart) % stepBytes != 0) {
            header_.steps = static_cast<int>((size - stepsStart) / stepBytes);
            header_.cutShort = true;
        }
    } else {
        header_.width = 0;
    }
    if (header_.width < 0) header_.width = 0;
    if (A > 0 && N > 0 && !header_.cutShort && (header_.width == 4 || header_.width == 8)) {
        const long stepBytes = cell + 3 * (A * header_.width + 8);
        if (stepBytes > 0 && (size - stepsStart) / stepBytes < N) {
            if (!keepWholeSteps) throw VelmError("Unexpected end of file!");
            KeepWholeSteps(stepsStart, size);
        }
    }
    if (std::fseek(file_, stepsStart, SEEK_SET) != 0) throw VelmError("Error reading DCD file");
    stepsStart_ = stepsStart;
    stepBytes_ = cell + 3 * (A * header_.width + 8);
    headerRead_ = true;
    return header_;
}

bool DcdFile::SeekStep(int k) {
    if (!file_ || !headerRead_ || k < 0 || k > header_.steps) return false;
    return std::fseek(file_, stepsStart_ + k * stepBytes_, SEEK_SET) == 0;
}

bool DcdFile::ReadStep(float* xyz) {
    if (!file_ || !headerRead_) {
        message_ = "Please open the file before reading!";
        return false;
    }
    // The whole step in one read: the unit-cell record, then x, y and z,
    // each framed by its length before and after.
    const size_t n = static_cast<size_t>(header_.atoms);
    const size_t w = static_cast<size_t>(header_.width);
    const size_t cell = header_.unitCell ? kCellRecord : 0;
    const size_t axisBytes = 8 + n * w;
    buffer_.resize(cell + 3 * axisBytes);
    if (!Read(buffer_.data(), buffer_.size())) return false;
    const unsigned char* p = buffer_.data();
    auto length = [this](const unsigned char* at) { return Decode<std::int32_t>(at, swap_); };
    if (cell && (length(p) != 48 || length(p + 52) != 48)) {
        message_ = "Error reading DCD file!";
        return false;
    }
    if (cell)
        for (int i = 0; i < 6; ++i) cell_[i] = Decode<double>(p + 4 + 8 * i, swap_);
    p += cell;
    for (int axis = 0; axis < 3; ++axis, p += axisBytes) {
        const auto open = static_cast<size_t>(static_cast<std::uint32_t>(length(p)));
        if (open != n * w || length(p + 4 + n * w) != length(p)) {
            message_ = "Error reading DCD file!";
            return false;
        }
        const unsigned char* v = p + 4;
        float* out = xyz + axis;
        if (w == 4 && !swap_) {
            for (size_t i = 0; i < n; ++i) std::memcpy(out + 3 * i, v + 4 * i, 4);
        } else if (w == 4) {
            for (size_t i = 0; i < n; ++i) {
                std::uint32_t bits;
                std::memcpy(&bits, v + 4 * i, 4);
                bits = __builtin_bswap32(bits);
                std::memcpy(out + 3 * i, &bits, 4);
            }
        } else {
            for (size_t i = 0; i < n; ++i) {
                std::uint64_t bits;
                std::memcpy(&bits, v + 8 * i, 8);
                if (swap_) bits = __builtin_bswap64(bits);
                double d;
                std::memcpy(&d, &bits, 8);
                out[3 * i] = ToFloat(d);
            }
        }
    }
    if (!AllFinite(xyz, 3 * n)) {
        message_ = "Error reading DCD file!";
        return false;
    }
    return true;
}

}  // namespace velm
