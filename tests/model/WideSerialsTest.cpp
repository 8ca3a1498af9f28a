#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <tuple>
#include <utility>

#include "core/RecordingUiHooks.h"
#include "model/LineSource.h"
#include "model/Molecule.h"
#include "model/MoleculeRecords.h"
#include "model/PdbFile.h"
#include "model/ReadCoordinates.h"
#include "model/SerialNumbers.h"
#include "support/TestData.h"

using namespace velm;
using velm::test::TempDir;

TEST(WideSerials, StylesReadAsTheirNumbers) {
    struct Case {
        const char* text;
        int width;
        long long expected;  // what the order of the file suggests
        int value;           // -1: no number
    };
    const Case cases[] = {
        {"99999", 5, 99999, 99999},       {"A0000", 5, 100000, 100000},   {"ZZZZZ", 5, 1, 43770015},
        {"a0000", 5, 43770016, 43770016}, {"A000", 4, 10000, 10000},      {"a000", 4, 1223056, 10000 + 26 * 46656},
        {"186a0", 5, 100000, 100000},     {"18700", 5, 100096, 100096},   {"18700", 5, 18700, 18700},
        {"a0000", 5, 655360, 655360},     {"12345", 5, 100000, 12345},    {"*****", 5, 1, -1},
        {"2710", 4, 10000, 10000},        {"2710", 4, 2710, 2710},        {"3d6d", 4, 15724, 15725},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadWideNumber(c.text, c.width, c.expected).value_or(-1), c.value) << c.text;

    // Writing and reading back hybrid-36 at the edges of its ranges.
    const std::tuple<int, int, const char*> fields[] = {{99999, 5, "99999"}, {100000, 5, "A0000"},
                                                        {43770015, 5, "ZZZZZ"}, {43770016, 5, "a0000"},
                                                        {87440031, 5, "zzzzz"}, {10000, 4, "A000"},
                                                        {-999, 4, "-999"}, {7, 5, "    7"}};
    for (const auto& [value, width, text] : fields) {
        EXPECT_EQ(EncodeHybrid36(value, width).value_or("?"), text);
        EXPECT_EQ(DecodeHybrid36(std::string(text).substr(std::string(text).find_first_not_of(' ')), width), value);
    }
    EXPECT_FALSE(EncodeHybrid36(87440032, 5));
    EXPECT_FALSE(EncodeHybrid36(-10000, 5));

    // A serial field that holds no number leaves the atom without a serial;
    // the residue number of a blank chain may be hybrid-36 as well.
    MemoryLineSource lines("ATOM  ***** CA   ALA A   1       1.000   2.000   3.000\n"
                           "ATOM      x CB   ALA A   1       1.000   2.000   4.500\n"
                           "HETATMA0000 OH2  TIP3 A000       5.000   2.000   3.000\n");
    const PdbFile file = PdbFile::Read(lines);
    ASSERT_EQ(file.atoms.size(), 3u);
    EXPECT_EQ(file.atoms[0].serial, kNoSerial);
    EXPECT_EQ(file.atoms[1].serial, kNoSerial);
    EXPECT_EQ(file.atoms[2].serial, 100000);
    EXPECT_EQ(file.atoms[2].residueNumber, 10000);
    EXPECT_EQ(file.atoms[2].chain, ' ');
}

namespace {

enum class Style { Plain, Modulo, Hybrid36, Hexadecimal };

// A serial (width 5) or residue number (width 4) as each kind of program writes it.
std::string Field(int n, int width, Style style) {
    const int decimalEnd = width == 5 ? 100000 : 10000;
    char text[16];
    switch (style) {
    case Style::Plain: std::snprintf(text, sizeof text, "%*d", width, n); break;
    case Style::Modulo: std::snprintf(text, sizeof text, "%*d", width, n % decimalEnd); break;
    case Style::Hybrid36: return EncodeHybrid36(n, width).value();
    case Style::Hexadecimal: std::snprintf(text, sizeof text, n < decimalEnd ? "%*d" : "%*x", width, n); break;
    }
    return text;
}

// `copies` copies of a real system side by side, 300 A apart, numbered on
// through all of them; waters and ions as HETATM records with CONECT
// records of `bonds` (record indices, written in atom order after the atoms).
std::string System(const PdbFile& source, int copies, Style style, const std::vector<std::pair<int, int>>& bonds) {
    std::string text;
    const int n = static_cast<int>(source.atoms.size());
    char line[160];
    for (int c = 0; c < copies; ++c) {
        for (int i = 0; i < n; ++i) {
            const PdbAtomRecord& r = source.atoms[i];
            std::snprintf(line, sizeof line, "%-6s%5s %-4s %-4s%c%4s    %8.3f%8.3f%8.3f  1.00  0.00\n",
                          r.hetero ? "HETATM" : "ATOM", Field(c * n + i + 1, 5, style).c_str(), r.name, r.residueName,
                          r.chain, Field(r.residueNumber, 4, style).c_str(), r.x + 300.0 * c, r.y, r.z);
            text += line;
        }
    }
    for (size_t k = 0; k < bonds.size();) {
        const int a = bonds[k].first;
        text += "CONECT" + Field(a + 1, 5, style);
        for (; k < bonds.size() && bonds[k].first == a; ++k) text += Field(bonds[k].second + 1, 5, style);
        text += '\n';
    }
    return text + "END\n";
}

Molecule Load(const std::string& path) {
    RecordingUiHooks ui;
    Molecule m;
    ReadCoordinateFile(m, path, false, true, ByExtension, ui);
    return m;
}

std::set<std::pair<int, int>> BondSet(const Molecule& m) {
    std::set<std::pair<int, int>> s;
    for (const Bond& b : m.bonds) s.emplace(b.first, b.second);
    return s;
}

}  // namespace

