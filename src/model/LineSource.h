#pragma once
// Where a text reader gets its lines: a file (plain or gzip-compressed, read
// through zlib's gz stream interface) or a block of memory (tests, fuzzing).
// Lines come in pieces of at most kLineBuffer - 1 characters, as a 512-byte
// line buffer gives them, so a longer line arrives as several lines. Blank
// lines (blanks, tabs and carriage returns at most) are passed over: a file of
// nothing else is read at the speed of decompression.
#include <string>
#include <string_view>
#include <vector>

namespace velm {

inline constexpr int kLineBuffer = 512;
inline constexpr size_t kLinePiece = kLineBuffer - 1;

class LineSource {
public:
    virtual ~LineSource() = default;
    // The next line, line feed kept; valid until the next call. False at the end.
    virtual bool ReadLine(std::string_view& line) = 0;
    virtual void Rewind() = 0;
    // The line of the input the last piece came from, counted from 1 with
    // the blank lines passed over; 0 before the first.
    int LineNumber() const { return lineNumber_; }

protected:
    // Takes a piece that follows `skippedFeeds` blank lines: the line count
    // moves past them and past the line the previous piece ended.
    void Count(int skippedFeeds, std::string_view piece);
    void ResetCount() { lineNumber_ = 0, endedLine_ = true; }

private:
    int lineNumber_ = 0;
    bool endedLine_ = true;  // the previous piece ended its line
};

class GzLineSource : public LineSource {
public:
    explicit GzLineSource(const std::string& path);  // check IsOpen()
    ~GzLineSource() override;
    GzLineSource(const GzLineSource&) = delete;
    GzLineSource& operator=(const GzLineSource&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    bool ReadLine(std::string_view& line) override;  // throws on a corrupt or truncated stream
    void Rewind() override;

private:
    void* file_ = nullptr;  // gzFile
    std::vector<char> block_;
    size_t begin_ = 0, end_ = 0;
    bool atEnd_ = false;
    int skippedFeeds_ = 0;  // blank lines passed over since the last piece
};

class MemoryLineSource : public LineSource {
public:
    explicit MemoryLineSource(std::string_view data) : data_(data) {}
    bool ReadLine(std::string_view& line) override;
    void Rewind() override {
        pos_ = 0;
        ResetCount();
    }

private:
    std::string_view data_;
    size_t pos_ = 0;
};

// The next piece of `text` from `pos`, after any blank lines: through the line
// feed, or kLinePiece characters when the line is longer. Empty at the end.
std::string_view NextLinePiece(std::string_view text, size_t pos);

}  // namespace velm
