#include "model/PastedValues.h"

#include <cmath>
#include <cstdlib>
#include <map>
#include <string>

#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "model/ColourSchemes.h"
#include "model/Molecule.h"
#include "model/RadiusSchemes.h"
#include "model/VelmDoc.h"

namespace velm {

namespace {
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
            throw VelmError("Warning - non-numeric value found in clipboard");
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
            throw VelmError("Unable to paste data, number of inputs is less\nthan the number of atoms");
        for (size_t i = 0; i < m.atoms.size(); ++i) Field(m.atoms[i], o.target) = std::fabs(values[i]);
        break;
    case PasteMode::SingleAtom: {
        Atom* atom = nullptr;
        for (Atom& a : m.atoms)
            if (a.serial == o.serial) {
                atom = &a;
                break;
            }
        if (!atom) throw VelmError("Invalid atom id, can't paste data");
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
            throw VelmError("Unable to paste data, number of inputs is less\nthan the number of alpha carbons");
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

void RefreshAfterValuesChanged(Molecule& m, const ElementColours& elementColours, const ColourTables& tables,
                               PasteTarget target) {
    const ColourScheme field = target == PasteTarget::TemperatureFactor ? ColourByTemperature : ColourByOccupancy;
    if (m.colourScheme == field) Recolour(m, elementColours, tables, field);
    ReapplyRadiusScheme(m, m.radiusTable);
    m.UpdateBondSplitColours();
}

void PasteValues(CVelmDoc& doc, std::string_view text, const PasteOptions& options, UiHooks& ui) {
    PasteValues(doc, ParsePastedValues(text, ui), options);
}

void PasteValues(CVelmDoc& doc, const std::vector<double>& values, const PasteOptions& options) {
    if (values.empty() || !doc.Primary()) throw VelmError("The clipboard is empty - nothing to paste");
    PasteOptions o = options;
    if (o.mode == PasteMode::AtomRange && o.stop == 0) o.stop = doc.Primary()->AtomCount();
    doc.EditMolecule(*doc.Primary(), DocumentChange::Display, [&](Molecule& m) {
        ApplyPastedValues(m, values, o);
        RefreshAfterValuesChanged(m, doc.elementColours, doc.colourTables, o.target);
    });
}

}  // namespace velm
