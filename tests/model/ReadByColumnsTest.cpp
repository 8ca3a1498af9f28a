// Atom lines in the standard layout are read by their columns, and must give
// the record their tokens give. A tab in column 12 keeps every token as it is
// and sends the line to the tokens: the same text with one is the reference.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "model/PdbFile.h"
#include "support/ReadOutcome.h"
#include "support/TestData.h"

using namespace velm;

namespace {

std::string ByTokens(std::string text) {
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find_first_of("\r\n", at), text.size());
        if (end - at > 11 && text[at + 11] == ' ') text[at + 11] = '\t';
        at = end + 1;
    }
    return text;
}

int LinesByColumns(const std::string& text) {
    int n = 0;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size());
        n += PdbFile::ReadsByColumns(std::string_view(text).substr(at, end + 1 - at));
        at = end + 1;
    }
    return n;
}

}  // namespace

TEST(ReadByColumns, RealFilesGiveTheRecordsOfTheirTokens) {
    std::vector<std::string> paths;
    for (const char* name : {"1ubi.pdb", "2hhb.pdb", "3al1.pdb", "133d.pdb", "1hpv.pdb", "1ii7.pdb", "1tii.pdb",
                             "pept.pdb", "2k39_3models.pdb", "1tw7_solvated.pdb.gz", "4jsv.pdb.gz", "3hsy.pdb.gz",
                             "3mht.pdb.gz", "1adz.pdb.gz", "2k39_ca.pdb.gz"})
        paths.push_back(test::DataPath(name));
    for (const char* name : {"pdb/1a1p.pdb", "pdb/1adz.pdb"})
        if (const std::string p = test::SharedPath(name); !p.empty()) paths.push_back(p);
    for (const std::string& path : paths) {
        const std::string text = test::TextOf(path);
        ASSERT_FALSE(text.empty()) << path;
        const test::ReadOutcome columns = test::ReadOf(text), tokens = test::ReadOf(ByTokens(text));
        ASSERT_EQ(columns.error, "") << path;
        EXPECT_EQ(test::Difference(columns, tokens), "") << path;
        EXPECT_EQ(LinesByColumns(ByTokens(text)), 0) << path;
    }
    // Most lines of a deposited entry and of an MD system take the columns.
    for (const char* name : {"1ubi.pdb", "1tw7_solvated.pdb.gz"}) {
        const std::string text = test::TextOf(test::DataPath(name));
        EXPECT_GT(LinesByColumns(text), static_cast<int>(test::ReadOf(text).file.atoms.size() * 9 / 10)) << name;
    }
}

TEST(ReadByColumns, AlteredColumnsGiveTheRecordsOfTheirTokens) {
    // Lines of each layout the columns take, and of some they leave to the
    // tokens, after a record that sets what they are read against (the
    // serial and residue number before, a TER, a MODEL).
    const std::vector<std::string> lines = {
        "ATOM      1  N   MET A   1      27.340  24.430   2.614  1.00  9.67           N  \n",
        "ATOM     17  OE1AGLU A 101      -5.506  -2.283  -2.656  0.70  6.28           O  \n",
        "ATOM     18  CA BGLU A 101A     -4.257  -3.460  -2.322  0.30 12.24           C  \n",
        "HETATM 1076 FE   HEM A 142       9.299   8.669 -16.104  1.00 18.65          FE  \n",
        "HETATM12345 ZN    ZN B  -3     -10.000-100.125 100.500  0.50141.14          ZN\r\n",
        "ATOM  33106  OH2 TIP3 9999       2.464  22.670  -1.721  1.00  0.00      SOLV\n",
        "ATOM  33108  OH2 TIP3W10000     13.342  34.999  14.599  1.00  0.00      SOLV",
        "HETATM   12  C1  478 1   5     -92.981-124.970-100.516  1.00 99.99      A    C\n",
        "ATOM      5  CB  ALA     7       1.0     2.00    3.000 1.0   20.0\n",
        "ATOM     20  CA  GLY A   7      -10.00-100.125 100.500  1.00 20.00\n",
        "ATOM     21  CA  GLY A   8      10.000  20.000  30.000   1.0100.00\n",
        "HETATM   22  K     K     1      10.000  20.000  30.000  1.00 20.00\n",
    };
    const std::vector<std::string> before = {
        "", "ATOM      9  CA  GLY A   6       1.000   2.000   3.000  1.00 20.00\n",
        "ATOM  99999  CA  GLY B9999       1.000   2.000   3.000  1.00 20.00\n",
        "ATOM  40000  CA  GLY A   6       1.000   2.000   3.000  1.00 20.00\nTER\n",
        "MODEL        2\n"};
    // Characters the readings weigh: digits, letters, signs, points, stars, blanks, a tab.
    const std::string pool = " 0123456789AZaz-+.*\t";
    std::mt19937 random(24);
    int byColumns = 0, trials = 0;
    for (const std::string& line : lines) {
        byColumns += PdbFile::ReadsByColumns(line);
        for (const std::string& b : before)
            ASSERT_EQ(test::Difference(test::ReadOf(b + line), test::ReadOf(ByTokens(b + line))), "") << b << line;
        for (int k = 0; k < 3000; ++k) {
            std::string altered = line;
            const int changes = 1 + static_cast<int>(random() % 2);
            for (int c = 0; c < changes; ++c) {
                const size_t at = random() % std::min<size_t>(altered.size(), 80);
                if (altered[at] != '\n' && altered[at] != '\r') altered[at] = pool[random() % pool.size()];
            }
            const std::string text = before[static_cast<size_t>(k) % before.size()] + altered;
            ASSERT_EQ(test::Difference(test::ReadOf(text), test::ReadOf(ByTokens(text))), "")
                << "after \"" << before[static_cast<size_t>(k) % before.size()] << "\": " << altered;
            trials += PdbFile::ReadsByColumns(altered);
        }
    }
    // Left to the tokens: a name glued to its location letter, a residue
    // name glued to its chain, numbers out of their columns or glued with
    // other decimals, a lone letter before the chain of a hetero record.
    EXPECT_EQ(byColumns, 6);
    EXPECT_GT(trials, 4000);  // many alterations leave a line the columns take
}

TEST(ReadByColumns, MonitorsAndBoxKeysOnAtomLinesAreFound) {
    // The words may follow the record's columns at any distance, from the
    // blank after them on: the column reader looks at its first 64 columns
    // and the rest apart.
    const std::string atom1 = "ATOM      1  CA  ALA A   1      11.104   6.134  -6.504  1.00  0.00           C";
    const std::string atom2 = "ATOM      2  CA  ALA A   2      12.560   6.100  -6.100  1.00  0.00           C";
    for (size_t pad = 0; pad < 40; ++pad) {
        const std::string gap(pad, ' ');
        const std::string text = atom1.substr(0, 66) + " " + gap + "MONITOR 7 1 2 255 0 0\n" + atom2 + gap +
                                 "BBOX_R 1 2 3 BBOX_A 4 5 6\n" + atom2.substr(0, 66) + " " + gap +
                                 "BBOX_B 7 8 9 BBOX_C 1 2 3\n";
        ASSERT_EQ(LinesByColumns(text), 3) << pad;
        const test::ReadOutcome columns = test::ReadOf(text), tokens = test::ReadOf(ByTokens(text));
        EXPECT_EQ(test::Difference(columns, tokens), "") << pad;
        ASSERT_EQ(columns.file.monitors.size(), 1u) << pad;
        EXPECT_EQ(columns.file.monitors[0].label, 7);
        EXPECT_EQ(columns.file.box.valid, 1) << pad;
    }
}
