#include "dialogs/PdbDownloadForm.h"

#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "model/VelmDoc.h"

namespace velm {

// The hooks the core's download reports to, on the worker thread: the
// progress text kept for the dialog to fetch, and the cancel flag.
class PdbDownloadJob::Relay : public SilentUiHooks {
public:
    explicit Relay(PdbDownloadJob& job) : job_(job) {}
    void SetStatusText(std::string_view text) override {
        std::lock_guard lock(job_.mutex_);
        job_.progress_ = text;
    }
    bool ProgressCancelled() override { return job_.cancel_.load(); }

private:
    PdbDownloadJob& job_;
};

PdbDownloadJob::PdbDownloadJob(std::string templateText, std::string server, std::string id, bool mmcif)
    : file_(std::make_unique<TemporaryPdbFile>()) {
    thread_ = std::thread(&PdbDownloadJob::Run, this, std::move(templateText), std::move(server), std::move(id), mmcif);
}

PdbDownloadJob::~PdbDownloadJob() {
    Cancel();
    Wait();
}

void PdbDownloadJob::Wait() {
    if (thread_.joinable()) thread_.join();
}

std::string PdbDownloadJob::ProgressText() const {
    std::lock_guard lock(mutex_);
    return progress_;
}

void PdbDownloadJob::Run(std::string templateText, std::string server, std::string id, bool mmcif) {
    Relay relay(*this);
    State end = State::Done;
    try {
        DownloadPdbEntry(templateText, server, id, file_->Path(), relay, mmcif);
    } catch (...) {
        end = State::Failed;
    }
    if (end == State::Failed && cancel_) end = State::Cancelled;
    state_ = end;
}

std::string PdbDownloadForm::Problem() const {
    try {
        PdbRequestUrl(templateText, server, id);
    } catch (const VelmError& e) {
        return e.shownText();
    }
    return {};
}

std::unique_ptr<PdbDownloadJob> PdbDownloadForm::Start(UiHooks& ui) const {
    if (const std::string problem = Problem(); !problem.empty()) {
        ui.Message(problem);
        return nullptr;
    }
    try {
        return std::make_unique<PdbDownloadJob>(templateText, server, id, mmcif);
    } catch (const VelmError& e) {
        ui.Message(e.shownText());
        return nullptr;
    }
}

bool PdbDownloadForm::Finished(const PdbDownloadJob& job, PdbHistory& history, UiHooks& ui) const {
    switch (job.Poll()) {
    case PdbDownloadJob::State::Done:
        history.Remember(server, id);
        return true;
    case PdbDownloadJob::State::Failed:
        ui.Message(kDownloadFailed);
        return false;
    default:
        return false;
    }
}

bool PdbDownloadForm::Read(CVelmDoc& doc, PdbDownloadJob& job, UiHooks& ui) const {
    try {
        WaitCursor wait(ui);
        ReadPdbEntry(doc, job.File(), id);
    } catch (const VelmError& e) {
        ui.Message(e.shownText());
        ui.SetStatusText("Ready");
        return false;
    }
    return true;
}

}  // namespace velm
