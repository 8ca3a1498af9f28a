#include "model/ResidueColouring.h"

#include <algorithm>

#include "core/VelmError.h"
#include "model/Molecule.h"
#include "model/SequenceRows.h"
#include "model/VelmDoc.h"

namespace velm {

void ColourSequenceRows(CVelmDoc& document, Molecule& molecule, const std::vector<int>& rows, Rgba colour) {
    std::vector<int> ordered = rows;
    std::sort(ordered.begin(), ordered.end());
    document.EditMolecule(molecule, DocumentChange::Display, [&](Molecule& m) {
        const SequenceIndex index(m);
        bool complete = true;
        for (int row : ordered) {
            const Residue* residue = index.ResidueAt(row);
            if (!residue) {
                complete = false;
                break;
            }
            for (int atom : residue->atoms) m.atoms[static_cast<size_t>(atom)].colour = colour;
        }
        // Also after a partial run: the rows done are drawn in their new colour.
        m.UpdateBondSplitColours();
        if (!complete) throw VelmError("Failed to find all selected residues!");
    });
}

Rgba SequenceRowColour(const Molecule& molecule, int row) {
    const Residue* residue = SequenceIndex(molecule).ResidueAt(row);
    if (!residue) throw VelmError("Couldn't find selected residue! What trickery is this?");
    const int atom = residue->alphaCarbon >= 0 ? residue->alphaCarbon : residue->atoms.empty() ? -1 : residue->atoms.front();
    return atom >= 0 && atom < molecule.AtomCount() ? molecule.atoms[static_cast<size_t>(atom)].colour : Rgba{};
}

}  // namespace velm
