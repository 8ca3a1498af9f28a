#include "dialogs/AtomRadiusForm.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/UiHooks.h"
#include "dialogs/FieldText.h"
#include "model/ColourSchemes.h"
#include "model/Molecule.h"
#include "model/RadiusSchemes.h"
#include "model/VelmDoc.h"

namespace velm {

namespace {

std::string ShortNumber(double r) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", r);
    return text;
}

}  // namespace

const char* AtomRadiusForm::SchemeText(RadiusScheme scheme) {
    static constexpr const char* kTexts[kRadiusSchemes] = {
        "Default Radius", "Radius by element", "Radius by atom", "Radius by PDB temperature field",
        "Radius by PDB occupancy field"};
    return scheme >= 0 && scheme < kRadiusSchemes ? kTexts[scheme] : "";
}

AtomRadiusForm::AtomRadiusForm(const CVelmDoc& document) {
    if (const Molecule* m = document.Primary()) scheme_ = m->radiusTable.scheme;
    if (scheme_ < 0 || scheme_ >= kRadiusSchemes) scheme_ = DefaultRadius;
    ShowCurrent(document);
}

bool AtomRadiusForm::Enabled(Control control) const {
    switch (control) {
    case ElementList: return scheme_ == RadiusByElement;
    case AtomNumber: return scheme_ == RadiusByAtom;
    case RadiusValue: return scheme_ == RadiusByElement || scheme_ == RadiusByAtom;
    }
    return false;
}

void AtomRadiusForm::ShowCurrent(const CVelmDoc& doc) {
    const Molecule* m = doc.Primary();
    if (scheme_ == RadiusByAtom) {
        int serial = 0;
        const int i = m && ReadFieldInteger(atomText_, serial) ? FindAtomBySerial(*m, serial) : -1;
        radiusText_ = ShortNumber(i < 0 ? 0.0 : m->atoms[static_cast<size_t>(i)].radius);
    } else {
        radiusText_ = ShortNumber(m ? m->radiusTable.radii[ClampElement(element_)] : DefaultElementRadii()[ClampElement(element_)]);
    }
}

void AtomRadiusForm::Choose(RadiusScheme scheme, const CVelmDoc& document) {
    if (scheme < 0 || scheme >= kRadiusSchemes) return;
    scheme_ = scheme;
    ShowCurrent(document);
}

void AtomRadiusForm::SelectElement(int element, const CVelmDoc& document) {
    element_ = ClampElement(element);
    ShowCurrent(document);
}

void AtomRadiusForm::TypeAtom(const std::string& text, const CVelmDoc& document) {
    atomText_ = text;
    ShowCurrent(document);
}

std::string AtomRadiusForm::Problem() const {
    if (!Enabled(RadiusValue)) return {};
    double r = 0;
    if (!ReadFieldReal(radiusText_, r)) return "Please enter a number.";
    if (r < 0 || r > kLargestRadius) return "Please enter a number between 0 and " + ShortNumber(kLargestRadius) + ".";
    return {};
}

bool AtomRadiusForm::Apply(CVelmDoc& doc, UiHooks& ui) {
    if (const std::string problem = Problem(); !problem.empty()) {
        ui.Message(problem);
        return false;
    }
    Molecule* m = doc.Primary();
    if (!m) return true;
    RadiusEdit edit;
    edit.scheme = scheme_;
    edit.element = element_;
    if (Enabled(RadiusValue)) ReadFieldReal(radiusText_, edit.radius);
    if (scheme_ == RadiusByAtom && (!ReadFieldInteger(atomText_, edit.atomSerial) || FindAtomBySerial(*m, edit.atomSerial) < 0))
        return true;
    doc.EditMolecule(*m, DocumentChange::Display, [&](Molecule& mol) { ApplyRadiusEdit(mol, mol.radiusTable, edit); });
    return true;
}

}  // namespace velm
