#pragma once
// The rows of the sequence tool: one per residue of a molecule, chains in
// model order and residues in chain order, with the texts of its four columns.
// Rows are read from the molecule each time; nothing is copied into the tool.
#include <string>
#include <vector>

namespace velm {

class Molecule;
struct Chain;
struct Residue;

inline constexpr int kSequenceColumns = 4;
// "Residue", "Chain", "Model", "Sec Struct".
const char* SequenceColumnTitle(int column);

struct SequenceRow {
    std::string residue;    // "%s %d": three-letter name and residue number
    char chain = ' ';       // "%c"
    int model = 0;          // "%d"
    std::string structure;  // the secondary-structure short name
    std::string Cell(int column) const;
};

SequenceRow MakeSequenceRow(const Molecule& molecule, const Chain& chain, const Residue& residue);
std::vector<SequenceRow> SequenceRows(const Molecule& molecule);

// Where each row's residue lives, so that rows can be found again without
// walking the chains for every row.
class SequenceIndex {
public:
    explicit SequenceIndex(const Molecule& molecule);
    int RowCount() const { return rows_; }
    // Null for a row that matches no residue.
    const Residue* ResidueAt(int row) const;
    // The row's texts; empty for a row that matches no residue.
    SequenceRow Row(int row) const;

private:
    // The chain of a row in the list, or -1.
    int ChainOf(int row) const;

    const Molecule& molecule_;
    std::vector<int> chainStart_;  // first row of each chain
    int rows_ = 0;
};

}  // namespace velm
