#pragma once
// What the fuzz targets share: input written to a private file (the readers
// take paths, and gzip is recognised from the bytes), and a quiet UI.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace velm::fuzz {

class InputFile {
public:
    InputFile(const uint8_t* data, size_t size, const char* suffix = "") {
        const char* dir = std::getenv("TMPDIR");
        path_ = std::string(dir && *dir ? dir : "/tmp") + "/velm-fuzz-XXXXXX" + suffix;
        const int fd = mkstemps(path_.data(), static_cast<int>(std::string(suffix).size()));
        if (fd < 0) std::abort();
        for (size_t done = 0; done < size;) {
            const ssize_t n = write(fd, data + done, size - done);
            if (n <= 0) std::abort();
            done += static_cast<size_t>(n);
        }
        close(fd);
    }
    ~InputFile() { std::remove(path_.c_str()); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

}  // namespace velm::fuzz
