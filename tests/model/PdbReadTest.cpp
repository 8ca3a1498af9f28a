#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/VelmError.h"
#include "model/LineSource.h"
#include "model/PdbFile.h"
#include "support/TestData.h"

using namespace velm;

namespace {

PdbFile ReadText(const std::string& text) {
    MemoryLineSource source(text);
    return PdbFile::Read(source);
}

std::string ReadError(const std::string& text) {
    try {
        ReadText(text);
    } catch (const VelmError& e) {
        return e.text();
    }
    return "no error";
}

struct RecordCase {
    const char* line;
    const char* name;
    const char* residue;
    char chain;
    int number;
    char insertion;
    double x, y, z;
    double occupancy, temperature;
    int hetero;
};

}  // namespace

TEST(PdbRead, OneRecordPerLineShape) {
    const RecordCase cases[] = {
        // Standard columns.
        {"ATOM      1  N   ALA A   1      11.104   6.134  -6.504  1.00  0.00", "N", "ALA", 'A', 1, ' ', 11.104, 6.134,
         -6.504, 1.0, 0.0, 0},
        // No chain letter.
        {"ATOM      1  N   ALA     1      11.104   6.134  -6.504  1.00  0.00", "N", "ALA", ' ', 1, ' ', 11.104, 6.134,
         -6.504, 1.0, 0.0, 0},
        // Name glued to the residue name.
        {"ATOM     12 HD11LEU A   5       1.000   2.000   3.000  1.00 10.00", "HD11", "LEU", 'A', 5, ' ', 1, 2, 3,
         1.0, 10.0, 0},
        // Four-character residue name glued to the chain; solvent is hetero.
        {"ATOM 1 OH2 TIP3W 1 1.0 2.0 3.0", "OH2", "TIP3", 'W', 1, ' ', 1, 2, 3, 1.0, 0.0, 1},
        // Glued coordinates: x with y, then y with z, then all three.
        {"ATOM 1 CA GLY A 7 -12.345-6.789 1.5", "CA", "GLY", 'A', 7, ' ', -12.345, -6.789, 1.5, 1.0, 0.0, 0},
        {"ATOM 1 CA GLY A 7 1.5 -12.345-6.789", "CA", "GLY", 'A', 7, ' ', 1.5, -12.345, -6.789, 1.0, 0.0, 0},
        {"ATOM 1 CA GLY A 7 -1.000-22.000-333.000", "CA", "GLY", 'A', 7, ' ', -1, -22, -333, 1.0, 0.0, 0},
        // Chain glued to the residue number; MD files with a segment id after the columns.
        {"ATOM   3111  OH2 TIP3 W1000     -28.430 -30.303 -33.703  0.50  7.25      SOLV", "OH2", "TIP3", 'W', 1000,
         ' ', -28.43, -30.303, -33.703, 0.5, 7.25, 1},
        // Missing residue name.
        {"ATOM 5 C 12 1.0 2.0 3.0", "C", "UNK0", ' ', 12, ' ', 1, 2, 3, 1.0, 0.0, 0},
        // Numeric chain identifier.
        {"ATOM 5 CA ALA 1 12 1.0 2.0 3.0", "CA", "ALA", '1', 12, ' ', 1, 2, 3, 1.0, 0.0, 0},
        // HETATM with a one-character token before the residue name.
        {"HETATM 5 O W HOH 3 1.0 2.0 3.0 1.0 20.0", "O", "HOH", ' ', 3, ' ', 1, 2, 3, 1.0, 20.0, 1},
        // Ions whose residue name is one letter, with and without a chain.
        {"HETATM 3000  K     K A 401      10.000  20.000  30.000  1.00 20.00           K", "K", "K", 'A', 401, ' ',
         10, 20, 30, 1.0, 20.0, 1},
        {"HETATM 3000  K     K   401      10.000  20.000  30.000  1.00 20.00           K", "K", "K", ' ', 401, ' ',
         10, 20, 30, 1.0, 20.0, 1},
        // Glued record name and serial (serials from 10,000 on).
        {"HETATM22133  PB  ADP B2601     -17.534 -30.951 -63.634  1.00 62.13           P  ", "PB", "ADP", 'B', 2601,
         ' ', -17.534, -30.951, -63.634, 1.0, 62.13, 1},
        // Alternate location letter runs into the residue name.
        {"ATOM     22  HA AGLU A 101      -4.664  -3.187  -5.054  1.00  5.67           H  ", "HA", "GLU", 'A', 101,
         ' ', -4.664, -3.187, -5.054, 1.0, 5.67, 0},
        {"ATOM     23  N  BPRO A 102      -4.664  -3.187  -5.054  0.50  5.67", "N", "PRO", 'A', 102, ' ', -4.664,
         -3.187, -5.054, 0.5, 5.67, 0},
        // A four-letter name that is not an alternate location stays.
        {"ATOM 1 N NALA A 1 1.0 2.0 3.0", "N", "ALA", 'A', 1, ' ', 1, 2, 3, 1.0, 0.0, 0},
        {"ATOM 1 OH2 TIP3 1 1.0 2.0 3.0", "OH2", "TIP3", ' ', 1, ' ', 1, 2, 3, 1.0, 0.0, 1},
        // Numeric ligand codes, with and without a chain; a number followed
        // by a coordinate is the residue number of a line without a name.
        {"HETATM 1519  C1  478   200      11.169  14.977   2.445  1.00 29.50", "C1", "478", ' ', 200, ' ', 11.169,
         14.977, 2.445, 1.0, 29.5, 1},
        {"HETATM 1519  C1  017 A 200      11.169  14.977   2.445  1.00 29.50", "C1", "017", 'A', 200, ' ', 11.169,
         14.977, 2.445, 1.0, 29.5, 1},
        {"ATOM 5 C 1234 1.0 2.0 3.0", "C", "UNK0", ' ', 1234, ' ', 1, 2, 3, 1.0, 0.0, 0},
        // A location letter between a name that fills column 16 and the residue name.
        {"ATOM     17  OE1AGLU A 101      -5.506  -2.283  -2.656  0.70  6.28           O", "OE1", "GLU", 'A', 101,
         ' ', -5.506, -2.283, -2.656, 0.7, 6.28, 0},
        {"ATOM     17 HD11BLEU A 101      -5.506  -2.283  -2.656  0.30  6.28", "HD11", "LEU", 'A', 101, ' ', -5.506,
         -2.283, -2.656, 0.3, 6.28, 0},
        {"HETATM  644  HO2AMPD   400     -20.961  -0.136  -9.684  0.67 12.64", "HO2", "MPD", ' ', 400, ' ', -20.961,
         -0.136, -9.684, 0.67, 12.64, 1},
        // Insertion codes, separate and glued to the chain.
        {"ATOM    400  CA  SER H  52A     10.000  20.000  30.000  1.00 15.00", "CA", "SER", 'H', 52, 'A', 10, 20, 30,
         1.0, 15.0, 0},
        {"ATOM 400 CA SER H100K 10.0 20.0 30.0", "CA", "SER", 'H', 100, 'K', 10, 20, 30, 1.0, 0.0, 0},
        // Negative residue numbers without a chain.
        {"ATOM 1 N MET -3 1.0 2.0 3.0", "N", "MET", ' ', -3, ' ', 1, 2, 3, 1.0, 0.0, 0},
        {"ATOM 1 N MET A-3 1.0 2.0 3.0", "N", "MET", 'A', -3, ' ', 1, 2, 3, 1.0, 0.0, 0},
        // A temperature factor of 100 or more runs into the occupancy.
        {"ATOM      1  CA  LYS A  10      11.104   6.134  -6.504  1.00100.00", "CA", "LYS", 'A', 10, ' ', 11.104,
         6.134, -6.504, 1.0, 100.0, 0},
        // An element symbol where the occupancy would be reads as no occupancy.
        {"ATOM 1 CA LYS A 10 1.0 2.0 3.0 C", "CA", "LYS", 'A', 10, ' ', 1, 2, 3, 1.0, 0.0, 0},
        // CRLF and tabs separate like blanks; lower case names are stored upper-cased.
        {"ATOM\t1\tca\tgly\tA\t7\t1.0\t2.0\t3.0\r", "CA", "GLY", 'A', 7, ' ', 1, 2, 3, 1.0, 0.0, 0},
    };
    for (const RecordCase& c : cases) {
        SCOPED_TRACE(c.line);
        const PdbFile f = ReadText(std::string(c.line) + "\n");
        ASSERT_EQ(f.atoms.size(), 1u);
        const PdbAtomRecord& r = f.atoms[0];
        EXPECT_STREQ(r.name, c.name);
        EXPECT_STREQ(r.residueName, c.residue);
        EXPECT_EQ(r.chain, c.chain);
        EXPECT_EQ(r.residueNumber, c.number);
        EXPECT_EQ(r.insertionCode, c.insertion);
        EXPECT_DOUBLE_EQ(r.x, c.x);
        EXPECT_DOUBLE_EQ(r.y, c.y);
        EXPECT_DOUBLE_EQ(r.z, c.z);
        EXPECT_DOUBLE_EQ(r.occupancy, c.occupancy);
        EXPECT_DOUBLE_EQ(r.temperatureFactor, c.temperature);
        EXPECT_EQ(r.hetero, c.hetero);
    }
}

