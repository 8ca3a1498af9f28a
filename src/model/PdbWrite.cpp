// Writing PDB records with the program's own formats.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/VelmError.h"
#include "model/PdbFile.h"
#include "model/SerialNumbers.h"

namespace velm {

namespace {
template <class... Args>
void Append(std::string& out, const char* format, Args... args) {
    char buf[256];
    const int n = std::snprintf(buf, sizeof buf, format, args...);
    if (n < 0) throw VelmError("Can't open file");
    if (static_cast<size_t>(n) < sizeof buf) {
        out.append(buf, static_cast<size_t>(n));
        return;
    }
    std::string big(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), format, args...);
    out.append(big.data(), static_cast<size_t>(n));
}
// Names the first value of the record that its columns cannot hold.
[[noreturn]] void RefuseColumns(const PdbAtomRecord& r, int precision) {
    struct Field {
        const char* name;
        double value;
        int width, decimals;
    };
    const Field fields[] = {{"x", r.x, precision + 7, precision},
                            {"y", r.y, precision + 5, precision},
                            {"z", r.z, precision + 5, precision},
                            {"occupancy", r.occupancy, 5, 2},
                            {"temperature factor", r.temperatureFactor, 6, 2}};
    for (const Field& f : fields) {
        char text[400];
        const int n = std::snprintf(text, sizeof text, "%.*f", f.decimals, f.value);
        if (std::isfinite(f.value) && n <= f.width) continue;
        char message[600];
        std::snprintf(message, sizeof message, "Atom %d (%s %s %c %d): %s %.40s does not fit in its PDB columns",
                      r.serial, r.name, r.residueName, r.chain, r.residueNumber, f.name, text);
        throw PdbColumnOverflow(message);
    }
    throw PdbColumnOverflow("Atom " + std::to_string(r.serial) + " does not fit in its PDB columns");
}
// Serials past 99,999 and residue numbers past 9,999 in hybrid-36, which
// this reader and others take back whole.
struct Wide {
    char text[12];
};
Wide WideField(int value, int width) {
    Wide w{};
    if (const std::optional<std::string> s = EncodeHybrid36(value, width)) {
        s->copy(w.text, s->size());
    } else if (width == 4 && value < 0) {
        std::snprintf(w.text, sizeof w.text, "%d", value);  // a number below -999 takes a column more, as before
    } else {
        throw PdbColumnOverflow("Atom serial or residue number " + std::to_string(value) +
                                " does not fit in its PDB columns");
    }
    return w;
}
}  // namespace

void PdbFile::Write(std::string& out, int precision, bool writeConect) const {
    if (precision < 0) precision = 0;
    if (precision > 15) precision = 15;
    if (atoms.empty()) {
        out += "ENDMDL\n";
        return;
    }
    // With 3 decimals x, y and z fall in the standard columns 31-54. The
    // insertion code takes column 27, in front of x's field.
    char coordinates[64];
    std::snprintf(coordinates, sizeof coordinates, "%%c%%%d.%df%%%d.%df%%%d.%df", precision + 8, precision,
                  precision + 5, precision, precision + 5, precision);

    const size_t occupancyAt = 1 + static_cast<size_t>(precision + 8) + 2 * static_cast<size_t>(precision + 5);
    const size_t fieldsWidth = occupancyAt + 12;
    out.reserve(out.size() + atoms.size() * (60 + 3 * static_cast<size_t>(precision)));
    int model = atoms.front().model;
    Append(out, "MODEL     %4d\n", model);
    for (const PdbAtomRecord& r : atoms) {
        if (r.model != model) {
            model = r.model;
            Append(out, "ENDMDL\nMODEL     %4d\n", model);
        }
        // Names of four characters fill columns 13-16, as do those that begin
        // with a digit ("1HB") or a two-letter element ("MG", "FE1"); others
        // start in 14.
        const bool wide = std::strlen(r.name) >= 4 || (r.name[0] >= '0' && r.name[0] <= '9') ||
                          (std::strlen(r.element) == 2 && std::strncmp(r.name, r.element, 2) == 0);
        Append(out, wide ? "%-6s%5s %-4s%c%-4s%c%4s" : "%-6s%5s  %-3s%c%-4s%c%4s", r.record,
               WideField(r.serial, 5).text, r.name, r.altLoc ? r.altLoc : ' ', r.residueName, r.chain,
               WideField(r.residueNumber, 4).text);
        // Every field printed within its width gives exactly this many
        // characters; a wider one, or "nan", is refused. Coordinates may fill
        // their fields (glued ones of equal decimals are split on reading),
        // but x must stay apart from an insertion code and the occupancy
        // from z, which has other decimals: those keep a blank before them.
        const size_t start = out.size();
        Append(out, coordinates, r.insertionCode ? r.insertionCode : ' ', r.x, r.y, r.z);
        Append(out, "%6.2f%6.2f", r.occupancy, r.temperatureFactor);
        if (out.size() - start != fieldsWidth || out[start + 1] != ' ' || out[start + occupancyAt] != ' ' ||
            !std::isfinite(r.x + r.y + r.z + r.occupancy + r.temperatureFactor))
            RefuseColumns(r, precision);
        if (r.element[0]) Append(out, "          %2s", r.element);
        out += '\n';
    }
    const PdbAtomRecord& last = atoms.back();
    Append(out, "TER   %5s      %-4s%c%4s\n", WideField(last.serial + 1, 5).text, last.residueName, last.chain,
           WideField(last.residueNumber, 4).text);
    out += "ENDMDL\n";
    if (writeConect) {
        for (const ConectEntry& e : conects) {
            Append(out, "CONECT%5s", WideField(e.id, 5).text);
            for (int p : e.partners) Append(out, "%5s", WideField(p, 5).text);
            out += '\n';
        }
    }
}

void PdbFile::Write(std::FILE* stream, int precision, bool writeConect) const {
    std::string text;
    Write(text, precision, writeConect);
    if (std::fwrite(text.data(), 1, text.size(), stream) != text.size()) throw VelmError("Can't open file");
}

}  // namespace velm
