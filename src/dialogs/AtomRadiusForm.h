#pragma once
// "Atom Radius": the radius schemes of the primary molecule. Five radio
// buttons, the element list, an atom-number edit and "Radius:" in
// "(Angstroms)"; "Apply" and OK size the atoms.
#include <string>

#include "model/RadiusTable.h"

namespace velm {

class CVelmDoc;
class UiHooks;

class AtomRadiusForm {
public:
    static constexpr const char* kTitle = "Atom Radius";
    // Larger spheres would only hide the scene, and make a surface grid
    // over them unboundedly large.
    static constexpr double kLargestRadius = 100;
    static const char* SchemeText(RadiusScheme scheme);

    enum Control { ElementList, AtomNumber, RadiusValue };

    // Opens at the primary molecule's scheme and the first element.
    explicit AtomRadiusForm(const CVelmDoc& document);

    RadiusScheme Scheme() const { return scheme_; }
    int Element() const { return element_; }
    const std::string& AtomText() const { return atomText_; }
    const std::string& RadiusText() const { return radiusText_; }
    bool Enabled(Control control) const;

    void Choose(RadiusScheme scheme, const CVelmDoc& document);
    // Shows the element's table radius.
    void SelectElement(int element, const CVelmDoc& document);
    // Shows that atom's radius, or 0 when no atom has the number.
    void TypeAtom(const std::string& text, const CVelmDoc& document);
    void TypeRadius(const std::string& text) { radiusText_ = text; }

    // The message that keeps the dialog open; empty when the radius is a
    // number from 0 to kLargestRadius or the scheme does not use it.
    std::string Problem() const;
    // "Apply" (and OK) on the primary molecule: false, with the message
    // shown and nothing changed, when the radius is refused. An atom number
    // that no atom has changes nothing.
    bool Apply(CVelmDoc& document, UiHooks& ui);

private:
    void ShowCurrent(const CVelmDoc& document);

    RadiusScheme scheme_ = DefaultRadius;
    int element_ = 0;
    std::string atomText_, radiusText_;
};

}  // namespace velm
