#include "model/XtcFile.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "core/VelmError.h"

namespace velm {

namespace {

constexpr std::int32_t kMagic = 1995;
// Frames of systems whose packed bytes may pass 2^31 (written since 2023)
// give the byte count in 8 bytes; nothing else differs.
constexpr std::int32_t kLargeMagic = 2023;
constexpr std::int64_t kHeaderBytes = 56;      // magic, atoms, step, time, 9 box values, atoms again
constexpr std::int64_t kPackedHeaderBytes = 92;  // then precision, 3 minima, 3 maxima, small index, byte count
constexpr std::int64_t kLargePackedHeaderBytes = 96;

bool IsMagic(std::int32_t m) { return m == kMagic || m == kLargeMagic; }
std::int64_t PackedHeaderBytes(std::int32_t magic) { return magic == kLargeMagic ? kLargePackedHeaderBytes : kPackedHeaderBytes; }
// The byte count of the packed coordinates; negative when it cannot be one.
std::int64_t PackedBytes(const unsigned char* h) {
    if (XdrInt(h) != kLargeMagic) return XdrInt(h + 88);
    const std::uint64_t n = static_cast<std::uint64_t>(XdrUnsigned(h + 88)) << 32 | XdrUnsigned(h + 92);
    return n > (std::uint64_t{1} << 62) ? -1 : static_cast<std::int64_t>(n);
}
constexpr int kLargestPlain = 9;
constexpr const char* kNotFinite = "Coordinates that are not finite numbers";               // frames of up to nine atoms hold plain floats
constexpr std::int64_t kAhead = 32, kWindow = 16384;  // frame headers prefetched while indexing

// The sizes of the small differences, a factor of about 2^(1/3) apart, so that
// three of them take about `index` bits. Index 9 is the smallest in use.
constexpr int kMagicInts[] = {
    0,       0,       0,       0,       0,       0,       0,       0,       0,       8,       10,      12,
    16,      20,      25,      32,      40,      50,      64,      80,      101,     128,     161,     203,
    256,     322,     406,     512,     645,     812,     1024,    1290,    1625,    2048,    2580,    3250,
    4096,    5060,    6501,    8192,    10321,   13003,   16384,   20642,   26007,   32768,   41285,   52015,
    65536,   82570,   104031,  131072,  165140,  208063,  262144,  330280,  416127,  524287,  660561,  832255,
    1048576, 1321122, 1664510, 2097152, 2642245, 3329021, 4194304, 5284491, 6658042, 8388607, 10568983, 13316085,
    16777216};
constexpr int kFirstIndex = 9;
constexpr int kIndexCount = static_cast<int>(std::size(kMagicInts));

__extension__ typedef unsigned __int128 Wide;

int BitLength(Wide v) {
    const auto high = static_cast<std::uint64_t>(v >> 64), low = static_cast<std::uint64_t>(v);
    return high ? 128 - std::countl_zero(high) : 64 - std::countl_zero(low);
}

std::uint64_t LoadBigEndian64(const unsigned char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
    return v;
}

// The packed bits, most significant first. A read past the last bit returns 0
// and marks the stream failed; the data is followed by 8 zero bytes, so the
// 8-byte loads stay inside the buffer.
class BitReader {
public:
    BitReader(const unsigned char* data, std::size_t bytes) : data_(data), bits_(8 * static_cast<std::uint64_t>(bytes)) {}

