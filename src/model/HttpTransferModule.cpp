#include <mutex>

#include "core/ProgramModule.h"
#include "model/HttpTransfer.h"

namespace velm {

const HttpTransferModule* LoadHttpTransferModule(std::string& problem) {
    static std::once_flag once;
    static const HttpTransferModule* module = nullptr;
    static std::string why;
    std::call_once(once, [] {
        const ProgramModule place{VELM_HTTP_MODULE_NAME, VELM_HTTP_MODULE_INSTALLED, VELM_HTTP_MODULE_BUILT};
        using Entry = const HttpTransferModule* (*)();
        if (void* entry = OpenProgramModule(place, "VelmHttpTransferModule", why))
            module = reinterpret_cast<Entry>(entry)();
        if (!module && why.empty()) why = std::string(VELM_HTTP_MODULE_NAME) + ": no transfers in it";
    });
    if (!module) problem = why;
    return module;
}

}  // namespace velm
