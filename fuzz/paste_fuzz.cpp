// Pasted text into a document's molecule in every mode and field, coloured
// and sized by what it pastes; the first bytes choose the mode and the serials.
#include <memory>
#include <string_view>

#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "model/Molecule.h"
#include "model/PastedValues.h"
#include "model/VelmDoc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    auto molecule = std::make_unique<velm::Molecule>();
    velm::Molecule& m = *molecule;
    for (int i = 0; i < 8; ++i) {
        velm::Atom a;
        a.serial = i * 2 + 1;
        m.atoms.push_back(a);
    }
    velm::Chain chain;
    for (int r = 0; r < 3; ++r) {
        velm::Residue residue;
        residue.atoms = {2 * r, 2 * r + 1};
        chain.residues.push_back(residue);
    }
    m.chains.push_back(chain);
    velm::PasteOptions o;
    o.mode = static_cast<velm::PasteMode>(data[0] % 4);
    o.target = static_cast<velm::PasteTarget>(data[1] % 2);
    o.serial = o.start = static_cast<int8_t>(data[2]);
    o.stop = o.start + data[0];
    m.colourScheme = o.target == velm::PasteTarget::Occupancy ? velm::ColourByOccupancy : velm::ColourByTemperature;
    velm::SilentUiHooks ui;
    velm::CVelmDoc doc(ui);
    doc.AddMolecule(std::move(molecule));
    try {
        velm::PasteValues(doc, std::string_view(reinterpret_cast<const char*>(data) + 3, size - 3), o, ui);
    } catch (const velm::VelmError&) {
    }
    return 0;
}
