// A structure text read in one pass and read in two halves at once, split
// where the input's first byte says, the second half reading from as far
// before the split as the second byte says, and read with a tab for the
// blank of every line's column 12, which keeps the tokens and sends every
// atom line to them instead of its columns: the records, entries and faults
// must be the same.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/VelmError.h"
#include "model/LineSource.h"
#include "model/PdbFile.h"

namespace {

struct Outcome {
    velm::PdbFile file;
    std::string error;
    int line = 0;
};

Outcome Read(std::string_view text, size_t split, size_t leadIn) {
    Outcome o;
    try {
        velm::MemoryLineSource source(text);
        o.file = velm::PdbFile::ReadSplitAt(source, split, nullptr, leadIn);
    } catch (const velm::VelmError& e) {
        o.error = e.text();
        o.line = e.InputLine();
    }
    return o;
}

bool Same(const Outcome& a, const Outcome& b) {
    if (a.error != b.error || a.line != b.line) return false;
    const velm::PdbFile &x = a.file, &y = b.file;
    if (x.atoms.size() != y.atoms.size() || x.conects.size() != y.conects.size() ||
        x.monitors.size() != y.monitors.size() || x.bondCount != y.bondCount || x.box.valid != y.box.valid)
        return false;
    for (size_t i = 0; i < x.atoms.size(); ++i)
        if (x.atoms[i] != y.atoms[i]) return false;
    for (size_t i = 0; i < x.conects.size(); ++i)
        if (x.conects[i].id != y.conects[i].id || x.conects[i].partners != y.conects[i].partners ||
            x.conects[i].atomsBefore != y.conects[i].atomsBefore)
            return false;
    for (size_t i = 0; i < x.monitors.size(); ++i)
        if (std::memcmp(&x.monitors[i], &y.monitors[i], sizeof(velm::MonitorRecord)) != 0) return false;
    auto same = [](const double (&u)[3], const double (&v)[3]) { return std::memcmp(u, v, sizeof u) == 0; };
    return same(x.box.R, y.box.R) && same(x.box.A, y.box.A) && same(x.box.B, y.box.B) && same(x.box.C, y.box.C);
}

std::string ByTokens(std::string_view text) {
    std::string out(text);
    for (size_t at = 0; at < out.size();) {
        const size_t end = std::min(out.find_first_of("\r\n", at), out.size());
        if (end - at > 11 && out[at + 11] == ' ') out[at + 11] = '\t';
        at = end + 1;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 2, size - 2);
    const size_t split = 1 + data[0] * text.size() / 256;
    const size_t leadIn = 1 + data[1] * 64u;
    const Outcome whole = Read(text, 0, 0);
    if (!Same(Read(text, split, leadIn), whole) || !Same(Read(ByTokens(text), 0, 0), whole)) std::abort();
    return 0;
}
