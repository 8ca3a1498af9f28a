#include "model/TrrFile.h"

#include <algorithm>

#include "core/VelmError.h"

namespace velm {

namespace {

constexpr std::int32_t kMagic = 1993;
constexpr int kLongestText = 128;  // the version text is "GMX_trn_file"
constexpr std::int64_t kLongestHeader = 12 + kLongestText + 13 * 4 + 2 * 8;
constexpr const char* kEnd = "Unexpected end of file";
constexpr const char* kCorrupt = "Corrupt TRR frame header";

// Where the blocks of one frame lie, from its header.
struct Layout {
    int real = 0;  // bytes per value
    std::int32_t atoms = 0;
    std::int64_t header = 0;
    std::int64_t box = 0, virial = 0, pressure = 0, x = 0, v = 0, f = 0;
    std::int64_t Bytes() const { return header + box + virial + pressure + x + v + f; }
};

// Reads the header in the `got` bytes at h: "" when it is one, kEnd when the
// bytes end inside it, else what is wrong with it.
std::string ParseHeader(const unsigned char* h, std::int64_t got, Layout& l) {
    if (got < 12) return got >= 4 && XdrInt(h) != kMagic ? kCorrupt : kEnd;
    // The version text is preceded by its length with the closing zero, then without.
    const std::int32_t withZero = XdrInt(h + 4), text = XdrInt(h + 8);
    if (XdrInt(h) != kMagic || text < 0 || text > kLongestText || withZero != text + 1) return kCorrupt;
    const std::int64_t sizesAt = 12 + (text + 3) / 4 * 4;
    if (got < sizesAt + 13 * 4) return kEnd;
    // ir, e, box, vir, pres, top, sym, x, v, f, natoms, step, nre; the input
    // record, energies, topology and symmetry blocks are never written now.
    std::int64_t s[11];
    for (int i = 0; i < 11; ++i) {
        s[i] = XdrInt(h + sizesAt + 4 * i);
        if (s[i] < 0) return kCorrupt;
    }
    l.atoms = static_cast<std::int32_t>(s[10]);
    l.box = s[2];
    l.virial = s[3];
    l.pressure = s[4];
    l.x = s[7];
    l.v = s[8];
    l.f = s[9];
    // Single or double precision: the first block present tells the width.
    const std::int64_t vector = 3 * static_cast<std::int64_t>(l.atoms);
    std::int64_t real = 0;
    for (const std::int64_t tensor : {l.box, l.virial, l.pressure})
        if (!real && tensor) real = tensor / 9;
    for (const std::int64_t block : {l.x, l.v, l.f})
        if (!real && block && vector) real = block / vector;
    if (real != 4 && real != 8) return kCorrupt;
    for (const std::int64_t tensor : {l.box, l.virial, l.pressure})
        if (tensor != 0 && tensor != 9 * real) return kCorrupt;
    for (const std::int64_t block : {l.x, l.v, l.f})
        if (block != 0 && block != vector * real) return kCorrupt;
    l.real = static_cast<int>(real);
    l.header = sizesAt + 13 * 4 + 2 * real;  // then time and lambda
    return got < l.header ? kEnd : "";
}

}  // namespace

TrrFile::TrrFile(const std::string& path) : file_(path) {
    if (!file_.IsOpen()) throw VelmError("Can't open DCD file for reading!");
    // Indexing reads a few bytes of each frame: no read-ahead of the bytes
    // between the headers.
    file_.ExpectScatteredReads(true);
    Index();
    file_.ExpectScatteredReads(false);
}

// Walks the frame headers: their sizes say where the next frame starts. The
// walk stops at the first frame that is cut short, is not a frame, or has
// another atom count; the frames before it stay readable.
void TrrFile::Index() {
    const std::int64_t size = file_.Size();
    std::int64_t at = 0;
    bool counted = false;
    unsigned char h[kLongestHeader];
    frames_.clear();
    while (at < size) {
        const std::int64_t left = size - at;
        const std::int64_t got = std::min(left, kLongestHeader);
        Layout l;
        std::string problem =
            file_.Read(at, h, static_cast<std::size_t>(got)) ? ParseHeader(h, got, l) : "Error reading TRR file";
        if (problem.empty()) {
            if (counted && l.atoms != atoms_)
                problem = "A different number of atoms (" + std::to_string(l.atoms) + ", not " +
                          std::to_string(atoms_) + ")";
            else if (l.Bytes() > left)
                problem = kEnd;
        }
        if (problem.empty() || problem == kEnd) {
            if (!counted && l.real) {
                atoms_ = l.atoms;
                real_ = l.real;
            }
            counted = counted || l.real != 0;
        }
        if (!problem.empty()) {
            if (!counted) throw VelmError(problem == kEnd ? std::string("Unexpected end of file!") : problem + " in frame 1");
            notice_ = FramesStopNotice(problem, FrameCount());
            return;
        }
        if (l.x > 0) frames_.push_back({at, l.Bytes()});
        at += l.Bytes();
    }
}

void TrrFile::ReadFrame(int k, float* xyz) {
    if (k < 0 || k >= FrameCount()) throw VelmError("No frame " + std::to_string(k + 1) + " in the trajectory");
    const Span span = frames_[static_cast<std::size_t>(k)];
    const std::string where = " in frame " + std::to_string(k + 1);
    frame_.resize(static_cast<std::size_t>(span.bytes));
    if (!file_.Read(span.offset, frame_.data(), frame_.size())) throw VelmError("Error reading TRR file" + where);
    // The header was checked while indexing; the file may have changed since.
    Layout l;
    if (!ParseHeader(frame_.data(), span.bytes, l).empty() || l.Bytes() != span.bytes || l.atoms != atoms_ || !l.x)
        throw VelmError(kCorrupt + where);
    real_ = l.real;
    const int real = l.real;
    const auto value = [real](const unsigned char* q) {
        return real == 4 ? XdrFloat(q) : ToFloat(XdrDouble(q));
    };
    const unsigned char* p = frame_.data() + l.header;
    box_.reset();
    if (l.box) {
        TrajectoryBox box;
        bool any = false;
        for (int i = 0; i < 9; ++i) {
            box.vectors[i / 3][i % 3] = value(p + real * i) * 10.0f;
            any = any || box.vectors[i / 3][i % 3] != 0.0f;
        }
        if (any) box_ = box;  // zeros: written without a box
    }
    p += l.box + l.virial + l.pressure;
    const std::size_t n = 3 * static_cast<std::size_t>(atoms_);
    for (std::size_t i = 0; i < n; ++i) xyz[i] = value(p + real * i) * 10.0f;
    if (!AllFinite(xyz, n)) throw VelmError("Coordinates that are not finite numbers" + where);
    p += l.x;
    velocities_.clear();
    forces_.clear();
    if (l.v) {
        velocities_.resize(n);
        for (std::size_t i = 0; i < n; ++i) velocities_[i] = value(p + real * i);
        p += l.v;
    }
    if (l.f) {
        forces_.resize(n);
        for (std::size_t i = 0; i < n; ++i) forces_[i] = value(p + real * i);
    }
}

}  // namespace velm
