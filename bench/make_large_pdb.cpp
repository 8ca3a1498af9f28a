// Writes the large PDB files the loading benchmark reads: copies of a real
// solvated MD system tiled on a 3D lattice, each copy shifted by the box
// size, so the density stays that of the real system and copies never touch.
//
//   make_large_pdb [DIR [SOURCE]]    (DIR defaults to /tmp/velm-bench)
//
// Files already in DIR are kept: the benchmark reruns should not pay for
// writing ~80 MB again.
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchSupport.h"

namespace fs = std::filesystem;

namespace {

using namespace velm::bench;

struct Source {
    std::vector<std::string> atomLines;  // ATOM/HETATM lines, without the line feed
    std::array<double, 3> box{};         // lattice shift per axis
    bool boxFromCryst1 = false;
};

double Column(const std::string& line, size_t first, size_t width) {
    return line.size() > first ? std::atof(line.substr(first, width).c_str()) : 0.0;
}

// Reads a plain or gzip-compressed PDB file (gz streams read both).
Source ReadSource(const std::string& path) {
    gzFile in = gzopen(path.c_str(), "rb");
    if (!in) {
        std::fprintf(stderr, "make_large_pdb: cannot open %s\n", path.c_str());
        std::exit(1);
    }
    Source s;
    std::array<double, 3> lo{1e30, 1e30, 1e30}, hi{-1e30, -1e30, -1e30};
    char buf[512];
    while (gzgets(in, buf, sizeof buf)) {
        std::string line(buf);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (line.rfind("CRYST1", 0) == 0) {
            s.box = {Column(line, 6, 9), Column(line, 15, 9), Column(line, 24, 9)};
            s.boxFromCryst1 = s.box[0] > 0 && s.box[1] > 0 && s.box[2] > 0;
        }
        if (line.rfind("ATOM  ", 0) != 0 && line.rfind("HETATM", 0) != 0) continue;
        if (line.size() < 54) continue;  // no coordinates to shift
        for (size_t k = 0; k < 3; ++k) {
            const double v = Column(line, 30 + 8 * k, 8);
            lo[k] = std::min(lo[k], v);
            hi[k] = std::max(hi[k], v);
        }
        s.atomLines.push_back(std::move(line));
    }
    gzclose(in);
    // Without a CRYST1 box the extent of the atoms stands in for it; the 2 A
    // margin keeps atoms of neighbouring copies beyond any covalent reach.
    if (!s.boxFromCryst1)
        for (size_t k = 0; k < 3; ++k) s.box[k] = hi[k] - lo[k] + 2.0;
    return s;
}

// Lattice nx * ny * nz == copies, as close to a cube as the factors allow.
std::array<int, 3> Lattice(int copies) {
    std::array<int, 3> best{copies, 1, 1};
    for (int x = 1; x <= copies; ++x)
        for (int y = 1; y <= x; ++y) {
            if (copies % (x * y) != 0) continue;
            const int z = copies / (x * y);
            if (z > y) continue;
            if (x < best[0] || (x == best[0] && x + y + z < best[0] + best[1] + best[2])) best = {x, y, z};
        }
    return best;
}

void WriteTiled(const Source& s, int copies, const fs::path& out, const std::string& sourceName) {
    const auto [nx, ny, nz] = Lattice(copies);
    const fs::path partial = out.string() + ".partial";
    std::FILE* f = std::fopen(partial.c_str(), "w");
    if (!f) {
        std::fprintf(stderr, "make_large_pdb: cannot write %s\n", partial.c_str());
        std::exit(1);
    }
    std::fprintf(f, "REMARK   %d copies of %s on a %dx%dx%d lattice\n", copies, sourceName.c_str(), nx, ny, nz);
    std::fprintf(f, "CRYST1%9.3f%9.3f%9.3f%7.2f%7.2f%7.2f P 1           1\n", nx * s.box[0], ny * s.box[1],
                 nz * s.box[2], 90.0, 90.0, 90.0);
    long serial = 0;
    for (int iz = 0; iz < nz; ++iz)
        for (int iy = 0; iy < ny; ++iy)
            for (int ix = 0; ix < nx; ++ix) {
                const double shift[3] = {ix * s.box[0], iy * s.box[1], iz * s.box[2]};
                for (const std::string& line : s.atomLines) {
                    // Serials wrap as MD programs write them; columns 12-30
                    // (name, residue, blank chain, residue number) and 55 on
                    // (occupancy, B, segid) stay as in the source, and no TER
                    // is written, so no reader sees a chain break.
                    ++serial;
                    std::fprintf(f, "%.6s%5ld%.19s%8.3f%8.3f%8.3f%s\n", line.c_str(), serial % 100000,
                                 line.c_str() + 11, Column(line, 30, 8) + shift[0], Column(line, 38, 8) + shift[1],
                                 Column(line, 46, 8) + shift[2], line.c_str() + 54);
                }
            }
    std::fprintf(f, "END\n");
    if (std::fclose(f) != 0) {
        std::fprintf(stderr, "make_large_pdb: error writing %s\n", partial.c_str());
        std::exit(1);
    }
    fs::rename(partial, out);  // a run killed half-way leaves no file that looks complete
    std::printf("wrote %s: %ld atoms, %dx%dx%d copies, %.1f MB\n", out.c_str(), serial, nx, ny, nz,
                static_cast<double>(fs::file_size(out)) / 1e6);
}


}  // namespace

int main(int argc, char** argv) {
    const fs::path dir = argc > 1 ? argv[1] : "/tmp/velm-bench";
    const std::string source = argc > 2 ? argv[2] : DefaultSource();
    fs::create_directories(dir);

    // 20 copies of the 50,293-atom system make ~1.0M atoms; 2 copies, a
    // tenth of that, show whether the load time grows linearly.
    const struct {
        const char* name;
        int copies;
    } outputs[] = {{"tiled_1M.pdb", 20}, {"tiled_100k.pdb", 2}};

    Source s;
    for (const auto& o : outputs) {
        const fs::path out = dir / o.name;
        if (fs::exists(out)) {
            std::printf("kept %s\n", out.c_str());
            continue;
        }
        if (s.atomLines.empty()) {
            s = ReadSource(source);
            if (s.atomLines.empty()) {
                std::fprintf(stderr, "make_large_pdb: no atoms in %s\n", source.c_str());
                return 1;
            }
            std::printf("source %s: %zu atoms, box %.3f x %.3f x %.3f A (%s)\n", source.c_str(), s.atomLines.size(),
                        s.box[0], s.box[1], s.box[2], s.boxFromCryst1 ? "CRYST1" : "atom extent + 2 A");
        }
        WriteTiled(s, o.copies, out, fs::path(source).filename().string());
    }
    return 0;
}
