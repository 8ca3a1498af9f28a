// A trajectory read into a small molecule: header checks, every step, and
// the frames post-processed in each mode.
#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "fuzz/FuzzSupport.h"
#include "model/FileType.h"
#include "model/ReadCoordinates.h"
#include "model/Trajectory.h"
#include "model/VelmDoc.h"

namespace {
// Three atoms, the size of the smallest trajectories in the seeds' headers.
constexpr char kStructure[] =
    "ATOM      1  N   ALA A   1       0.000   0.000   0.000  1.00  0.00           N\n"
    "ATOM      2  CA  ALA A   1       1.458   0.000   0.000  1.00  0.00           C\n"
    "ATOM      3  C   ALA A   1       2.009   1.420   0.000  1.00  0.00           C\n";
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velm::fuzz::InputFile structure(reinterpret_cast<const uint8_t*>(kStructure), sizeof kStructure - 1, ".pdb");
    velm::fuzz::InputFile trajectory(data, size, ".dcd");
    velm::SilentUiHooks ui;
    velm::CVelmDoc doc(ui);
    try {
        if (!doc.AddMoleculeFromFile(structure.Path())) return 0;
        velm::Molecule& m = *doc.primary;
        velm::OpenTrajectory t = velm::ReadTrajectoryHeader(m, trajectory.Path(), velm::ByExtension);
        if (velm::ReadTrajectorySteps(m, t, ui)) velm::PostProcessFrames(m, size % 2 ? velm::ZeroCenterOfMass : velm::Verbatim, ui);
    } catch (const velm::VelmError&) {
    }
    return 0;
}
