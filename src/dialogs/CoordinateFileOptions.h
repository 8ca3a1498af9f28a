#pragma once
// "Coordinate File Options": how the next files are read. OK stores the four
// options in the document.
#include "model/VelmDoc.h"

namespace velm {

struct CoordinateFileOptions {
    bool computeConnectivity = true;
    bool computeSecondaryStructure = true;
    bool multipleAsTrajectory = false;
    int readMode = Verbatim;  // "Verbatim", "Zero center of mass", "Align"

    static CoordinateFileOptions Of(const ReadOptions& options);
    void Store(ReadOptions& options) const;
};

}  // namespace velm
