#pragma once
// The Render menu's representation commands as operations on the scene and
// the document's molecules.
#include <memory>

#include "core/List.h"
#include "model/ColourTables.h"
#include "model/PastedValues.h"
#include "model/RenderMode.h"

namespace velm {

class Molecule;
struct ViewSettings;

// The stick radii the three stick commands set, view-wide.
struct StickRadii {
    float bond, atom;
};
// Sticks 0.175 / 0.175, ball and stick 0.175 / 0.275, trace sticks
// 0.275 / 0.275; none for the other modes, which leave the radii alone.
bool StickRadiiOf(RenderMode mode, StickRadii& radii);

// After pasted values changed a field: a molecule coloured by that field is
// coloured again, and its radius scheme applied again.
void RefreshAfterValuesChanged(Molecule& molecule, const ElementColours& elementColours, const ColourTables& tables,
                               PasteTarget target);

// Sets the mode of every selected molecule and, for the stick modes, the
// view's stick radii.
void ApplyRenderMode(ViewSettings& settings, list<std::unique_ptr<Molecule>>& molecules, RenderMode mode);

}  // namespace velm
