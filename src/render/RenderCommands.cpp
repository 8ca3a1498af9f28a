#include "render/RenderCommands.h"

#include "model/Molecule.h"
#include "render/ColourSchemes.h"
#include "render/RadiusSchemes.h"
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

void RefreshAfterValuesChanged(Molecule& m, const ElementColours& elementColours, const ColourTables& tables,
                               PasteTarget target) {
    const ColourScheme field = target == PasteTarget::TemperatureFactor ? ColourByTemperature : ColourByOccupancy;
    if (m.colourScheme == field) Recolour(m, elementColours, tables, field);
    ReapplyRadiusScheme(m, m.radiusTable);
    m.UpdateBondSplitColours();
}

void ApplyRenderMode(ViewSettings& settings, list<std::unique_ptr<Molecule>>& molecules, RenderMode mode) {
    for (auto& m : molecules) {
        if (!m->selected) continue;
        m->renderMode = mode;
        PrepareRibbonSizes(*m, mode);
    }
    if (StickRadii radii; StickRadiiOf(mode, radii)) {
        settings.stickBondRadius = radii.bond;
        settings.stickAtomRadius = radii.atom;
    }
}

}  // namespace velm
