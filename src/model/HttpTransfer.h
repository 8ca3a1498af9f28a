#pragma once
// HTTP transfers behind PDB downloads. libcurl and the thirty-odd libraries
// behind it (TLS, Kerberos, LDAP, ...) are mapped only when something is
// downloaded: the transfer is a module of its own, opened on first use.
// Nothing crosses the boundary but plain values.
#include <cstdio>
#include <string>

namespace velm {

// Told the bytes read so far; answers true to cancel the transfer.
using TransferProgress = bool (*)(void* user, long long bytes);

// What the module hands out.
struct HttpTransferModule {
    // Writes what `url` answers (http or https, redirects followed, with
    // certificate checks and time-outs) into `file`; true when the whole
    // answer, no error status and at most `maxBytes`, was written.
    bool (*download)(const char* url, std::FILE* file, long long maxBytes, TransferProgress progress, void* user);
};

// The module, opened on first call; nullptr with `problem` set when it
// cannot be found or opened.
const HttpTransferModule* LoadHttpTransferModule(std::string& problem);

}  // namespace velm

// The one symbol the module exports.
extern "C" const velm::HttpTransferModule* VelmHttpTransferModule();
