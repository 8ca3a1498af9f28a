// Writes the trajectory the DCD benchmark reads: the 50,293-atom solvated MD
// system as its own topology (copied as PDB) and 500 steps of it as a
// little-endian DCD file with 4-byte values and a unit-cell record before
// every step, laid out as the common MD programs write it.
//
//   make_large_dcd [DIR [SOURCE]]    (DIR defaults to /tmp/velm-bench)
//
// Step k is the topology turned by a few degrees about its centre, shifted
// by up to a few angstrom and jittered per atom by up to 0.25 A: all of it
// deterministic, so reruns write the same bytes, and the turn gives the
// "Align" read mode a real rotation to undo. Files already in DIR are kept.
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "BenchSupport.h"

namespace fs = std::filesystem;

namespace {

using namespace velm::bench;

constexpr int kSteps = 500;
constexpr double kJitter = 0.25;  // A, the largest per-atom displacement on each axis

[[noreturn]] void Die(const std::string& what) {
    std::fprintf(stderr, "make_large_dcd: %s\n", what.c_str());
    std::exit(1);
}

struct Topology {
    std::string text;                      // the whole source file, written out again as the topology
    std::vector<std::array<float, 3>> xyz;  // ATOM/HETATM coordinates in file order
};

double Column(const char* line, size_t length, size_t first, size_t width) {
    if (length <= first) return 0.0;
    return std::atof(std::string(line + first, std::min(width, length - first)).c_str());
}

// Reads a plain or gzip-compressed PDB file (gz streams read both).
Topology ReadTopology(const std::string& path) {
    gzFile in = gzopen(path.c_str(), "rb");
    if (!in) Die("cannot open " + path);
    Topology t;
    char buf[512];
    while (gzgets(in, buf, sizeof buf)) {
        t.text += buf;
        size_t n = std::strlen(buf);
        while (n > 0 && (buf[n - 1] == '\n' || buf[n - 1] == '\r')) --n;
        if (std::strncmp(buf, "ATOM  ", 6) != 0 && std::strncmp(buf, "HETATM", 6) != 0) continue;
        if (n < 54) Die("an atom line without coordinates in " + path);  // would shift atom indices
        t.xyz.push_back({static_cast<float>(Column(buf, n, 30, 8)), static_cast<float>(Column(buf, n, 38, 8)),
                         static_cast<float>(Column(buf, n, 46, 8))});
    }
    gzclose(in);
    return t;
}

// Uniform in [-1, 1) from a counter: splitmix64, so every value is fixed by
// (step, atom, axis) alone.
double Noise(std::uint64_t counter) {
    std::uint64_t z = counter + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) * 0x1.0p-52 - 1.0;
}

// Every record of the file is framed by its length before and after it.
class Writer {
public:
    explicit Writer(const fs::path& path) : f_(std::fopen(path.c_str(), "wb")) {
        if (!f_) Die("cannot write " + path.string());
        std::setvbuf(f_, nullptr, _IOFBF, 1 << 20);
    }
    ~Writer() {
        if (f_) std::fclose(f_);
    }
    void Record(const void* body, std::int32_t length) {
        Put(&length, 4);
        Put(body, static_cast<size_t>(length));
        Put(&length, 4);
    }
    void Close() {
        const bool ok = std::fclose(f_) == 0 && ok_;
        f_ = nullptr;
        if (!ok) Die("error writing the trajectory");
    }

private:
    // Little-endian by the host's order: the benchmark machines are x86 or arm64.
    void Put(const void* p, size_t n) { ok_ = ok_ && std::fwrite(p, 1, n, f_) == n; }
    std::FILE* f_;
    bool ok_ = true;
};

