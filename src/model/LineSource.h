#pragma once
// Where a text reader gets its lines: a file (plain or gzip-compressed, read
// through zlib's gz stream interface) or a block of memory (tests, fuzzing).
// Lines come in pieces of at most kLineBuffer - 1 characters, as gzgets gives
// them, so a longer line arrives as several lines.
#include <string>
#include <string_view>

namespace velm {

inline constexpr int kLineBuffer = 512;

class LineSource {
public:
    virtual ~LineSource() = default;
    // Next line into buf (NUL-terminated, line feed kept); false at the end.
    virtual bool ReadLine(char* buf, int size) = 0;
    virtual void Rewind() = 0;
};

class GzLineSource : public LineSource {
public:
    explicit GzLineSource(const std::string& path);  // check IsOpen()
    ~GzLineSource() override;
    GzLineSource(const GzLineSource&) = delete;
    GzLineSource& operator=(const GzLineSource&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    bool ReadLine(char* buf, int size) override;  // throws on a corrupt or truncated stream
    void Rewind() override;

private:
    void* file_ = nullptr;  // gzFile
};

class MemoryLineSource : public LineSource {
public:
    explicit MemoryLineSource(std::string_view data) : data_(data) {}
    bool ReadLine(char* buf, int size) override;
    void Rewind() override { pos_ = 0; }

private:
    std::string_view data_;
    size_t pos_ = 0;
};

}  // namespace velm
