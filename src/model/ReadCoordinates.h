#pragma once
// Turning one coordinate file into a molecule, and centring it afterwards.
#include <functional>
#include <string>

#include "core/UiHooks.h"
#include "model/FileType.h"

namespace velm {

class Molecule;

// Fills `molecule` from a PDB file: models become frames when
// `multipleAsTrajectory` is set, chains and residues are built, bonds are
// derived when `connectivity` is set. Throws VelmError; on failure the
// molecule is left as it was.
void ReadCoordinateFile(Molecule& molecule, const std::string& path, bool multipleAsTrajectory, bool connectivity,
                        FileType type, UiHooks& ui);

enum TrajectoryReadMode : int { Verbatim = 0, ZeroCenterOfMass = 1, Align = 2 };

// Superimposes frame coordinates (x, y, z per atom, in place) onto the
// reference with the given weights; supplied by the analysis layer.
using FrameAligner = std::function<void(const Molecule& reference, float* frame, const double* weights)>;

// Centres the reference atoms on their centre of mass; in modes 1 and 2
// centres every frame too (recording the centre removed), in mode 2 then
// superimposes every frame on the reference. Updates the bounding box.
void PostProcessFrames(Molecule& molecule, int mode, UiHooks& ui, const FrameAligner& aligner = {});

// Bounding box over the reference atoms and every frame.
void UpdateBoundingBox(Molecule& molecule);

}  // namespace velm