void WriteDcd(const Topology& t, const fs::path& out, const std::string& sourceName) {
    const size_t n = t.xyz.size();
    std::array<double, 3> lo{1e30, 1e30, 1e30}, hi{-1e30, -1e30, -1e30}, centre{};
    for (const auto& p : t.xyz)
        for (size_t k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], static_cast<double>(p[k]));
            hi[k] = std::max(hi[k], static_cast<double>(p[k]));
        }
    for (size_t k = 0; k < 3; ++k) centre[k] = (lo[k] + hi[k]) / 2;

    const fs::path partial = out.string() + ".partial";
    Writer w(partial);

    // Control integers as a CHARMM-style writer fills them: steps, first
    // step, interval, total; the time step as a float; 1 at index 10 for a
    // unit-cell record per step; a nonzero version last.
    char header[84] = {'C', 'O', 'R', 'D'};
    std::int32_t control[20] = {kSteps, 0, 1, kSteps};
    const float delta = 0.0409f;  // 2 fs in AKMA time units
    std::memcpy(&control[9], &delta, 4);
    control[10] = 1;
    control[19] = 24;
    std::memcpy(header + 4, control, sizeof control);
    w.Record(header, 84);

    char title[4 + 2 * 80];
    const std::int32_t lines = 2;
    std::memcpy(title, &lines, 4);
    std::snprintf(title + 4, 81, "%-80.80s", ("REMARKS Velm benchmark trajectory of " + sourceName).c_str());
    std::snprintf(title + 84, 81, "%-80.80s", "REMARKS rotated, shifted and jittered copies (make_large_dcd)");
    w.Record(title, sizeof title);
    const std::int32_t atoms = static_cast<std::int32_t>(n);
    w.Record(&atoms, 4);

    // No CRYST1 in the source: the extent of the atoms stands in for the box.
    const double cell[6] = {hi[0] - lo[0], 90.0, hi[1] - lo[1], 90.0, 90.0, hi[2] - lo[2]};
    const double axis[3] = {0.32, 0.55, 0.77};
    const double axisLength = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    const double ux = axis[0] / axisLength, uy = axis[1] / axisLength, uz = axis[2] / axisLength;
    constexpr double pi = std::numbers::pi;
    std::vector<float> x(n), y(n), z(n);
    for (int step = 0; step < kSteps; ++step) {
        const double angle = 8.0 * pi / 180.0 * std::sin(2 * pi * step / 125.0);
        const double shift[3] = {3.0 * std::sin(step / 40.0), 2.0 * std::cos(step / 55.0), step / 250.0};
        // Rotation about the unit axis (Rodrigues).
        const double c = std::cos(angle), s = std::sin(angle), v = 1 - c;
        const double R[3][3] = {{c + ux * ux * v, ux * uy * v - uz * s, ux * uz * v + uy * s},
                                {uy * ux * v + uz * s, c + uy * uy * v, uy * uz * v - ux * s},
                                {uz * ux * v - uy * s, uz * uy * v + ux * s, c + uz * uz * v}};
        for (size_t i = 0; i < n; ++i) {
            const double p[3] = {t.xyz[i][0] - centre[0], t.xyz[i][1] - centre[1], t.xyz[i][2] - centre[2]};
            const std::uint64_t key = (static_cast<std::uint64_t>(step) * n + i) * 3;
            double q[3];
            for (int r = 0; r < 3; ++r)
                q[r] = R[r][0] * p[0] + R[r][1] * p[1] + R[r][2] * p[2] + centre[r] + shift[r] +
                       kJitter * Noise(key + static_cast<std::uint64_t>(r));
            x[i] = static_cast<float>(q[0]);
            y[i] = static_cast<float>(q[1]);
            z[i] = static_cast<float>(q[2]);
        }
        w.Record(cell, sizeof cell);
        for (const auto* values : {&x, &y, &z}) w.Record(values->data(), static_cast<std::int32_t>(4 * n));
    }
    w.Close();
    fs::rename(partial, out);  // a run killed half-way leaves no file that looks complete
    std::printf("wrote %s: %zu atoms, %d steps, %.1f MB\n", out.c_str(), n, kSteps,
                static_cast<double>(fs::file_size(out)) / 1e6);
}

void WriteText(const std::string& text, const fs::path& out) {
    const fs::path partial = out.string() + ".partial";
    std::FILE* f = std::fopen(partial.c_str(), "wb");
    if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size() || std::fclose(f) != 0)
        Die("cannot write " + out.string());
    fs::rename(partial, out);
    std::printf("wrote %s\n", out.c_str());
}


}  // namespace

int main(int argc, char** argv) {
    const fs::path dir = argc > 1 ? argv[1] : "/tmp/velm-bench";
    const std::string source = argc > 2 ? argv[2] : DefaultSource();
    fs::create_directories(dir);
    const fs::path pdb = dir / "dcd_50k.pdb";
    const fs::path dcd = dir / "dcd_50k_500.dcd";
    if (fs::exists(pdb) && fs::exists(dcd)) {
        std::printf("kept %s and %s\n", pdb.c_str(), dcd.c_str());
        return 0;
    }
    const Topology t = ReadTopology(source);
    if (t.xyz.empty()) Die("no atoms in " + source);
    std::printf("source %s: %zu atoms\n", source.c_str(), t.xyz.size());
    // The pair is written together: a trajectory always matches its topology.
    WriteText(t.text, pdb);
    WriteDcd(t, dcd, fs::path(source).filename().string());
    return 0;
}
