#pragma once
// Reading a trajectory file into a molecule's frames: the file opened by its
// content (DCD, XTC or TRR) and checked on the caller's thread, then either
// every frame read on one worker thread behind a progress bar, or the frames
// left in the file to be read on demand.
#include <functional>
#include <memory>
#include <string>

#include "core/UiHooks.h"
#include "model/FileType.h"
#include "model/TrajectorySource.h"

namespace velm {

class Molecule;

struct OpenTrajectory {
    std::unique_ptr<TrajectorySource> source;
};

// Clears the molecule's frames, opens the file and checks it against the
// molecule. Throws VelmError with the program's messages.
OpenTrajectory ReadTrajectoryHeader(Molecule& molecule, const std::string& path, FileType type);

// Reads every frame on a worker thread into frames of its own while this
// thread shows the progress and watches for "Cancel"; the molecule's frames
// become them once the worker has finished. False when cancelled (the
// molecule's frames are then as before). A frame that cannot be decoded ends
// the read there: the frames before it are kept and `ui` is told which frame
// stopped it; when it is the first, its error is thrown.
bool ReadTrajectorySteps(Molecule& molecule, OpenTrajectory& trajectory, UiHooks& ui);

// Leaves the frames in the file: the molecule's frames are read when asked
// for, `cacheFrames` of them kept around the one shown.
void StreamTrajectorySteps(Molecule& molecule, OpenTrajectory& trajectory, int cacheFrames);

// The same over any step source: readStep fills 3 floats per atom and throws
// VelmError on failure.
bool ReadStepsOnWorker(Molecule& molecule, int steps, const std::function<void(float*)>& readStep, UiHooks& ui);

}  // namespace velm
