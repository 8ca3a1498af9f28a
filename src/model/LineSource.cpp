#include "model/LineSource.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/VelmError.h"

namespace velm {

namespace {
constexpr size_t kBlock = 1 << 18;  // whole-file scans: few, large reads
gzFile Gz(void* f) { return static_cast<gzFile>(f); }
}  // namespace

std::string_view NextLinePiece(std::string_view text, size_t pos) {
    // Blank lines say nothing: pass over every whole one. A blank run longer
    // than a piece, or one the text ends inside, is left to come in pieces.
    for (size_t i = pos; i < text.size() && i - pos < kLinePiece; ++i) {
        const char c = text[i];
        if (c == '\n') pos = i + 1;
        else if (c != ' ' && c != '\r' && c != '\t') break;
    }
    if (pos >= text.size()) return {};
    const size_t room = std::min(text.size() - pos, kLinePiece);
    const char* start = text.data() + pos;
    const void* nl = std::memchr(start, '\n', room);
    return {start, nl ? static_cast<size_t>(static_cast<const char*>(nl) - start) + 1 : room};
}

void LineSource::Count(int skippedFeeds, std::string_view piece) {
    lineNumber_ += static_cast<int>(endedLine_) + skippedFeeds;
    endedLine_ = !piece.empty() && piece.back() == '\n';
}

GzLineSource::GzLineSource(const std::string& path) {
    gzFile f = gzopen(path.c_str(), "rb");
    if (!f) return;
    gzbuffer(f, kBlock);
    file_ = f;
    block_.resize(kBlock);
}

GzLineSource::~GzLineSource() {
    if (file_) gzclose(Gz(file_));
}

bool GzLineSource::ReadLine(std::string_view& line) {
    for (;;) {
        const std::string_view held(block_.data() + begin_, end_ - begin_);
        line = NextLinePiece(held, 0);
        const size_t start = line.empty() ? end_ : static_cast<size_t>(line.data() - block_.data());
        // The blank lines passed over are counted once, here; the piece when it is taken.
        skippedFeeds_ += static_cast<int>(std::count(block_.data() + begin_, block_.data() + start, '\n'));
        begin_ = start;
        // A piece is whole when it ends the line, fills a line buffer, or the file has ended.
        if (!line.empty() && (line.back() == '\n' || line.size() == kLinePiece || atEnd_)) {
            begin_ += line.size();
            Count(std::exchange(skippedFeeds_, 0), line);
            return true;
        }
        if (atEnd_) return false;
        std::memmove(block_.data(), block_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
        const int got = gzread(Gz(file_), block_.data() + end_, static_cast<unsigned>(block_.size() - end_));
        if (got < 0) throw VelmError("Error parsing file!");
        if (got == 0) {
            int err = Z_OK;
            gzerror(Gz(file_), &err);
            if (err != Z_OK && err != Z_STREAM_END) throw VelmError("Error parsing file!");  // truncated or corrupt
            atEnd_ = true;
        }
        end_ += static_cast<size_t>(got);
    }
}

void GzLineSource::Rewind() {
    if (gzrewind(Gz(file_)) != 0) throw VelmError("Error parsing file!");
    begin_ = end_ = 0;
    atEnd_ = false;
    skippedFeeds_ = 0;
    ResetCount();
}

bool MemoryLineSource::ReadLine(std::string_view& line) {
    line = NextLinePiece(data_, pos_);
    if (line.empty()) {
        pos_ = data_.size();
        return false;
    }
    const size_t start = static_cast<size_t>(line.data() - data_.data());
    const std::string_view skipped = data_.substr(pos_, start - pos_);
    Count(static_cast<int>(std::count(skipped.begin(), skipped.end(), '\n')), line);
    pos_ = start + line.size();
    return true;
}

}  // namespace velm
