#pragma once
// The document: every loaded molecule, the primary one, the read options and
// the element tables that loading applies.
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/List.h"
#include "core/Rgba.h"
#include "core/UiHooks.h"
#include "model/ColourTables.h"
#include "model/DisplayHBond.h"
#include "model/ElementType.h"
#include "model/FileType.h"
#include "model/Molecule.h"
#include "model/ReadCoordinates.h"

namespace velm {

struct ReadOptions {
    int computeConnectivity = 1;
    int computeSecondaryStructure = 1;
    int multipleAsTrajectory = 0;
    int trajectoryReadMode = Verbatim;
};

class CVelmDoc {
public:
    explicit CVelmDoc(UiHooks& ui);

    list<std::unique_ptr<Molecule>> molecules;  // in load order
    Molecule* primary = nullptr;
    ReadOptions options;
    std::array<double, kElementCount> massTable;
    std::array<Rgba, kElementCount> elementColours;
    ColourTables colourTables;  // secondary-structure and amino-acid colours

    // Stages that live in the analysis layer, plugged in by the front end.
    std::function<void(Molecule&)> assignSecondaryStructure;
    FrameAligner frameAligner;

    std::string title = "No Molecule Loaded";
    // Hydrogen bonds shown in the scene, refilled while their display is on.
    list<DisplayHBond> hydrogenBonds;

    // Loads a coordinate file as a new primary molecule: 1 on success, 0 when
    // the file holds no atoms. Throws VelmError.
    int AddMoleculeFromFile(const std::string& path);

    // Reads a coordinate file and a trajectory into a new molecule, frames
    // post-processed with `mode`. Problems are shown through the UI hooks;
    // false when nothing was read (the molecule then has no frames).
    bool OpenCoordinatesAndTrajectory(const std::string& coordinates, FileType coordinateType,
                                      const std::string& trajectory, FileType trajectoryType, int mode);

    // Reads a trajectory into the primary molecule (the command line's -dcd).
    // Throws VelmError, "Trajectory read has been canceled" when cancelled.
    void ReadTrajectoryIntoPrimary(const std::string& trajectory, int mode);

    // Writes every molecule, in list order, into one PDB file; the file is
    // replaced only when complete. Throws VelmError.
    void SaveCoordinates(const std::string& path, int precision, bool writeConect, bool normalise,
                         FileType type = PdbType);

    // Writes frames start..stop (1-based list frames) of the primary molecule
    // as a multi-model PDB file. Throws VelmError.
    void ExportTrajectory(const std::string& path, int start, int stop);

    // Animation: F = 1 + the most list frames of any molecule; c in 0..F-1.
    int AnimationFrames() const { return animationFrames_; }
    int CurrentAnimationFrame() const { return currentFrame_; }
    void UpdateAnimationFrames();  // after molecules came or went: recount F, c = 0
    void SetFrame(int frame);
    void Step(int direction);  // 0 forward, 1 reverse, wrapping

    // Molecule list commands on the molecules with the given list indices.
    void DeleteMolecules(const std::vector<int>& indices);
    void DuplicateMolecules(const std::vector<int>& indices);
    void ToggleFixedFree(const std::vector<int>& indices);
    void MakePrimary(int index);
    void ToggleSelection(const std::vector<int>& indices);
    int IndexOf(const Molecule* molecule) const;

    double MassOf(int element) const { return massTable[ClampElement(element)]; }
    UiHooks& Ui() { return ui_; }

private:
    // A new, empty molecule at the end of the list, primary and alone selected.
    Molecule* NewPrimaryMolecule();
    // Secondary structure, element colours and masses, split-colour flags.
    void PrepareLoaded(Molecule& molecule);
    void PrimaryOrFirst();
    UiHooks& ui_;
    int animationFrames_ = 1;
    int currentFrame_ = 0;
};

}  // namespace velm
