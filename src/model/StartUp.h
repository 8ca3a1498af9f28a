#pragma once
// What the program does with its command line when it starts, and when a
// file is opened from the recent-file list or the shell, without any window:
// the document is loaded and titled, problems go to the UI hooks.
#include <string>
#include <vector>

namespace velm {

class CommandLine;
class CVelmDoc;
class SettingsStore;
class UiHooks;

// The pixel format the view asks for; the command line may override both.
struct DisplayDepths {
    int colourBits = 16;
    int depthBits = 16;
};

// Steps after parsing: the depths, the read options, the files and the
// trajectory, the title. An error while loading is shown, the primary
// molecule's frames are dropped, and start-up goes on. Returns whether the
// help text is to be shown.
bool StartUp(const CommandLine& commandLine, CVelmDoc& document, DisplayDepths& depths, UiHooks& ui);

// A file from the recent-file list or from the shell, added to the document.
// Errors are shown and leave the document as it was; the title becomes the path.
void OpenDocumentFile(CVelmDoc* document, const std::string& path, UiHooks& ui);

// The four most recently opened files, newest first, kept in the settings
// store under "Recent File List" as "File1" to "File4".
class RecentFileList {
public:
    static constexpr int kSize = 4;

    void Add(const std::string& path);
    const std::vector<std::string>& Files() const { return files_; }

    void Load(const SettingsStore& store);
    void Save(SettingsStore& store) const;
    // On exit after "Clean Registry": the four values deleted.
    static void Purge(SettingsStore& store);

private:
    std::vector<std::string> files_;
};

}  // namespace velm
