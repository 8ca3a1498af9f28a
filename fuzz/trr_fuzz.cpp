// A TRR file opened and indexed as the document opens one, then its frames
// read in an order taken from the input with their box, velocities and forces.
#include <vector>

#include "core/VelmError.h"
#include "fuzz/FuzzSupport.h"
#include "model/TrrFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velm::fuzz::InputFile file(data, size, ".trr");
    try {
        velm::TrrFile trr(file.Path());
        // The caller checks the count against its structure before it allocates.
        if (trr.AtomCount() > 100000) return 0;
        std::vector<float> xyz(3 * static_cast<size_t>(trr.AtomCount()));
        const int n = trr.FrameCount();
        for (int i = 0; i < n && i < 64; ++i) {
            try {
                trr.ReadFrame((i * 5 + static_cast<int>(size)) % n, xyz.data());
                float sum = 0;
                for (float v : trr.Velocities()) sum += v;
                for (float f : trr.Forces()) sum += f;
                if (auto box = trr.Box()) sum += box->vectors[2][2];
                if (!xyz.empty()) xyz[0] += sum;
            } catch (const velm::VelmError&) {
            }
        }
    } catch (const velm::VelmError&) {
    }
    return 0;
}
