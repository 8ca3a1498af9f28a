// Reading PDB files. The reader splits lines into blank-separated tokens and
// repairs the ways neighbouring fields run together in files whose columns
// drift, instead of cutting fixed columns.
#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <stop_token>
#include <thread>
#include <unordered_set>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "core/VelmError.h"
#include "core/WorkerThreads.h"
#include "model/ElementType.h"
#include "model/LineSource.h"
#include "model/PdbFile.h"
#include "model/ResidueType.h"
#include "model/SerialNumbers.h"

namespace velm {

namespace {
[[noreturn]] void ParseFailure(SourceLocation where = SourceLocation::current()) {
    throw VelmError("Error parsing file!", where);
}

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Where the token from `p` ends: at the first separator, looked for eight
// bytes at a time. A byte below '!' in a word sets the top bit of its flag;
// the borrow of the subtraction reaches only the bytes above the first one
// found, so the lowest flag is exact.
const char* EndOfToken(const char* p, const char* end) {
    for (;;) {
        if constexpr (std::endian::native == std::endian::little) {
            while (end - p >= 8) {
                std::uint64_t w;
                std::memcpy(&w, p, 8);
                const std::uint64_t low = (w - 0x2121212121212121ull) & ~w & 0x8080808080808080ull;
                if (low) {
                    p += std::countr_zero(low) / 8;
                    break;
                }
                p += 8;
            }
        }
        while (p < end && static_cast<unsigned char>(*p) > ' ') ++p;
        if (p == end || IsSeparator(*p)) return p;
        ++p;  // a control character inside a token
    }
}

// Where the next token starts: past the separators from `p`. Lines the
// separator mask of Tokens does not cover (shorter than 16 bytes or longer
// than 128) are rare enough to be passed byte by byte.
const char* StartOfToken(const char* p, const char* end) {
    while (p < end && IsSeparator(*p)) ++p;
    return p;
}

// Tokens of one line, taken one at a time; a token split off the first one
// (a record name glued to its serial) comes out first. A line of 16 to 128
// bytes (every coordinate record) is classified once, sixteen bytes at a
// time, into a mask of its separators, and each token is then two bit scans.
class Tokens {
public:
    Tokens(const char* begin, const char* end) : begin_(begin), p_(begin), end_(end) {
#ifdef __SSE2__
        const size_t n = static_cast<size_t>(end - begin);
        if (n < 16 || n > 128) return;
        masked_ = true;
        // Bits past the end are separators: the last token ends there.
        for (size_t k = 0; k < 2; ++k) separators_[k] = n >= 64 * (k + 1) ? 0 : ~0ull << (n > 64 * k ? n - 64 * k : 0);
        for (size_t i = 0; i < n; i += 16) {
            const size_t at = std::min(i, n - 16);  // the last chunk ends at the line's end
            const std::uint64_t bits = SeparatorBits(begin + at);
            separators_[at / 64] |= bits << (at % 64);
            if (at % 64 > 48) separators_[at / 64 + 1] |= bits >> (64 - at % 64);
        }
#endif
    }
    std::string_view Next() {
        if (!pending_.empty()) return std::exchange(pending_, {});
        if (masked_) {
            // Bits past the end are separators: a token ends there at the latest.
            const size_t n = static_cast<size_t>(end_ - begin_);
            const size_t first = std::min(Scan(static_cast<size_t>(p_ - begin_), ~0ull), n);
            const size_t last = first < n ? Scan(first, 0) : n;
            p_ = begin_ + last;
            return {begin_ + first, last - first};
        }
        p_ = StartOfToken(p_, end_);
        const char* start = p_;
        p_ = EndOfToken(p_, end_);
        return {start, static_cast<size_t>(p_ - start)};
    }
    void PushFront(std::string_view t) { pending_ = t; }
    std::string_view Peek() {
        const std::string_view t = Next();
        PushFront(t);
        return t;
    }
    // Where a token starts in its line, from 0.
    size_t Column(std::string_view t) const { return static_cast<size_t>(t.data() - begin_); }
    const char* LineBegin() const { return begin_; }

private:
#ifdef __SSE2__
    static std::uint64_t SeparatorBits(const char* p) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i blank = _mm_or_si128(_mm_cmpeq_epi8(c, _mm_set1_epi8(' ')), _mm_cmpeq_epi8(c, _mm_set1_epi8('\t')));
        const __m128i end = _mm_or_si128(_mm_cmpeq_epi8(c, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(c, _mm_set1_epi8('\n')));
        return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_or_si128(blank, end)));
    }
#endif
    // The first place from `from` whose separator bit differs from `flip`'s
    // (~0: the first byte of a token; 0: the first separator); 128 when none.
    size_t Scan(size_t from, std::uint64_t flip) const {
        if (from < 64) {
            if (const std::uint64_t bits = (separators_[0] ^ flip) & (~0ull << from))
                return static_cast<size_t>(std::countr_zero(bits));
            from = 64;
        }
        if (from < 128) {
            if (const std::uint64_t bits = (separators_[1] ^ flip) & (~0ull << (from - 64)))
                return 64 + static_cast<size_t>(std::countr_zero(bits));
        }
        return 128;
    }

    const char* begin_;
    const char* p_;
    const char* end_;
    std::string_view pending_;
    bool masked_ = false;
    std::uint64_t separators_[2] = {0, 0};
};

bool OnlyDigitsAndSigns(std::string_view t) {
    return !t.empty() && std::all_of(t.begin(), t.end(), [](char c) { return IsDigit(c) || c == '-' || c == '+'; });
}
bool OnlyDigits(std::string_view t) { return !t.empty() && std::all_of(t.begin(), t.end(), IsDigit); }
bool OnlyAlphanumeric(std::string_view t) {
    return !t.empty() && std::all_of(t.begin(), t.end(), [](char c) { return IsDigit(c) || IsAlpha(c); });
}

// A decimal integer as from_chars reads it, after one optional '+'.
bool ParseInt(std::string_view t, int& value) {
    if (!t.empty() && t[0] == '+') t.remove_prefix(1);
    if (t.empty() || t[0] == '+') return false;
    const bool negative = t[0] == '-';
    const size_t first = negative ? 1 : 0;
    if (t.size() <= first || t.size() - first > 9) {  // nine digits always fit
        const auto r = std::from_chars(t.data(), t.data() + t.size(), value);
        return r.ec == std::errc() && r.ptr == t.data() + t.size();
    }
    int v = 0;
    for (size_t i = first; i < t.size(); ++i) {
        const unsigned d = static_cast<unsigned>(t[i] - '0');
        if (d >= 10) return false;
        v = v * 10 + static_cast<int>(d);
    }
    value = negative ? -v : v;
    return true;
}

