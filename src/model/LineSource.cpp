#include "model/LineSource.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "core/VelmError.h"

namespace velm {

namespace {
constexpr const char* kSource = "pdb";
gzFile Gz(void* f) { return static_cast<gzFile>(f); }
}  // namespace

GzLineSource::GzLineSource(const std::string& path) {
    gzFile f = gzopen(path.c_str(), "rb");
    if (!f) return;
    gzbuffer(f, 1 << 17);  // whole-file scans: fewer, larger reads
    file_ = f;
}

GzLineSource::~GzLineSource() {
    if (file_) gzclose(Gz(file_));
}

bool GzLineSource::ReadLine(char* buf, int size) {
    if (gzgets(Gz(file_), buf, size)) return true;
    int err = Z_OK;
    gzerror(Gz(file_), &err);
    if (err != Z_OK && err != Z_STREAM_END) VELM_THROW("Error parsing file!");
    return false;
}

void GzLineSource::Rewind() {
    if (gzrewind(Gz(file_)) != 0) VELM_THROW("Error parsing file!");
}

bool MemoryLineSource::ReadLine(char* buf, int size) {
    if (pos_ >= data_.size() || size < 2) return false;
    const size_t room = static_cast<size_t>(size - 1);
    const size_t left = data_.size() - pos_;
    const char* start = data_.data() + pos_;
    const void* nl = std::memchr(start, '\n', std::min(left, room));
    const size_t n = nl ? static_cast<size_t>(static_cast<const char*>(nl) - start) + 1 : std::min(left, room);
    std::memcpy(buf, start, n);
    buf[n] = '\0';
    pos_ += n;
    return true;
}

}  // namespace velm
