#include "model/LineSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/VelmError.h"
#include "core/WorkerThreads.h"
#include "model/GzipTextSize.h"
#include "model/InflateAhead.h"

namespace velm {

namespace {
constexpr size_t kInflateAheadFrom = size_t{1} << 20;
gzFile Gz(void* f) { return static_cast<gzFile>(f); }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
}  // namespace

LineScan ScanLine(std::string_view text, bool final, size_t firstCr) {
    LineScan s;
    const size_t n = text.size();
    // Most lines begin with text and end in a LF before any CR: one search,
    // as the steps below would find it.
    if (n > 0 && !IsBlank(text[0]) && text[0] != '\n' && text[0] != '\r') {
        if (const void* nl = std::memchr(text.data(), '\n', std::min(n, kLongestLine + 1))) {
            const size_t end = static_cast<size_t>(static_cast<const char*>(nl) - text.data());
            if (firstCr > end) {
                s.length = end + 1;
                return s;
            }
        }
    }
    size_t i = 0;
    // Blank lines say nothing: pass over every whole one. A blank run as long
    // as a longest line is a line of its own, cut like any other.
    for (;;) {
        size_t j = i;
        while (j < n && j - i < kLongestLine && IsBlank(text[j])) ++j;
        if (j - i == kLongestLine) break;
        if (j == n) {
            s.skip = final ? n : i;
            return s;
        }
        if (text[j] == '\n') {
            i = j + 1;
        } else if (text[j] == '\r') {
            if (j + 1 < n) i = j + 1 + (text[j + 1] == '\n');
            else if (final) i = n;
            else break;  // a CR held last: whether a LF follows is not known yet
        } else {
            break;
        }
        ++s.blankLines;
    }
    s.skip = i;
    const char* start = text.data() + i;
    const size_t held = n - i;
    const size_t room = std::min(held, kLongestLine + 1);
    const char* nl = static_cast<const char*>(std::memchr(start, '\n', room));
    const size_t text_end = nl ? static_cast<size_t>(nl - start) : room;
    // Most lines end in LF; a CR before it ends the line (CR LF when it is last).
    const void* cr = nullptr;
    if (firstCr < i) cr = std::memchr(start, '\r', text_end);  // past blank lines ended by one
    else if (firstCr < i + text_end) cr = text.data() + firstCr;
    if (cr) {
        const size_t c = static_cast<size_t>(static_cast<const char*>(cr) - start);
        if (c + 1 < held) s.length = c + 1 + (start[c + 1] == '\n');
        else if (final) s.length = c + 1;
        return s;
    }
    if (nl) {
        s.length = text_end + 1;
    } else if (held > kLongestLine) {
        s.length = kLongestLine;
        s.cut = true;
    } else if (final) {
        s.length = held;  // the last line, without a line end
    }
    return s;
}

size_t ThroughLineEnd(std::string_view text, bool final) {
    const char* nl = static_cast<const char*>(std::memchr(text.data(), '\n', text.size()));
    const size_t upTo = nl ? static_cast<size_t>(nl - text.data()) : text.size();
    if (const void* cr = std::memchr(text.data(), '\r', upTo)) {
        const size_t c = static_cast<size_t>(static_cast<const char*>(cr) - text.data());
        if (c + 1 < text.size()) return c + 1 + (text[c + 1] == '\n');
        return final ? c + 1 : std::string_view::npos;
    }
    return nl ? upTo + 1 : std::string_view::npos;
}

GzLineSource::GzLineSource(const std::string& path) : block_(new char[kBlock]) {
    static_assert(kBlock > kLongestLine + 2);
    // A file that does not begin with the gzip magic is read as it is, as
    // zlib would read it, but without its copy through zlib's buffers.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    unsigned char magic[2] = {0, 0};
    const bool compressed = ::pread(fd, magic, 2, 0) == 2 && magic[0] == 0x1f && magic[1] == 0x8b;
    if (compressed) {
        if (struct stat st {}; ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode))
            compressedText_ = GzipTextSize(fd, static_cast<size_t>(st.st_size));
        gzFile f = gzdopen(fd, "rb");
        if (!f) {
            const int err = errno;
            ::close(fd);
            errno = err;
            return;
        }
        gzbuffer(f, kBlock);
        file_ = f;
    } else {
        fd_ = fd;
        struct stat st {};
        regular_ = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
        if (regular_ && st.st_size > 0) plainSize_ = static_cast<size_t>(st.st_size);
    }
}

GzLineSource::~GzLineSource() {
    ahead_.reset();  // its thread reads the stream
    if (file_) gzclose(Gz(file_));
    if (fd_ >= 0) ::close(fd_);
}

