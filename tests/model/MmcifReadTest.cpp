#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "core/RecordingUiHooks.h"
#include "core/VelmError.h"
#include "model/MmcifRead.h"
#include "model/Molecule.h"
#include "model/ReadCoordinates.h"
#include "support/TestData.h"

using namespace velm;
using velm::test::TempDir;

namespace {

Molecule Load(const std::string& path, bool multi = false, FileType type = ByExtension) {
    RecordingUiHooks ui;
    Molecule m;
    ReadCoordinateFile(m, path, multi, true, type, ui);
    return m;
}

std::set<std::pair<int, int>> BondSet(const Molecule& m) {
    std::set<std::pair<int, int>> s;
    for (const Bond& b : m.bonds) s.emplace(b.first, b.second);
    return s;
}

std::string Gunzipped(const std::string& path) {
    gzFile gz = gzopen(path.c_str(), "rb");
    std::string text;
    char buffer[65536];
    for (int n; gz && (n = gzread(gz, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    if (gz) gzclose(gz);
    return text;
}

size_t ResidueCount(const Molecule& m) {
    size_t n = 0;
    for (const Chain& c : m.chains) n += c.residues.size();
    return n;
}

}  // namespace

// The same entries as PDB and as mmCIF (written from those PDB files by
// gemmi, see SOURCES.md) load alike. The one difference allowed is a bond of
// an atom that the PDB file's CONECT records name and the distance rule does
// not find: gemmi writes only LINK and SSBOND records as links (struct_conn),
// so the 20 iron-nitrogen bonds of 2hhb's hemes (16 in the rings, 4 to a
// histidine), listed by CONECT only, are not in its mmCIF file.
TEST(Mmcif, LoadsAsTheSameEntryInPdbFormat) {
    for (const char* entry : {"1ubi", "2hhb", "3al1", "2k39_3models"}) {
        SCOPED_TRACE(entry);
        const Molecule pdb = Load(test::DataPath(std::string(entry) + ".pdb"));
        const Molecule cif = Load(test::DataPath(std::string(entry) + ".cif.gz"));
        ASSERT_EQ(cif.AtomCount(), pdb.AtomCount());
        // Allowed differences: chains of the mmCIF file are the author's,
        // which the PDB reader keeps apart from the letters it gives after TER
        // (chainAsRead); ids in the mmCIF file do not count TER records, so
        // serials differ; 2hhb's PDB file is of the old format, without
        // element columns, where the mmCIF file names every element, and
        // with heme nitrogens named with a blank ("N A"), which the PDB
        // reader, splitting at blanks, reads as "N" (16 atoms).
        const bool pdbElements = std::string(entry) != "2hhb";
        int different = 0;
        for (int i = 0; i < pdb.AtomCount(); ++i) {
            const Atom &a = pdb.atoms[i], &b = cif.atoms[i];
            different += a.Name() != b.Name() || a.ResidueName() != b.ResidueName() ||
                         a.residueNumber != b.residueNumber || a.insertionCode != b.insertionCode ||
                         a.chainAsRead != b.chain || a.hetero != b.hetero || a.altLoc != b.altLoc ||
                         (a.ElementSymbol() != b.ElementSymbol() && pdbElements) ||
                         std::fabs(a.x - b.x) + std::fabs(a.y - b.y) + std::fabs(a.z - b.z) > 1e-9 ||
                         std::fabs(a.occupancy - b.occupancy) > 1e-9 ||
                         std::fabs(a.temperatureFactor - b.temperatureFactor) > 1e-9 || (a.model != b.model);
        }
        EXPECT_EQ(different, std::string(entry) == "2hhb" ? 16 : 0);
        EXPECT_EQ(cif.chains.size(), pdb.chains.size());
        EXPECT_EQ(ResidueCount(cif), ResidueCount(pdb));

        const auto pdbBonds = BondSet(pdb), cifBonds = BondSet(cif);
        int unexplained = 0, conectOnly = 0;
        for (const auto& b : pdbBonds) {
            if (cifBonds.contains(b)) continue;
            ++conectOnly;
            unexplained += !pdb.atoms[b.first].hadConect && !pdb.atoms[b.second].hadConect;
        }
        for (const auto& b : cifBonds) unexplained += !pdbBonds.contains(b);
        EXPECT_EQ(unexplained, 0);
        EXPECT_EQ(conectOnly, std::string(entry) == "2hhb" ? 20 : 0);
    }
}

// 6yfy, a real entry of 26 models of 1,460 atoms (37,960 sites as gemmi
// counts them), with 68 covalent links to its modified residues.
TEST(Mmcif, ModelsAsStructuresOrFrames) {
    const Molecule all = Load(test::DataPath("6yfy.cif.gz"));
    EXPECT_EQ(all.AtomCount(), 37960);
    EXPECT_EQ(all.atoms.back().model, 26);
    const Molecule frames = Load(test::DataPath("6yfy.cif.gz"), true);
    EXPECT_EQ(frames.AtomCount(), 1460);
    EXPECT_EQ(frames.FrameCount(), 25);
    EXPECT_GT(frames.bonds.size(), 1400u);
    // Every covalent link of struct_conn names two atoms of the first model.
    EXPECT_EQ(ReadMmcif(test::DataPath("6yfy.cif.gz")).bondCount, 68);
    EXPECT_EQ(ReadMmcif(test::DataPath("3al1.cif.gz")).conects.size(), 4u);
}

// More than 100,000 atoms: 6yfy's atom sites three times over, as 78 models
// under author chain ids of two characters ("A1", "A2", ...).
TEST(Mmcif, LargeFileLoadsEveryAtom) {
    std::istringstream in(Gunzipped(test::DataPath("6yfy.cif.gz")));
    std::string head, rows, tail, line;
    int stage = 0, column = 0, modelColumn = -1, chainColumn = -1, idColumn = -1;
    while (std::getline(in, line)) {
        if (stage == 0 && line.rfind("_atom_site.", 0) == 0) {
            const std::string tag = line.substr(11, line.find_last_not_of(' ') - 10);
            if (tag == "pdbx_PDB_model_num") modelColumn = column;
            if (tag == "auth_asym_id") chainColumn = column;
            if (tag == "id") idColumn = column;
            ++column;
        } else if (stage == 0 && column > 0) {
            stage = 1;
        }
        if (stage == 1 && line.rfind("ATOM", 0) != 0 && line.rfind("HETATM", 0) != 0) stage = 2;
        (stage == 0 ? head : stage == 1 ? rows : tail) += line + "\n";
    }
    ASSERT_GE(modelColumn, 0);
    std::string text = head;
    for (int copy = 0; copy < 3; ++copy) {
        std::istringstream r(rows);
        while (std::getline(r, line)) {
            std::istringstream fields(line);
            std::string f;
            for (int c = 0; fields >> f; ++c) {
                if (c == modelColumn) f = std::to_string(std::stoi(f) + 26 * copy);
                if (c == chainColumn) f += std::to_string(copy + 1);
                if (c == idColumn) f = std::to_string(std::stoi(f) + 40000 * copy);
                text += f + ' ';
            }
            text += '\n';
        }
    }
    TempDir dir;
    const Molecule m = Load(dir.Write("large.cif", text + tail));
    EXPECT_EQ(m.AtomCount(), 3 * 37960);
    EXPECT_EQ(m.atoms.back().model, 78);
    EXPECT_NE(m.atoms.front().chain, m.atoms.back().chain);
}

// A downloaded entry has no telling name: its first line says mmCIF. A
// broken file is refused with the reason, whatever its name.
TEST(Mmcif, ToldByContentAndRefusedWhenBroken) {
    TempDir dir;
    const std::string good = Gunzipped(test::DataPath("1ubi.cif.gz"));
    EXPECT_EQ(Load(dir.Write("entry", good), false, PdbType).AtomCount(), 683);
    const std::string cut = good.substr(0, good.find("ATOM") + 30);
    const struct {
        const char* name;
        std::string text;
        const char* reason;
    } broken[] = {
        {"cut.cif", cut, "Error parsing file! "},
        {"quote.cif", "data_x\nloop_\n_atom_site.id\n_atom_site.Cartn_x\n1 'open\n", "Error parsing file! "},
        {"coordinate.cif", "data_x\nloop_\n_atom_site.id\n_atom_site.auth_atom_id\n_atom_site.Cartn_x\n"
                           "_atom_site.Cartn_y\n_atom_site.Cartn_z\n1 CA 1.0 ? 2.0\n",
         "Error parsing file! missing Cartn_y"},
    };
    for (const auto& b : broken) {
        std::string error;
        try {
            Load(dir.Write(b.name, b.text));
        } catch (const VelmError& e) {
            error = e.text();
        }
        EXPECT_NE(error.find(b.reason), std::string::npos) << b.name << ": " << error;
        EXPECT_EQ(error.rfind("Can't open ``", 0), 0u) << error;
    }
}
