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
    // leaves the stream at the first step. Throws VelmError.
    DcdHeader ReadHeader();

    // Reads the next step into xyz (3 floats per atom, x y z). False, with
    // Message() set, on a read error or the end of the file.
    bool ReadStep(float* xyz);
    const std::string& Message() const { return message_; }

private:
    bool Read(void* out, size_t bytes);
    bool ReadInts(std::int32_t* out, size_t count);
    bool Skip(long bytes);

    std::FILE* file_ = nullptr;
    bool swap_ = false;
    DcdHeader header_;
    bool headerRead_ = false;
    std::string message_;
    std::vector<unsigned char> buffer_;
};

}  // namespace velm