TEST(PdbRead, GluedNameKeepsItsCase) {
    const PdbFile f = ReadText("ATOM 1 Hd11LEU A 5 1.0 2.0 3.0\nATOM 2 ABCDEFGHIJ A 5 1.0 2.0 3.0\n");
    EXPECT_STREQ(f.atoms[0].name, "Hd11");
    EXPECT_STREQ(f.atoms[1].name, "ABCDEF");  // at most six characters kept
    EXPECT_STREQ(f.atoms[1].residueName, "HIJ");
}

TEST(PdbRead, TerRelabelsARepeatedChain) {
    const PdbFile f = ReadText(
        "ATOM 1 CA ALA A 1 1.0 1.0 1.0\n"
        "TER\n"
        "ATOM 2 CA ALA A 2 2.0 1.0 1.0\n"
        "ATOM 3 CA ALA A 3 3.0 1.0 1.0\n"
        "ATOM 4 CA ALA C 4 4.0 1.0 1.0\n"
        "ATOM 5 CA ALA A 5 5.0 1.0 1.0\n"
        "TER\n"
        "ATOM 6 CA ALA A 6 6.0 1.0 1.0\n"
        "TER\n"
        "ATOM 7 CA ALA A 7 7.0 1.0 1.0\n"
        "TER\n"
        "ATOM 8 CA ALA Z 8 7.0 1.0 1.0\n"
        "TER\n"
        "ATOM 9 CA ALA Z 9 7.0 1.0 1.0\n"
        "ATOM 10 CA ALA 10 1.0 1.0 1.0\n"
        "TER\n"
        "ATOM 11 CA ALA 11 1.0 1.0 1.0\n");
    std::string chains;
    for (const auto& r : f.atoms) chains += r.chain;
    // 'Z' is followed by 'B'; a blank chain by 'A'; a third block continues from the letter before it.
    EXPECT_EQ(chains, "ABBCABCZB A");
}

