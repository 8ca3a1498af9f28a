#include "render/RenderCommands.h"

#include "model/Molecule.h"
#include "model/VelmDoc.h"
#include "render/Ribbons.h"
#include "render/ViewSettings.h"

namespace velm {

bool StickRadiiOf(RenderMode mode, StickRadii& radii) {
    switch (mode) {
    case Sticks: radii = {0.175f, 0.175f}; return true;
    case BallAndStick: radii = {0.175f, 0.275f}; return true;
    case TraceSticks: radii = {0.275f, 0.275f}; return true;
    default: return false;
    }
}

namespace {
void TakeStickRadii(ViewSettings& settings, RenderMode mode) {
    if (StickRadii radii; StickRadiiOf(mode, radii)) {
        settings.stickBondRadius = radii.bond;
        settings.stickAtomRadius = radii.atom;
    }
}
}  // namespace

void SetRenderMode(ViewSettings& settings, Molecule& m, RenderMode mode) {
    m.renderMode = mode;
    PrepareRibbonSizes(m, mode);
    TakeStickRadii(settings, mode);
}

void ApplyRenderMode(ViewSettings& settings, CVelmDoc& doc, RenderMode mode) {
    doc.EditSelected(DocumentChange::Display, [&](Molecule& m) { SetRenderMode(settings, m, mode); });
    // The radii are the view's: they follow the command with no molecule selected too.
    TakeStickRadii(settings, mode);
}

}  // namespace velm
