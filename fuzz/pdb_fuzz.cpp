// A structure file, plain or gzip-compressed, loaded as the program loads
// one: records, models, bonds, secondary structure, monitors, centring, and
// models as frames aligned on the first.
#include "analysis/MakeDocument.h"
#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "fuzz/FuzzSupport.h"
#include "model/VelmDoc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velm::fuzz::InputFile file(data, size, ".pdb");
    velm::SilentUiHooks ui;
    for (int multi = 0; multi < 2; ++multi) {
        const auto doc = velm::MakeDocument(ui);
        doc->options.multipleAsTrajectory = multi;
        doc->options.trajectoryReadMode = velm::Align;
        try {
            doc->AddMoleculeFromFile(file.Path());
        } catch (const velm::VelmError&) {
        }
    }
    return 0;
}
