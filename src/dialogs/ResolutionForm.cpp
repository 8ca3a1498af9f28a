#include "dialogs/ResolutionForm.h"

#include <algorithm>
#include <cstdio>

namespace velm {

ResolutionSliderSpec SliderSpec(ResolutionSlider slider) {
    switch (slider) {
    case ResolutionSlider::Atom: return {"Atom\nResolution:", kAtomResolutionRange.minimum, kAtomResolutionRange.maximum};
    case ResolutionSlider::Bond: return {"Bond\nResolution:", kBondResolutionRange.minimum, kBondResolutionRange.maximum};
    case ResolutionSlider::Selection:
        return {"Atom/Torsion Selection Resolution:", kSelectionResolutionRange.minimum,
                kSelectionResolutionRange.maximum};
    case ResolutionSlider::Spline:
        return {"Spline Resolution:", kSplineResolutionRange.minimum, kSplineResolutionRange.maximum};
    case ResolutionSlider::Tension: return {"Spline Tension:", 0, kTensionSliderSteps};
    case ResolutionSlider::Ribbon:
        return {"Ribbon Resolution:", kRibbonResolutionRange.minimum, kRibbonResolutionRange.maximum};
    }
    return {"", 0, 0};
}

ResolutionForm::ResolutionForm(const Resolutions& r) {
    const int tension = TensionSliderPosition(r.tension);
    const std::array<int, kResolutionSliders> values{r.atom, r.bond, r.selection, r.spline, tension, r.ribbon};
    for (int i = 0; i < kResolutionSliders; ++i) {
        const ResolutionSliderSpec spec = SliderSpec(static_cast<ResolutionSlider>(i));
        positions_[static_cast<size_t>(i)] = std::clamp(values[static_cast<size_t>(i)], spec.minimum, spec.maximum);
    }
}

void ResolutionForm::Move(ResolutionSlider slider, int position, TessellationQuality& quality) {
    const ResolutionSliderSpec spec = SliderSpec(slider);
    positions_[static_cast<size_t>(slider)] = std::clamp(position, spec.minimum, spec.maximum);
    if (autoApply) SendOne(slider, quality);
}

std::string ResolutionForm::ValueText(ResolutionSlider slider) const {
    char text[32];
    if (slider == ResolutionSlider::Tension) std::snprintf(text, sizeof text, "%.3f", TensionFromSlider(Position(slider)));
    else std::snprintf(text, sizeof text, "%d", Position(slider));
    return text;
}

Resolutions ResolutionForm::Values() const {
    return {Position(ResolutionSlider::Atom),   Position(ResolutionSlider::Bond),
            Position(ResolutionSlider::Selection), Position(ResolutionSlider::Spline),
            Position(ResolutionSlider::Ribbon), TensionFromSlider(Position(ResolutionSlider::Tension))};
}

void ResolutionForm::Apply(TessellationQuality& quality) const { quality.SetCustom(Values()); }

void ResolutionForm::SendOne(ResolutionSlider slider, TessellationQuality& quality) const {
    const int v = Position(slider);
    switch (slider) {
    case ResolutionSlider::Atom: quality.SetAtomResolution(v); break;
    case ResolutionSlider::Bond: quality.SetBondResolution(v); break;
    case ResolutionSlider::Selection: quality.SetSelectionResolution(v); break;
    case ResolutionSlider::Spline: quality.SetSplineResolution(v); break;
    case ResolutionSlider::Tension: quality.SetSplineTension(TensionFromSlider(v)); break;
    case ResolutionSlider::Ribbon: quality.SetRibbonResolution(v); break;
    }
}

}  // namespace velm