// A decimal of two to eight characters with one to three decimals and an
// optional minus ("-11.104", "1.00"), read from the eight bytes that end
// where it ends (the caller knows them to be readable): the point is taken
// out, the bytes before the number become '0', and the eight digits are
// combined pairwise in three multiplications. The mantissa and the division
// are those of the loop in ParseReal, so the value is the same.
// `decimals`: where the point stands, as ParseShortDecimal finds it.
[[gnu::always_inline]] inline bool ShortDecimalWith(const char* end, size_t n, int decimals, double& value) {
    const bool negative = *(end - n) == '-';
    std::uint64_t w;
    std::memcpy(&w, end - 8, 8);
    const std::uint64_t after = ~0ull << (8 * (8 - decimals));  // the decimals, in the high bytes
    w = (w & after) | ((w << 8) & ~after);                       // the digits before the point move up over it
    const unsigned first = static_cast<unsigned>(9 - n) + negative;  // the first digit's byte now
    const std::uint64_t digits = first >= 8 ? 0 : ~0ull << (8 * first);
    w = (w & digits) | (0x3030303030303030ull & ~digits);
    if (((w & 0xF0F0F0F0F0F0F0F0ull) | (((w + 0x0606060606060606ull) & 0xF0F0F0F0F0F0F0F0ull) >> 4)) !=
        0x3333333333333333ull)
        return false;
    w -= 0x3030303030303030ull;
    w = (w * 10 + (w >> 8)) & 0x00FF00FF00FF00FFull;
    w = (w * 100 + (w >> 16)) & 0x0000FFFF0000FFFFull;
    w = (w * 10000 + (w >> 32)) & 0xFFFFFFFFull;
    static constexpr double kPow10[4] = {1e0, 1e1, 1e2, 1e3};
    const double v = static_cast<double>(w) / kPow10[decimals];
    value = negative ? -v : v;
    return true;
}

[[gnu::always_inline]] inline bool ParseShortDecimal(const char* end, size_t n, double& value) {
    if constexpr (std::endian::native != std::endian::little) return false;
    if (n < 2 || n > 8) return false;
    const int decimals = n >= 4 && end[-4] == '.' ? 3 : n >= 3 && end[-3] == '.' ? 2 : end[-2] == '.' ? 1 : 0;
    if (decimals == 0) return false;
    return ShortDecimalWith(end, n, decimals, value);
}

// The same where the point is expected `D` places before the end, as the
// standard's %8.3f and %6.2f put it: the masks are then known beforehand.
template <int D>
[[gnu::always_inline]] inline bool ParseFixedDecimal(const char* end, size_t n, double& value) {
    static_assert(D == 2 || D == 3);
    if constexpr (std::endian::native != std::endian::little) return false;
    const bool fixed = n >= D + 1 && n <= 8 && end[-D - 1] == '.' && (D == 3 || n < 4 || end[-4] != '.');
    return fixed ? ShortDecimalWith(end, n, D, value) : ParseShortDecimal(end, n, value);
}

bool ParseReal(std::string_view t, double& value) {
    // Fast path for the plain decimals of coordinate files: with at most 15
    // digits the mantissa and the power of ten are exact doubles, so one
    // division rounds correctly, as from_chars does. One loop takes the
    // digits on both sides of the point.
    static constexpr double kPow10[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                          1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    if (!t.empty()) {
        const char* p = t.data();
        const char* const end = p + t.size();
        const bool negative = *p == '-';
        p += negative || *p == '+';
        const char* const digitsBegin = p;
        const char* point = nullptr;
        std::uint64_t mantissa = 0;
        for (; p < end; ++p) {
            const unsigned d = static_cast<unsigned>(*p - '0');
            if (d < 10) {
                mantissa = mantissa * 10 + d;
            } else if (*p == '.' && !point) {
                point = p;
            } else {
                break;
            }
        }
        const long digits = (p - digitsBegin) - (point != nullptr);
        if (p == end && digits > 0 && digits <= 15) {
            const double v = static_cast<double>(mantissa) / kPow10[point ? end - point - 1 : 0];
            value = negative ? -v : v;
            return true;
        }
    }
    if (!t.empty() && t[0] == '+') t.remove_prefix(1);
    if (t.empty() || t[0] == '+') return false;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), value);
    return r.ec == std::errc() && r.ptr == t.data() + t.size() && std::isfinite(value);
}

// A number of a record whose line begins at `line`: the short form when its
// eight bytes lie in the line.
bool ParseReal(std::string_view t, double& value, const char* line) {
    if (t.size() >= 2 && t.data() + t.size() - line >= 8 && ParseShortDecimal(t.data() + t.size(), t.size(), value))
        return true;
    return ParseReal(t, value);
}

// Leading integer as atoi reads it (MODEL numbers); 0 when there is none.
int LeadingInt(std::string_view t) {
    size_t n = 0;
    if (n < t.size() && (t[n] == '-' || t[n] == '+')) ++n;
    while (n < t.size() && IsDigit(t[n])) ++n;
    int value = 0;
    return ParseInt(t.substr(0, n), value) ? value : 0;
}

size_t CountDots(std::string_view t) { return static_cast<size_t>(std::count(t.begin(), t.end(), '.')); }

// Glued numbers are assumed to carry as many decimals as the last one: the
// cut falls at the first '.' plus the length from the last '.' to the end.
bool SplitGlued(std::string_view t, std::string_view& head, std::string_view& tail) {
    const size_t first = t.find('.');
    const size_t last = t.rfind('.');
    if (first == std::string_view::npos || first == last) return false;
    const size_t cut = first + (t.size() - last);
    if (cut == 0 || cut >= t.size()) return false;
    head = t.substr(0, cut);
    tail = t.substr(cut);
    return true;
}

// A residue number, with the insertion code that may follow it ("52A").
// Past 9,999 the number may be hybrid-36 ("A000") or hexadecimal; `previous`
// is the number of the record before, which it most likely repeats or follows.
bool ParseResidueNumber(std::string_view t, int& number, char& insertion, int previous) {
    insertion = ' ';
    const auto read = [&](std::string_view text) {
        if (previous < 9999 && ParseInt(text, number)) return true;
        const std::optional<int> wide = ReadWideNumber(text, 4, previous + 1LL);
        if (wide) number = *wide;
        return wide.has_value();
    };
    if ((previous >= 9999 || IsAlpha(t[0])) && read(t)) return true;
    if (t.size() > 1 && IsAlpha(t.back()) && (IsDigit(t[t.size() - 2]) || t.size() == 5)) {
        insertion = t.back();
        t.remove_suffix(1);
    }
    return read(t);
}

// A hybrid-36 residue number of a record without a chain letter ("A000"),
// told from a chain letter glued to its number by the numbers around it.
bool IsBareWideResidue(std::string_view t, const PdbAtomRecord* previous, int serial) {
    if (t.size() != 4 || !IsAlpha(t[0]) || !DecodeHybrid36(t, 4)) return false;
    return serial > 99999 || (previous && previous->residueNumber >= 9999);
}

// A negative residue number ("-3") is a number, not a chain letter '-'
// followed by 3: NMR and engineered constructs number leaders below zero.
bool BeginsWithNumber(std::string_view t) {
    if (t.empty()) return false;
    if (IsDigit(t[0])) return true;
    return (t[0] == '-' || t[0] == '+') && t.size() > 1 && IsDigit(t[1]);
}

// The letter after c for a relabelled chain: 'Z' wraps to 'B' ('A' is the
// usual first chain), a blank becomes 'A', digits cycle.
char NextChainLetter(char c) {
    if (c == ' ') return 'A';
    if (c == 'Z') return 'B';
    if (c == 'z') return 'b';
    if ((c >= 'A' && c < 'Z') || (c >= 'a' && c < 'z')) return static_cast<char>(c + 1);
    const int v = static_cast<unsigned char>(c);
    return static_cast<char>(((v - 47) % 9 + 9) % 9 + '0');
}

enum class LineKind { Other, Atom, Hetatm, Conect, Model, Ter };

