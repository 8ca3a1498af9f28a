#include <mutex>

#include "core/ProgramModule.h"
#include "core/VelmError.h"
#include "output/AviEncoder.h"

namespace velm {

const AviEncoderModule& LoadAviEncoderModule() {
    static std::once_flag once;
    static const AviEncoderModule* module = nullptr;
    static std::string problem;
    std::call_once(once, [] {
        const ProgramModule place{VELM_AVI_MODULE_NAME, VELM_AVI_MODULE_INSTALLED, VELM_AVI_MODULE_BUILT};
        using Entry = const AviEncoderModule* (*)();
        if (void* entry = OpenProgramModule(place, "VelmAviEncoderModule", problem))
            module = reinterpret_cast<Entry>(entry)();
        if (!module && problem.empty()) problem = std::string(VELM_AVI_MODULE_NAME) + ": no movie writer in it";
    });
    if (!module) throw VelmError("Movies cannot be made here: the movie writer " + problem);
    return *module;
}

}  // namespace velm
