#include "analysis/MakeDocument.h"

#include "analysis/Kabsch.h"
#include "analysis/SecondaryStructure.h"
#include "model/VelmDoc.h"

namespace velm {

std::unique_ptr<CVelmDoc> MakeDocument(UiHooks& ui) {
    auto doc = std::make_unique<CVelmDoc>(ui);
    doc->assignSecondaryStructure = [](Molecule& m, UiHooks& hooks) { AssignSecondaryStructure(m, hooks); };
    doc->assignSecondaryStructureOnRecords = AssignSecondaryStructureOnRecords;
    doc->frameAligner = superposeFrame;
    return doc;
}

}  // namespace velm