// Kind of a line from its first token. In standard files the serial starts in
// column 7, so from serial 10,000 on "HETATM22133" and "CONECT12345" have no
// blank after the record name: such a token is split in two.
LineKind Classify(Tokens& tokens) {
    const std::string_view first = tokens.Next();
    if (first == "ATOM") return LineKind::Atom;
    if (first == "HETATM") return LineKind::Hetatm;
    if (first == "CONECT") return LineKind::Conect;
    if (first == "MODEL") return LineKind::Model;
    if (first == "TER") return LineKind::Ter;
    // Past 99,999 the serial may be hybrid-36 or hexadecimal ("HETATMA0000").
    static constexpr std::pair<std::string_view, LineKind> kGlued[] = {
        {"HETATM", LineKind::Hetatm}, {"ATOM", LineKind::Atom}, {"CONECT", LineKind::Conect}};
    for (const auto& [name, kind] : kGlued) {
        const std::string_view rest = first.substr(std::min(first.size(), name.size()));
        const bool serial = kind == LineKind::Atom ? OnlyDigits(rest) : OnlyAlphanumeric(rest);
        if (first.size() > name.size() && first.substr(0, name.size()) == name && serial) {
            tokens.PushFront(first.substr(name.size()));
            return kind;
        }
    }
    return LineKind::Other;
}

// An alternate-location letter in column 17 runs into the residue name
// ("ATHR"); with a standard residue name behind one letter, or a token that
// starts in that column ("AHOH" of a water with two places), keep the three
// and take the letter. A four-letter name in columns 18-21 ("TIP3" of MD
// programs) starts a column later and stays whole.
std::string_view WithoutAltLoc(std::string_view t, size_t column, char& altLoc) {
    if (t.size() == 4 && IsAlpha(t[0]) && (IsStandardResidueName(t.substr(1)) || column == 16)) {
        altLoc = t[0];
        return t.substr(1);
    }
    return t;
}

// The name part of a token that glues name, alternate location and residue
// name: "OE1AGLU" (three-character name) and "HD11ALEU" (four) carry the
// location letter of column 17, which is not part of the name. A name of
// four characters fills columns 13-16 and is followed by a blank unless
// column 17 holds a location; a letter after a digit in the fourth place
// marks one after a three-character name.
std::string_view WithoutGluedAltLoc(std::string_view name, char& altLoc) {
    if (name.size() < 4 || !IsAlpha(name.back())) return name;
    if (name.size() == 5 || (name.size() == 4 && IsDigit(name[2]))) {
        altLoc = name.back();
        return name.substr(0, name.size() - 1);
    }
    return name;
}

// Fields of a CONECT token; a token longer than 5 holds several 5-character
// fields: the groups are taken from its end (last first), then the front.
template <class F>
void ForEachConectField(std::string_view t, F&& add) {
    while (t.size() > 5) {
        add(t.substr(t.size() - 5));
        t.remove_suffix(5);
    }
    if (!t.empty()) add(t);
}

struct ReaderState {
    int runningModel = 0;
    bool modelRecord = false;  // a MODEL record came since the last atom
    // Numbers of the models read so far: a model whose number was used before
    // (two "MODEL 1" blocks) takes a number of its own, so that its atoms are
    // neither bonded to nor counted with those of the other.
    std::unordered_set<int> used;
    int lowest = 0, highest = 0;
    int lastUsed = 0;

    int Unused(int model) const {
        if (!used.contains(model)) return model;
        return highest < INT_MAX ? highest + 1 : lowest - 1;
    }
    void Use(int model) {
        if (!used.empty() && model == lastUsed) return;
        if (used.empty()) lowest = highest = model;
        used.insert(model);
        lowest = std::min(lowest, model);
        highest = std::max(highest, model);
        lastUsed = model;
    }
    bool ter = false;
    bool relabelling = false;
    char relabelFrom = ' ';
    char relabelTo = ' ';

    bool operator==(const ReaderState&) const = default;
};

// What a record takes from the state first: its model and its record name
// (as SetRecord stores it, without its checks).
void BeginRecord(LineKind kind, ReaderState& st, PdbAtomRecord& rec) {
    if (std::exchange(st.modelRecord, false)) st.runningModel = st.Unused(st.runningModel);
    rec.model = st.runningModel;
    std::memcpy(rec.record, kind == LineKind::Hetatm ? "HETATM\0" : "ATOM\0\0\0", sizeof rec.record);
}

// The serial a record most likely holds: the one after the record before.
long long ExpectedSerial(const PdbAtomRecord* previous) {
    return previous && previous->serial != kNoSerial ? previous->serial + 1LL : 1;
}

// The residue name from its token (at `column`): a number is a numeric
// ligand code, and a location letter in column 17 runs into it.
void TakeResidueName(std::string_view t, size_t column, PdbAtomRecord& rec) {
    if (OnlyDigits(t)) rec.SetResName(t);
    else rec.SetResName(WithoutAltLoc(t, column, rec.altLoc));
}

// After TER, atoms that repeat the chain letter of the atoms before it
// start a new chain with the next letter.
// A third block of the same letter continues from the letter of the block before it.
void TakeChain(char chain, ReaderState& st, const PdbAtomRecord* previous, PdbAtomRecord& rec) {
    if (st.ter && previous && (chain == previous->chain || (st.relabelling && chain == st.relabelFrom))) {
        st.relabelling = true;
        st.relabelFrom = chain;
        st.relabelTo = NextChainLetter(previous->chain);
    } else if (st.relabelling && chain != st.relabelFrom) {
        st.relabelling = false;
    }
    rec.chain = st.relabelling ? st.relabelTo : chain;
    rec.chainAsRead = chain;
    st.ter = false;
}

// Serials that restart lower with a new chain and no MODEL record start a new model.
// Serials written modulo 100,000 wrap from 99999 to 0 within one model.
void EndRecord(bool temperatureRead, ReaderState& st, const PdbAtomRecord* previous, PdbAtomRecord& rec) {
    if (temperatureRead && previous && rec.serial < previous->serial && rec.chain != previous->chain &&
        rec.model == previous->model && rec.serial != kNoSerial && previous->serial != 99999) {
        rec.model = st.runningModel = st.Unused(st.runningModel < INT_MAX ? st.runningModel + 1 : st.runningModel);
    }
}

