// CONECT records, each input line behind "CONECT", over a few atoms: the
// fields, the serial lookup and the bonds merged from them.
#include <string>

#include "core/VelmError.h"
#include "model/Connectivity.h"
#include "model/LineSource.h"
#include "model/Molecule.h"
#include "model/PdbFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text;
    for (int i = 1; i <= 6; ++i) {
        char line[96];
        std::snprintf(line, sizeof line, "ATOM  %5d  C%d  LIG A   1    %8.3f%8.3f%8.3f  1.00  0.00           C\n", i, i,
                      1.5 * i, 0.0, 0.0);
        text += line;
    }
    const std::string input(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    while (start <= input.size()) {
        const size_t end = input.find('\n', start);
        text += "CONECT" + input.substr(start, end == std::string::npos ? std::string::npos : end - start) + "\n";
        if (end == std::string::npos) break;
        start = end + 1;
    }
    try {
        velm::MemoryLineSource source(text);
        const velm::PdbFile file = velm::PdbFile::Read(source);
        const velm::Connectivity c = velm::ComputeConnectivity(file);
        (void)c;
    } catch (const velm::VelmError&) {
    }
    return 0;
}
