#include "model/PastedValues.h"

#include <cmath>
#include <cstdlib>
#include <map>
#include <string>

#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "model/Molecule.h"

namespace velm {

namespace {

constexpr const char* kSource = "PasteDialog";

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

double& Field(Atom& a, PasteTarget target) {
    return target == PasteTarget::TemperatureFactor ? a.temperatureFactor : a.occupancy;
}

}  // namespace

std::vector<double> ParsePastedValues(std::string_view text, UiHooks& ui) {
    std::vector<double> values;
    bool warned = false;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsSeparator(text[i])) ++i;
        const size_t start = i;
        while (i < text.size() && !IsSeparator(text[i])) ++i;
        if (start == i) break;
        const std::string token(text.substr(start, i - start));
        char* end = nullptr;
        const double v = std::strtod(token.c_str(), &end);
        if (end == token.c_str() || *end != '\0' || !std::isfinite(v))
            VELM_THROW("Warning - non-numeric value found in clipboard");
        if (v < 0 && !warned) {
            ui.Message("Warning - negative value found in clipboard");
            warned = true;
        }
        values.push_back(v);
    }
    return values;
}

int AlphaCarbonCount(const Molecule& m) {
    int n = 0;
    for (const Chain& c : m.chains) n += static_cast<int>(c.residues.size());
    return n;
}

void ApplyPastedValues(Molecule& m, const std::vector<double>& values, const PasteOptions& o) {
    if (values.empty()) return;
    switch (o.mode) {
    case PasteMode::AllAtoms:
        if (values.size() < m.atoms.size())
            VELM_THROW("Unable to paste data, number of inputs is less\nthan the number of atoms");
        for (size_t i = 0; i < m.atoms.size(); ++i) Field(m.atoms[i], o.target) = std::fabs(values[i]);
        break;
    case PasteMode::SingleAtom: {
        Atom* atom = nullptr;
        for (Atom& a : m.atoms)
            if (a.serial == o.serial) {
                atom = &a;
                break;
            }
        if (!atom) VELM_THROW("Invalid atom id, can't paste data");
        Field(*atom, o.target) = std::fabs(values[0]);
        break;
    }
    case PasteMode::AtomRange: {
        // Serials start .. stop - 1 in increasing order; a serial without an
        // atom takes no value.
        // Walk the serials that exist, not the whole range, so a wide range
        // over a large molecule costs no more than the molecule.
        std::map<int, size_t> first;
        for (size_t i = 0; i < m.atoms.size(); ++i)
            if (m.atoms[i].serial >= o.start && m.atoms[i].serial < o.stop) first.emplace(m.atoms[i].serial, i);
        size_t next = 0;
        for (const auto& [serial, index] : first) {
            if (next == values.size()) break;
            Field(m.atoms[index], o.target) = std::fabs(values[next++]);
        }
        break;
    }
    case PasteMode::AlphaCarbons: {
        if (static_cast<long long>(values.size()) < AlphaCarbonCount(m))
            VELM_THROW("Unable to paste data, number of inputs is less\nthan the number of alpha carbons");
        size_t k = 0;
        for (Chain& c : m.chains)
            for (Residue& r : c.residues) {
                for (int i : r.atoms) Field(m.atoms[static_cast<size_t>(i)], o.target) = std::fabs(values[k]);
                ++k;
            }
        break;
    }
    }
    m.UpdateValueRanges();
}

}  // namespace velm
