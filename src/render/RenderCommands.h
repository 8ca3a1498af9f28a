#pragma once
// The Render menu's representation commands as operations on the scene and
// the document's molecules.
#include <memory>

#include "core/List.h"
#include "model/RenderMode.h"

namespace velm {

class CVelmDoc;
class Molecule;
struct ViewSettings;

// The stick radii the three stick commands set, view-wide.
struct StickRadii {
    float bond, atom;
};
// Sticks 0.175 / 0.175, ball and stick 0.175 / 0.275, trace sticks
// 0.275 / 0.275; none for the other modes, which leave the radii alone.
bool StickRadiiOf(RenderMode mode, StickRadii& radii);

// One molecule's mode with its ribbon sizes and, for the stick modes, the
// view's stick radii.
void SetRenderMode(ViewSettings& settings, Molecule& molecule, RenderMode mode);
// A Render menu command: the mode of every selected molecule of the document.
void ApplyRenderMode(ViewSettings& settings, CVelmDoc& document, RenderMode mode);

}  // namespace velm
