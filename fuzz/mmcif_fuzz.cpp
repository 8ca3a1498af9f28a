// An mmCIF file, plain or gzip-compressed, loaded as the program loads one:
// the CIF grammar, atom sites, struct_conn links, models (also as frames), bonds
// and secondary structure.
#include "analysis/MakeDocument.h"
#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "fuzz/FuzzSupport.h"
#include "model/VelmDoc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velm::fuzz::InputFile file(data, size, ".cif");
    velm::SilentUiHooks ui;
    for (int multi = 0; multi < 2; ++multi) {
        const auto doc = velm::MakeDocument(ui);
        doc->options.multipleAsTrajectory = multi;
        try {
            doc->AddMoleculeFromFile(file.Path());
        } catch (const velm::VelmError&) {
        }
    }
    return 0;
}
