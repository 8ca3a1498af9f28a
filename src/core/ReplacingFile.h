#pragma once
// A file written beside its target and moved over it only when complete: a
// failure half-way leaves the file that was there. The replacement keeps the
// target's permission bits and owner (where the user may set them), goes
// through symbolic links to the file they name, and keeps hard links.
#include <sys/types.h>

#include <cstdio>
#include <memory>
#include <string>

namespace velm {

class TemporaryFile;

class ReplacingFile {
public:
    // Creates the temporary file; Stream() is null when that fails or the
    // target may not be replaced (read-only, a folder, a device), and
    // Problem() says why.
    explicit ReplacingFile(const std::string& path);
    // Removes the temporary file unless committed.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    std::FILE* Stream() const { return stream_; }
    // Where the new content is being written, for writers that open files
    // by name; Commit() takes whatever that file then holds.
    const std::string& TemporaryPath() const;
    // Closes, flushes to disk and moves the file into place; false when
    // anything fails, the target then as it was.
    bool Commit();
    // False when a write to the stream has failed; Problem() then says why.
    bool StreamIsSound();
    // The system's reason for the last failure ("Permission denied", "No
    // space left on device", ...).
    std::string Problem() const;

private:
    bool CopyInPlace();

    std::string target_;
    std::string recovery_;  // the new content, after a copy in place failed half-way
    std::unique_ptr<TemporaryFile> temp_;
    std::FILE* stream_ = nullptr;
    int error_ = 0;
    bool exists_ = false;
    mode_t mode_ = 0;
    uid_t owner_ = 0;
    gid_t group_ = 0;
    nlink_t links_ = 1;
    off_t oldSize_ = 0;
};

}  // namespace velm
