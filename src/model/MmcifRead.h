#pragma once
// PDBx/mmCIF coordinate files read into the records of a PDB file, so that
// the rest of loading treats them alike.
#include <string>

#include "model/PdbFile.h"

namespace velm {

// Whether a file (plain or gzip-compressed) begins as a CIF file does: with a
// "data_" block after blank and comment lines.
bool LooksLikeMmcif(const std::string& path);

// Atom sites with the author's chain ids, residue numbers and insertion codes
// (as PDB files give them), hetero atoms from the group, models from the model
// numbers; the covalent links of struct_conn as CONECT entries that add to the
// derived bonds. Only the first data block is read. Throws VelmError.
PdbFile ReadMmcif(const std::string& path);

}  // namespace velm
