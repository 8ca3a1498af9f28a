// A trajectory read into a small molecule as users read one: the document's
// command with header checks, every step on the worker, and the frames
// post-processed in each read mode, Align included.
#include "analysis/MakeDocument.h"
#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "fuzz/FuzzSupport.h"
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
    const auto doc = velm::MakeDocument(ui);
    try {
        if (!doc->AddMoleculeFromFile(structure.Path())) return 0;
        doc->ReadTrajectoryIntoPrimary(trajectory.Path(), static_cast<int>(size % 3));
        doc->SetFrame(static_cast<int>(size % 7));
    } catch (const velm::VelmError&) {
    }
    return 0;
}
