#pragma once
// Turning one coordinate file into a molecule, and centring it afterwards.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "core/UiHooks.h"
#include "model/FileType.h"

namespace velm {

class Molecule;

// Work on a molecule just read, done while its bonds are derived on another
// thread and before they are applied: it must not read the bonds or the
// hetero flags the bonds set. `status`, unless empty, is shown before it starts.
struct BesideBonds {
    std::string_view status;
    std::function<void(Molecule&)> work;
};

// Fills `molecule` from a PDB file: models become frames when
// `multipleAsTrajectory` is set, chains and residues are built, bonds are
// derived when `connectivity` is set, and `beside` runs on a molecule of at
// least one atom, alongside the bonds. Throws VelmError; on failure the
// molecule is left as it was.
void ReadCoordinateFile(Molecule& molecule, const std::string& path, bool multipleAsTrajectory, bool connectivity,
                        FileType type, UiHooks& ui, const BesideBonds& beside = {});

// What loading the structure file at `path` (PDB or mmCIF, by its name
// unless `type` says) is expected to take of the heap, from its text (a
// compressed text holds about four times its size): with `bonds`, three and
// a half times the text and as much again up to 4 MB, for the gaps the blocks
// a small load frees and takes again leave; without, two and a half times
// and a quarter of that margin (the secondary structure is then assigned in
// the memory the file's records leave). 0 for any other file, or one that is
// not there.
std::size_t StructureLoadBytes(const std::string& path, FileType type = ByExtension, bool bonds = true);

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
