#pragma once
// How finely spheres, cylinders, splines and ribbons are tessellated: three
// preset levels and a custom one whose numbers come from the resolution dialog.
#include <optional>
#include <string_view>

namespace velm {

enum class GraphicsQuality : int { High = 0, Medium, Low, Custom };

struct Resolutions {
    int atom = 15;       // slices of the atom sphere cap (list 2)
    int bond = 15;       // slices of the bond cylinder (list 5)
    int selection = 20;  // slices of lists 1, 3, 4 and 6
    int spline = 5;      // backbone spline points per residue
    int ribbon = 5;      // cross-section points of tubes and ribbons
    float tension = 1.25f;
    bool operator==(const Resolutions&) const = default;
};

// The ranges of the dialog's sliders; tension runs 1 to 2 in 30 steps.
struct ResolutionRange {
    int minimum, maximum;
};
inline constexpr ResolutionRange kAtomResolutionRange{2, 75};
inline constexpr ResolutionRange kBondResolutionRange{2, 75};
inline constexpr ResolutionRange kSelectionResolutionRange{3, 75};
inline constexpr ResolutionRange kSplineResolutionRange{0, 50};
inline constexpr ResolutionRange kRibbonResolutionRange{3, 50};
inline constexpr int kTensionSliderSteps = 30;

// "High", "Medium", "Low", "Custom ...".
std::string_view GraphicsQualityMenuText(GraphicsQuality level);
// The level stored under the settings key; none for a number out of range.
std::optional<GraphicsQuality> GraphicsQualityFromInt(int value);
// The numbers of a preset level; none for Custom.
std::optional<Resolutions> QualityPreset(GraphicsQuality level);

// The tension slider: position v gives 1 + v/30; it opens at (tension - 1) x 30, truncated.
float TensionFromSlider(int position);
int TensionSliderPosition(float tension);

// The view's level and numbers. Values outside the sliders' ranges are
// clamped into them, so a bad settings file cannot ask for a million slices.
class TessellationQuality {
public:
    TessellationQuality() = default;  // Medium
    // As restored from the settings: the level and the numbers as stored.
    TessellationQuality(GraphicsQuality level, const Resolutions& values);

    GraphicsQuality Level() const { return level_; }
    const Resolutions& Values() const { return values_; }

    // A preset copies its numbers; Custom keeps the current ones.
    void SetLevel(GraphicsQuality level);

    // Each value the dialog sends turns the level to Custom. The caller
    // updates the display lists (DisplayLists::Update) and redraws.
    void SetAtomResolution(int slices);
    void SetBondResolution(int slices);
    void SetSelectionResolution(int slices);
    void SetSplineResolution(int points);
    void SetRibbonResolution(int points);
    void SetSplineTension(float tension);
    // All six at once, as "Apply" sends them.
    void SetCustom(const Resolutions& values);

private:
    GraphicsQuality level_ = GraphicsQuality::Medium;
    Resolutions values_;
};

}  // namespace velm
