#include "model/SequenceRows.h"

#include <algorithm>
#include <cstdio>

#include "core/PrintableText.h"
#include "model/Molecule.h"

namespace velm {

const char* SequenceColumnTitle(int column) {
    static const char* const titles[kSequenceColumns] = {"Residue", "Chain", "Model", "Sec Struct"};
    return column >= 0 && column < kSequenceColumns ? titles[column] : "";
}

std::string SequenceRow::Cell(int column) const {
    switch (column) {
        case 0: return residue;
        case 1: return std::string(1, chain);
        case 2: return std::to_string(model);
        case 3: return structure;
        default: return {};
    }
}

std::vector<SequenceRow> SequenceRows(const Molecule& molecule) {
    std::vector<SequenceRow> rows;
    rows.reserve(static_cast<size_t>(molecule.ResidueCount()));
    for (const Chain& c : molecule.chains) {
        for (const Residue& r : c.residues) {
            SequenceRow row;
            // A residue's name is its atoms'; one read without atoms has none.
            const std::string_view name =
                r.atoms.empty() ? std::string_view{} : molecule.atoms[static_cast<size_t>(r.atoms.front())].ResidueName();
            row.residue = EscapedText(name) + ' ' + std::to_string(r.number);
            row.chain = c.id;
            row.model = c.model;
            const int code = r.secondaryStructure >= 0 && r.secondaryStructure < kSecondaryStructureCodes
                                 ? r.secondaryStructure
                                 : UnknownStructure;
            row.structure = std::string(SecondaryStructureShortName(code));
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

SequenceIndex::SequenceIndex(const Molecule& molecule) : molecule_(molecule) {
    chainStart_.reserve(molecule.chains.size());
    for (const Chain& c : molecule.chains) {
        chainStart_.push_back(rows_);
        rows_ += static_cast<int>(c.residues.size());
    }
}

const Residue* SequenceIndex::ResidueAt(int row) const {
    if (row < 0 || row >= rows_) return nullptr;
    // The last chain starting at or before the row; empty chains share a start.
    const auto next = std::upper_bound(chainStart_.begin(), chainStart_.end(), row);
    size_t chain = static_cast<size_t>(next - chainStart_.begin()) - 1;
    const int offset = row - chainStart_[chain];
    return &molecule_.chains[chain].residues[static_cast<size_t>(offset)];
}

}  // namespace velm
