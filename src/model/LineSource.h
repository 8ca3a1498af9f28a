#pragma once
// Where a text reader gets its lines: a file (plain, or gzip-compressed and
// read through zlib's gz stream interface) or a block of memory (tests, fuzzing).
// A line ends at a line feed, a carriage return and line feed, or a carriage
// return alone, and comes whole with its line end, up to kLongestLine
// characters: of a longer line only its start comes (LineCut()), and the rest
// of it is passed over, so that no part of it is ever taken for a line of its
// own. Blank lines (blanks and tabs at most) are passed over: a file of nothing
// else is read at the speed of decompression. A NUL byte is no text: reading
// stops at it with "Error parsing file!".
#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/InflateAhead.h"

namespace velm {

inline constexpr size_t kLongestLine = 65536;

class LineSource {
public:
    virtual ~LineSource() = default;
    // The next line, line end kept; valid until the next call. False at the end.
    virtual bool ReadLine(std::string_view& line) = 0;
    virtual void Rewind() = 0;
    // Bytes of text the source holds when that is known before reading (an
    // uncompressed file, a block of memory); 0 otherwise.
    virtual size_t SizeHint() const { return 0; }
    // Bytes of text the source is expected to hold: SizeHint, or what a
    // compressed file's trailer tells (GzipTextSize); 0 where neither is known.
    virtual size_t TextSizeGuess() const { return SizeHint(); }
    // The line of the input the last line came from, counted from 1 with the
    // blank lines passed over; 0 before the first.
    int LineNumber() const { return lineNumber_; }
    // The last line was longer than kLongestLine: it came cut.
    bool LineCut() const { return cut_; }
    // Where the last line began, in bytes of text from the start of the input.
    size_t LineStart() const { return lineStart_; }
    // A second, independent reader of the same text from byte `offset` on,
    // where one can be had (a plain file, a block of memory); null otherwise.
    // Its lines are those of this source from the first line end at or after
    // `offset`; what comes before may be the end of a line. Its line numbers
    // count from there.
    virtual std::unique_ptr<LineSource> OpenAt(size_t /*offset*/) const { return nullptr; }

protected:
    // Takes a line that follows `blankLines` blank lines.
    void Count(int blankLines, bool cut, size_t start) {
        lineNumber_ += blankLines + 1;
        cut_ = cut;
        lineStart_ = start;
    }
    void ResetCount() { lineNumber_ = 0, cut_ = false, lineStart_ = 0; }

private:
    int lineNumber_ = 0;
    bool cut_ = false;
    size_t lineStart_ = 0;
};

class GzLineSource : public LineSource {
public:
    explicit GzLineSource(const std::string& path);  // check IsOpen()
    ~GzLineSource() override;
    GzLineSource(const GzLineSource&) = delete;
    GzLineSource& operator=(const GzLineSource&) = delete;

    bool IsOpen() const { return file_ != nullptr || fd_ >= 0; }
    bool ReadLine(std::string_view& line) override;  // throws on a corrupt or truncated stream
    void Rewind() override;
    size_t SizeHint() const override { return plainSize_; }
    size_t TextSizeGuess() const override { return plainSize_ > 0 ? plainSize_ : compressedText_; }
    std::unique_ptr<LineSource> OpenAt(size_t offset) const override;  // plain regular files only

private:
    GzLineSource() : block_(new char[kBlock]) {}
    static constexpr size_t kBlock = 1 << 18;  // whole-file scans: few, large reads; holds a longest line

    bool Fill();  // more of the stream behind what is held; false at its end
    void ThrowAtNul(size_t upTo) const;

    // Bytes of the stream into `to`: 0 at its end; throws when it cannot be read.
    size_t ReadStream(char* to, size_t room);

    void* file_ = nullptr;  // gzFile of a compressed file
    // A large compressed text is inflated a block ahead, on a thread beside.
    std::unique_ptr<InflateAhead> ahead_;
    bool aheadTried_ = false;
    int fd_ = -1;           // a plain file, read as it is
    size_t plainSize_ = 0;  // the file's size when it is not compressed
    size_t compressedText_ = 0;  // the text of a compressed regular file, as its trailer tells
    bool regular_ = false;  // a plain file that is a regular one: read with pread, from filePos_
    size_t filePos_ = 0;    // where the next read of a plain file begins
    size_t origin_ = 0;     // where the text this source reads begins
    size_t consumed_ = 0;   // bytes of text before block_
    std::unique_ptr<char[]> block_;  // left uninitialised: a small file touches few of its pages
    size_t begin_ = 0, end_ = 0;
    size_t nul_ = SIZE_MAX;  // the first NUL byte held, as a place in block_
    size_t cr_ = 0;          // the first CR at or after begin_, or end_ when none; stale when below begin_
    bool atEnd_ = false;
    bool skipping_ = false;  // passing over the rest of a cut line
    int blankLines_ = 0;     // passed over since the last line
};

class MemoryLineSource : public LineSource {
public:
    explicit MemoryLineSource(std::string_view data, size_t origin = 0)
        : data_(data), origin_(origin), nul_(data.find('\0')), cr_(std::min(data.find('\r'), data.size())) {}
    bool ReadLine(std::string_view& line) override;
    std::unique_ptr<LineSource> OpenAt(size_t offset) const override {
        const size_t at = std::min(offset, origin_ + data_.size()) - origin_;
        return std::make_unique<MemoryLineSource>(data_.substr(at), origin_ + at);
    }
    void Rewind() override {
        pos_ = 0;
        cr_ = std::min(data_.find('\r'), data_.size());
        ResetCount();
    }
    size_t SizeHint() const override { return data_.size(); }

private:
    std::string_view data_;
    size_t origin_;  // where data_ begins in the text
    size_t pos_ = 0;
    size_t nul_;
    size_t cr_;  // as GzLineSource's
};

// How the next line of held text `text` begins: after `skip` bytes of blank
// lines (`blankLines` of them) comes a line of `length` bytes, its line end
// included, cut when longer than kLongestLine. `length` is 0 when the text
// ends first: at the end of the input (`final`), or where more text must
// come to tell (a blank line or a line not yet ended).
struct LineScan {
    size_t skip = 0;
    int blankLines = 0;
    size_t length = 0;
    bool cut = false;
};
// `firstCr`: where the first carriage return of `text` is, text.size() or
// more when it holds none (so that most lines need no search for one).
LineScan ScanLine(std::string_view text, bool final, size_t firstCr);

// Bytes of `text` through the first line end (the rest of a cut line); npos
// when none is held yet. A carriage return held last is not taken before
// the text after it is known, unless the text is `final`.
size_t ThroughLineEnd(std::string_view text, bool final);

}  // namespace velm
