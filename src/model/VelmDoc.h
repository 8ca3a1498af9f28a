#pragma once
// The document: every loaded molecule, the primary one, the read options and
// the element tables that loading applies. What it holds changes only through
// its operations, and each operation tells the observers what it changed.
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/DocumentObserver.h"
#include "core/List.h"
#include "core/Rgba.h"
#include "core/UiHooks.h"
#include "model/ColourTables.h"
#include "model/DisplayHBond.h"
#include "model/ElementType.h"
#include "model/FileType.h"
#include "model/Molecule.h"
#include "model/PdbFile.h"
#include "model/ReadCoordinates.h"

namespace velm {

struct ReadOptions {
    int computeConnectivity = 1;
    int computeSecondaryStructure = 1;
    int multipleAsTrajectory = 0;
    int trajectoryReadMode = Verbatim;
    // Trajectories whose frames take more than this many megabytes are read
    // on demand (0: a quarter of the machine's memory); framesOnDemand
    // reads every trajectory so.
    int trajectoryMemory = 0;
    bool framesOnDemand = false;
};

class CVelmDoc {
public:
    explicit CVelmDoc(UiHooks& ui);
    CVelmDoc(const CVelmDoc&) = delete;
    CVelmDoc& operator=(const CVelmDoc&) = delete;

    const list<std::unique_ptr<Molecule>>& Molecules() const { return molecules_; }
    int MoleculeCount() const { return molecules_.Count(); }
    Molecule* Primary() const { return primary_; }
    const std::string& Title() const { return title_; }
    // Hydrogen bonds shown in the scene, refilled while their display is on.
    const list<DisplayHBond>& HydrogenBonds() const { return hydrogenBonds_; }

    ReadOptions options;  // for the reads to come
    std::array<double, kElementCount> massTable;
    ElementColours elementColours;
    ColourTables colourTables;  // secondary-structure and amino-acid colours

    // Stages of loading that live in the analysis layer, plugged in by
    // MakeDocument.
    std::function<void(Molecule&, UiHooks&)> assignSecondaryStructure;
    // The same on the chains made from a file's records, on any thread: the
    // message to show, or nothing. Loads without bonds use it.
    std::function<std::string(std::vector<Chain>&, const std::vector<PdbAtomRecord>&)>
        assignSecondaryStructureOnRecords;
    FrameAligner frameAligner;

    void AddObserver(DocumentObserver& observer) { observers_.Add(observer); }
    void RemoveObserver(DocumentObserver& observer) { observers_.Remove(observer); }
    // The view moved the scene: tells every observer.
    void AnnounceSceneMoved();

    // Loads a coordinate file as a new primary molecule called `name` (the
    // path unless given): 1 on success, 0 when the file holds no atoms.
    // Throws VelmError. A failed load leaves the document as it was.
    int AddMoleculeFromFile(const std::string& path, const std::string& name = {});

    // A molecule made elsewhere joins the document as its primary molecule,
    // alone selected.
    void AddMolecule(std::unique_ptr<Molecule> molecule);

    // Reads a coordinate file and a trajectory into a new primary molecule,
    // frames post-processed with `mode`; the title becomes both paths. Throws
    // VelmError ("Unable to read input files!" for any other failure),
    // leaving the document as it was.
    void OpenCoordinatesAndTrajectory(const std::string& coordinates, FileType coordinateType,
                                      const std::string& trajectory, FileType trajectoryType, int mode);

    // Reads a trajectory into the primary molecule (the command line's -dcd).
    // Throws VelmError, "Trajectory read has been canceled" when cancelled;
    // the primary molecule then has no frames.
    void ReadTrajectoryIntoPrimary(const std::string& trajectory, int mode);
    // The primary molecule without its trajectory, as after a failed read.
    void DropPrimaryTrajectory();

