#include "model/GzipTextSize.h"

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

namespace velm {

std::size_t GzipTextSize(int fd, std::size_t fileBytes) {
    constexpr std::size_t kSmallestMember = 18;  // header and trailer
    unsigned char magic[2] = {}, trailer[4] = {};
    if (fileBytes < kSmallestMember || ::pread(fd, magic, 2, 0) != 2 || magic[0] != 0x1f || magic[1] != 0x8b ||
        ::pread(fd, trailer, 4, static_cast<off_t>(fileBytes - 4)) != 4)
        return 0;
    const std::size_t text = std::size_t{trailer[0]} | std::size_t{trailer[1]} << 8 |
                             std::size_t{trailer[2]} << 16 | std::size_t{trailer[3]} << 24;
    return text >= 2 * fileBytes && text <= 16 * fileBytes ? text : 0;
}

std::size_t GzipTextSize(const std::string& path, std::size_t fileBytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    const std::size_t text = GzipTextSize(fd, fileBytes);
    ::close(fd);
    return text;
}

}  // namespace velm