void ParseAtomRecord(Tokens& tok, LineKind kind, ReaderState& st, const PdbAtomRecord* previous, PdbAtomRecord& rec) {
    BeginRecord(kind, st, rec);

    // A serial past the columns ("*****") is no serial; one written in
    // another style is read as the number it stands for.
    std::string_view t = tok.Next();
    if (t.empty()) ParseFailure();
    const long long expected = ExpectedSerial(previous);
    if (expected > 99999 || !ParseInt(t, rec.serial)) {
        rec.serial = ReadWideNumber(t, 5, expected).value_or(kNoSerial);
    }

    std::string_view numeric;  // a residue-number token met where the residue name should be
    t = tok.Next();
    if (t.empty()) ParseFailure();
    if (t.size() > 4) {
        // Name glued to the residue name ("HD11LEU"); the name keeps its case.
        const std::string_view name = WithoutGluedAltLoc(t.substr(0, std::min<size_t>(t.size() - 3, 6)), rec.altLoc);
        std::memcpy(rec.name, name.data(), name.size());
        rec.name[name.size()] = '\0';
        rec.SetResName(t.substr(t.size() - 3));
    } else {
        rec.SetAtomName(t);
        t = tok.Next();
        if (t.empty()) ParseFailure();
        // A number after the name is the residue number of a line without a
        // residue name when a coordinate follows it; otherwise it is a
        // numeric ligand code ("478"), as in many entries.
        if (OnlyDigitsAndSigns(t) && (t.size() > 3 || !OnlyDigits(t) || tok.Peek().find('.') != std::string_view::npos)) {
            rec.SetResName("UNK0");
            numeric = t;
        } else {
            // A lone character before the residue name of a HETATM line is
            // skipped; but an ion's residue name is one letter too ("K", "F"):
            // followed by a chain letter or a number, the letter is the name.
            if (kind == LineKind::Hetatm && t.size() == 1 && !OnlyDigits(t)) {
                const std::string_view after = tok.Peek();
                if (after.size() > 1 && !OnlyDigitsAndSigns(after)) {
                    t = tok.Next();
                } else if (after.empty()) {
                    ParseFailure();
                }
            }
            TakeResidueName(t, tok.Column(t), rec);
        }
    }
    if (kind == LineKind::Hetatm) rec.hetero = 1;

    t = numeric.empty() ? tok.Next() : numeric;
    if (t.empty()) ParseFailure();
    char chain = ' ';
    std::string_view numberToken, coordinate;
    if (IsBareWideResidue(t, previous, rec.serial) && tok.Peek().find('.') != std::string_view::npos) {
        numberToken = t;
    } else if (!BeginsWithNumber(t)) {
        chain = t[0];
        numberToken = t.size() == 1 ? tok.Next() : t.substr(1);
    } else {
        const std::string_view after = tok.Next();
        if (after.empty()) ParseFailure();
        if (after.find('.') != std::string_view::npos) {
            coordinate = after;
            numberToken = t;
            const size_t len = std::strlen(rec.residueName);
            if (len == 5) {  // four-character residue name glued to its chain ("TIP3W")
                chain = rec.residueName[4];
                rec.residueName[4] = '\0';
            }
        } else {
            chain = t[0];  // a numeric chain identifier
            numberToken = after;
        }
    }

    TakeChain(chain, st, previous, rec);

    if (numberToken.empty() ||
        !ParseResidueNumber(numberToken, rec.residueNumber, rec.insertionCode, previous ? previous->residueNumber : 1))
        ParseFailure();

    t = coordinate.empty() ? tok.Next() : coordinate;
    std::string_view xs, ys, zs, rest;
    const size_t dots = CountDots(t);
    if (dots == 3) {
        if (!SplitGlued(t, xs, rest) || !SplitGlued(rest, ys, zs)) ParseFailure();
    } else if (dots == 2) {
        if (!SplitGlued(t, xs, ys)) ParseFailure();
        zs = tok.Next();
    } else {
        xs = t;
        ys = tok.Next();
        if (CountDots(ys) == 2) {
            rest = ys;
            if (!SplitGlued(rest, ys, zs)) ParseFailure();
        } else {
            zs = tok.Next();
        }
    }
    const char* line = tok.LineBegin();
    if (!ParseReal(xs, rec.x, line) || !ParseReal(ys, rec.y, line) || !ParseReal(zs, rec.z, line)) ParseFailure();

    // Occupancy and temperature factor. Past 99.99 the temperature factor
    // fills its six columns and runs into the occupancy ("1.00100.00"); that
    // token is split like glued coordinates. Text where a number should be
    // (an element symbol in files that omit both) reads as absent.
    rec.occupancy = 1.0;
    rec.temperatureFactor = 0;
    bool temperatureRead = false;
    t = tok.Next();
    if (!t.empty()) {
        std::string_view occ = t, temp;
        if (CountDots(t) == 2 && SplitGlued(t, occ, temp)) {
            double o = 0, b = 0;
            if (ParseReal(occ, o, line) && ParseReal(temp, b, line)) {
                rec.occupancy = o;
                rec.temperatureFactor = b;
                temperatureRead = true;
            }
        } else if (ParseReal(occ, rec.occupancy, line)) {
            double b = 0;
            if (ParseReal(tok.Next(), b, line)) {
                rec.temperatureFactor = b;
                temperatureRead = true;
            }
        } else {
            rec.occupancy = 1.0;
        }
    }

    EndRecord(temperatureRead, st, previous, rec);
}

// Whether a line may hold "MONITOR" or a "BBOX_" key: it holds "MO" or "X_".
// Coordinate records hold neither, and this one pass is cheaper than the
// searches for the words, which stop at every 'M' of "ATOM".
bool MayHoldMonitorOrBox(std::string_view line) {
    const char* p = line.data();
    const char* const end = p + line.size();
#ifdef __SSE2__
    const __m128i m = _mm_set1_epi8('M'), o = _mm_set1_epi8('O'), x = _mm_set1_epi8('X'), u = _mm_set1_epi8('_');
    if (end - p >= 17) {
        // The last pair of sixteen ends at the line's end, over some pairs seen before.
        for (const char* last = end - 17;; p = std::min(p + 16, last)) {
            const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
            const __m128i pairs = _mm_or_si128(_mm_and_si128(_mm_cmpeq_epi8(here, m), _mm_cmpeq_epi8(next, o)),
                                               _mm_and_si128(_mm_cmpeq_epi8(here, x), _mm_cmpeq_epi8(next, u)));
            if (_mm_movemask_epi8(pairs)) return true;
            if (p == last) return false;
        }
    }
#endif
    for (; end - p >= 2; ++p)
        if ((p[0] == 'M' && p[1] == 'O') || (p[0] == 'X' && p[1] == '_')) return true;
    return false;
}

