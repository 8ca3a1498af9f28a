// The module of HTTP transfers, through libcurl.
#include <curl/curl.h>

#include "model/HttpTransfer.h"

namespace velm {

namespace {

struct Transfer {
    std::FILE* file = nullptr;
    long long maxBytes = 0;
    long long written = 0;
    bool tooLarge = false;
    TransferProgress progress = nullptr;
    void* user = nullptr;
};

size_t Write(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    if (t->written + static_cast<long long>(bytes) > t->maxBytes) {
        t->tooLarge = true;
        return 0;  // aborts the transfer
    }
    const size_t done = std::fwrite(data, 1, bytes, t->file);
    t->written += static_cast<long long>(done);
    return done;
}

int Progress(void* user, curl_off_t, curl_off_t now, curl_off_t, curl_off_t) {
    auto* t = static_cast<Transfer*>(user);
    return t->progress(t->user, static_cast<long long>(now)) ? 1 : 0;
}

struct CurlHandle {
    CURL* h = curl_easy_init();
    ~CurlHandle() {
        if (h) curl_easy_cleanup(h);
    }
};

bool Download(const char* url, std::FILE* file, long long maxBytes, TransferProgress progress, void* user) {
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    if (!initialised) return false;
    Transfer t{file, maxBytes, 0, false, progress, user};
    CurlHandle curl;
    if (!curl.h) return false;
    CURL* h = curl.h;
    curl_easy_setopt(h, CURLOPT_URL, url);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, 30L);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, 600L);
    // A stalled server: less than 1 byte a second for a minute ends it.
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, 60L);
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBytes));
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, Write);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, Progress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(h, CURLOPT_USERAGENT, "Velm");
    // An error page (404, 500) is no entry, whatever its body holds.
    curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
    CURLcode result = curl_easy_perform(h);
    long status = 0;
    if (result == CURLE_OK && curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status >= 400)
        result = CURLE_HTTP_RETURNED_ERROR;
    return result == CURLE_OK && !t.tooLarge;
}

}  // namespace

}  // namespace velm

extern "C" __attribute__((visibility("default"))) const velm::HttpTransferModule* VelmHttpTransferModule() {
    static const velm::HttpTransferModule module{velm::Download};
    return &module;
}
