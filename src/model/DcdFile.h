#pragma once
// DCD trajectories: length-framed binary records of either byte order, with
// 4- or 8-byte coordinates, read one step at a time.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace velm {

struct DcdHeader {
    int atoms = 0;
    int steps = 0;
    int width = 0;           // bytes per value: 4 or 8 in a usable file
    bool unitCell = false;   // a 48-byte unit-cell record precedes every step
    bool cutShort = false;   // the file ends inside a step; `steps` counts the whole ones
};

class DcdFile {
public:
    explicit DcdFile(const std::string& path);  // opened read-only; check IsOpen()
    ~DcdFile();
    DcdFile(const DcdFile&) = delete;
    DcdFile& operator=(const DcdFile&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    bool Swapped() const { return swap_; }

    // Checks the header, derives steps and value width from the file size and
    // leaves the stream at the first step. Throws VelmError. A file cut short
    // inside its steps throws "Unexpected end of file!", or with
    // keepWholeSteps gives the whole steps before the cut and cutShort.
    DcdHeader ReadHeader(bool keepWholeSteps = false);

    // Moves to step k (0-based) for the next ReadStep; false past the end.
    bool SeekStep(int k);

    // Reads the next step into xyz (3 floats per atom, x y z). False, with
    // Message() set, on a read error or the end of the file.
    bool ReadStep(float* xyz);
    const std::string& Message() const { return message_; }
    // The last step's unit-cell record as stored: A, gamma, B, beta, alpha, C.
    const double* UnitCell() const { return cell_; }

private:
    bool Read(void* out, size_t bytes);
    bool ReadInts(std::int32_t* out, size_t count);
    bool Skip(long bytes);
    void KeepWholeSteps(long stepsStart, long size);

    std::FILE* file_ = nullptr;
    bool swap_ = false;
    DcdHeader header_;
    bool headerRead_ = false;
    long stepsStart_ = 0;
    long stepBytes_ = 0;
    double cell_[6] = {};
    std::string message_;
    std::vector<unsigned char> buffer_;
};

}  // namespace velm
