#include "model/PdbDownload.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <utility>

#include "core/TemporaryFile.h"
#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "model/HttpTransfer.h"
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

bool ShowProgress(void* user, long long bytes) {
    auto* ui = static_cast<UiHooks*>(user);
    char text[64];
    std::snprintf(text, sizeof text, "%.2fkb read", static_cast<double>(bytes) / 1024);
    ui->SetStatusText(text);
    return ui->ProgressCancelled();
}

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
    std::string problem;
    const HttpTransferModule* http = LoadHttpTransferModule(problem);
    if (!http) throw VelmError("PDB entries cannot be downloaded here: the downloader " + problem);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) throw VelmError(kDownloadFailed);
    const bool whole = http->download(url.c_str(), file, kMaxPdbDownloadBytes, ShowProgress, &ui);
    const bool closed = std::fclose(file) == 0;
    if (!whole || !closed) throw VelmError(kDownloadFailed);
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
