// Prints what loading each file derives, one line per molecule: the batch
// summary line and the digests of bonds, partners and secondary structure
// (tests/support/LoadDigest.h). bench/compare-load-outputs keeps these lines
// for a set of files and compares them after a change to the loading code.
//
//   load_outputs [--no-connect] FILE...
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "analysis/MakeDocument.h"
#include "batch/Batch.h"
#include "core/UiHooks.h"
#include "model/VelmDoc.h"
#include "support/LoadDigest.h"

int main(int argc, char** argv) {
    bool connect = true;
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-connect") == 0) {
            connect = false;
            continue;
        }
        velm::SilentUiHooks ui;
        const auto doc = velm::MakeDocument(ui);
        doc->options.computeConnectivity = connect;
        try {
            doc->AddMoleculeFromFile(argv[i]);
            for (const auto& m : doc->Molecules())
                std::printf("%s %s\n", velm::MoleculeSummary(*m).c_str(), velm::test::DigestOf(*m).Text().c_str());
        } catch (const std::exception& e) {
            std::printf("path=%s error=%s\n", argv[i], e.what());
            status = 1;
        }
    }
    return status;
}