    // Writes every molecule, in list order, into one PDB file; the file is
    // replaced only when complete. Throws VelmError.
    void SaveCoordinates(const std::string& path, int precision, bool writeConect, bool normalise,
                         FileType type = PdbType);

    // Writes frames start..stop (1-based list frames) of the primary molecule
    // as a multi-model PDB file. Throws VelmError.
    void ExportTrajectory(const std::string& path, int start, int stop) const;

    void SetTitle(const std::string& title);
    void SetHydrogenBonds(list<DisplayHBond> bonds);

    // Animation: F = 1 + the most list frames of any molecule; c in 0..F-1,
    // back to 0 whenever molecules or trajectories come or go.
    int AnimationFrames() const { return animationFrames_; }
    int CurrentAnimationFrame() const { return currentFrame_; }
    void SetFrame(int frame);
    void Step(int direction);  // 0 forward, 1 reverse, wrapping

    // Molecule list commands on the molecules with the given list indices.
    void DeleteMolecules(const std::vector<int>& indices);
    void DuplicateMolecules(const std::vector<int>& indices);
    void ToggleFixedFree(const std::vector<int>& indices);
    void MakePrimary(int index);
    void ToggleSelection(const std::vector<int>& indices);
    void SelectAll();
    int IndexOf(const Molecule* molecule) const;

    // Changes to the molecules' own data made by commands of other layers
    // (render modes, colours, surfaces, superposition, pasted values): the
    // edit runs and `what` is announced, also when the edit throws.
    template <class Edit>
    void EditMolecule(Molecule& molecule, DocumentChange what, Edit&& edit) {
        ChangeScope scope(*this, what);
        edit(molecule);
    }
    template <class Edit>
    void EditSelected(DocumentChange what, Edit&& edit) {
        ChangeScope scope(*this, what);
        for (auto& m : molecules_)
            if (m->selected) edit(*m);
    }
    template <class Edit>
    void EditEvery(DocumentChange what, Edit&& edit) {
        ChangeScope scope(*this, what);
        for (auto& m : molecules_) edit(*m);
    }

    double MassOf(int element) const { return massTable[ClampElement(element)]; }
    UiHooks& Ui() { return ui_; }

private:
    // Collects what the operations inside it change and tells the observers
    // once, when the outermost one ends.
    class ChangeScope {
    public:
        explicit ChangeScope(CVelmDoc& doc, DocumentChange what = DocumentChange::None);
        ~ChangeScope() noexcept(false);
        ChangeScope(const ChangeScope&) = delete;
        ChangeScope& operator=(const ChangeScope&) = delete;

    private:
        CVelmDoc& doc_;
        int exceptions_;
    };
    void Mark(DocumentChange what) { pending_ |= what; }

    // Reads a structure, its secondary structure assigned (when it is to be)
    // and its atoms prepared alongside the rest of the load. Given a
    // `centring` mode, the molecule may be centred alongside too (as
    // PostProcessFrames centres it): true when it was.
    bool ReadStructure(Molecule& molecule, const std::string& path, FileType type,
                       std::optional<int> centring = std::nullopt);
    // Element colours, masses and radii.
    void PrepareAtoms(Molecule& molecule) const;
    void PrimaryOrFirst();
    void UpdateAnimationFrames();  // after molecules or trajectories came or went: recount F, c = 0
    // Reads the frames each molecule shows now when they come from the file;
    // a frame that cannot be read ends that trajectory before it.
    void LoadShownFrames();
    bool ReadTrajectory(Molecule& molecule, const std::string& path, FileType type);

    UiHooks& ui_;
    list<std::unique_ptr<Molecule>> molecules_;  // in load order
    Molecule* primary_ = nullptr;
    std::string title_ = "No Molecule Loaded";
    list<DisplayHBond> hydrogenBonds_;
    int animationFrames_ = 1;
    int currentFrame_ = 0;
    DocumentObservers observers_;
    DocumentChange pending_ = DocumentChange::None;
    int depth_ = 0;
};

}  // namespace velm
