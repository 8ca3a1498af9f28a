#pragma once
// The surface options sheet: the "Render" page (resolution, method, solvent,
// probe radius, "Rebuild Surface") and the "Color" page (colour by atom or a
// user colour, transparency, "Automatic apply"). Values open as the primary
// molecule's surface has them; "Apply" sets them on every selected molecule.
#include <array>
#include <string>

#include "surface/SurfaceOptions.h"

namespace velm {

class CVelmDoc;
class UiHooks;

class SurfaceOptionsForm {
public:
    static constexpr float kMinimumProbe = 0, kMaximumProbe = 3;
    static constexpr const char* kMethod = "Heuristic vanDerWaals Surface";  // the only entry, index 0
    static constexpr const char* kNote = "Note: These options are not applied \nto an existing surface";

    // From the primary molecule's surface, or the defaults without one.
    explicit SurfaceOptionsForm(const CVelmDoc& document);

    // Render page.
    int resolutionPosition = 70;  // 0..100, "Low" to "High"
    int method = 0;
    bool includeSolvent = false;
    std::string probeText = "0";  // "Probe Sphere Radius:"
    // The message that keeps the focus on the probe field; empty when valid.
    std::string ProbeProblem() const;

    // Color page.
    bool colourByAtom = true;
    bool transparency = false;  // off whenever the sheet is made
    int alpha = 255;            // the transparency slider, 0..255
    bool automaticApply = true;
    std::string AlphaText() const;  // "Alpha = %d"
    bool TransparencyEnabled() const { return colourByAtom; }
    bool AlphaEnabled() const { return colourByAtom && transparency; }
    bool ComponentsEnabled() const { return !colourByAtom; }
    int Component(int i) const { return rgba_[static_cast<size_t>(i)]; }
    // R, G, B or A typed: taken when it is an integer in 0..255.
    bool SetComponent(int i, const std::string& text);
    // Slider and alpha clamped into 0..255 and 0..100.
    void SetAlpha(int value);
    void SetResolution(int position);

    // What "Apply" sets; the probe must be valid.
    SurfaceOptions Options() const;

    // "Apply": every selected molecule, false (and the message shown) when
    // the probe is not valid.
    bool Apply(CVelmDoc& document, UiHooks& ui) const;
    // A change on the Color page: applied at once under "Automatic apply".
    void ColourChanged(CVelmDoc& document, UiHooks& ui) const;
    // "OK": validate, apply; true when the sheet may close.
    bool Ok(CVelmDoc& document, UiHooks& ui) const { return Apply(document, ui); }
    // "Rebuild Surface": apply, then build every selected molecule's surface
    // under the wait cursor. A failed build is shown and the next molecule
    // goes on; a cancelled one stops the rebuild. False when nothing was
    // applied or the user cancelled.
    bool Rebuild(CVelmDoc& document, UiHooks& ui) const;

private:
    bool ParseProbe(float& probe) const;

    std::array<int, 4> rgba_{128, 128, 128, 255};
};

}  // namespace velm
