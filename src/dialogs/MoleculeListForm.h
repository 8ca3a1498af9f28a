#pragma once
// "Molecule Selection": one row per molecule of the document, in document
// order, and the buttons that act on the chosen rows. Rows are positions in
// the document's list as it is when the rows are read; the window reads them
// again after every change, so a deleted molecule never leaves a stale row.
#include <array>
#include <string>
#include <vector>

namespace velm {

class CVelmDoc;

struct MoleculeRow {
    std::string molecule;  // "%d) %s": 1-based position and path
    std::string status;    // "Primary, Fixed", "Primary, Free", "Fixed" or "Free"
    std::string selected;  // "X" or a blank
    std::string atoms;
    std::string frames;    // list frames
    bool primary = false;
};

struct MoleculeColumn {
    const char* heading;
    const char* measured;  // the text whose width sets the column's
    double factor;         // times that width
};
const std::array<MoleculeColumn, 5>& MoleculeColumns();

class MoleculeListForm {
public:
    explicit MoleculeListForm(CVelmDoc& document) : document_(document) {}

    std::vector<MoleculeRow> Rows() const;
    // The row shown selected and focused; -1 without molecules.
    int PrimaryRow() const;

    // The buttons, on the chosen rows; rows that name no molecule are skipped.
    void Delete(const std::vector<int>& rows);
    void Duplicate(const std::vector<int>& rows);
    void ToggleFixedFree(const std::vector<int>& rows);
    void MakePrimary(const std::vector<int>& rows);  // the first chosen row
    void ToggleSelection(const std::vector<int>& rows);

private:
    std::vector<int> Valid(const std::vector<int>& rows) const;

    CVelmDoc& document_;
};

}  // namespace velm