// Coordinate records laid out as the standard lays them out, read by their
// columns instead of their tokens, to the very record the tokens give: the
// line must be one whose tokens are its fields. Its first 66 columns hold
// printable characters and blanks only; each field stands in its columns,
// set apart from the field before it by a blank where the tokens would
// otherwise run together, with numbers right-justified; and every case in
// which ParseAtomRecord would weigh the tokens around a field (a lone letter
// before a residue name, a serial past 99,999, a chain letter that is a
// digit glued to its residue number, numbers glued with other decimals)
// is left to it. So is any other line: false, with the state untouched.
#ifdef __SSE2__
class AtomColumns {
public:
    // Whether a line is read here: its first 66 columns looked at once.
    explicit AtomColumns(std::string_view line) : p_(line.data()) {
        if constexpr (std::endian::native != std::endian::little) return;  // the short decimals
        if (line.size() < 66 || (line.size() > 66 && !IsSeparator(line[66]))) return;
        kind_ = std::memcmp(p_, "ATOM  ", 6) == 0     ? LineKind::Atom
                : std::memcmp(p_, "HETATM", 6) == 0 ? LineKind::Hetatm
                                                     : LineKind::Other;
        if (kind_ == LineKind::Other) return;
        const __m128i blanks = _mm_set1_epi8(' ');
        for (int at = 0; at < 64; at += 16) {
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p_ + at));
            const __m128i blank = _mm_cmpeq_epi8(c, blanks);
            // Signed: bytes from 0x80 on are below the blank.
            const __m128i text = _mm_andnot_si128(_mm_cmpeq_epi8(c, _mm_set1_epi8(0x7f)), _mm_cmpgt_epi8(c, blanks));
            if (_mm_movemask_epi8(_mm_or_si128(blank, text)) != 0xFFFF) return;
            text_ |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(text))) << at;
        }
        usable_ = IsText(p_[64]) && IsText(p_[65]);  // the temperature factor's last two
    }

    bool Read(ReaderState& st, const PdbAtomRecord* previous, PdbAtomRecord& rec) const {
        if (!usable_) return false;
        const LineKind kind = kind_;
        if (Set(11) || Set(27) || Set(28) || Set(29)) return false;
        // Columns 7-11: the serial, whose first digit may touch "HETATM".
        const size_t serialAt = RightJustified(6, 11);
        if (serialAt == 0) return false;
        if (ExpectedSerial(previous) > 99999) return false;
        int serial = 0;
        for (size_t i = serialAt; i < 11; ++i) {
            const unsigned d = static_cast<unsigned>(p_[i] - '0');
            if (d >= 10) return false;
            serial = serial * 10 + static_cast<int>(d);
        }

        // Columns 13-16 the name, 17 the location, 18-20 (or 18-21) the residue name.
        std::string_view name, residue;
        size_t residueAt = 17;
        if (!Set(16)) {
            name = OneRun(12, 16);
            if (Set(20)) {  // a name of four ("TIP3"), before a blank chain
                if (Bits(17, 21) != 0xF || Set(21)) return false;
                residue = Field(17, 21);
            } else {
                residue = OneRun(17, 20);
                residueAt = residue.empty() ? 0 : Column(residue);
            }
        } else {  // the location letter runs into the residue name ("ATHR")
            if (Set(15) || !IsAlpha(p_[16]) || Bits(17, 20) != 0x7 || Set(20)) return false;
            name = OneRun(12, 15);
            residue = Field(16, 20);
            residueAt = 16;
        }
        if (name.empty() || residue.empty()) return false;
        // A number where the residue name stands is a ligand code only short
        // and unsigned; a lone letter of a hetero record may be no name at all.
        if (OnlyDigitsAndSigns(residue) && (residue.size() > 3 || !OnlyDigits(residue))) return false;
        if (kind == LineKind::Hetatm && residue.size() == 1 && !OnlyDigits(residue)) return false;

        // Column 22 the chain, 23-26 the residue number, 27 the insertion code.
        const size_t numberAt = RightJustified(22, 26);
        if (numberAt == 0 || std::memchr(p_ + 21, '.', 6)) return false;
        const std::string_view number(p_ + numberAt, 26 + Set(26) - numberAt);
        const char chain = p_[21];
        if (chain == ' ') {
            if (!BeginsWithNumber(number)) return false;
        } else if (!IsAlpha(chain) && !(IsDigit(chain) && !Set(22))) {
            return false;
        }
        int residueNumber = 0;
        char insertion = ' ';
        const int numberBefore = previous ? previous->residueNumber : 1;
        if (!(numberBefore < 9999 && SimpleResidueNumber(numberAt, residueNumber, insertion)) &&
            !ParseResidueNumber(number, residueNumber, insertion, numberBefore))
            return false;

        // Columns 31-38, 39-46 and 47-54 the position, 55-60 the occupancy, 61-66 the temperature factor.
        double x, y, z, occupancy, temperature;
        if (!Number(30, 38, Before::Anything, x) || !Number(38, 46, Before::Number, y) ||
            !Number(46, 54, Before::Number, z) || !Number(54, 60, Before::Blank, occupancy))
            return false;
        if (const size_t at = TemperatureAt(); at == 0 || !ParseFixedDecimal<2>(p_ + 66, 66 - at, temperature))
            return false;

        if (residue.size() == 4 && !OnlyDigits(residue)) residue = WithoutAltLoc(residue, residueAt, rec.altLoc);

        // All is known: the record and the state change as the tokens change them.
        BeginRecord(kind, st, rec);
        rec.serial = serial;
        StoreName(rec.name, name);
        const std::uint64_t residueName = StoreName(rec.residueName, residue);
        // Solvent by the first three letters, as SetResName flags it.
        if (const std::uint64_t head = residueName & 0xFFFFFF; residue.size() >= 3 && IsSolvent(head)) rec.hetero = 1;
        if (kind == LineKind::Hetatm) rec.hetero = 1;
        TakeChain(chain, st, previous, rec);
        rec.residueNumber = residueNumber;
        rec.insertionCode = insertion;
        rec.x = x;
        rec.y = y;
        rec.z = z;
        rec.occupancy = occupancy;
        rec.temperatureFactor = temperature;
        EndRecord(true, st, previous, rec);
        return true;
    }

private:
    static bool IsText(char c) { return c > ' ' && c < 0x7f; }
    [[gnu::always_inline]] bool Set(size_t column) const { return (text_ >> column) & 1; }
    [[gnu::always_inline]] std::uint64_t Bits(size_t from, size_t to) const { return (text_ >> from) & ((1ull << (to - from)) - 1); }
    std::string_view Field(size_t from, size_t to) const { return {p_ + from, to - from}; }
    size_t Column(std::string_view t) const { return static_cast<size_t>(t.data() - p_); }
    // The text of columns [from, to) when it is one word, else empty.
    [[gnu::always_inline]] std::string_view OneRun(size_t from, size_t to) const {
        const std::uint64_t b = Bits(from, to);
        if (b == 0 || ((b + (b & -b)) & b) != 0) return {};
        const size_t first = from + static_cast<size_t>(std::countr_zero(b));
        return {p_ + first, from + static_cast<size_t>(std::bit_width(b)) - first};
    }
    // Where the text of columns [from, to) begins when it is one word that
    // ends with them, else 0.
    [[gnu::always_inline]] size_t RightJustified(size_t from, size_t to) const {
        const std::uint64_t b = Bits(from, to);
        if (b + (b & -b) != 1ull << (to - from)) return 0;
        return from + static_cast<size_t>(std::countr_zero(b));
    }
    // Columns 61-66, of which the last two lie past the mask (and are text).
    // A factor of 100 and more fills them and runs into the occupancy
    // ("1.00100.00"): the tokens cut the two where the columns do when both
    // have as many decimals.
    size_t TemperatureAt() const {
        if (Set(60)) return Bits(60, 64) == 0xF && Decimals(p_ + 60) == Decimals(p_ + 66) ? 60 : 0;
        const std::uint64_t b = Bits(61, 64) | 0x18;  // columns 65 and 66 (bits 3 and 4 here) are text
        if (b + (b & -b) != 1ull << 5) return 0;
        return 61 + static_cast<size_t>(std::countr_zero(b));
    }
    // What may stand just before a number's columns: anything (x, after the
    // blanks of columns 28-30), the number before it, or only a blank.
    enum class Before { Anything, Number, Blank };

    // The number of columns [from, end). One that fills them runs into the
    // number before: the tokens cut the two where the columns do when both
    // have as many decimals.
    [[gnu::always_inline]] bool Number(size_t from, size_t end, Before before, double& value) const {
        if (Set(from) && (before == Before::Blank ||
                          (before == Before::Number && Decimals(p_ + end) != Decimals(p_ + from))))
            return false;
        const size_t at = RightJustified(from, end);
        if (at == 0) return false;
        return end - from == 8 ? ParseFixedDecimal<3>(p_ + end, end - at, value)
                               : ParseFixedDecimal<2>(p_ + end, end - at, value);
    }
    static int Decimals(const char* end) { return end[-4] == '.' ? 3 : end[-3] == '.' ? 2 : end[-2] == '.' ? 1 : 0; }

    // A residue number of digits (after a minus) from column `at` to 26, and
    // a letter or nothing in 27, as ParseResidueNumber reads it when the
    // number before stays below 9,999.
    bool SimpleResidueNumber(size_t at, int& number, char& insertion) const {
        const bool negative = p_[at] == '-';
        if (at + negative >= 26) return false;
        int v = 0;
        for (size_t i = at + negative; i < 26; ++i) {
            const unsigned d = static_cast<unsigned>(p_[i] - '0');
            if (d >= 10) return false;
            v = v * 10 + static_cast<int>(d);
        }
        if (Set(26) && !IsAlpha(p_[26])) return false;
        number = negative ? -v : v;
        insertion = p_[26];
        return true;
    }

    // A name of at most four characters of the line, upper-cased, to a field
    // it fills with zeros (as StoreUpper stores it); the eight bytes from
    // the name's start lie in the line. Returns the stored bytes.
    template <size_t N>
    static std::uint64_t StoreName(char (&to)[N], std::string_view name) {
        static_assert(N >= 5 && N <= 8);
        std::uint64_t w;
        std::memcpy(&w, name.data(), 8);
        w &= ~0ull >> (8 * (8 - name.size()));
        // Bytes 'a' to 'z' lose 0x20; every byte is printable ASCII or zero.
        const std::uint64_t lower = ((w + 0x1F1F1F1F1F1F1F1Full) ^ (w + 0x0505050505050505ull)) & 0x8080808080808080ull;
        w -= lower >> 2;
        std::memcpy(to, &w, N);
        return w;
    }
    static bool IsSolvent(std::uint64_t head) {
        const auto key = [](const char* s) {
            return static_cast<std::uint64_t>(static_cast<unsigned char>(s[0])) |
                   static_cast<std::uint64_t>(static_cast<unsigned char>(s[1])) << 8 |
                   static_cast<std::uint64_t>(static_cast<unsigned char>(s[2])) << 16;
        };
        return head == key("TIP") || head == key("SPC") || head == key("HOH") || head == key("SOL");
    }

    const char* p_;
    LineKind kind_ = LineKind::Other;
    std::uint64_t text_ = 0;  // bit i: column i (from 0) holds text, not a blank
    bool usable_ = false;
};
#endif

