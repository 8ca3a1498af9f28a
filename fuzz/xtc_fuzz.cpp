// An XTC file opened and indexed as the document opens one, then its frames
// read in an order taken from the input, each with its box: the compressed
// coordinates of every frame pass through the decoder.
#include <vector>

#include "core/VelmError.h"
#include "fuzz/FuzzSupport.h"
#include "model/XtcFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velm::fuzz::InputFile file(data, size, ".xtc");
    try {
        velm::XtcFile xtc(file.Path());
        // The caller checks the count against its structure before it allocates.
        if (xtc.AtomCount() > 100000) return 0;
        std::vector<float> xyz(3 * static_cast<size_t>(xtc.AtomCount()));
        const int n = xtc.FrameCount();
        for (int i = 0; i < n && i < 64; ++i) {
            try {
                xtc.ReadFrame((i * 7 + static_cast<int>(size)) % n, xyz.data());
                if (auto box = xtc.Box(); box && !xyz.empty()) xyz[0] += box->vectors[0][0];
            } catch (const velm::VelmError&) {
            }
        }
    } catch (const velm::VelmError&) {
    }
    return 0;
}
