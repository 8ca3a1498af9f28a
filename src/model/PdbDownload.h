#pragma once
// One entry fetched from a Protein Data Bank web server by its id, through a
// request template, into a temporary file that is read as a new molecule and
// removed.
#include <memory>
#include <string>

#include "core/List.h"

namespace velm {

class CVelmDoc;
class TemporaryFile;
class UiHooks;

inline constexpr const char* kDefaultPdbServer = "files.rcsb.org";
inline constexpr const char* kDefaultPdbId = "1ckw";
inline constexpr const char* kDefaultPdbTemplate = "https://%SERVER%/download/%PDBID%.pdb.gz";
// A bad server must not fill the disk: no entry comes near this.
inline constexpr long long kMaxPdbDownloadBytes = 512LL * 1024 * 1024;

// The servers and ids used before, each list starting with the default.
struct PdbHistory {
    list<std::string> servers;
    list<std::string> ids;
    PdbHistory();
    // Appends what no entry of its list begins with yet.
    void Remember(const std::string& server, const std::string& id);
};

// The template with every "%SERVER%" and "%PDBID%" replaced, the id
// percent-encoded. Throws "Invalid query format!" when the template lacks
// either, or the server is empty or holds '/', '@', '?', '#', a backslash, blanks
// or control characters, or the id is empty.
std::string PdbRequestUrl(const std::string& templateText, const std::string& server, const std::string& id);

// A file of its own in the user's temporary folder, removed with the object
// (and on SIGINT, SIGTERM and SIGHUP).
class TemporaryPdbFile {
public:
    // Throws "Can't make a temporary file to store pdb data!".
    TemporaryPdbFile();
    ~TemporaryPdbFile();
    TemporaryPdbFile(const TemporaryPdbFile&) = delete;
    TemporaryPdbFile& operator=(const TemporaryPdbFile&) = delete;
    const std::string& Path() const;
    // Removes the file now; false when that fails.
    bool Remove();

private:
    std::unique_ptr<TemporaryFile> file_;
};

// Downloads the URL into the file, following redirects, with certificate
// checks, time-outs and a size cap. Progress: "%.2fkb read" as the status
// text. Throws "Unable to download pdb entry -- please check server and pdb id".
void DownloadToFile(const std::string& url, const std::string& path, UiHooks& ui);

// The request for the same entry as PDBx/mmCIF: a template that names the
// PDB format ("%PDBID%.pdb", "%PDBID%.ent", "format=PDB") with the mmCIF one
// instead; empty when it names none.
std::string MmcifTemplate(const std::string& templateText);

// The entry into the file, as mmCIF when `mmcif` is set, and when the server
// has no PDB-format file for it (the largest entries). Touches no document:
// the window runs it on a worker thread. Throws "Invalid query format!" and
// "Unable to download pdb entry -- please check server and pdb id".
void DownloadPdbEntry(const std::string& templateText, const std::string& server, const std::string& id,
                      const std::string& path, UiHooks& ui, bool mmcif = false);

// A downloaded entry read as a new primary molecule, the file removed and the
// title set to the id. Throws "Can't read pdb file -- please check server and
// pdb id" and "Can't remove temporary pdb file".
void ReadPdbEntry(CVelmDoc& document, TemporaryPdbFile& file, const std::string& id);

// The whole command: download, history, read as a new primary molecule,
// remove the file, title = id. The entry comes as mmCIF when `mmcif` is set,
// and when the server has no PDB-format file for it (the largest entries).
// Throws VelmError; the document then stays as it was, and the history too
// when the download itself failed.
void FetchPdbEntry(CVelmDoc& document, PdbHistory& history, const std::string& templateText,
                   const std::string& server, const std::string& id, UiHooks& ui, bool mmcif = false);

}  // namespace velm
