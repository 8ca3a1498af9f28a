#pragma once
// Turning one coordinate file into a molecule, and centring it afterwards.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/UiHooks.h"
#include "model/FileType.h"

namespace velm {

class Molecule;
struct Chain;
struct PdbAtomRecord;

// Work on a molecule being read, done while another thread does the rest of
// the load. `onAtoms` runs here once the atoms are made, before the chains
// are there; `onMolecule` once the chains are made too. With bonds both run
// while the bonds are derived and before they are applied: they must not read
// the bonds or the hetero flags the bonds set. Without bonds the chains are
// made from the file's records here while the atoms are filled (and
// `onAtoms` runs) on the other thread, and `onChains` then works on them.
// `status`, unless empty, is shown before the chains' work starts.
struct LoadWork {
    std::string_view status;
    std::function<void(Molecule&)> onAtoms, onMolecule;
    std::function<void(std::vector<Chain>&, const std::vector<PdbAtomRecord>&)> onChains;
};

// Fills `molecule` from a PDB file: models become frames when
// `multipleAsTrajectory` is set, chains and residues are built, bonds are
// derived when `connectivity` is set, and `work` runs on a molecule of at
// least one atom, alongside the rest. Throws VelmError; on failure the
// molecule is left as it was.
void ReadCoordinateFile(Molecule& molecule, const std::string& path, bool multipleAsTrajectory, bool connectivity,
                        FileType type, UiHooks& ui, const LoadWork& work = {});

// What loading the structure file at `path` (PDB or mmCIF, by its name
// unless `type` says) is expected to take of the heap, from its text (a
// compressed text's size as its gzip trailer tells it, or four times the
// file's): with `bonds`, three and a half times the text and as much again
// up to 4 MB, for the gaps the blocks a small load frees and takes again
// leave; without, three times and half that margin (the secondary structure
// is assigned while the file's records are still held). 0 for any other
// file, or one that is not there.
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
