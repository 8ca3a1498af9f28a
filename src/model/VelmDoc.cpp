#include "model/VelmDoc.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <new>
#include <set>
#include <utility>

#include "core/HeapUse.h"
#include "core/ReplacingFile.h"
#include "core/VelmError.h"
#include "model/MoleculeRecords.h"
#include "model/PdbFile.h"
#include "model/FrameStream.h"
#include "model/Trajectory.h"
#include "model/TrajectoryBudget.h"

namespace velm {

CVelmDoc::ChangeScope::ChangeScope(CVelmDoc& doc, DocumentChange what)
    : doc_(doc), exceptions_(std::uncaught_exceptions()) {
    ++doc_.depth_;
    doc_.Mark(what);
}

CVelmDoc::ChangeScope::~ChangeScope() noexcept(false) {
    if (--doc_.depth_ > 0) return;
    const DocumentChange what = std::exchange(doc_.pending_, DocumentChange::None);
    if (what == DocumentChange::None) return;
    // While an error unwinds, an observer's own failure must not end the
    // program: the error that is on its way is the one to report.
    if (std::uncaught_exceptions() > exceptions_) {
        try {
            doc_.observers_.ForEach([what](DocumentObserver& o) { o.DocumentChanged(what); });
        } catch (...) {
        }
        return;
    }
    doc_.observers_.ForEach([what](DocumentObserver& o) { o.DocumentChanged(what); });
}

CVelmDoc::CVelmDoc(UiHooks& ui) : ui_(ui) {
    for (int e = 0; e < kElementCount; ++e) {
        massTable[e] = GetElementInfo(e).mass;
        elementColours[e] = GetElementInfo(e).colour;
    }
}

void CVelmDoc::AnnounceSceneMoved() {
    observers_.ForEach([](DocumentObserver& o) { o.SceneMoved(); });
}

namespace {
std::unique_ptr<Molecule> NewMolecule() {
    try {
        return std::make_unique<Molecule>();
    } catch (const std::bad_alloc&) {
        throw VelmError("Unable to allocate memory for new molecule");
    }
}

void ClearFrames(Molecule& mol) {
    mol.frames.Clear();
    mol.frameCentres.clear();
    mol.currentFrame = 0;
}

}  // namespace

int CVelmDoc::AddMoleculeFromFile(const std::string& path, const std::string& name) {
    GiveBackFreeHeapAfter giveBack;
    ChangeScope changes(*this);
    WaitCursor wait(ui_);
    std::unique_ptr<Molecule> mol = NewMolecule();
    const int mode = options.multipleAsTrajectory ? options.trajectoryReadMode : Verbatim;
    const bool centred = ReadStructure(*mol, path, PdbType, mode);
    if (mol->atoms.empty()) return 0;
    if (!centred) PostProcessFrames(*mol, mode, ui_, frameAligner);
    mol->path = name.empty() ? path : name;
    AddMolecule(std::move(mol));
    ui_.SetStatusText("Ready");
    return 1;
}

void CVelmDoc::OpenCoordinatesAndTrajectory(const std::string& coordinates, FileType coordinateType,
                                            const std::string& trajectory, FileType trajectoryType, int mode) {
    GiveBackFreeHeapAfter giveBack;
    if (coordinates.empty()) throw VelmError("Please enter a coordinate file name");
    if (trajectory.empty()) throw VelmError("Please enter a trajectory file name");
    ChangeScope changes(*this);
    WaitCursor wait(ui_);
    try {
        std::unique_ptr<Molecule> mol = NewMolecule();
        ReadStructure(*mol, coordinates, coordinateType);
        mol->path = coordinates;
        ClearFrames(*mol);
        if (!ReadTrajectory(*mol, trajectory, trajectoryType))
            throw VelmError("Trajectory read has been cancelled");
        PostProcessFrames(*mol, mode, ui_, frameAligner);
        AddMolecule(std::move(mol));
        SetTitle(coordinates + "+" + trajectory);
        ui_.SetStatusText("Ready");
    } catch (const VelmError&) {
        throw;
    } catch (const std::exception&) {
        throw VelmError("Unable to read input files!");
    }
}

// Reads the trajectory into the molecule, whole when its frames fit the
// memory budget, else on demand; false when the user cancelled.
bool CVelmDoc::ReadTrajectory(Molecule& mol, const std::string& path, FileType type) {
    OpenTrajectory t = ReadTrajectoryHeader(mol, path, type);
    const TrajectorySource& source = *t.source;
    if (source.FrameCount() == 0) throw VelmError("The specified trajectory has zero steps!");
    const std::string notice = source.Notice();
    const std::int64_t frameBytes = std::int64_t{12} * source.AtomCount();
    const std::int64_t budget = TrajectoryMemoryBudget(options.trajectoryMemory);
    if (options.framesOnDemand || frameBytes * source.FrameCount() > budget) {
        StreamTrajectorySteps(mol, t, CacheFramesWithin(budget, frameBytes));
    } else if (!ReadTrajectorySteps(mol, t, ui_)) {
        return false;
    }
    if (!notice.empty()) ui_.Message(notice);
    return true;
}

void CVelmDoc::ReadTrajectoryIntoPrimary(const std::string& trajectory, int mode) {
    GiveBackFreeHeapAfter giveBack;
    if (!primary_) return;
    ChangeScope changes(*this, DocumentChange::Frames);
    WaitCursor wait(ui_);
    try {
        if (!ReadTrajectory(*primary_, trajectory, ByExtension))
            throw VelmError("Trajectory read has been canceled");
        PostProcessFrames(*primary_, mode, ui_, frameAligner);
    } catch (...) {
        DropPrimaryTrajectory();
        throw;
    }
    UpdateAnimationFrames();
    SetTitle(primary_->path + "+" + trajectory);
    ui_.SetStatusText("Ready");
}

void CVelmDoc::DropPrimaryTrajectory() {
    GiveBackFreeHeapAfter giveBack;
    if (!primary_) return;
    ChangeScope changes(*this, DocumentChange::Frames);
    ClearFrames(*primary_);
    PostProcessFrames(*primary_, Verbatim, ui_);
    UpdateAnimationFrames();
}

void CVelmDoc::SaveCoordinates(const std::string& path, int precision, bool writeConect, bool normalise,
                               FileType type) {
    if (type == ByExtension) type = FileTypeFromPath(path);
    if (type != PdbType) throw VelmError(type == XyzType || type == CrdType ? CoordinateReadRefusal(type) : "Unknown file type!");
    if (path.empty()) throw VelmError("Please enter a file name");
    ReplacingFile file(path);
    if (!file.Stream()) throw VelmError("Unable to open file for saving: " + file.Problem());
    int offset = 0, model = 0;
    try {
        for (const auto& m : molecules_) {
            model = WriteMolecule(file.Stream(), *m, offset, model, precision, writeConect, normalise, path);
            offset += m->AtomCount() + 1;
        }
    } catch (const VelmError& e) {
        // A write that failed (a full disk) is told with the system's reason.
        if (!file.StreamIsSound()) throw VelmError(e.text() + ": " + file.Problem());
        throw;
    }
    if (!file.Commit()) throw VelmError("Error saving pdb file, " + path + ": " + file.Problem());
}

void CVelmDoc::ExportTrajectory(const std::string& path, int start, int stop) const {
    if (path.empty()) throw VelmError("Please enter a file name.");
    if (!primary_ || primary_->FrameCount() == 0) throw VelmError("Cannot export a zero length trajectory");
    const Molecule& mol = *primary_;
    if (start < 1 || stop < start) throw VelmError("Invalid starting step");
    if (stop > mol.FrameCount()) throw VelmError("Invalid stopping step");
    for (const Atom& a : mol.atoms)
        if (a.model != mol.atoms.front().model)
            throw VelmError("Unable to export a trajectory for a multi-model data set.");

    const int steps = stop - start + 1;
    const int n = mol.AtomCount();
    try {
        PdbFile file(n * steps);
        for (int k = 0; k < steps; ++k) {
            for (int i = 0; i < n; ++i) {
                const Atom& a = mol.atoms[i];
                PdbAtomRecord& r = file.atoms[static_cast<size_t>(k) * n + i];
                const Vec3 p = mol.Position(i, start + k) - mol.centreShift;  // in the file's coordinates
                r.x = p.x;
                r.y = p.y;
                r.z = p.z;
                r.serial = a.serial;
                r.temperatureFactor = a.temperatureFactor;
                r.residueNumber = a.residueNumber;
                r.insertionCode = a.insertionCode;
                r.SetAtomName(a.Name());
                r.SetResName(a.ResidueName());
                r.chain = a.chainAsRead;
                const std::string_view symbol = a.ElementSymbol();
                symbol.copy(r.element, symbol.size());
                r.element[symbol.size()] = '\0';
                r.occupancy = static_cast<double>(k) / steps;
                r.model = k + 1;
            }
        }
        ReplacingFile out(path);
        if (!out.Stream()) throw VelmError("Unable to save " + path + ": " + out.Problem());
        file.Write(out.Stream(), 3, false);
        if (!out.Commit()) throw VelmError("Unable to save " + path + ": " + out.Problem());
    } catch (const std::bad_alloc&) {
        throw VelmError("Out of memory");
    } catch (const PdbColumnOverflow& e) {
        throw VelmError("Unable to save " + path + ": " + e.text());
    } catch (const VelmError& e) {
        if (e.text().rfind("Unable to save ", 0) == 0) throw;
        throw VelmError("Unable to save " + path);
    }
}

void CVelmDoc::SetTitle(const std::string& title) {
    if (title == title_) return;
    ChangeScope changes(*this, DocumentChange::Title);
    title_ = title;
}

void CVelmDoc::SetHydrogenBonds(list<DisplayHBond> bonds) {
    ChangeScope changes(*this, DocumentChange::HydrogenBonds);
    hydrogenBonds_ = std::move(bonds);
}

void CVelmDoc::AddMolecule(std::unique_ptr<Molecule> mol) {
    ChangeScope changes(*this, DocumentChange::Molecules | DocumentChange::Selection);
    for (auto& m : molecules_) m->selected = 0;
    mol->selected = 1;
    primary_ = molecules_.Append(std::move(mol)).get();
    UpdateAnimationFrames();
}

bool CVelmDoc::ReadStructure(Molecule& mol, const std::string& path, FileType type, std::optional<int> centring) {
    // The atoms' own values and the secondary structure are made while
    // another thread does the rest: with bonds, on the molecule while the
    // bonds are derived; without, on the chains made from the file's records
    // while the atoms are filled. Made before the bonds are applied, the
    // atoms' colours give the bonds their split colours as they are made.
    // The atoms are centred alongside too, when they are to be and have no
    // frames (whose alignment may have something to say), once nothing else
    // reads their places: after the secondary structure where it reads them,
    // else once they are made. Neither the bonds nor their derivation read
    // the atoms' places.
    const bool withBonds = options.computeConnectivity != 0;
    const bool assign = options.computeSecondaryStructure && assignSecondaryStructure;
    const bool onRecords = assign && !withBonds && assignSecondaryStructureOnRecords;
    const bool centreAfterStructure = assign && !onRecords;
    std::string problem;
    bool centred = false;
    const auto centre = [this, centring, &centred](Molecule& m) {
        if (!centring || m.FrameCount() > 0) return;
        PostProcessFrames(m, *centring, ui_, frameAligner);
        centred = true;
    };
    LoadWork work;
    work.status = assign ? "Assigning secondary structure ..." : "";
    work.onAtoms = [this, centre, centreAfterStructure](Molecule& m) {
        PrepareAtoms(m);
        if (!centreAfterStructure) centre(m);
    };
    if (onRecords)
        work.onChains = [this, &problem](std::vector<Chain>& chains, const std::vector<PdbAtomRecord>& records) {
            problem = assignSecondaryStructureOnRecords(chains, records);
        };
    else if (assign)
        work.onMolecule = [this, centre](Molecule& m) {
            assignSecondaryStructure(m, ui_);
            centre(m);
        };
    FaultInHeapAhead(StructureLoadBytes(path, type, withBonds));
    ReadCoordinateFile(mol, path, options.multipleAsTrajectory != 0, withBonds, type, ui_, work);
    if (!problem.empty()) ui_.Message(problem);
    return centred;
}

void CVelmDoc::PrepareAtoms(Molecule& mol) const {
    // Atoms take the radius of their element, as the molecule's default
    // radius scheme says, so that space-filling spheres have their sizes.
    for (Atom& a : mol.atoms) {
        a.SetColourFromElement(elementColours.data());
        a.mass = MassOf(a.element);
        // Elements the program has no type of still weigh what they weigh.
        if (a.element == UnknownElement && !a.ElementSymbol().empty())
            a.mass = FindChemicalElement(a.ElementSymbol())->mass;
        a.radius = mol.radiusTable.radii[ClampElement(a.element)];
    }
}

void CVelmDoc::UpdateAnimationFrames() {
    int most = 0;
    for (const auto& m : molecules_) most = std::max(most, m->FrameCount());
    animationFrames_ = 1 + most;
    currentFrame_ = 0;
    for (auto& m : molecules_) m->currentFrame = 0;
}

void CVelmDoc::SetFrame(int frame) {
    if (animationFrames_ <= 0) return;
    ChangeScope changes(*this, DocumentChange::CurrentFrame);
    currentFrame_ = ((frame % animationFrames_) + animationFrames_) % animationFrames_;
    for (auto& m : molecules_) {
        const int b = m->FrameCount();
        m->currentFrame = b > 0 ? currentFrame_ % (b + 1) : 0;
    }
    LoadShownFrames();
}

void CVelmDoc::LoadShownFrames() {
    bool cut = false;
    for (auto& m : molecules_) {
        FrameStream* stream = m->frames.Stream();
        if (!stream) continue;
        const int k = m->currentFrame;
        try {
            if (k > 0) (void)std::as_const(m->frames)[k - 1];
        } catch (const VelmError& e) {
            // The frames before it stay; the message says where the file broke.
            ui_.Message(e.text() + (k == 1 ? "; no frame before it" : k == 2 ? "; the frame before it is read"
                                                                     : "; the " + std::to_string(k - 1) + " frames before it are read"));
            m->frames.Truncate(k - 1);
            cut = true;
        }
        for (const std::string& text : stream->TakeNotices()) ui_.Message(text);
    }
    if (cut) {
        Mark(DocumentChange::Frames);
        UpdateAnimationFrames();
    }
}

void CVelmDoc::Step(int direction) {
    if (animationFrames_ <= 0) return;
    SetFrame(direction == 0 ? currentFrame_ + 1 : currentFrame_ - 1);
}

int CVelmDoc::IndexOf(const Molecule* molecule) const {
    int i = 0;
    for (const auto& m : molecules_) {
        if (m.get() == molecule) return i;
        ++i;
    }
    return -1;
}

void CVelmDoc::PrimaryOrFirst() {
    if (!primary_ && molecules_.Count() > 0) primary_ = molecules_[0].get();
    if (primary_) primary_->selected = 1;
}

void CVelmDoc::DeleteMolecules(const std::vector<int>& indices) {
    GiveBackFreeHeapAfter giveBack;
    ChangeScope changes(*this, DocumentChange::Molecules | DocumentChange::Selection);
    const std::set<int> doomed(indices.begin(), indices.end());
    // Bonds that name a deleted molecule would point nowhere; the display
    // recomputes them.
    if (!hydrogenBonds_.Empty()) {
        Mark(DocumentChange::HydrogenBonds);
        hydrogenBonds_.Clear();
    }
    for (auto it = doomed.rbegin(); it != doomed.rend(); ++it) {
        if (*it < 0 || *it >= molecules_.Count()) continue;
        if (molecules_[*it].get() == primary_) primary_ = nullptr;
        molecules_.Remove(*it);
    }
    PrimaryOrFirst();
    UpdateAnimationFrames();
}

void CVelmDoc::DuplicateMolecules(const std::vector<int>& indices) {
    ChangeScope changes(*this, DocumentChange::Molecules);
    std::vector<const Molecule*> originals;
    for (int i : indices)
        if (i >= 0 && i < molecules_.Count()) originals.push_back(molecules_[i].get());
    for (const Molecule* m : originals) molecules_.Append(std::make_unique<Molecule>(*m));
    PrimaryOrFirst();
    UpdateAnimationFrames();
}

void CVelmDoc::ToggleFixedFree(const std::vector<int>& indices) {
    ChangeScope changes(*this, DocumentChange::Selection);
    for (int i : indices)
        if (i >= 0 && i < molecules_.Count()) molecules_[i]->trackball.free = !molecules_[i]->trackball.free;
    PrimaryOrFirst();
}

void CVelmDoc::MakePrimary(int index) {
    if (index < 0 || index >= molecules_.Count()) return;
    ChangeScope changes(*this, DocumentChange::Molecules | DocumentChange::Selection);
    primary_ = molecules_[index].get();
    for (auto& m : molecules_) m->selected = m.get() == primary_ ? 1 : 0;
}

void CVelmDoc::ToggleSelection(const std::vector<int>& indices) {
    ChangeScope changes(*this, DocumentChange::Selection);
    for (int i : indices)
        if (i >= 0 && i < molecules_.Count()) molecules_[i]->selected = !molecules_[i]->selected;
    PrimaryOrFirst();
}

void CVelmDoc::SelectAll() {
    ChangeScope changes(*this, DocumentChange::Selection);
    for (auto& m : molecules_) m->selected = 1;
}

}  // namespace velm
