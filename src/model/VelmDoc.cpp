#include "model/VelmDoc.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <set>

#include "core/ReplacingFile.h"
#include "core/VelmError.h"
#include "model/MoleculeRecords.h"
#include "model/PdbFile.h"
#include "model/Trajectory.h"

namespace velm {

namespace {
constexpr const char* kSource = "VelmDoc";
}

CVelmDoc::CVelmDoc(UiHooks& ui) : ui_(ui) {
    for (int e = 0; e < kElementCount; ++e) {
        massTable[e] = GetElementInfo(e).mass;
        elementColours[e] = GetElementInfo(e).colour;
    }
}

int CVelmDoc::AddMoleculeFromFile(const std::string& path) {
    WaitCursor wait(ui_);
    Molecule* mol = NewPrimaryMolecule();
    ReadCoordinateFile(*mol, path, options.multipleAsTrajectory != 0, options.computeConnectivity != 0, PdbType, ui_);
    if (mol->atoms.empty()) return 0;
    PrepareLoaded(*mol);
    PostProcessFrames(*mol, options.multipleAsTrajectory ? options.trajectoryReadMode : Verbatim, ui_,
                      frameAligner);
    mol->path = path;
    UpdateAnimationFrames();
    ui_.SetStatusText("Ready");
    return 1;
}

namespace {

// Reads the trajectory into the molecule; false when the user cancelled.
bool ReadTrajectory(Molecule& mol, const std::string& path, FileType type, UiHooks& ui) {
    OpenTrajectory t = ReadTrajectoryHeader(mol, path, type);
    if (t.header.steps == 0) VELM_THROW("The specified trajectory has zero steps!");
    return ReadTrajectorySteps(mol, t, ui);
}

void ClearFrames(Molecule& mol) {
    mol.frames.Clear();
    mol.frameCentres.clear();
    mol.currentFrame = 0;
}


}  // namespace

bool CVelmDoc::OpenCoordinatesAndTrajectory(const std::string& coordinates, FileType coordinateType,
                                            const std::string& trajectory, FileType trajectoryType, int mode) {
    if (coordinates.empty()) {
        ui_.Message("Please enter a coordinate file name");
        return false;
    }
    if (trajectory.empty()) {
        ui_.Message("Please enter a trajectory file name");
        return false;
    }
    WaitCursor wait(ui_);
    Molecule* mol = nullptr;
    try {
        mol = NewPrimaryMolecule();
        ReadCoordinateFile(*mol, coordinates, options.multipleAsTrajectory != 0, options.computeConnectivity != 0,
                           coordinateType, ui_);
        mol->path = coordinates;
        if (mol->AtomCount() > 0) PrepareLoaded(*mol);
        ClearFrames(*mol);
        if (!ReadTrajectory(*mol, trajectory, trajectoryType, ui_)) VELM_THROW("Trajectory read has been cancelled");
        PostProcessFrames(*mol, mode, ui_, frameAligner);
        title = coordinates + "+" + trajectory;
        ui_.SetStatusText("Ready");
        UpdateAnimationFrames();
        return true;
    } catch (const VelmError& e) {
        if (mol) ClearFrames(*mol);
        ui_.Message(e.shownText());
    } catch (const std::exception&) {
        if (mol) ClearFrames(*mol);
        ui_.Message("Unable to read input files!");
    }
    UpdateAnimationFrames();
    return false;
}

void CVelmDoc::ReadTrajectoryIntoPrimary(const std::string& trajectory, int mode) {
    if (!primary) return;
    WaitCursor wait(ui_);
    try {
        if (!ReadTrajectory(*primary, trajectory, ByExtension, ui_)) VELM_THROW("Trajectory read has been canceled");
        PostProcessFrames(*primary, mode, ui_, frameAligner);
    } catch (...) {
        ClearFrames(*primary);
        PostProcessFrames(*primary, Verbatim, ui_);
        UpdateAnimationFrames();
        throw;
    }
    title = primary->path + "+" + trajectory;
    ui_.SetStatusText("Ready");
    UpdateAnimationFrames();
}

void CVelmDoc::SaveCoordinates(const std::string& path, int precision, bool writeConect, bool normalise,
                               FileType type) {
    if (type == ByExtension) type = FileTypeFromPath(path);
    if (type != PdbType) VELM_THROW(type == XyzType || type == CrdType ? CoordinateReadRefusal(type) : "Unknown file type!");
    ReplacingFile file(path);
    if (!file.Stream()) VELM_THROW("Unable to open file for saving");
    int offset = 0;
    for (const auto& m : molecules) {
        WriteMolecule(file.Stream(), *m, offset, precision, writeConect, normalise, path);
        offset += m->AtomCount() + 1;
    }
    if (!file.Commit()) VELM_THROW("Error saving pdb file, " + path);
}

void CVelmDoc::ExportTrajectory(const std::string& path, int start, int stop) {
    if (!primary || primary->FrameCount() == 0) VELM_THROW("Cannot export a zero length trajectory");
    const Molecule& mol = *primary;
    if (start < 1 || stop < start) VELM_THROW("Invalid starting step");
    if (stop > mol.FrameCount()) VELM_THROW("Invalid stopping step");
    for (const Atom& a : mol.atoms)
        if (a.model != mol.atoms.front().model)
            VELM_THROW("Unable to export a trajectory for a multi-model data set.");

    const int steps = stop - start + 1;
    const int n = mol.AtomCount();
    try {
        PdbFile file(n * steps);
        for (int k = 0; k < steps; ++k) {
            for (int i = 0; i < n; ++i) {
                const Atom& a = mol.atoms[i];
                PdbAtomRecord& r = file.atoms[static_cast<size_t>(k) * n + i];
                const Vec3 p = mol.Position(i, start + k);
                r.x = p.x;
                r.y = p.y;
                r.z = p.z;
                r.serial = a.serial;
                r.temperatureFactor = a.temperatureFactor;
                r.residueNumber = a.residueNumber;
                r.insertionCode = a.insertionCode;
                r.SetAtomName(a.Name());
                r.SetResName(a.ResidueName());
                r.chain = a.chain;
                r.occupancy = static_cast<double>(k) / steps;
                r.model = k + 1;
            }
        }
        ReplacingFile out(path);
        if (!out.Stream()) VELM_THROW("Unable to save " + path);
        file.Write(out.Stream(), 3, false);
        if (!out.Commit()) VELM_THROW("Unable to save " + path);
    } catch (const std::bad_alloc&) {
        VELM_THROW("Out of memory");
    } catch (const VelmError& e) {
        if (e.text().rfind("Unable to save ", 0) == 0) throw;
        VELM_THROW("Unable to save " + path);
    }
}

Molecule* CVelmDoc::NewPrimaryMolecule() {
    Molecule* mol = nullptr;
    try {
        mol = molecules.Append(std::make_unique<Molecule>()).get();
    } catch (const std::bad_alloc&) {
        VELM_THROW("Unable to allocate memory for new molecule");
    }
    for (auto& m : molecules) m->selected = 0;
    primary = mol;
    mol->selected = 1;
    return mol;
}

void CVelmDoc::PrepareLoaded(Molecule& mol) {
    if (options.computeSecondaryStructure && assignSecondaryStructure) {
        ui_.SetStatusText("Assigning secondary structure ...");
        assignSecondaryStructure(mol);
    }
    // Atoms take the radius of their element, as the molecule's default
    // radius scheme says, so that space-filling spheres have their sizes.
    for (Atom& a : mol.atoms) {
        a.SetColourFromElement(elementColours.data());
        a.mass = MassOf(a.element);
        a.radius = mol.radiusTable.radii[ClampElement(a.element)];
    }
    mol.UpdateBondSplitColours();
}

void CVelmDoc::UpdateAnimationFrames() {
    int most = 0;
    for (const auto& m : molecules) most = std::max(most, m->FrameCount());
    animationFrames_ = 1 + most;
    SetFrame(0);
}

void CVelmDoc::SetFrame(int frame) {
    if (animationFrames_ <= 0) return;
    currentFrame_ = ((frame % animationFrames_) + animationFrames_) % animationFrames_;
    for (auto& m : molecules) {
        const int b = m->FrameCount();
        m->currentFrame = b > 0 ? currentFrame_ % (b + 1) : 0;
    }
}

void CVelmDoc::Step(int direction) {
    if (animationFrames_ <= 0) return;
    SetFrame(direction == 0 ? currentFrame_ + 1 : currentFrame_ - 1);
}

int CVelmDoc::IndexOf(const Molecule* molecule) const {
    int i = 0;
    for (const auto& m : molecules) {
        if (m.get() == molecule) return i;
        ++i;
    }
    return -1;
}

void CVelmDoc::PrimaryOrFirst() {
    if (!primary && molecules.Count() > 0) primary = molecules[0].get();
    if (primary) primary->selected = 1;
}

void CVelmDoc::DeleteMolecules(const std::vector<int>& indices) {
    const std::set<int> doomed(indices.begin(), indices.end());
    // Bonds that name a deleted molecule would point nowhere; the display
    // recomputes them.
    hydrogenBonds.Clear();
    for (auto it = doomed.rbegin(); it != doomed.rend(); ++it) {
        if (*it < 0 || *it >= molecules.Count()) continue;
        if (molecules[*it].get() == primary) primary = nullptr;
        molecules.Remove(*it);
    }
    PrimaryOrFirst();
    UpdateAnimationFrames();
}

void CVelmDoc::DuplicateMolecules(const std::vector<int>& indices) {
    std::vector<const Molecule*> originals;
    for (int i : indices)
        if (i >= 0 && i < molecules.Count()) originals.push_back(molecules[i].get());
    for (const Molecule* m : originals) molecules.Append(std::make_unique<Molecule>(*m));
    PrimaryOrFirst();
    UpdateAnimationFrames();
}

void CVelmDoc::ToggleFixedFree(const std::vector<int>& indices) {
    for (int i : indices)
        if (i >= 0 && i < molecules.Count()) molecules[i]->trackball.free = !molecules[i]->trackball.free;
    PrimaryOrFirst();
}

void CVelmDoc::MakePrimary(int index) {
    if (index < 0 || index >= molecules.Count()) return;
    primary = molecules[index].get();
    for (auto& m : molecules) m->selected = m.get() == primary ? 1 : 0;
}

void CVelmDoc::ToggleSelection(const std::vector<int>& indices) {
    for (int i : indices)
        if (i >= 0 && i < molecules.Count()) molecules[i]->selected = !molecules[i]->selected;
    PrimaryOrFirst();
}

}  // namespace velm
