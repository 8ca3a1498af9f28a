#include <gtest/gtest.h>

#include <string>

#include "model/LineSource.h"
#include "model/PdbFile.h"

using namespace velm;

namespace {
PdbFile TwoModels() {
    PdbFile f(3);
    f.atoms[0].serial = 1;
    f.atoms[0].SetAtomName("N");
    f.atoms[0].SetResName("ALA");
    f.atoms[0].chain = 'A';
    f.atoms[0].residueNumber = 1;
    f.atoms[0].x = 11.104;
    f.atoms[0].y = 6.134;
    f.atoms[0].z = -6.504;
    f.atoms[0].model = 1;
    f.atoms[1] = f.atoms[0];
    f.atoms[1].serial = 2;
    f.atoms[1].SetAtomName("CA");
    f.atoms[1].insertionCode = 'B';
    f.atoms[1].temperatureFactor = 12.346;
    f.atoms[2] = f.atoms[0];
    f.atoms[2].model = 2;
    f.atoms[2].SetRecord("HETATM");
    f.atoms[2].SetResName("HOH");
    f.atoms[2].occupancy = 0.5;
    f.conects.push_back(ConectEntry{1, {2, 3, 4, 5, 6}});
    return f;
}
}  // namespace

TEST(PdbWrite, ExactLinesWithPrecisionThree) {
    std::string out;
    TwoModels().Write(out, 3, true);
    const std::string want =
        "MODEL        1\n"  // the number in columns 11-14
        "ATOM      1  N   ALA A   1      11.104   6.134  -6.504  1.00  0.00\n"
        "ATOM      2  CA  ALA A   1B     11.104   6.134  -6.504  1.00 12.35\n"
        "ENDMDL\nMODEL        2\n"
        "HETATM    1  N   HOH A   1      11.104   6.134  -6.504  0.50  0.00\n"
        "TER       2      HOH A   1\n"
        "ENDMDL\n"
        "CONECT    1    2    3    4    5    6\n";
    EXPECT_EQ(out, want);
    // x in columns 27-38 (width 12), y and z of width 8: the standard columns 31-54.
    const std::string line = out.substr(out.find("ATOM      1"), 66);
    EXPECT_EQ(line.substr(26, 12), "      11.104");
    EXPECT_EQ(line.substr(38, 8), "   6.134");
    EXPECT_EQ(line.substr(46, 8), "  -6.504");
}

TEST(PdbWrite, PrecisionWidensTheColumns) {
    PdbFile f = TwoModels();
    f.atoms.resize(1);
    std::string out;
    f.Write(out, 6, false);
    EXPECT_NE(out.find("   1      11.104000   6.134000  -6.504000  1.00  0.00\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("CONECT"), std::string::npos);
}

TEST(PdbWrite, EmptyWritesEndmdlOnly) {
    std::string out;
    PdbFile().Write(out, 3, true);
    EXPECT_EQ(out, "ENDMDL\n");
}

TEST(PdbWrite, DefaultRecords) {
    const PdbFile f(2);
    EXPECT_EQ(f.atoms[1].serial, 1);
    EXPECT_STREQ(f.atoms[1].record, "ATOM");
    EXPECT_STREQ(f.atoms[1].name, "C");
    EXPECT_STREQ(f.atoms[1].residueName, "UNK0");
    EXPECT_EQ(f.atoms[1].residueNumber, 1);
    EXPECT_DOUBLE_EQ(f.atoms[1].occupancy, 1.0);
}

TEST(PdbWrite, WrittenRecordsReadBack) {
    PdbFile f = TwoModels();
    f.conects = {ConectEntry{1, {2}}, ConectEntry{2, {1}}};
    std::string out;
    f.Write(out, 3, true);
    MemoryLineSource source(out);
    const PdbFile back = PdbFile::Read(source);
    ASSERT_EQ(back.atoms.size(), f.atoms.size());
    for (size_t i = 0; i < f.atoms.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_STREQ(back.atoms[i].record, f.atoms[i].record);
        EXPECT_EQ(back.atoms[i].serial, f.atoms[i].serial);
        EXPECT_STREQ(back.atoms[i].name, f.atoms[i].name);
        EXPECT_STREQ(back.atoms[i].residueName, f.atoms[i].residueName);
        EXPECT_EQ(back.atoms[i].chain, f.atoms[i].chain);
        EXPECT_EQ(back.atoms[i].insertionCode, f.atoms[i].insertionCode);
        EXPECT_EQ(back.atoms[i].model, f.atoms[i].model);
        EXPECT_NEAR(back.atoms[i].x, f.atoms[i].x, 5e-4);
        EXPECT_NEAR(back.atoms[i].temperatureFactor, f.atoms[i].temperatureFactor, 5e-3);
        EXPECT_DOUBLE_EQ(back.atoms[i].occupancy, f.atoms[i].occupancy);
    }
    ASSERT_EQ(back.conects.size(), 2u);
    EXPECT_EQ(back.conects[1].partners, (std::vector<int>{1}));
}