// The element symbol of columns 77-78, which files written to the standard
// carry and which decides over the atom name ("MN" is manganese, not
// magnesium). Files whose columns drift leave other text there, or none:
// only a symbol of an element counts.
void ReadElementColumns(std::string_view line, PdbAtomRecord& rec) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (line.size() < 78) return;
    const std::string_view columns = line.substr(76, 2);
    if (columns[1] == ' ' || columns[1] == '\0') return;  // no symbol ends in either
    // A symbol found is one or two letters.
    if (const ChemicalElement* e = columns[0] == ' ' ? FindChemicalElement(columns[1], '\0')
                                                     : FindChemicalElement(columns[0], columns[1])) {
        rec.element[0] = e->symbol[0];
        rec.element[1] = e->symbol[1];
        rec.element[2] = '\0';
    }
}

// Drops every repeat of a partner after its first place.
void KeepFirstOfEach(std::vector<int>& partners) {
    if (partners.size() <= 16) {
        size_t kept = 0;
        for (size_t i = 0; i < partners.size(); ++i)
            if (std::find(partners.begin(), partners.begin() + static_cast<std::ptrdiff_t>(kept), partners[i]) ==
                partners.begin() + static_cast<std::ptrdiff_t>(kept))
                partners[kept++] = partners[i];
        partners.resize(kept);
        return;
    }
    std::vector<std::pair<int, size_t>> byValue(partners.size());
    for (size_t i = 0; i < partners.size(); ++i) byValue[i] = {partners[i], i};
    std::sort(byValue.begin(), byValue.end());
    std::vector<char> keep(partners.size(), 0);
    for (size_t i = 0; i < byValue.size(); ++i)
        if (i == 0 || byValue[i].first != byValue[i - 1].first) keep[byValue[i].second] = 1;
    size_t kept = 0;
    for (size_t i = 0; i < partners.size(); ++i)
        if (keep[i]) partners[kept++] = partners[i];
    partners.resize(kept);
}

// A CONECT field: a decimal, or past 99,999 hybrid-36 or hexadecimal, read
// as the number nearest to `expected`.
std::optional<int> ConectField(std::string_view f, long long expected) {
    int v = 0;
    if (expected <= 99999 && ParseInt(f, v)) return v;
    return ReadWideNumber(f, 5, expected);
}

void ParseConect(Tokens& tok, std::vector<ConectEntry>& conects, int atomsBefore) {
    const std::string_view idToken = tok.Next();
    if (!OnlyDigitsAndSigns(idToken) && !OnlyAlphanumeric(idToken)) ParseFailure();
    std::vector<std::string_view> texts;
    auto add = [&](std::string_view f) { texts.push_back(f); };
    // From serial 10,000 on the atom id runs into its first partner
    // ("737722160"): the front field is the id, the rest are partners.
    if (idToken.size() > 5) {
        ForEachConectField(idToken, add);
        std::rotate(texts.rbegin(), texts.rbegin() + 1, texts.rend());
    } else {
        add(idToken);
    }
    const long long expectedId = conects.empty() ? 1 : conects.back().id;
    const std::optional<int> idValue = ConectField(texts.front(), expectedId);
    if (!idValue) ParseFailure();
    const int id = *idValue;
    std::vector<int> fields;
    bool bad = false;
    const auto decode = [&](std::string_view f) {
        const std::optional<int> v = ConectField(f, id);
        if (!v) bad = true;
        fields.push_back(v.value_or(0));
    };
    std::for_each(texts.begin() + 1, texts.end(), decode);
    if (bad) ParseFailure();
    // Partners go on while the tokens read as serials; text after them ends the line.
    for (std::string_view t = tok.Next(); !t.empty(); t = tok.Next()) {
        if (OnlyDigitsAndSigns(t)) {
            ForEachConectField(t, decode);
            if (bad) ParseFailure();
            continue;
        }
        if (!OnlyAlphanumeric(t)) break;
        const size_t before = fields.size();
        ForEachConectField(t, decode);
        if (bad) {
            fields.resize(before);
            break;
        }
    }

    // A standard file lists at most four partners a line and continues on the
    // next CONECT line of the same atom: those lines make one entry. Repeats
    // are dropped once the entry is complete (see DropRepeatedPartners); a
    // long entry is thinned on the way, so that repeats cannot fill memory.
    if (conects.empty() || conects.back().id != id) conects.push_back(ConectEntry{id, {}, atomsBefore});
    std::vector<int>& partners = conects.back().partners;
    for (int p : fields) {
        if (p == id) continue;
        partners.push_back(p);
        if (partners.size() > 2 * kMaxConectPartners) KeepFirstOfEach(partners);
    }
    if (partners.size() > kMaxConectPartners) {
        KeepFirstOfEach(partners);
        if (partners.size() > kMaxConectPartners)
            throw VelmError("CONECT records of atom " + std::to_string(id) + " list more than " +
                            std::to_string(kMaxConectPartners) + " partners!");
    }
}

