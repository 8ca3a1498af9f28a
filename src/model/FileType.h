#pragma once
// Coordinate and trajectory file types, told by the extension.
#include <string>

namespace velm {

enum FileType : int { PdbType = 0, XyzType = 1, CrdType = 2, DcdType = 3, PtfType = 4, ByExtension = 5, UnknownType = 6, MmcifType = 7 };

// Type from the extension after the last '.', compared without case; a
// compressed file's from the name under ".gz".
FileType FileTypeFromPath(const std::string& path);

// Whether the name ends in ".gz", the name of a compressed file.
bool IsCompressedName(const std::string& path);

// The refusal for reading a coordinate file of this type; empty for PDB and mmCIF.
const char* CoordinateReadRefusal(FileType type);

}  // namespace velm
