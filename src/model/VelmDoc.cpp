#include "model/VelmDoc.h"

#include <new>

#include "core/VelmError.h"

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
    Molecule* mol = nullptr;
    try {
        mol = molecules.Append(std::make_unique<Molecule>()).get();
    } catch (const std::bad_alloc&) {
        VELM_THROW("Unable to allocate memory for new molecule");
    }
    for (auto& m : molecules) m->selected = 0;
    primary = mol;
    mol->selected = 1;

    mol->frames.Clear();
    mol->frameCentres.clear();
    ReadCoordinateFile(*mol, path, options.multipleAsTrajectory != 0, options.computeConnectivity != 0, PdbType, ui_);
    if (mol->atoms.empty()) return 0;

    if (options.computeSecondaryStructure && assignSecondaryStructure) {
        ui_.SetStatusText("Assigning secondary structure ...");
        assignSecondaryStructure(*mol);
    }
    for (Atom& a : mol->atoms) {
        a.SetColourFromElement(elementColours.data());
        a.mass = MassOf(a.element);
    }
    mol->UpdateBondSplitColours();
    PostProcessFrames(*mol, options.multipleAsTrajectory ? options.trajectoryReadMode : Verbatim, ui_,
                      frameAligner);
    mol->path = path;
    ui_.SetStatusText("Ready");
    return 1;
}

}  // namespace velm
