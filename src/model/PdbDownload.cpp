#include "model/PdbDownload.h"

#include <curl/curl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "core/TemporaryFile.h"
#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "model/VelmDoc.h"

namespace velm {

namespace {
constexpr const char* kDownloadFailed = "Unable to download pdb entry -- please check server and pdb id";

bool StartsWith(const std::string& text, const std::string& prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

bool Holds(const list<std::string>& entries, const std::string& text) {
    for (const std::string& e : entries)
        if (StartsWith(e, text)) return true;
    return false;
}

void ReplaceAll(std::string& text, const std::string& what, const std::string& with) {
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

bool SafeServer(const std::string& server) {
    if (server.empty()) return false;
    for (unsigned char c : server)
        if (c == '/' || c == '@' || c == '?' || c == '#' || c == '\\' || c <= ' ' || c == 0x7f) return false;
    return true;
}

std::string PercentEncoded(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

struct Transfer {
    std::FILE* file = nullptr;
    long long written = 0;
    bool tooLarge = false;
    UiHooks* ui = nullptr;
};

size_t Write(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    if (t->written + static_cast<long long>(bytes) > kMaxPdbDownloadBytes) {
        t->tooLarge = true;
        return 0;  // aborts the transfer
    }
    const size_t done = std::fwrite(data, 1, bytes, t->file);
    t->written += static_cast<long long>(done);
    return done;
}

int Progress(void* user, curl_off_t, curl_off_t now, curl_off_t, curl_off_t) {
    auto* t = static_cast<Transfer*>(user);
    char text[64];
    std::snprintf(text, sizeof text, "%.2fkb read", static_cast<double>(now) / 1024);
    t->ui->SetStatusText(text);
    return t->ui->ProgressCancelled() ? 1 : 0;
}

struct CurlHandle {
    CURL* h = curl_easy_init();
    ~CurlHandle() {
        if (h) curl_easy_cleanup(h);
    }
};

}  // namespace

PdbHistory::PdbHistory() {
    servers.Append(kDefaultPdbServer);
    ids.Append(kDefaultPdbId);
}

void PdbHistory::Remember(const std::string& server, const std::string& id) {
    if (!Holds(ids, id)) ids.Append(id);
    if (!Holds(servers, server)) servers.Append(server);
}

std::string PdbRequestUrl(const std::string& templateText, const std::string& server, const std::string& id) {
    if (templateText.find("%SERVER%") == std::string::npos || templateText.find("%PDBID%") == std::string::npos ||
        !SafeServer(server) || id.empty())
        throw VelmError("Invalid query format!");
    std::string url = templateText;
    ReplaceAll(url, "%SERVER%", server);
    ReplaceAll(url, "%PDBID%", PercentEncoded(id));
    return url;
}

TemporaryPdbFile::TemporaryPdbFile() {
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
    if (ec) folder = "/tmp";
    file_ = std::make_unique<TemporaryFile>(folder.string(), "velm-pdb");
    if (file_->Fd() < 0) throw VelmError("Can't make a temporary file to store pdb data!");
    ::close(file_->TakeFd());
}

TemporaryPdbFile::~TemporaryPdbFile() = default;

const std::string& TemporaryPdbFile::Path() const { return file_->Path(); }

bool TemporaryPdbFile::Remove() { return file_->Remove(); }

void DownloadToFile(const std::string& url, const std::string& path, UiHooks& ui) {
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    if (!initialised) throw VelmError(kDownloadFailed);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) throw VelmError(kDownloadFailed);
    Transfer t{file, 0, false, &ui};
    CurlHandle curl;
    CURLcode result = CURLE_FAILED_INIT;
    if (curl.h) {
        CURL* h = curl.h;
        curl_easy_setopt(h, CURLOPT_URL, url.c_str());
        curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, 30L);
        curl_easy_setopt(h, CURLOPT_TIMEOUT, 600L);
        // A stalled server: less than 1 byte a second for a minute ends it.
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, 60L);
        curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxPdbDownloadBytes));
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, Write);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, &t);
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, Progress);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, &t);
        curl_easy_setopt(h, CURLOPT_USERAGENT, "Velm");
        // An error page (404, 500) is no entry, whatever its body holds.
        curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
        result = curl_easy_perform(h);
        long status = 0;
        if (result == CURLE_OK && curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status >= 400)
            result = CURLE_HTTP_RETURNED_ERROR;
    }
    const bool closed = std::fclose(file) == 0;
    if (result != CURLE_OK || !closed || t.tooLarge) throw VelmError(kDownloadFailed);
}

std::string MmcifTemplate(const std::string& templateText) {
    std::string t = templateText;
    bool named = false;
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"%PDBID%.pdb", "%PDBID%.cif"},
                                   {"%PDBID%.ent", "%PDBID%.cif"}, {"format=PDB", "format=mmCIF"}}) {
        for (size_t at = t.find(from); at != std::string::npos; at = t.find(from, at + to.size())) {
            t.replace(at, from.size(), to);
            named = true;
        }
    }
    return named ? t : std::string();
}

void DownloadPdbEntry(const std::string& templateText, const std::string& server, const std::string& id,
                      const std::string& path, UiHooks& ui, bool mmcif) {
    const std::string cifTemplate = MmcifTemplate(templateText);
    const std::string url = PdbRequestUrl(mmcif && !cifTemplate.empty() ? cifTemplate : templateText, server, id);
    try {
        DownloadToFile(url, path, ui);
    } catch (const VelmError&) {
        // No PDB-format file for the entry: the archive has it as mmCIF only.
        // A cancelled download asks for nothing more.
        if (mmcif || cifTemplate.empty() || ui.ProgressCancelled()) throw;
        DownloadToFile(PdbRequestUrl(cifTemplate, server, id), path, ui);
    }
}

void ReadPdbEntry(CVelmDoc& doc, TemporaryPdbFile& file, const std::string& id) {
    if (!doc.AddMoleculeFromFile(file.Path(), id)) throw VelmError("Can't read pdb file -- please check server and pdb id");
    if (!file.Remove()) throw VelmError("Can't remove temporary pdb file");
    doc.SetTitle(id);
}

void FetchPdbEntry(CVelmDoc& doc, PdbHistory& history, const std::string& templateText, const std::string& server,
                   const std::string& id, UiHooks& ui, bool mmcif) {
    PdbRequestUrl(templateText, server, id);  // a bad template needs no temporary file
    TemporaryPdbFile file;
    {
        WaitCursor wait(ui);
        DownloadPdbEntry(templateText, server, id, file.Path(), ui, mmcif);
    }
    history.Remember(server, id);
    ReadPdbEntry(doc, file, id);
}

}  // namespace velm
