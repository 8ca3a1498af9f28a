#pragma once
// Reading a trajectory file into a molecule's frames: the header on the
// caller's thread, the steps on one worker thread behind a progress bar.
#include <functional>
#include <memory>
#include <string>

#include "core/UiHooks.h"
#include "model/DcdFile.h"
#include "model/FileType.h"

namespace velm {

class Molecule;

struct OpenTrajectory {
    std::unique_ptr<DcdFile> file;
    DcdHeader header;
};

// Clears the molecule's frames, opens the file and checks its header against
// the molecule. Throws VelmError with the program's messages.
OpenTrajectory ReadTrajectoryHeader(Molecule& molecule, const std::string& path, FileType type);

// Reads every step on a worker thread into frames of its own while this
// thread shows the progress and watches for "Cancel"; the molecule's frames
// become them once the worker has finished. False when cancelled (the
// molecule's frames are then as before); an error on the worker is thrown here.
bool ReadTrajectorySteps(Molecule& molecule, OpenTrajectory& trajectory, UiHooks& ui);

// The same over any step source: readStep fills 3 floats per atom and throws
// VelmError on failure.
bool ReadStepsOnWorker(Molecule& molecule, int steps, const std::function<void(float*)>& readStep, UiHooks& ui);

}  // namespace velm
