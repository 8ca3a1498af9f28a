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

SequenceRow MakeSequenceRow(const Molecule& molecule, const Chain& chain, const Residue& r) {
    SequenceRow row;
    // A residue's name is its atoms'; one read without atoms has none.
    const std::string_view name =
        r.atoms.empty() ? std::string_view{} : molecule.atoms[static_cast<size_t>(r.atoms.front())].ResidueName();
    row.residue = EscapedText(name) + ' ' + std::to_string(r.number);
    row.chain = chain.id;
    row.model = chain.model;
    const int code =
        r.secondaryStructure >= 0 && r.secondaryStructure < kSecondaryStructureCodes ? r.secondaryStructure : UnknownStructure;
    row.structure = std::string(SecondaryStructureShortName(code));
    return row;
}

std::vector<SequenceRow> SequenceRows(const Molecule& molecule) {
    std::vector<SequenceRow> rows;
    rows.reserve(static_cast<size_t>(molecule.ResidueCount()));
    for (const Chain& c : molecule.chains)
        for (const Residue& r : c.residues) rows.push_back(MakeSequenceRow(molecule, c, r));
    return rows;
}

SequenceIndex::SequenceIndex(const Molecule& molecule) : molecule_(molecule) {
    chainStart_.reserve(molecule.chains.size());
    for (const Chain& c : molecule.chains) {
        chainStart_.push_back(rows_);
        rows_ += static_cast<int>(c.residues.size());
    }
}

int SequenceIndex::ChainOf(int row) const {
    if (row < 0 || row >= rows_) return -1;
    // The last chain starting at or before the row; empty chains share a start.
    const auto next = std::upper_bound(chainStart_.begin(), chainStart_.end(), row);
    return static_cast<int>(next - chainStart_.begin()) - 1;
}

const Residue* SequenceIndex::ResidueAt(int row) const {
    const int chain = ChainOf(row);
    if (chain < 0) return nullptr;
    return &molecule_.chains[static_cast<size_t>(chain)].residues[static_cast<size_t>(row - chainStart_[static_cast<size_t>(chain)])];
}

SequenceRow SequenceIndex::Row(int row) const {
    const int chain = ChainOf(row);
    if (chain < 0) return {};
    const Chain& c = molecule_.chains[static_cast<size_t>(chain)];
    return MakeSequenceRow(molecule_, c, c.residues[static_cast<size_t>(row - chainStart_[static_cast<size_t>(chain)])]);
}

}  // namespace velm