    // n in 1..57.
    std::uint64_t Bits(int n) {
        if (pos_ + static_cast<std::uint64_t>(n) > bits_) {
            failed_ = true;
            return 0;
        }
        const std::uint64_t w = LoadBigEndian64(data_ + (pos_ >> 3)) << (pos_ & 7);
        pos_ += static_cast<std::uint64_t>(n);
        return w >> (64 - n);
    }
    bool Failed() const { return failed_; }

private:
    const unsigned char* data_;
    std::uint64_t bits_;
    std::uint64_t pos_ = 0;
    bool failed_ = false;
};

// The digits of `n` in the mixed radix `sizes`; false when `n` is too large.
template <class Number>
bool SplitPacked(Number n, const std::uint32_t sizes[3], std::int64_t out[3]) {
    out[2] = static_cast<std::int64_t>(n % sizes[2]);
    n /= sizes[2];
    out[1] = static_cast<std::int64_t>(n % sizes[1]);
    n /= sizes[1];
    if (n >= sizes[0]) return false;
    out[0] = static_cast<std::int64_t>(n);
    return true;
}

// Three integers packed as one number of `bits` bits in the mixed radix
// `sizes` (the first the most significant). The number is stored as bytes,
// least significant first, the last byte holding what is left of the bits.
// False when the number is too large for the sizes.
bool ReadPacked(BitReader& in, int bits, const std::uint32_t sizes[3], std::int64_t out[3]) {
    const int whole = bits / 8, rest = bits % 8;
    if (bits <= 64) {
        std::uint64_t n = 0;
        if (whole == 8) {
            n = in.Bits(32) << 32;
            n = __builtin_bswap64(n | in.Bits(32));
        } else if (whole > 0) {
            n = __builtin_bswap64(in.Bits(8 * whole)) >> (64 - 8 * whole);
        }
        if (rest > 0) n |= in.Bits(rest) << (8 * whole);
        // Most small differences fit 32 bits, where division is quicker.
        if (n <= 0xffffffffu) return SplitPacked(static_cast<std::uint32_t>(n), sizes, out);
        return SplitPacked(n, sizes, out);
    }
    Wide n = 0;
    for (int j = 0; j < whole; ++j) n |= static_cast<Wide>(in.Bits(8)) << (8 * j);
    if (rest > 0) n |= static_cast<Wide>(in.Bits(rest)) << (8 * whole);
    return SplitPacked(n, sizes, out);
}

struct Packing {
    std::int32_t minimum[3];
    std::int32_t maximum[3];
    int smallIndex;
    float precision;
};

// Unpacks the coordinates of `atoms` atoms into xyz (ångström). Each atom is
// either stored whole (its offset from the minimum, in the bits the ranges
// need) or, following one stored whole, as a "run" of small differences from
// the atom before. A run's length and a change of the small size are sent
// after each whole atom, or a zero bit when both stay as they were. The first
// two atoms of a run were swapped by the writer (water: H O H compresses
// better than O H H), so the atom of the first difference is put before the
// whole one.
bool Unpack(const unsigned char* data, std::size_t bytes, int atoms, const Packing& p, float* xyz) {
    std::uint32_t sizes[3];
    bool large = false;
    for (int k = 0; k < 3; ++k) {
        const std::int64_t size = static_cast<std::int64_t>(p.maximum[k]) - p.minimum[k] + 1;
        if (size <= 0 || size > 0xffffffffLL) return false;
        sizes[k] = static_cast<std::uint32_t>(size);
        large = large || size > 0xffffff;
    }
    // Ranges of more than 2^24 grid points are sent one coordinate at a time.
    int bitsEach[3] = {0, 0, 0};
    int bitsAll = 0;
    if (large) {
        for (int k = 0; k < 3; ++k) bitsEach[k] = BitLength(sizes[k]);
        if (*std::max_element(bitsEach, bitsEach + 3) > 32) return false;
    } else {
        bitsAll = BitLength(static_cast<Wide>(sizes[0]) * sizes[1] * sizes[2]);
    }
    const float inverse = static_cast<float>(1.0 / static_cast<double>(p.precision));
    auto put = [&xyz, inverse](const std::int64_t c[3]) {
        for (int k = 0; k < 3; ++k) *xyz++ = static_cast<float>(c[k]) * inverse * 10.0f;
    };

    if (p.smallIndex < kFirstIndex || p.smallIndex >= kIndexCount) return false;
    BitReader in(data, bytes);
    std::int64_t smallIndex = p.smallIndex;  // wide: it moves by one per atom and may wander off between runs
    int run = 0;
    for (int i = 0; i < atoms;) {
        std::int64_t whole[3];
        if (large) {
            for (int k = 0; k < 3; ++k) {
                whole[k] = static_cast<std::int64_t>(in.Bits(bitsEach[k]));
                if (whole[k] >= sizes[k]) return false;
            }
        } else if (!ReadPacked(in, bitsAll, sizes, whole)) {
            return false;
        }
        for (int k = 0; k < 3; ++k) whole[k] += p.minimum[k];
        ++i;
        int smaller = 0;
        if (in.Bits(1)) {
            run = static_cast<int>(in.Bits(5));
            smaller = run % 3 - 1;
            run -= run % 3;
        }
        if (in.Failed()) return false;
        if (run > 0) {
            if (smallIndex < kFirstIndex || smallIndex >= kIndexCount || run / 3 > atoms - i) return false;
            const std::uint32_t size = static_cast<std::uint32_t>(kMagicInts[smallIndex]);
            const std::uint32_t smallSizes[3] = {size, size, size};
            const std::int64_t half = size / 2;
            std::int64_t previous[3] = {whole[0], whole[1], whole[2]};
            for (int m = 0; m < run; m += 3, ++i) {
                std::int64_t c[3];
                if (!ReadPacked(in, static_cast<int>(smallIndex), smallSizes, c)) return false;
                for (int k = 0; k < 3; ++k) previous[k] = c[k] += previous[k] - half;
                put(c);
                if (m == 0) put(whole);
            }
        } else {
            put(whole);
        }
        smallIndex += smaller;
    }
    return !in.Failed();
}

}  // namespace

XtcFile::XtcFile(const std::string& path) : file_(path) {
    if (!file_.IsOpen()) throw VelmError("Can't open DCD file for reading!");
    // Indexing reads a few bytes of each frame: no read-ahead of the bytes
    // between the headers.
    file_.ExpectScatteredReads(true);
    Index();
    file_.ExpectScatteredReads(false);
}

// Walks the frame headers: each says how many bytes its frame holds. The walk
// stops at the first frame that is cut short, is not a frame, or has another
// atom count; the frames before it stay readable.
void XtcFile::Index() {
    constexpr const char* kEnd = "Unexpected end of file";
    const std::int64_t size = file_.Size();
    std::int64_t at = 0;
    offsets_.assign(1, 0);
    bool counted = false;  // atoms_ holds the first frame's atom count
    unsigned char h[kLargePackedHeaderBytes];
    while (at < size) {
        const int k = FrameCount();
        const std::int64_t left = size - at;
        std::int64_t got = std::min(left, kPackedHeaderBytes);
        std::string problem;
        std::int64_t bytes = 0;
        bool read = file_.Read(at, h, static_cast<std::size_t>(got));
        const std::int64_t packedHeader = read && got >= 4 ? PackedHeaderBytes(XdrInt(h)) : kPackedHeaderBytes;
        if (read && got == kPackedHeaderBytes && packedHeader > got && left > got) {
            const std::int64_t more = std::min(left, packedHeader) - got;
            read = file_.Read(at + got, h + got, static_cast<std::size_t>(more));
            got += more;
        }
        if (!read) {
            problem = "Error reading XTC file";
        } else if (got < kHeaderBytes) {
            problem = got >= 4 && !IsMagic(XdrInt(h)) ? "Corrupt XTC frame header" : kEnd;
        } else if (!IsMagic(XdrInt(h)) || XdrInt(h + 4) < 0 || XdrInt(h + 52) != XdrInt(h + 4)) {
            problem = "Corrupt XTC frame header";
        } else if (const std::int32_t atoms = XdrInt(h + 4); counted && atoms != atoms_) {
            problem = "A different number of atoms (" + std::to_string(atoms) + ", not " + std::to_string(atoms_) + ")";
        } else {
            if (atoms <= kLargestPlain) {
                bytes = kHeaderBytes + 12 * static_cast<std::int64_t>(atoms);
            } else if (got < packedHeader) {
                problem = kEnd;
            } else if (const std::int64_t packed = PackedBytes(h); packed < 0 || packed > left || 8 * packed < atoms) {
                // every atom costs at least one bit; larger than the file is cut short
                problem = packed > left ? kEnd : "Corrupt XTC frame header";
            } else {
                bytes = packedHeader + (packed + 3) / 4 * 4;
            }
            if (problem.empty() && bytes > left) problem = kEnd;
            if (problem.empty() || problem == kEnd) {
                atoms_ = atoms;
                counted = true;
            }
        }
        if (!problem.empty()) {
            // Without one usable header there is no atom count to give.
            if (!counted) throw VelmError(problem == kEnd ? std::string("Unexpected end of file!") : problem + " in frame 1");
            notice_ = FramesStopNotice(problem, k);
            return;
        }
        at += bytes;
        offsets_.push_back(at);
        // Frames of one trajectory are about the same size: the pages where
        // the headers a few frames on should lie are asked for now, so that
        // reading them from the disk overlaps instead of waiting in turn.
        const std::int64_t mean = at / (k + 1);
        file_.Prefetch(at + kAhead * mean - kWindow, 2 * kWindow);
    }
}

void XtcFile::ReadFrame(int k, float* xyz) {
    if (k < 0 || k >= FrameCount()) throw VelmError("No frame " + std::to_string(k + 1) + " in the trajectory");
    const std::int64_t start = offsets_[static_cast<std::size_t>(k)];
    const auto bytes = static_cast<std::size_t>(offsets_[static_cast<std::size_t>(k) + 1] - start);
    frame_.assign(bytes + 8, 0);
    const std::string where = " in frame " + std::to_string(k + 1);
    if (!file_.Read(start, frame_.data(), bytes)) throw VelmError("Error reading XTC file" + where);
    const unsigned char* h = frame_.data();

    box_.reset();
    TrajectoryBox box;
    bool any = false;
    for (int i = 0; i < 9; ++i) {
        const float v = XdrFloat(h + 16 + 4 * i) * 10.0f;
        box.vectors[i / 3][i % 3] = v;
        any = any || v != 0.0f;
    }
    if (any) box_ = box;  // writers put zeros when there is no box

    // The header was checked while indexing; the file may have changed since.
    if (!IsMagic(XdrInt(h)) || XdrInt(h + 4) != atoms_ || XdrInt(h + 52) != atoms_)
        throw VelmError("Corrupt XTC frame header" + where);
    if (atoms_ <= kLargestPlain) {
        for (int i = 0; i < 3 * atoms_; ++i) xyz[i] = XdrFloat(h + kHeaderBytes + 4 * i) * 10.0f;
        if (!AllFinite(xyz, 3 * static_cast<std::size_t>(atoms_))) throw VelmError(std::string(kNotFinite) + where);
        return;
    }
    Packing p{};
    p.precision = XdrFloat(h + 56);
    for (int i = 0; i < 3; ++i) {
        p.minimum[i] = XdrInt(h + 60 + 4 * i);
        p.maximum[i] = XdrInt(h + 72 + 4 * i);
    }
    p.smallIndex = XdrInt(h + 84);
    const std::int64_t packedHeader = PackedHeaderBytes(XdrInt(h));
    const std::int64_t packed = bytes >= static_cast<std::size_t>(packedHeader) ? PackedBytes(h) : -1;
    if (!(p.precision > 0.0f) || !std::isfinite(p.precision) || packed < 0 ||
        static_cast<std::size_t>(packed) > bytes - static_cast<std::size_t>(packedHeader) ||
        !Unpack(h + packedHeader, static_cast<std::size_t>(packed), atoms_, p, xyz))
        throw VelmError("Corrupt XTC coordinates" + where);
    if (!AllFinite(xyz, 3 * static_cast<std::size_t>(atoms_))) throw VelmError(std::string(kNotFinite) + where);
}

}  // namespace velm
