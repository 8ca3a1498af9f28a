#pragma once
// A file written beside its target and renamed over it only when complete:
// a failure half-way leaves the file that was there.
#include <cstdio>
#include <string>

namespace velm {

class ReplacingFile {
public:
    // Creates the temporary file; Stream() is null when that fails.
    explicit ReplacingFile(const std::string& path);
    // Removes the temporary file unless committed.
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    std::FILE* Stream() const { return stream_; }
    // Closes and moves the file into place with the usual permissions; false
    // when either fails.
    bool Commit();

private:
    std::string path_, temp_;
    std::FILE* stream_ = nullptr;
};

}  // namespace velm
