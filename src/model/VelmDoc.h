#pragma once
// The document: every loaded molecule, the primary one, the read options and
// the element tables that loading applies.
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "core/List.h"
#include "core/Rgba.h"
#include "core/UiHooks.h"
#include "model/ElementType.h"
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

    // Stages that live in the analysis layer, plugged in by the front end.
    std::function<void(Molecule&)> assignSecondaryStructure;
    FrameAligner frameAligner;

    // Loads a coordinate file as a new primary molecule: 1 on success, 0 when
    // the file holds no atoms. Throws VelmError.
    int AddMoleculeFromFile(const std::string& path);

    double MassOf(int element) const { return massTable[ClampElement(element)]; }
    UiHooks& Ui() { return ui_; }

private:
    UiHooks& ui_;
};

}  // namespace velm
