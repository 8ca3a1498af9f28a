#pragma once
// A structure text read to its records, or to the error it stops at, and
// the first difference between two such readings.
#include <cstring>
#include <string>
#include <string_view>

#include "core/VelmError.h"
#include "model/LineSource.h"
#include "model/PdbFile.h"

namespace velm::test {

struct ReadOutcome {
    PdbFile file;
    std::string error;
    int line = 0;
    bool taken = false;  // the second half's records were used
};

// `split` 0: one pass; else in two halves (PdbFile::ReadSplitAt).
inline ReadOutcome ReadOf(std::string_view text, size_t split = 0, size_t leadIn = kReadLeadIn) {
    ReadOutcome o;
    try {
        MemoryLineSource source(text);
        o.file = PdbFile::ReadSplitAt(source, split, &o.taken, leadIn);
    } catch (const VelmError& e) {
        o.error = e.text();
        o.line = e.InputLine();
    }
    return o;
}

// Empty when both readings agree, else the first difference.
inline std::string Difference(const ReadOutcome& a, const ReadOutcome& b) {
    if (a.error != b.error || a.line != b.line)
        return "error \"" + a.error + "\" line " + std::to_string(a.line) + " against \"" + b.error + "\" line " +
               std::to_string(b.line);
    const PdbFile &x = a.file, &y = b.file;
    if (x.atoms.size() != y.atoms.size()) return "atom counts differ";
    for (size_t i = 0; i < x.atoms.size(); ++i)
        if (x.atoms[i] != y.atoms[i]) return "atom record " + std::to_string(i) + " differs";
    if (x.conects.size() != y.conects.size() || x.bondCount != y.bondCount) return "CONECT counts differ";
    for (size_t i = 0; i < x.conects.size(); ++i)
        if (x.conects[i].id != y.conects[i].id || x.conects[i].partners != y.conects[i].partners ||
            x.conects[i].atomsBefore != y.conects[i].atomsBefore)
            return "CONECT entry " + std::to_string(i) + " differs";
    if (x.monitors.size() != y.monitors.size()) return "monitor counts differ";
    for (size_t i = 0; i < x.monitors.size(); ++i)
        if (std::memcmp(&x.monitors[i], &y.monitors[i], sizeof(MonitorRecord)) != 0) return "monitor differs";
    auto same = [](const double (&u)[3], const double (&v)[3]) { return std::memcmp(u, v, sizeof u) == 0; };
    if (x.box.valid != y.box.valid || !same(x.box.R, y.box.R) || !same(x.box.A, y.box.A) ||
        !same(x.box.B, y.box.B) || !same(x.box.C, y.box.C))
        return "box differs";
    return "";
}

// Every line of a (possibly compressed) file, as one text.
inline std::string TextOf(const std::string& path) {
    GzLineSource source(path);
    std::string text;
    std::string_view line;
    while (source.ReadLine(line)) text += line;
    return text;
}

}  // namespace velm::test
