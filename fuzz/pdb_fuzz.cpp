// A structure file, plain or gzip-compressed, loaded as the program loads
// one: records, models, bonds, monitors, centring.
#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "fuzz/FuzzSupport.h"
#include "model/VelmDoc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velm::fuzz::InputFile file(data, size, ".pdb");
    velm::SilentUiHooks ui;
    for (int multi = 0; multi < 2; ++multi) {
        velm::CVelmDoc doc(ui);
        doc.options.multipleAsTrajectory = multi;
        try {
            doc.AddMoleculeFromFile(file.Path());
        } catch (const velm::VelmError&) {
        }
    }
    return 0;
}
