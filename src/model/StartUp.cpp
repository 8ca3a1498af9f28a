#include "model/StartUp.h"

#include <algorithm>

#include "core/SettingsStore.h"
#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "model/CommandLine.h"
#include "model/VelmDoc.h"

namespace velm {

namespace {
constexpr const char* kRecentSection = "Recent File List";

std::string RecentKey(int i) { return "File" + std::to_string(i + 1); }

}  // namespace

bool StartUp(const CommandLine& c, CVelmDoc& doc, DisplayDepths& depths, UiHooks& ui) {
    if (c.bppGiven) depths.colourBits = c.bpp;
    if (c.zbufGiven) depths.depthBits = c.zbuf;

    doc.options.computeConnectivity = c.connect;
    doc.options.multipleAsTrajectory = c.multi;
    if (c.multi) doc.options.trajectoryReadMode = c.TrajectoryMode();

    if (c.NamesFiles()) {
        try {
            if (c.files.size() > 1 && c.dcd) throw VelmError("Only one structure can be read when reading DCD files");
            for (const std::string& file : c.files)
                if (!doc.AddMoleculeFromFile(file)) throw VelmError("Unable to read file");
            if (c.dcd && !c.files.empty()) {
                doc.ReadTrajectoryIntoPrimary(c.trajectory, c.TrajectoryMode());
                doc.SetTitle(c.files.front() + "+" + c.trajectory);
            } else if (!c.files.empty()) {
                doc.SetTitle(c.files.front());
            }
        } catch (const VelmError& e) {
            ui.Message(e.shownText());
            doc.DropPrimaryTrajectory();
        }
    } else {
        doc.SetTitle("No Molecule loaded");
    }
    return c.help != 0;
}

void OpenDocumentFile(CVelmDoc* doc, const std::string& path, UiHooks& ui) {
    if (!doc) {
        ui.Message("Unable to get valid document. Doh!");
        return;
    }
    // A file that cannot be read leaves the document, and its title, as they were.
    try {
        if (!doc->AddMoleculeFromFile(path)) throw VelmError("Unable to read file");
        doc->SetTitle(path);
    } catch (const VelmError& e) {
        ui.Message(e.shownText());
    } catch (const std::exception&) {
        ui.Message("Unable to read input file!");
    }
}

void RecentFileList::Add(const std::string& path) {
    files_.erase(std::remove(files_.begin(), files_.end(), path), files_.end());
    files_.insert(files_.begin(), path);
    if (files_.size() > kSize) files_.resize(kSize);
}

void RecentFileList::Load(const SettingsStore& store) {
    files_.clear();
    for (int i = 0; i < kSize; ++i) {
        const std::string path = store.Get(kRecentSection, RecentKey(i), "");
        if (!path.empty()) files_.push_back(path);
    }
}

void RecentFileList::Save(SettingsStore& store) const {
    for (int i = 0; i < kSize; ++i) {
        if (i < static_cast<int>(files_.size())) store.Set(kRecentSection, RecentKey(i), files_[static_cast<size_t>(i)]);
        else store.Remove(kRecentSection, RecentKey(i));
    }
}

void RecentFileList::Purge(SettingsStore& store) {
    for (int i = 0; i < kSize; ++i) store.Remove(kRecentSection, RecentKey(i));
}

}  // namespace velm
