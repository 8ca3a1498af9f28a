#pragma once
// "Download from PDB Database": a server and an entry id from their
// histories, the request template, and the download itself, which runs on a
// worker thread while the dialog shows "%.2fkb read" and keeps its "Cancel".
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "model/PdbDownload.h"

namespace velm {

class CVelmDoc;
class UiHooks;

// One download on its own thread into a temporary file. The thread touches
// nothing but the file and what this object holds.
class PdbDownloadJob {
public:
    enum class State { Running, Done, Failed, Cancelled };

    // Starts at once. Throws "Can't make a temporary file to store pdb data!".
    PdbDownloadJob(std::string templateText, std::string server, std::string id, bool mmcif);
    // Cancels and waits for the thread.
    ~PdbDownloadJob();
    PdbDownloadJob(const PdbDownloadJob&) = delete;
    PdbDownloadJob& operator=(const PdbDownloadJob&) = delete;

    State Poll() const { return state_.load(); }
    // The last "%.2fkb read"; empty before the first report.
    std::string ProgressText() const;
    // The download stops at its next progress report (at least once a second).
    void Cancel() { cancel_ = true; }
    void Wait();
    // The file, once Done.
    TemporaryPdbFile& File() { return *file_; }

private:
    class Relay;
    void Run(std::string templateText, std::string server, std::string id, bool mmcif);

    std::unique_ptr<TemporaryPdbFile> file_;
    mutable std::mutex mutex_;
    std::string progress_;
    std::atomic<bool> cancel_{false};
    std::atomic<State> state_{State::Running};
    std::thread thread_;
};

struct PdbDownloadForm {
    static constexpr const char* kTitle = "Download from PDB Database";
    static constexpr const char* kDownloadFailed = "Unable to download pdb entry -- please check server and pdb id";

    std::string server = kDefaultPdbServer;  // the histories' first entries
    std::string id = kDefaultPdbId;
    std::string templateText = kDefaultPdbTemplate;  // "Format for database request:"
    bool mmcif = false;

    // Whether the template names a PDB format that has an mmCIF counterpart.
    bool MmcifOffered() const { return !MmcifTemplate(templateText).empty(); }
    // OK, before any download: "Invalid query format!", or empty.
    std::string Problem() const;
    // OK: the download started; null when a problem was shown through ui.
    std::unique_ptr<PdbDownloadJob> Start(UiHooks& ui) const;
    // The job has ended. Done: the histories remember the server and id, and
    // true (the dialog closes). Failed: the message, histories unchanged,
    // false (the dialog stays open). Cancelled: false, nothing said.
    bool Finished(const PdbDownloadJob& job, PdbHistory& history, UiHooks& ui) const;
    // After the dialog closed: the downloaded entry as a new primary
    // molecule, titled by its id. A failure is shown; the document is then
    // as it was. Returns whether the molecule was read.
    bool Read(CVelmDoc& document, PdbDownloadJob& job, UiHooks& ui) const;
};

}  // namespace velm
