// Download requests: template, server and id from the input's first three
// lines, substituted as the download does (no network).
#include <string>

#include "core/VelmError.h"
#include "model/PdbDownload.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string parts[3];
    size_t start = 0;
    for (std::string& part : parts) {
        const size_t end = input.find('\n', start);
        part = input.substr(std::min(start, input.size()), end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? input.size() : end + 1;
    }
    try {
        const std::string url = velm::PdbRequestUrl(parts[0], parts[1], parts[2]);
        // Ids are percent-encoded, servers checked: nothing of either can
        // reach the request unescaped.
        if (url.find_first_of(" \t\r\n") != std::string::npos && parts[0].find_first_of(" \t\r\n") == std::string::npos)
            __builtin_trap();
    } catch (const velm::VelmError&) {
    }
    velm::PdbHistory history;
    history.Remember(parts[1], parts[2]);
    return 0;
}
