#include "batch/Batch.h"

#include <cstdio>

#include "batch/StderrUiHooks.h"
#include "core/VelmError.h"
#include "model/VelmDoc.h"

namespace velm {

namespace {

constexpr const char* kUsage =
    "usage: velm -batch [options] FILE...\n"
    "  Loads each PDB file (plain or gzip-compressed) and prints one line per molecule:\n"
    "  path= atoms= models= chains= residues= bonds= frames= hetero= shift=x,y,z\n"
    "options:\n"
    "  -no_connect   do not compute covalent bonds\n"
    "  -multi        read the models of a file as the frames of a trajectory\n"
    "  -v            report progress on stderr\n";

// A path with blanks or quotes is written quoted, so that lines split on blanks.
std::string PathField(const std::string& path) {
    if (path.find_first_of(" \t\"\\") == std::string::npos && !path.empty()) return path;
    std::string q = "\"";
    for (char c : path) {
        if (c == '"' || c == '\\') q += '\\';
        q += c;
    }
    return q + '"';
}

int ModelCount(const Molecule& m) {
    if (m.FrameCount() > 0) return m.FrameCount() + 1;
    int models = m.atoms.empty() ? 0 : 1;
    for (size_t i = 1; i < m.atoms.size(); ++i)
        if (m.atoms[i].model != m.atoms[i - 1].model) ++models;
    return models;
}

}  // namespace

std::string MoleculeSummary(const Molecule& m) {
    char numbers[512];
    std::snprintf(numbers, sizeof numbers,
                  " atoms=%d models=%d chains=%zu residues=%d bonds=%zu frames=%d hetero=%d shift=%.4f,%.4f,%.4f",
                  m.AtomCount(), ModelCount(m), m.chains.size(), m.ResidueCount(), m.bonds.size(), m.FrameCount(),
                  m.HeteroCount(), m.centreShift.x, m.centreShift.y, m.centreShift.z);
    return "path=" + PathField(m.path) + numbers;
}

int RunBatch(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    bool verbose = false;
    ReadOptions options;
    std::vector<std::string> files;
    for (const std::string& a : args) {
        if (a == "-no_connect") options.computeConnectivity = 0;
        else if (a == "-multi") options.multipleAsTrajectory = 1;
        else if (a == "-v") verbose = true;
        else if (a == "-help" || a == "-?") {
            std::fputs(kUsage, out);
            return 0;
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(err, "velm: unknown option %s\n%s", a.c_str(), kUsage);
            return 2;
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) {
        std::fputs(kUsage, err);
        return 2;
    }

    StderrUiHooks ui(err, verbose);
    CVelmDoc doc(ui);
    doc.options = options;
    for (const std::string& path : files) {
        try {
            if (!doc.AddMoleculeFromFile(path)) throw VelmError("Unable to read file", "VelmDoc", __LINE__);
            std::fprintf(out, "%s\n", MoleculeSummary(*doc.primary).c_str());
            std::fflush(out);
        } catch (const VelmError& e) {
            std::fprintf(err, "velm: %s: %s\n", path.c_str(), e.shownText().c_str());
            return 1;
        } catch (const std::exception&) {
            std::fprintf(err, "velm: %s: Unable to read input file!\n", path.c_str());
            return 1;
        }
    }
    return 0;
}

}  // namespace velm
