#include "dialogs/CoordinateFileOptions.h"

namespace velm {

CoordinateFileOptions CoordinateFileOptions::Of(const ReadOptions& o) {
    return {o.computeConnectivity != 0, o.computeSecondaryStructure != 0, o.multipleAsTrajectory != 0,
            o.trajectoryReadMode};
}

void CoordinateFileOptions::Store(ReadOptions& o) const {
    o.computeConnectivity = computeConnectivity;
    o.computeSecondaryStructure = computeSecondaryStructure;
    o.multipleAsTrajectory = multipleAsTrajectory;
    o.trajectoryReadMode = readMode;
}

}  // namespace velm
