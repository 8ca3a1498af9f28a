#pragma once
// "Geometric Resolution/Polygon Count": one slider per tessellation number,
// each with its value beside it. "Apply" sends all six; with "Auto Apply"
// each movement sends its own value at once.
#include <array>
#include <string>

#include "render/GraphicsQuality.h"

namespace velm {

enum class ResolutionSlider : int { Atom = 0, Bond, Selection, Spline, Tension, Ribbon };
inline constexpr int kResolutionSliders = 6;

struct ResolutionSliderSpec {
    const char* label;
    int minimum, maximum;
};
ResolutionSliderSpec SliderSpec(ResolutionSlider slider);

class ResolutionForm {
public:
    explicit ResolutionForm(const Resolutions& current);

    int Position(ResolutionSlider slider) const { return positions_[static_cast<size_t>(slider)]; }
    // Positions outside the slider's range are clamped into it. With Auto
    // Apply on, the value is sent at once (the level turns Custom); the view
    // then rebuilds the lists it concerns and redraws.
    void Move(ResolutionSlider slider, int position, TessellationQuality& quality);
    // "%d", the tension "%.3f".
    std::string ValueText(ResolutionSlider slider) const;

    bool autoApply = false;  // "Apply" is disabled while it is on
    // "Apply": all six values.
    void Apply(TessellationQuality& quality) const;
    Resolutions Values() const;

private:
    void SendOne(ResolutionSlider slider, TessellationQuality& quality) const;

    std::array<int, kResolutionSliders> positions_{};
};

}  // namespace velm
