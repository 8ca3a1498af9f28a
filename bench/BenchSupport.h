#pragma once
// What the benchmarks share: running a measurement in a fresh process,
// naming the machine, and finding the structure the large files are built from.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace velm::bench {

inline std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs a command and returns what it wrote to stdout.
inline std::string Capture(const std::string& command) {
    std::string out;
    if (std::FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        if (pclose(p) != 0) std::fprintf(stderr, "bench: failed: %s\n", command.c_str());
    }
    return out;
}

// This program, quoted for a shell: measurements run in fresh copies of it,
// so that the heap one file leaves does not slow the next.
inline std::string Self() {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) throw std::runtime_error("cannot find /proc/self/exe");
    self[n] = '\0';
    return Quote(self);
}

inline std::string CpuName() {
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    return "unknown CPU";
}

#if defined(VELM_SHARED_DATA) && defined(VELM_TEST_DATA)
// The 50,293-atom solvated system: from the reference corpus, else the copy the project ships.
inline std::string DefaultSource() {
    for (const char* p : {VELM_SHARED_DATA "/pdb/1tw7_solvated.pdb", VELM_TEST_DATA "/1tw7_solvated.pdb.gz"})
        if (std::filesystem::exists(p)) return p;
    return VELM_TEST_DATA "/1tw7_solvated.pdb.gz";
}
#endif

}  // namespace velm::bench