TEST(PdbRead, ModelsExplicitAndImplicit) {
    const PdbFile f = ReadText(
        "MODEL 1\n"
        "ATOM 1 CA ALA A 1 1.0 1.0 1.0 1.0 5.0\n"
        "ATOM 2 CA ALA A 2 2.0 1.0 1.0 1.0 5.0\n"
        "ENDMDL\nMODEL 7\n"
        "ATOM 1 CA ALA A 1 1.0 1.0 1.0 1.0 5.0\n"
        "ATOM 2 CA ALA A 2 2.0 1.0 1.0 1.0 5.0\n"
        // Serials restart with a new chain and no MODEL record: a new model.
        "ATOM 1 CA ALA B 1 1.0 1.0 1.0 1.0 5.0\n"
        "ATOM 2 CA ALA B 2 1.0 1.0 1.0 1.0 5.0\n"
        // Without a temperature factor, or with the same chain, no new model.
        "ATOM 1 CA ALA C 1 1.0 1.0 1.0\n"
        "ATOM 1 CA ALA C 1 1.0 1.0 1.0 1.0 5.0\n");
    std::vector<int> models;
    for (const auto& r : f.atoms) models.push_back(r.model);
    EXPECT_EQ(models, (std::vector<int>{1, 1, 7, 7, 8, 8, 8, 8}));
    EXPECT_EQ(ReadText("ATOM 1 CA ALA A 1 1.0 1.0 1.0\n").atoms[0].model, 0);
}

