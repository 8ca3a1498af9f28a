#pragma once
// What the benchmarks share: clocks and medians, running a measurement in a
// fresh process, naming the machine, and finding and cutting the structure
// the large files are built from.
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace velm::bench {

inline double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Best of `repeat` runs of `body`; `prepare` runs untimed before each.
inline double Best(int repeat, const std::function<void()>& body, const std::function<void()>& prepare = {}) {
    double best = 1e30;
    for (int i = 0; i < repeat; ++i) {
        if (prepare) prepare();
        const double t0 = Now();
        body();
        best = std::min(best, Now() - t0);
    }
    return best;
}

// Named figures of one measurement, printed as key=value on one line for the
// parent process to read back.
using Figures = std::map<std::string, double>;

inline void Print(const Figures& f) {
    for (const auto& [key, value] : f) std::printf("%s=%.9g ", key.c_str(), value);
    std::printf("\n");
}

// 1234567 as "1,234,567".
inline std::string Thousands(long long n) {
    const std::string digits = std::to_string(n);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

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

inline std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

// "a,b,c" as its parts; a benchmark case loads a comma-separated list of files.
inline std::vector<std::string> SplitCommas(const std::string& s) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t comma; (comma = s.find(',', start)) != std::string::npos; start = comma + 1)
        out.push_back(s.substr(start, comma - start));
    out.push_back(s.substr(start));
    return out;
}

// The first `count` ATOM/HETATM records of the source (plain or gzip),
// written once into DIR and reused by later runs.
inline std::string FirstAtoms(const std::filesystem::path& dir, const std::string& source, long count) {
    namespace fs = std::filesystem;
    const fs::path out = dir / ("1tw7_first" + std::to_string(count) + ".pdb");
    if (fs::exists(out)) return out.string();
    fs::create_directories(dir);
    gzFile in = gzopen(source.c_str(), "rb");
    if (!in) throw std::runtime_error("cannot open " + source);
    const fs::path partial = out.string() + ".part";
    std::FILE* o = std::fopen(partial.c_str(), "w");
    if (!o) {
        gzclose(in);
        throw std::runtime_error("cannot write " + partial.string());
    }
    char buf[512];
    long written = 0;
    while (written < count && gzgets(in, buf, sizeof buf)) {
        if (std::strncmp(buf, "ATOM", 4) != 0 && std::strncmp(buf, "HETATM", 6) != 0) continue;
        std::fputs(buf, o);
        ++written;
    }
    std::fputs("END\n", o);
    gzclose(in);
    if (std::fclose(o) != 0) throw std::runtime_error("cannot write " + partial.string());
    if (written < count) throw std::runtime_error(source + " has fewer than " + std::to_string(count) + " atoms");
    fs::rename(partial, out);
    return out.string();
}

}  // namespace velm::bench
