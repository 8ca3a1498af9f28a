#include "model/FileType.h"

#include <algorithm>
#include <cctype>

namespace velm {

bool IsCompressedName(const std::string& path) {
    return path.size() > 3 && path.compare(path.size() - 3, 3, ".gz") == 0;
}

FileType FileTypeFromPath(const std::string& path) {
    // "1abc.pdb.gz" is a PDB file.
    std::string name = path;
    if (IsCompressedName(name)) name.resize(name.size() - 3);
    const size_t slash = name.find_last_of('/');
    const size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return UnknownType;
    std::string ext = name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == "pdb") return PdbType;
    if (ext == "xyz") return XyzType;
    if (ext == "crd") return CrdType;
    if (ext == "dcd") return DcdType;
    if (ext == "ptf") return PtfType;
    if (ext == "cif" || ext == "mmcif") return MmcifType;
    return UnknownType;
}

const char* CoordinateReadRefusal(FileType type) {
    switch (type) {
    case PdbType:
    case MmcifType: return "";
    case XyzType: return "XYZ files aren't supported yet!";
    case CrdType: return "CRD files aren't supported yet!";
    case PtfType: return "PTF files are not currently supported!";
    default: return "Unknown file type!";
    }
}

}  // namespace velm