TEST(PdbRead, ConectEntries) {
    const PdbFile f = ReadText(
        "ATOM 1 CA ALA A 1 1.0 1.0 1.0\n"
        "CONECT    1    2    3\n"
        "CONECT    7 1234512346\n"
        "CONECT12345    1\n"
        "CONECT 737722160\n"
        // A second line for the same atom continues its entry (four partners a line).
        "CONECT    9    1    2    3    4\n"
        "CONECT    9    5    1\n"
        "CONECT    4    4    5 END\n");
    ASSERT_EQ(f.conects.size(), 6u);
    EXPECT_EQ(f.conects[0].id, 1);
    EXPECT_EQ(f.conects[0].partners, (std::vector<int>{2, 3}));
    EXPECT_EQ(f.conects[1].id, 7);
    EXPECT_EQ(f.conects[1].partners, (std::vector<int>{12346, 12345}));
    EXPECT_EQ(f.conects[2].id, 12345);
    EXPECT_EQ(f.conects[2].partners, (std::vector<int>{1}));
    EXPECT_EQ(f.conects[3].id, 7377);
    EXPECT_EQ(f.conects[3].partners, (std::vector<int>{22160}));
    EXPECT_EQ(f.conects[4].id, 9);
    EXPECT_EQ(f.conects[4].partners, (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(f.conects[5].partners, (std::vector<int>{5}));  // no bond to itself
    // {1,2} {1,3} {7,12346} {7,12345} {12345,1} {7377,22160} {9,1..5} {4,5}
    EXPECT_EQ(f.bondCount, 12);
}

TEST(PdbRead, MonitorsAndBox) {
    const PdbFile f = ReadText(
        "REMARK MONITOR 1 10 20 255 0 0\n"
        "ATOM 10 CA ALA A 1 1.0 1.0 1.0\n"
        "ATOM 20 CA ALA A 2 2.0 1.0 1.0\n"
        "MONITOR 2 10 20 0 300 0\n"   // colour out of range: dropped
        "MONITOR 3 10 99 0 0 0\n"     // unknown serial: dropped
        "MONITOR 4 20 10 1 2\n"       // too few numbers: dropped
        "MONITOR 5 20 10 1 2 3\n"
        "BBOX_R 1 2 3\nBBOX_A 4 5 6\nREMARK BBOX_B 7 8 9 BBOX_C 10 11 12\n");
    ASSERT_EQ(f.monitors.size(), 2u);
    EXPECT_EQ(f.monitors[0].label, 1);
    EXPECT_EQ(f.monitors[0].atom1, 0);
    EXPECT_EQ(f.monitors[0].atom2, 1);
    EXPECT_EQ(f.monitors[0].r, 255);
    EXPECT_EQ(f.monitors[1].label, 5);
    EXPECT_EQ(f.monitors[1].atom1, 1);
    EXPECT_EQ(f.monitors[1].b, 3);
    EXPECT_EQ(f.box.valid, 1);
    EXPECT_DOUBLE_EQ(f.box.C[2], 12.0);
    EXPECT_DOUBLE_EQ(f.box.B[0], 7.0);
    EXPECT_EQ(ReadText("BBOX_R 1 2 3\nBBOX_A 4 5 6\nBBOX_B 7 8 9\n").box.valid, 0);
}

TEST(PdbRead, SerialLookup) {
    std::string text;
    const int serials[] = {1, 2, 3, 10, 11, 12, 40, 5};
    for (int s : serials) text += "ATOM " + std::to_string(s) + " CA ALA A 1 1.0 1.0 1.0\n";
    const PdbFile f = ReadText(text);
    struct Case { int serial; int index; };
    const Case cases[] = {{1, 0}, {3, 2}, {10, 3}, {12, 5}, {40, 6}, {5, 7}, {4, -1}, {0, -1}, {-7, -1}, {99, -1}};
    for (const Case& c : cases) EXPECT_EQ(f.SerialLookup(c.serial), c.index) << c.serial;
}

TEST(PdbRead, EveryLineEndAndLengthReadsAsOneLine) {
    // Each case from memory and from a file: atoms, CONECT partners of atom
    // 1, the line an error names and its text.
    const std::string atom = "ATOM 1 CA ALA A 1 1.0 2.0 3.0\n";
    auto atoms = [&](const char* end, int n) {
        std::string t;
        for (int i = 1; i <= n; ++i) {
            t += "ATOM " + std::to_string(i) + " CA ALA A 1 " + std::to_string(i) + ".0 2.0 3.0";
            t += end;
        }
        return t;
    };
    std::string conect400 = atoms("\n", 401) + "CONECT    1";
    for (int i = 2; i <= 401; ++i) conect400 += (i < 10 ? "    " : i < 100 ? "   " : "  ") + std::to_string(i);
    std::string conectMany = atoms("\n", 1);
    for (size_t k = 0; k <= kMaxConectPartners / 4; ++k) {
        conectMany += "CONECT    1";
        for (size_t i = 0; i < 4; ++i) conectMany += " " + std::to_string(10 + 4 * k + i);
        conectMany += "\n";
    }
    struct Case {
        const char* name;
        std::string text;
        size_t atoms, partners;
        int errorLine;
        std::string error;
    };
    const Case cases[] = {
        {"LF", atoms("\n", 5), 5, 0, 0, ""},
        {"CR", atoms("\r", 5), 5, 0, 0, ""},
        {"CR LF", atoms("\r\n", 5), 5, 0, 0, ""},
        {"CR, blank lines, CR LF", atoms("\r\r \r\t\n", 3) + atoms("\r\n", 2), 5, 0, 0, ""},
        {"NUL first on line 3", atoms("\n", 2) + std::string(1, '\0') + atom, 0, 0, 3, "Error parsing file!"},
        {"NUL in a remark", std::string("REMARK a\0b\n", 11) + atom, 0, 0, 1, "Error parsing file!"},
        // The tail of a long remark is no record, at 511 characters and at the cut.
        {"long remark", "REMARK " + std::string(504, 'x') + atom, 0, 0, 0, ""},
        {"cut remark", "REMARK " + std::string(kLongestLine, 'x') + atom + atom, 1, 0, 0, ""},
        {"cut remark, CR", "REMARK " + std::string(kLongestLine, 'x') + "\r" + atom, 1, 0, 0, ""},
        {"long atom", atom.substr(0, atom.size() - 1) + std::string(600, ' ') + "ATOM\n", 1, 0, 0, ""},
        {"cut atom", atom.substr(0, atom.size() - 1) + std::string(kLongestLine, ' ') + "\n", 0, 0, 1,
         "Record longer than 65536 characters!"},
        // A record that cannot be read names its own line; a cut record or a
        // NUL byte anywhere after it is still what is told.
        {"bad atom on line 2", atom + "ATOM 1\n" + atom + atom, 0, 0, 2, "Error parsing file!"},
        {"bad atom, cut atom after it", "ATOM 1\n" + atom + atom.substr(0, atom.size() - 1) +
             std::string(kLongestLine, ' ') + "\n", 0, 0, 3, "Record longer than 65536 characters!"},
        {"bad atom, NUL after it", "ATOM 1\n" + atom + std::string(1, '\0') + atom, 0, 0, 3, "Error parsing file!"},
        {"400 partners", conect400 + "\n", 401, 400, 0, ""},
        {"too many partners", conectMany, 0, 0, static_cast<int>(kMaxConectPartners / 4) + 2,
         "CONECT records of atom 1 list more than 16384 partners!"},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        for (int fromFile = 0; fromFile < 2; ++fromFile) {
            SCOPED_TRACE(std::string(c.name) + (fromFile ? " from a file" : " from memory"));
            try {
                const PdbFile f = fromFile ? PdbFile::Read(dir.Write("l.pdb", c.text)) : ReadText(c.text);
                EXPECT_EQ(c.error, "");
                EXPECT_EQ(f.atoms.size(), c.atoms);
                EXPECT_EQ(f.conects.empty() ? 0u : f.conects[0].partners.size(), c.partners);
            } catch (const VelmError& e) {
                EXPECT_EQ(e.text(), c.error);
                EXPECT_EQ(e.InputLine(), c.errorLine);
            }
        }
    }
}

TEST(PdbRead, BlankLinesArePassedOverAcrossReadBlocks) {
    // Files are read in blocks of 256 KiB: runs of blank lines and records
    // that straddle a block's end read as they do from memory.
    const size_t block = 1 << 18;
    const std::string atom = "ATOM 1 CA ALA A 1 1.0 2.0 3.0\n";
    auto blanks = [](size_t n) {
        std::string b;
        const char* kinds[] = {"\n", " \r\n", "\t \n", "\r\n"};
        for (size_t k = 0; b.size() < n; ++k) b += kinds[k % 4];
        b.resize(n);
        if (n) b.back() = '\n';
        return b;
    };
    test::TempDir dir;
    for (const size_t shift : {0, 1, 2, 5, 17, 40}) {
        std::string text = "REMARK start\n";
        while (text.size() + 80 < block - shift) text += "REMARK " + std::string(72, 'x') + "\n";
        text += blanks(block - shift - text.size());  // blank lines up to the edge
        text += atom + blanks(1000) + atom + blanks(block - 30) + "  " + atom;
        const PdbFile fromFile = PdbFile::Read(dir.Write("blank.pdb", text));
        const PdbFile fromMemory = ReadText(text);
        ASSERT_EQ(fromFile.atoms.size(), 3u) << shift;
        ASSERT_EQ(fromMemory.atoms.size(), 3u) << shift;
        for (const PdbAtomRecord& r : fromFile.atoms) EXPECT_EQ(r.z, 3.0) << shift;
    }
    EXPECT_EQ(ReadText(blanks(5000)).atoms.size(), 0u);
    EXPECT_EQ(ReadText(blanks(5000) + "  \t").atoms.size(), 0u);
    // A piece ending just before its line feed, and blank lines longer than a piece.
    EXPECT_EQ(ReadText("REMARK " + std::string(504, 'x') + "\n\n\n" + atom).atoms.size(), 1u);
    EXPECT_EQ(ReadText(std::string(2000, ' ') + "\n" + std::string(511, '\t') + "\n" + atom).atoms.size(), 1u);
}

TEST(PdbRead, SettersCheckTheirLimits) {
    PdbAtomRecord r;
    EXPECT_NO_THROW(r.SetRecord("HETATM"));
    EXPECT_STREQ(r.record, "HETATM");
    EXPECT_THROW(r.SetRecord(""), VelmError);
    EXPECT_THROW(r.SetRecord("ABCDEFGH"), VelmError);
    EXPECT_NO_THROW(r.SetAtomName("abcdefg"));
    EXPECT_STREQ(r.name, "ABCDEFG");
    try {
        r.SetAtomName("ABCDEFGH");
        FAIL();
    } catch (const VelmError& e) {
        EXPECT_EQ(e.text(), "SetAtomName: Error in assigning PDB_NAME_FIELD");
    }
    r.hetero = 0;
    r.SetResName("");
    EXPECT_STREQ(r.residueName, "     ");
    EXPECT_EQ(r.hetero, 0);
    for (const char* solvent : {"tip3", "SPC", "HOH", "SOL"}) {
        r.hetero = 0;
        r.SetResName(solvent);
        EXPECT_EQ(r.hetero, 1) << solvent;
    }
    EXPECT_EQ(ReadError("ATOM 1 CA ABCDEF A 1 1.0 1.0 1.0\n"), "SetResName: Error in assigning PDB_RESIDUE_FIELD");
}

TEST(PdbRead, NumbersRoundLikeStrtod) {
    // Coordinates are read to the nearest double, exactly as strtod reads them.
    const char* values[] = {"0.1", "-0.3", "123.456", "-999.999", "9999.999", "0.000", "-0.000", "1.", ".5",
                            "12345678.1234567", "1234567890.12345678", "1e3", "-2.5E-2", "+7.125",
                            "-.5", "-.125", "7.5", "-0.05", "9999.99", "-9999.99", "12345.678", "-1234.567"};
    std::string text;
    for (const char* v : values) text += std::string("ATOM 1 CA ALA A 1 ") + v + " " + v + " " + v + "\n";
    unsigned seed = 7;
    std::vector<std::string> random;
    for (int i = 0; i < 2000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        char v[32];
        std::snprintf(v, sizeof v, "%.*f", static_cast<int>(seed % 7),
                      (static_cast<double>(seed % 200000000u) - 1e8) / 997.0);
        random.push_back(v);
        text += std::string("ATOM 1 CA ALA A 1 ") + v + " 1.0 1.0\n";
    }
    const PdbFile f = ReadText(text);
    const size_t fixed = std::size(values);
    ASSERT_EQ(f.atoms.size(), fixed + random.size());
    for (size_t i = 0; i < fixed; ++i) EXPECT_EQ(f.atoms[i].x, std::strtod(values[i], nullptr)) << values[i];
    for (size_t i = 0; i < random.size(); ++i)
        ASSERT_EQ(f.atoms[fixed + i].x, std::strtod(random[i].c_str(), nullptr)) << random[i];
}

TEST(PdbRead, ShortAndLongLinesTokenizeAlike) {
    // Lines of 16 to 128 bytes are split by a mask of their separators, other
    // lines byte by byte: padded past 128 bytes, a line reads the same.
    const std::string lines[] = {
        "ATOM      1  N   ALA A   1      11.104   6.134  -6.504  1.00  0.00           N",
        "HETATM22133  O   HOH W9999     -10.250 -99.999 999.125  0.50100.00           O",
        "ATOM 12 HD11LEU A 5 1.000 2.000 3.000 1.00 10.00",
        "ATOM\t1\tca\tgly\tA\t7\t-.5\t2.\t3.0\r",
        "ATOM 1 CA\x01X GLY A 7 1.5 -12.345-6.789",
        "ATOM 1 CA GLY A 7 1.5 2.5 3.5",
    };
    auto same = [](const PdbAtomRecord& a, const PdbAtomRecord& b) {
        return std::string(a.name) == b.name && std::string(a.residueName) == b.residueName && a.chain == b.chain &&
               a.residueNumber == b.residueNumber && a.serial == b.serial && a.x == b.x && a.y == b.y &&
               a.z == b.z && a.occupancy == b.occupancy && a.temperatureFactor == b.temperatureFactor &&
               std::string(a.element) == b.element;
    };
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        const PdbFile shortLine = ReadText(line + "\n");
        const PdbFile longLine = ReadText(line + std::string(140, ' ') + "\n");
        ASSERT_EQ(shortLine.atoms.size(), 1u);
        ASSERT_EQ(longLine.atoms.size(), 1u);
        EXPECT_TRUE(same(shortLine.atoms[0], longLine.atoms[0]));
    }
    // A MONITOR word ending the line, at every length around the sixteen-byte steps.
    const std::string atoms = "ATOM 10 CA ALA A 1 1.0 1.0 1.0\nATOM 20 CA ALA A 2 2.0 1.0 1.0\n";
    for (size_t pad = 0; pad < 40; ++pad) {
        SCOPED_TRACE(pad);
        const PdbFile f = ReadText(atoms + "REMARK" + std::string(pad, ' ') + "MONITOR 1 10 20 1 2 3\n" +
                                   std::string(pad, ' ') + "BBOX_R 1 2 3 BBOX_A 4 5 6\nBBOX_B 7 8 9\n" +
                                   std::string(pad, 'x') + "BBOX_C 1 2 3");
        EXPECT_EQ(f.monitors.size(), 1u);
        EXPECT_EQ(f.box.valid, 1);
    }
}