size_t GzLineSource::ReadStream(char* to, size_t room) {
    if (fd_ >= 0) {
        for (;;) {
            // A regular file is read from a place of this source's own, which a
            // second reader of the same descriptor leaves alone; a pipe as it comes.
            const ssize_t got = regular_ ? ::pread(fd_, to, room, static_cast<off_t>(filePos_)) : ::read(fd_, to, room);
            if (got >= 0) {
                filePos_ += static_cast<size_t>(got);
                return static_cast<size_t>(got);
            }
            if (errno != EINTR) throw VelmError("Error parsing file!");
        }
    }
    // The reading thread parses one block while the next is inflated: past
    // some 1 MB of text that wins more than the thread's start costs.
    if (!aheadTried_) {
        aheadTried_ = true;
        if (compressedText_ >= kInflateAheadFrom && WorkerThreads() >= 2) {
            try {
                ahead_ = std::make_unique<InflateAhead>(file_);
            } catch (const std::exception&) {  // no thread: inflated here
            }
        }
    }
    if (ahead_) return ahead_->Read(to, room);
    const int got = gzread(Gz(file_), to, static_cast<unsigned>(room));
    if (got < 0) throw VelmError("Error parsing file!");
    if (got == 0) {
        int err = Z_OK;
        gzerror(Gz(file_), &err);
        if (err != Z_OK && err != Z_STREAM_END) throw VelmError("Error parsing file!");  // truncated or corrupt
    }
    return static_cast<size_t>(got);
}

void GzLineSource::ThrowAtNul(size_t upTo) const {
    if (nul_ < upTo) throw VelmError("Error parsing file!");
}

bool GzLineSource::Fill() {
    std::memmove(block_.get(), block_.get() + begin_, end_ - begin_);
    consumed_ += begin_;
    end_ -= begin_;
    if (nul_ != SIZE_MAX) nul_ -= begin_;
    const bool crHeld = cr_ >= begin_ && cr_ < end_;
    cr_ = crHeld ? cr_ - begin_ : 0;  // none held: searched again below
    begin_ = 0;
    const size_t got = ReadStream(block_.get() + end_, kBlock - end_);
    atEnd_ = got == 0;
    if (nul_ == SIZE_MAX)
        if (const void* z = std::memchr(block_.get() + end_, '\0', got))
            nul_ = static_cast<size_t>(static_cast<const char*>(z) - block_.get());
    if (!crHeld) {
        const void* cr = std::memchr(block_.get() + end_, '\r', got);
        cr_ = cr ? static_cast<size_t>(static_cast<const char*>(cr) - block_.get()) : end_ + got;
    }
    end_ += got;
    return got > 0;
}

bool GzLineSource::ReadLine(std::string_view& line) {
    for (;;) {
        std::string_view held(block_.get() + begin_, end_ - begin_);
        if (skipping_) {
            const size_t k = ThroughLineEnd(held, atEnd_);
            if (k == std::string_view::npos) {
                const size_t keep = !atEnd_ && !held.empty() && held.back() == '\r';
                ThrowAtNul(end_ - keep);
                begin_ = end_ - keep;
                if (atEnd_) return false;
                Fill();
                continue;
            }
            ThrowAtNul(begin_ + k);
            begin_ += k;
            skipping_ = false;
            held.remove_prefix(k);
        }
        if (cr_ < begin_) {
            const void* cr = std::memchr(block_.get() + begin_, '\r', end_ - begin_);
            cr_ = cr ? static_cast<size_t>(static_cast<const char*>(cr) - block_.get()) : end_;
        }
        const LineScan s = ScanLine(held, atEnd_, cr_ - begin_);
        if (s.length > 0) {
            Count(blankLines_ + s.blankLines, s.cut, consumed_ + begin_ + s.skip);
            blankLines_ = 0;
            line = held.substr(s.skip, s.length);
            begin_ += s.skip + s.length;
            ThrowAtNul(begin_);
            skipping_ = s.cut;
            return true;
        }
        blankLines_ += s.blankLines;
        begin_ += s.skip;
        if (atEnd_) return false;
        Fill();
    }
}

std::unique_ptr<LineSource> GzLineSource::OpenAt(size_t offset) const {
    if (fd_ < 0 || !regular_) return nullptr;
    std::unique_ptr<GzLineSource> s(new GzLineSource());
    s->fd_ = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);  // the same file, whatever its name now names
    if (s->fd_ < 0) return nullptr;
    s->plainSize_ = plainSize_;
    s->regular_ = true;
    s->filePos_ = s->origin_ = s->consumed_ = std::min(offset, plainSize_);
    return s;
}

void GzLineSource::Rewind() {
    ahead_.reset();
    aheadTried_ = false;
    if (fd_ >= 0 ? !regular_ && ::lseek(fd_, 0, SEEK_SET) != 0 : gzrewind(Gz(file_)) != 0)
        throw VelmError("Error parsing file!");
    filePos_ = consumed_ = origin_;
    begin_ = end_ = 0;
    nul_ = SIZE_MAX;
    cr_ = 0;
    atEnd_ = skipping_ = false;
    blankLines_ = 0;
    ResetCount();
}

bool MemoryLineSource::ReadLine(std::string_view& line) {
    if (cr_ < pos_) cr_ = std::min(data_.find('\r', pos_), data_.size());
    const LineScan s = ScanLine(data_.substr(pos_), true, cr_ - pos_);
    if (s.length == 0) {
        pos_ = data_.size();
        return false;
    }
    Count(s.blankLines, s.cut, origin_ + pos_ + s.skip);
    line = data_.substr(pos_ + s.skip, s.length);
    pos_ += s.skip + s.length;
    if (s.cut) {
        const size_t k = ThroughLineEnd(data_.substr(pos_), true);
        pos_ = k == std::string_view::npos ? data_.size() : pos_ + k;
    }
    if (nul_ < pos_) throw VelmError("Error parsing file!");
    return true;
}

}  // namespace velm
