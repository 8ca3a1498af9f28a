#pragma once
// Temporary files of the program's own naming, ".<base>.velm-<pid>-XXXXXX".
// While one exists it is removed if SIGINT, SIGTERM, SIGHUP or SIGXFSZ ends
// the program; one left by a program that died otherwise (kill -9, a crash) is
// removed when a later run creates a temporary file in the same folder.
#include <ctime>
#include <string>
#include <string_view>

namespace velm {

class TemporaryFile {
public:
    // Creates the file (mode 0600) in `folder` (empty: the current one),
    // first removing stale ones there. Fd() < 0 when that fails, Error() the
    // errno then.
    TemporaryFile(const std::string& folder, const std::string& base);
    // Removes the file unless it was kept.
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int Fd() const { return fd_; }
    // The descriptor passes to the caller, who closes it.
    int TakeFd();
    int Error() const { return error_; }
    const std::string& Path() const { return path_; }
    // Removes the file now; false when that fails.
    bool Remove();
    // The file was renamed into place: it is no longer ours to remove.
    void Keep();

private:
    std::string path_;
    int fd_ = -1;
    int error_ = 0;
    int slot_ = -1;  // in the table the signal handler removes from
};

// Whether a file of this name and age, in a folder being written, is a
// temporary file of ours that nobody works on any more: our naming, not
// changed for ten minutes, and the process its name gives is gone.
bool IsStaleTemporaryFile(std::string_view name, std::time_t modified, std::time_t now);

// Removes the stale temporary files (regular files owned by this user) of
// `folder`.
void RemoveStaleTemporaryFiles(const std::string& folder);

}  // namespace velm
