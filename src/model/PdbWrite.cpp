// Writing PDB records with the program's own formats.
#include <cstdio>
#include <cstring>
#include <string>

#include "core/VelmError.h"
#include "model/PdbFile.h"

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
        Append(out, wide ? "%-6s%5d %-4s%c%-4s%c%4d" : "%-6s%5d  %-3s%c%-4s%c%4d", r.record, r.serial, r.name,
               r.altLoc ? r.altLoc : ' ', r.residueName, r.chain, r.residueNumber);
        Append(out, coordinates, r.insertionCode ? r.insertionCode : ' ', r.x, r.y, r.z);
        Append(out, "%6.2f%6.2f", r.occupancy, r.temperatureFactor);
        if (r.element[0]) Append(out, "          %2s", r.element);
        out += '\n';
    }
    const PdbAtomRecord& last = atoms.back();
    Append(out, "TER   %5d      %-4s%c%4d\n", last.serial + 1, last.residueName, last.chain, last.residueNumber);
    out += "ENDMDL\n";
    if (writeConect) {
        for (const ConectEntry& e : conects) {
            Append(out, "CONECT%5d", e.id);
            for (int p : e.partners) Append(out, "%5d", p);
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