// "MONITOR label serial1 serial2 R G B" from the word on.
bool ParseMonitor(const char* at, MonitorRecord& m) {
    const char* p = at + 7;
    long v[6];
    for (long& x : v) {
        char* end = nullptr;
        errno = 0;
        x = std::strtol(p, &end, 10);
        if (end == p || errno == ERANGE || x < INT32_MIN || x > INT32_MAX) return false;
        p = end;
    }
    for (int i = 3; i < 6; ++i)
        if (v[i] < 0 || v[i] > 255) return false;
    m = MonitorRecord{static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]),
                      static_cast<int>(v[3]), static_cast<int>(v[4]), static_cast<int>(v[5]), -1, -1};
    return true;
}

bool ParseTriple(const char* at, double (&out)[3]) {
    const char* p = at + 6;
    double v[3];
    for (double& x : v) {
        char* end = nullptr;
        x = std::strtod(p, &end);
        if (end == p || !std::isfinite(x)) return false;
        p = end;
    }
    std::copy(v, v + 3, out);
    return true;
}

// A line as C text, for the scans of the rare MONITOR and BBOX lines.
struct CLine {
    std::string line;
    const char* text;
    explicit CLine(std::string_view l) : line(l), text(line.c_str()) {}
};

void ScanBox(std::string_view line, BoxRecord& box, bool (&seen)[4]) {
    if (line.find("BBOX_") == std::string_view::npos) return;
    const CLine c(line);
    static constexpr const char* kKeys[4] = {"BBOX_R", "BBOX_A", "BBOX_B", "BBOX_C"};
    double (*triples[4])[3] = {&box.R, &box.A, &box.B, &box.C};
    for (int k = 0; k < 4; ++k)
        if (const char* hit = std::strstr(c.text, kKeys[k]); hit && ParseTriple(hit, *triples[k])) seen[k] = true;
}

bool HasMonitor(std::string_view line) { return line.find("MONITOR") != std::string_view::npos; }

int CountConectPairs(const std::vector<ConectEntry>& conects) {
    std::vector<std::pair<int, int>> pairs;
    for (const ConectEntry& e : conects)
        for (int p : e.partners) pairs.emplace_back(std::min(e.id, p), std::max(e.id, p));
    std::sort(pairs.begin(), pairs.end());
    return static_cast<int>(std::unique(pairs.begin(), pairs.end()) - pairs.begin());
}

// Reads a text line by line into a file's records, keeping what the next
// line is read against.
class RecordReader {
public:
    explicit RecordReader(PdbFile& file) : file_(file) {}

    // A record that cannot be read is told once the whole text has been
    // seen (Finish), so that a record cut short or an unreadable stream
    // anywhere in the file is what the user hears of first, whatever comes
    // before it.
    void Line(std::string_view line, const LineSource& source) {
        // Lines in the standard layout first, by their columns; a fault is
        // kept as one of the tokens is.
#ifdef __SSE2__
        if (!failure_ && !source.LineCut()) {
            try {
                const PdbAtomRecord* previous = file_.atoms.empty() ? nullptr : &file_.atoms.back();
                PdbAtomRecord rec;
                if (AtomColumns(line).Read(state_, previous, rec)) {
                    Take(line, rec);
                    if (MayHoldMonitorOrBox(line)) Extras(line);
                    return;
                }
            } catch (VelmError& e) {
                Keep(e, source);
                return;
            }
        }
#endif
        Tokens tok(line.data(), line.data() + line.size());
        const LineKind kind = Classify(tok);
        // A record cut short would be read wrong; any other line is passed over whole.
        if (source.LineCut() && kind != LineKind::Other)
            throw VelmError("Record longer than " + std::to_string(kLongestLine) + " characters!");
        if (failure_) return;
        try {
            switch (kind) {
            case LineKind::Model:
                state_.runningModel = LeadingInt(tok.Next());
                state_.modelRecord = true;
                modelRecords_ = true;
                break;
            case LineKind::Ter: state_.ter = true; break;
            case LineKind::Atom:
            case LineKind::Hetatm: {
                const PdbAtomRecord* previous = file_.atoms.empty() ? nullptr : &file_.atoms.back();
                PdbAtomRecord rec;
                ParseAtomRecord(tok, kind, state_, previous, rec);
                Take(line, rec);
                break;
            }
            case LineKind::Conect:
                ParseConect(tok, file_.conects, static_cast<int>(file_.atoms.size()));
                break;
            case LineKind::Other: break;
            }
            if (MayHoldMonitorOrBox(line)) Extras(line);
        } catch (VelmError& e) {
            Keep(e, source);
        }
    }

    void Finish() {
        if (failure_) std::rethrow_exception(failure_);
        file_.box.valid = boxSeen_[0] && boxSeen_[1] && boxSeen_[2] && boxSeen_[3];
    }

    // Lines from here on are told apart from those before.
    void ForgetLinesSeen() { modelRecords_ = boxLines_ = false; }

    bool Failed() const { return failure_ != nullptr; }
    bool SawModelRecords() const { return modelRecords_; }
    bool SawBoxLines() const { return boxLines_; }
    const ReaderState& State() const { return state_; }

private:
    // The first fault, told with its line once the whole text is seen.
    void Keep(VelmError& e, const LineSource& source) {
        if (e.InputLine() == 0) e.SetInputLine(source.LineNumber());
        failure_ = std::current_exception();
    }

    void Take(std::string_view line, PdbAtomRecord& rec) {
        ReadElementColumns(line, rec);
        state_.Use(rec.model);
        file_.atoms.push_back(rec);
    }

    // A monitor or a box key anywhere in the line.
    void Extras(std::string_view line) {
        if (HasMonitor(line)) {
            const CLine c(line);
            MonitorRecord m;
            // A NUL byte before the word hides it from the C string.
            const char* at = std::strstr(c.text, "MONITOR");
            if (at && ParseMonitor(at, m)) file_.monitors.push_back(m);
        }
        boxLines_ = boxLines_ || line.find("BBOX_") != std::string_view::npos;
        ScanBox(line, file_.box, boxSeen_);
    }

    PdbFile& file_;
    ReaderState state_;
    bool boxSeen_[4] = {false, false, false, false};
    std::exception_ptr failure_;
    bool modelRecords_ = false;
    bool boxLines_ = false;
};

// The second half of a text, read on another thread while the first is
// read in turn. Each line is read against what the lines before it left (the
// last record, the model numbers, a TER just passed, the last CONECT entry),
// which the second half cannot know: it reads a stretch before the split
// from nothing and takes its records only where what that stretch left is
// exactly what the first half left. Standard files forget the past within a
// few lines; where a file does not (the model numbers of one that begins with
// a MODEL record, a chain relabelled after TER across the split), its second
// half is read again in turn.

class SecondHalf {
public:
    // The first line at or after byte `split` begins the half; reading
    // starts at `from`, before it.
    SecondHalf(const LineSource& source, size_t from, size_t split) : split_(split) {
        try {
            thread_ = StartBeside([this, &source, from](std::stop_token stop) {
                try {
                    usable_ = Read(source, from, stop);
                } catch (...) {  // a fault of its own is met again when the half is read in turn
                    usable_ = false;
                }
                finished_.store(true, std::memory_order_release);
            });
        } catch (const std::exception&) {  // no thread, or no memory for one
        }
    }
    SecondHalf(const SecondHalf&) = delete;
    SecondHalf& operator=(const SecondHalf&) = delete;

    bool Started() const { return thread_.Joinable(); }
    size_t Split() const { return split_; }