// A solvated system of 50,293 atoms twice over: 100,586 atoms, past the
// five columns of the serial and the four of the residue number.
TEST(WideSerials, LargeSystemsLoadWholeInEveryStyle) {
    TempDir dir;
    const PdbFile source = PdbFile::Read(test::DataPath("1tw7_solvated.pdb.gz"));
    const int n = static_cast<int>(source.atoms.size());
    const Molecule plain = Load(dir.Write("plain.pdb", System(source, 2, Style::Plain, {})));
    ASSERT_EQ(plain.AtomCount(), 2 * n);

    // Every bond of the waters and ions is listed again as CONECT records:
    // where serials repeat, a partner taken from the wrong copy would show.
    std::vector<std::pair<int, int>> listed;
    for (int i = 0; i < plain.AtomCount(); ++i)
        if (plain.atoms[i].hetero)
            for (int j : plain.Partners(i)) listed.emplace_back(i, j);
    ASSERT_GT(listed.size(), 100000u);

    for (const Style style : {Style::Modulo, Style::Hybrid36, Style::Hexadecimal}) {
        SCOPED_TRACE(static_cast<int>(style));
        const Molecule m = Load(dir.Write("styled.pdb", System(source, 2, style, listed)));
        ASSERT_EQ(m.AtomCount(), plain.AtomCount());
        EXPECT_EQ(BondSet(m), BondSet(plain));
        size_t residues = 0, plainResidues = 0;
        for (const Chain& c : m.chains) residues += c.residues.size();
        for (const Chain& c : plain.chains) plainResidues += c.residues.size();
        EXPECT_EQ(m.chains.size(), plain.chains.size());
        EXPECT_EQ(residues, plainResidues);
        const bool modulo = style == Style::Modulo;
        int wrong = 0;
        for (int i = 0; i < m.AtomCount(); ++i) {
            const Atom &a = m.atoms[i], &p = plain.atoms[i];
            wrong += a.serial != (modulo ? p.serial % 100000 : p.serial) ||
                     a.residueNumber != (modulo ? p.residueNumber % 10000 : p.residueNumber) || a.model != p.model;
        }
        EXPECT_EQ(wrong, 0);
    }
}

TEST(WideSerials, SavedLargeMoleculeReadsBackWhole) {
    TempDir dir;
    const PdbFile source = PdbFile::Read(test::DataPath("1tw7_solvated.pdb.gz"));
    const Molecule m = Load(dir.Write("three.pdb", System(source, 3, Style::Plain, {})));
    ASSERT_GT(m.AtomCount(), 150000);
    const std::string saved = dir.Write("saved.pdb", "");
    std::FILE* out = std::fopen(saved.c_str(), "w");
    ASSERT_TRUE(out);
    WriteMolecule(out, m, 0, 0, 3, true, false, saved);
    std::fclose(out);
    const std::string text = test::ReadText(saved);
    EXPECT_NE(text.find("HETATMA0000"), std::string::npos);
    const Molecule back = Load(saved);
    ASSERT_EQ(back.AtomCount(), m.AtomCount());
    EXPECT_EQ(BondSet(back), BondSet(m));
    EXPECT_EQ(back.atoms.back().serial, m.atoms.back().serial);
    EXPECT_EQ(back.atoms.back().residueNumber, m.atoms.back().residueNumber);
}

// Past 9,999 residue numbers wrap, run into the chain letter or change
// style; a protein's residues still start where the number changes.
TEST(WideSerials, ResidueNumbersPastTheColumnsStartNewResidues) {
    struct Case {
        const char* fields[3];  // chain and residue number columns of three residues
        int numbers[3];
    };
    const Case cases[] = {
        {{"A9999", "A   0", "A   1"}, {9999, 0, 1}},
        {{"A9999", "A10000", "A10001"}, {9999, 10000, 10001}},
        {{"A9999", "AA000", "AA001"}, {9999, 10000, 10001}},
        {{"A9999", "A2710", "A2711"}, {9999, 10000, 10001}},
    };
    TempDir dir;
    for (const Case& c : cases) {
        std::string text;
        int serial = 0;
        for (int r = 0; r < 3; ++r)
            for (const char* name : {"CA", "O"}) {
                char line[128];
                std::snprintf(line, sizeof line, "ATOM  %5d  %-3s ALA %-6s    %8.3f%8.3f%8.3f  1.00  0.00\n", ++serial,
                              name, c.fields[r], 3.8 * r, name[0] == 'O' ? 1.2 : 0.0, 0.0);
                text += line;
            }
        const Molecule m = Load(dir.Write("residues.pdb", text));
        SCOPED_TRACE(c.fields[1]);
        ASSERT_EQ(m.chains.size(), 1u);
        ASSERT_EQ(m.chains[0].residues.size(), 3u);
        for (int r = 0; r < 3; ++r) EXPECT_EQ(m.chains[0].residues[r].number, c.numbers[r]);
    }
}
