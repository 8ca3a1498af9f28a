#pragma once
// What one PDB coordinate file holds at record level: atom records, CONECT
// entries, MONITOR lines and the BBOX box, with the reader and the writer.
#include <climits>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/VelmError.h"

namespace velm {

class LineSource;

// The serial of a record whose serial field holds no number ("*****").
inline constexpr int kNoSerial = INT_MIN;

// The fields are ordered so that none is padded: a load holds one of these
// for every atom of the file.
struct PdbAtomRecord {
    char record[8] = "ATOM";
    int serial = 0;
    char name[8] = "C";
    char residueName[6] = "UNK0";
    char altLoc = ' ';  // column 17: which of an atom's alternate places
    char insertionCode = ' ';
    int residueNumber = 1;
    double x = 0, y = 0, z = 0;
    double occupancy = 1.0;
    double temperatureFactor = 0;
    int hetero = 0;
    int model = 0;
    char chain = ' ';
    char chainAsRead = ' ';  // before a chain after TER was given the next letter
    char element[3] = "";  // columns 77-78 in capitals when they name an element; empty otherwise

    // Store upper-cased text; each throws when the text does not fit.
    void SetRecord(std::string_view text);
    void SetAtomName(std::string_view text);
    void SetResName(std::string_view text);  // also flags solvent names hetero

    // Every field, the text fields byte for byte.
    bool operator==(const PdbAtomRecord&) const = default;
};
static_assert(sizeof(PdbAtomRecord) == 88);

// The most partners the CONECT records of one atom may list (repeats aside);
// past it the reader stops with a message. A line holds at most
// kLongestLine characters (LineSource.h), some 13,000 partners.
inline constexpr size_t kMaxConectPartners = 16384;

struct ConectEntry {
    int id = -1;
    std::vector<int> partners;
    int atomsBefore = -1;  // atom records before it in its file: which of repeated serials it names
};

struct MonitorRecord {
    int label = 0;
    int serial1 = 0, serial2 = 0;
    int r = 0, g = 0, b = 0;
    int atom1 = -1, atom2 = -1;  // indices, resolved after reading
};

struct BoxRecord {
    int valid = 0;
    double R[3] = {}, A[3] = {}, B[3] = {}, C[3] = {};
};

// A value too wide for its columns (or no number at all), which the writer
// refuses: written, it would run into its neighbour and read back as another.
class PdbColumnOverflow : public VelmError {
public:
    using VelmError::VelmError;
};

inline constexpr size_t kReadInHalvesFrom = 1 << 20;
inline constexpr size_t kReadLeadIn = 32 << 10;  // some 400 lines
// What the loading thread reads while the second half's thread starts (0.1
// to 0.3 ms): the split lies that far past the middle, so that the halves
// end together.
inline constexpr size_t kSplitPastMiddle = 256 << 10;

class PdbFile {
public:
    PdbFile() = default;
    explicit PdbFile(int records);  // n default records, serial = index

    int bondCount = 0;
    std::vector<PdbAtomRecord> atoms;
    std::vector<ConectEntry> conects;
    std::vector<MonitorRecord> monitors;
    BoxRecord box;
    // The CONECT entries list links only (those of an mmCIF file), to be
    // added to the derived bonds of every atom rather than replace them.
    bool conectsAddToBonds = false;

    // Reads a plain or gzip-compressed file; throws VelmError, naming the
    // input line it stopped at (VelmError::InputLine).
    static PdbFile Read(const std::string& path);
    static PdbFile Read(LineSource& source);
    // As Read, with the text's second half, from the first line at or after
    // byte `split`, read on another thread at once where the source can be
    // opened a second time (0: read in one pass); that thread first reads
    // the `leadIn` bytes before the split. Read splits texts of
    // kReadInHalvesFrom bytes and more near the middle (kSplitPastMiddle)
    // when two cores are there.
    // The records are those of one pass, whatever the split; `taken` tells
    // whether the second half's were used or the half was read again in turn.
    static PdbFile ReadSplitAt(LineSource& source, size_t split, bool* taken = nullptr,
                               size_t leadIn = kReadLeadIn);

    // Whether an atom line, the first of a text, is read by its columns (the
    // standard layout) instead of its tokens; both give the same record. For
    // the tests, which make sure that the columns are taken.
    static bool ReadsByColumns(std::string_view line);

    // Index of the record with this serial, or -1.
    int SerialLookup(int serial) const;
    // Serials written modulo 100,000 repeat: whether they do, the records
    // holding one serial in file order (valid until the next call), and the
    // one of them nearest to a record (what a CONECT partner of that record
    // names). Computed on first use from the records as they are then.
    bool SerialsRepeat() const;
    std::span<const int> RecordsWithSerial(int serial) const;
    int SerialNear(int serial, int record) const;

    // Writes the records (coordinates with `precision` decimals) and, when
    // asked, the CONECT entries. Throws PdbColumnOverflow, naming the atom,
    // when a coordinate, occupancy or temperature factor is not finite or
    // wider than its columns as the reader takes them back (at 3 decimals x
    // -99999.999..999999.999, y and z -999.999..9999.999; occupancy
    // -9.99..99.99, temperature factor -99.99..999.99); the stream is then
    // left unwritten.
    void Write(std::FILE* out, int precision, bool writeConect) const;
    void Write(std::string& out, int precision, bool writeConect) const;

private:
    static PdbFile ReadRecords(LineSource& source, size_t split, bool* taken, size_t leadIn);
    mutable int window_ = -1;  // search window of SerialLookup, learnt from misses
    mutable int repeats_ = -1;          // unknown, 0 or 1
    mutable std::vector<int> bySerial_;
    mutable int lookupOne_ = -1;  // record indices ordered by serial, then index, when serials repeat
};

}  // namespace velm