    // Called as the first half reaches the split, before Join. While the
    // second half is still being read, the records it has read so far are
    // copied to `file`, where the first half left what the second began
    // from: the copy then overlaps the reading instead of following it. Join
    // drops them again should the half not be taken after all.
    void UseTheWait(PdbFile& file, const RecordReader& first) {
        constexpr size_t kStretch = 256;  // records copied at a time
        kept_ = file.atoms.size();
        while (!finished_.load(std::memory_order_acquire)) {
            // Nonzero once the half has reached the split: its start is known.
            const size_t ready = records_.load(std::memory_order_acquire);
            if (ready == 0 || ready < copied_ + kStretch) {
#ifdef __SSE2__
                _mm_pause();
#endif
                continue;
            }
            if (copied_ == 0) {
                if (!FirstLeftWhatSecondBegan(file, first)) return;
                copied_ = previous_ ? 1 : 0;
            }
            const PdbAtomRecord* records = file_.atoms.data();  // not moved while records_ counts them
            file.atoms.insert(file.atoms.end(), records + copied_, records + ready);
            copied_ = ready;
        }
    }

    // Called as the first half reaches the split: whether what it left (with
    // no CONECT entry read yet) is what the second half began from; if so,
    // the second half's records go to `file`.
    bool Join(PdbFile& file, const RecordReader& first) {
        thread_.Join();
        if (!usable_ || !(copied_ > 0 || FirstLeftWhatSecondBegan(file, first))) {
            file.atoms.resize(kept_);
            return false;
        }
        const size_t skip = previous_ ? 1 : 0;
        const int shift = static_cast<int>(kept_) - static_cast<int>(skip);
        file.atoms.insert(file.atoms.end(), file_.atoms.begin() + static_cast<std::ptrdiff_t>(std::max(copied_, skip)),
                          file_.atoms.end());
        for (ConectEntry& e : file_.conects) {
            e.atomsBefore += shift;
            file.conects.push_back(std::move(e));
        }
        file.monitors.insert(file.monitors.end(), file_.monitors.begin(), file_.monitors.end());
        return true;
    }

private:
    bool Read(const LineSource& whole, size_t from, const std::stop_token& stop) {
        const std::unique_ptr<LineSource> source = whole.OpenAt(from);
        if (!source) return false;
        std::string_view line;
        bool reached = false;
        while (source->ReadLine(line)) {
            if (stop.stop_requested()) return false;
            // A first line that begins where reading began may be the end of one.
            if (from > 0 && source->LineStart() == from) continue;
            if (!reached && source->LineStart() >= split_) {
                if (reader_.Failed() || !file_.conects.empty()) return false;
                reached = true;
                start_ = reader_.State();
                previous_ = !file_.atoms.empty();
                if (previous_) file_.atoms.erase(file_.atoms.begin(), file_.atoms.end() - 1);
                // Room for the half's records taken only now, after the
                // blocks the reader's state took: freed at the join, they
                // then join the heap's top, where the atoms are made next,
                // instead of leaving a hole below blocks that stay.
                if (const size_t size = whole.SizeHint(); size > split_)
                    file_.atoms.reserve((size - split_) / 60 + 2);
                file_.monitors.clear();
                reader_.ForgetLinesSeen();
            }
            // The records after the split are copied out as they come: the
            // array they lie in must not move. A half that would outgrow it
            // is read again in turn.
            if (reached && file_.atoms.size() == file_.atoms.capacity()) return false;
            reader_.Line(line, *source);
            if (reached) records_.store(file_.atoms.size(), std::memory_order_release);
            // A failure is told with its line, a box is kept across lines and
            // a model number is the first half's to give: the half is then
            // read again in turn.
            if (reached && (reader_.Failed() || reader_.SawModelRecords() || reader_.SawBoxLines())) return false;
        }
        return reached;
    }

    size_t split_;
    PdbFile file_;
    RecordReader reader_{file_};
    ReaderState start_;
    bool previous_ = false;
    bool usable_ = false;
    // What the first half left, as the second half began from it. Read
    // from the first half's thread at the split; start_ and previous_ are
    // set before records_ first counts.
    bool FirstLeftWhatSecondBegan(const PdbFile& file, const RecordReader& first) const {
        if (first.Failed() || !file.conects.empty() || !(first.State() == start_)) return false;
        if ((kept_ == 0) != !previous_) return false;
        return !previous_ || file.atoms[kept_ - 1] == file_.atoms.front();
    }

    size_t kept_ = 0;    // the first half's records
    size_t copied_ = 0;  // the second half's records copied so far, from the start of file_.atoms; 0: none
    std::atomic<size_t> records_{0};     // in file_.atoms once the split is reached, for UseTheWait
    std::atomic<bool> finished_{false};  // the thread's reading is over
    BesideWork thread_;  // last: ends before what it uses
};

}  // namespace

PdbFile PdbFile::Read(const std::string& path) {
    GzLineSource source(path);
    if (!source.IsOpen()) throw VelmError("Can't open file!");
    return Read(source);
}

bool PdbFile::ReadsByColumns(std::string_view line) {
#ifdef __SSE2__
    ReaderState state;
    PdbAtomRecord rec;
    return AtomColumns(line).Read(state, nullptr, rec);
#else
    return false;
#endif
}

PdbFile PdbFile::Read(LineSource& source) {
    const size_t size = source.SizeHint();
    if (size < kReadInHalvesFrom || WorkerThreads() < 2) return ReadSplitAt(source, 0);
    return ReadSplitAt(source, size / 2 + std::min(kSplitPastMiddle, size / 4));
}

PdbFile PdbFile::ReadSplitAt(LineSource& source, size_t split, bool* taken, size_t leadIn) {
    try {
        return ReadRecords(source, split, taken, leadIn);
    } catch (VelmError& e) {
        // The user is told where: the line the error came from.
        if (e.InputLine() == 0) e.SetInputLine(source.LineNumber());
        throw;
    }
}

PdbFile PdbFile::ReadRecords(LineSource& source, size_t split, bool* taken, size_t leadIn) {
    if (taken) *taken = false;
    std::string_view line;
    PdbFile file;
    // One pass over the text. The atom records are reserved from its size
    // when that is known (a compressed file's as its trailer tells it): a
    // standard record takes some 60 columns or more, and the part of the
    // reservation a file of fewer records never touches costs no memory.
    // Otherwise (a stream, a file of several members) the array grows.
    if (const size_t bytes = source.TextSizeGuess(); bytes > 0) {
        try {
            file.atoms.reserve(bytes / 60 + 1);
        } catch (const std::bad_alloc&) {
        }
    }
    RecordReader reader(file);
    std::optional<SecondHalf> second;
    if (split > 0) second.emplace(source, split > leadIn ? split - leadIn : 0, split);
    if (second && !second->Started()) second.reset();
    while (source.ReadLine(line)) {
        if (second && source.LineStart() >= second->Split()) {
            second->UseTheWait(file, reader);
            const bool used = second->Join(file, reader);
            second.reset();
            if (taken) *taken = used;
            if (used) break;
        }
        reader.Line(line, source);
    }
    reader.Finish();
    for (ConectEntry& e : file.conects) KeepFirstOfEach(e.partners);

    file.bondCount = file.conects.empty() ? 0 : CountConectPairs(file.conects);

    std::erase_if(file.monitors, [&file](MonitorRecord& m) {
        m.atom1 = file.SerialLookup(m.serial1);
        m.atom2 = file.SerialLookup(m.serial2);
        return m.atom1 < 0 || m.atom2 < 0;
    });
    return file;
}

}  // namespace velm
