#include "dialogs/SurfaceOptionsForm.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/UiHooks.h"
#include "dialogs/FieldText.h"
#include "core/VelmError.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"
#include "surface/SurfaceBuild.h"

namespace velm {

namespace {

std::string ShortReal(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(v));
    return text;
}

}  // namespace

SurfaceOptionsForm::SurfaceOptionsForm(const CVelmDoc& document) {
    const VelmSurface defaults;
    const VelmSurface& s = document.Primary() ? document.Primary()->surface : defaults;
    resolutionPosition = std::clamp(SurfaceResolutionPosition(s.spacing), 0, 100);
    includeSolvent = s.includeSolvent;
    probeText = ShortReal(s.probeRadius);
    colourByAtom = s.colourByAtom;
    alpha = s.transparencyAlpha;
    rgba_ = {s.userColour.r, s.userColour.g, s.userColour.b, s.userColour.a};
}

bool SurfaceOptionsForm::ParseProbe(float& probe) const {
    double v = 0;
    if (!ReadFieldReal(probeText, v)) return false;
    probe = static_cast<float>(v);
    return true;
}

std::string SurfaceOptionsForm::ProbeProblem() const {
    float probe = 0;
    if (!ParseProbe(probe)) return "Please enter a number.";
    if (probe < kMinimumProbe || probe > kMaximumProbe)
        return "Please enter a number between " + ShortReal(kMinimumProbe) + " and " + ShortReal(kMaximumProbe) + ".";
    return {};
}

std::string SurfaceOptionsForm::AlphaText() const { return "Alpha = " + std::to_string(alpha); }

bool SurfaceOptionsForm::SetComponent(int i, const std::string& text) {
    if (i < 0 || i > 3) return false;
    const std::string_view t = TrimmedField(text);
    int v = -1;
    const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (t.empty() || error != std::errc{} || end != t.data() + t.size() || v < 0 || v > 255) return false;
    rgba_[static_cast<size_t>(i)] = v;
    return true;
}

void SurfaceOptionsForm::SetAlpha(int value) { alpha = std::clamp(value, 0, 255); }
void SurfaceOptionsForm::SetResolution(int position) { resolutionPosition = std::clamp(position, 0, 100); }

SurfaceOptions SurfaceOptionsForm::Options() const {
    SurfaceOptions o;
    if (colourByAtom) {
        o.atomAlpha = static_cast<std::uint8_t>(transparency ? alpha : 255);
    } else {
        o.userColour = Rgba{static_cast<std::uint8_t>(rgba_[0]), static_cast<std::uint8_t>(rgba_[1]),
                            static_cast<std::uint8_t>(rgba_[2]), static_cast<std::uint8_t>(rgba_[3])};
        // The atoms' colours keep their own alpha while a user colour is shown.
        o.atomAlpha = 255;
    }
    float probe = 0;
    ParseProbe(probe);
    o.probeRadius = probe;
    o.resolutionPosition = resolutionPosition;
    o.includeSolvent = includeSolvent;
    return o;
}

bool SurfaceOptionsForm::Apply(CVelmDoc& document, UiHooks& ui) const {
    if (const std::string p = ProbeProblem(); !p.empty()) {
        ui.Message(p);
        return false;
    }
    const SurfaceOptions o = Options();
    document.EditSelected(DocumentChange::Display, [&o](Molecule& m) { ApplySurfaceOptions(m.surface, o); });
    return true;
}

void SurfaceOptionsForm::ColourChanged(CVelmDoc& document, UiHooks& ui) const {
    if (automaticApply) Apply(document, ui);
}

bool SurfaceOptionsForm::Rebuild(CVelmDoc& document, UiHooks& ui) const {
    if (!Apply(document, ui)) return false;
    std::vector<Molecule*> chosen;
    for (const auto& m : document.Molecules())
        if (m->selected) chosen.push_back(m.get());
    WaitCursor wait(ui);
    for (Molecule* m : chosen) {
        bool finished = true;
        try {
            document.EditMolecule(*m, DocumentChange::Display, [&](Molecule& mol) { finished = BuildSurface(mol, ui); });
        } catch (const VelmError& e) {
            ui.ProgressEnd();
            ui.Message(e.shownText());
            continue;
        }
        if (!finished) return false;
    }
    return true;
}

}  // namespace velm
