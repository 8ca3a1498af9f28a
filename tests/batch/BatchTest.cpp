#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>

#include "batch/Batch.h"
#include "support/BatchRun.h"
#include "support/TestData.h"

using namespace velm;
using json = nlohmann::json;

using test::BatchRun;
using test::RunVelm;

TEST(Batch, SummaryLines) {
    const std::string ubi = test::DataPath("1ubi.pdb");
    const std::string nmr = test::DataPath("2k39_3models.pdb");
    const BatchRun r = RunVelm({ubi, nmr});
    ASSERT_EQ(r.status, 0) << r.err;
    // 1ubi: 660 protein atoms in 76 residues and 58 waters; the waters are hetero.
    EXPECT_NE(r.out.find("path=" + ubi + " atoms=683 models=1 chains=1 residues=76 "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" frames=0 hetero=81 shift="), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("path=" + nmr + " atoms=501 models=3 chains=3 "), std::string::npos) << r.out;

    const BatchRun multi = RunVelm({"-multi", nmr});
    EXPECT_NE(multi.out.find("atoms=167 models=3 chains=1 residues=10 "), std::string::npos) << multi.out;
    EXPECT_NE(multi.out.find(" frames=2 "), std::string::npos) << multi.out;

    // Models of unequal size cannot be frames: the read fails, and nothing is summarised.
    test::TempDir dir;
    const std::string atom = "ATOM 1 C ALA A 1 1.0 2.0 3.0\n";
    const BatchRun uneven = RunVelm({"-multi", dir.Write("uneven.pdb", "MODEL 1\n" + atom + atom + "MODEL 2\n" + atom)});
    EXPECT_EQ(uneven.status, 1);
    EXPECT_EQ(uneven.out, "");
    EXPECT_NE(uneven.err.find("All models in PDB file must contain the same number of atoms"), std::string::npos);

    const BatchRun bare = RunVelm({"-no_connect", ubi});
    EXPECT_NE(bare.out.find(" bonds=0 "), std::string::npos) << bare.out;
}

TEST(Batch, ShiftIsTheCentreOfMassMoved) {
    test::TempDir dir;
    // Two carbons: the centre of mass is their midpoint.
    const std::string path = dir.Write("two c.pdb", "ATOM 1 C1 LIG A 1 1.0 2.0 3.0\nATOM 2 C2 LIG A 1 3.0 2.0 3.0\n");
    const BatchRun r = RunVelm({path});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "path=\"" + path + "\" atoms=2 models=1 chains=1 residues=0 bonds=0 frames=0 hetero=0 "
                      "shift=-2.0000,-2.0000,-3.0000\n");
}

TEST(Batch, ErrorsAndUsage) {
    test::TempDir dir;
    const BatchRun missing = RunVelm({dir.File("none.pdb")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("Can't open ``" + dir.File("none.pdb") + "'' for reading."), std::string::npos);
    const BatchRun empty = RunVelm({dir.Write("empty.pdb", "")});
    EXPECT_EQ(empty.status, 1);
    EXPECT_NE(empty.err.find("Unable to read file"), std::string::npos);
    EXPECT_EQ(RunVelm({}).status, 2);
    EXPECT_EQ(RunVelm({"-bogus", "x.pdb"}).status, 2);
    const BatchRun help = RunVelm({"-help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: velm -batch"), std::string::npos);
}

TEST(Batch, ExecutableRunsOnTheExamples) {
    const std::string cmd = std::string(VELM_BINARY) + " -batch " + test::DataPath("1ubi.pdb.gz") + " 2>&1";
    std::FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p)) out += buf;
    EXPECT_EQ(pclose(p), 0) << out;
    EXPECT_NE(out.find(" atoms=683 "), std::string::npos) << out;
}

TEST(Batch, TrajectorySaveExportAndSuperpose) {
    test::TempDir dir;
    const std::string pdb = test::DataPath("1ubi.pdb"), dcd = test::DataPath("1ubi_20frames_le.dcd");

    const BatchRun read = RunVelm({pdb, "-dcd", dcd, "-cm"});
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_NE(read.out.find(" atoms=683 models=21 "), std::string::npos) << read.out;
    EXPECT_NE(read.out.find(" frames=20 "), std::string::npos) << read.out;
    EXPECT_NE(read.err.find("Reading Trajectory"), std::string::npos);

    const BatchRun wrong = RunVelm({pdb, "-dcd", test::DataPath("2hhb_20frames_le.dcd")});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_NE(wrong.err.find("Incorrect Number of atoms in DCD file!"), std::string::npos) << wrong.err;

    // Export frames 2..4 and read them back as models: three of them.
    const std::string exported = dir.File("frames.pdb");
    ASSERT_EQ(RunVelm({pdb, "-dcd", dcd, "-export-trajectory", exported, "2", "4"}).status, 0);
    const BatchRun back = RunVelm({"-multi", exported});
    EXPECT_NE(back.out.find(" atoms=683 models=3 "), std::string::npos) << back.out;

    // Save two molecules into one file and load it again: all atoms, one file.
    const std::string saved = dir.File("both.pdb");
    ASSERT_EQ(RunVelm({pdb, test::DataPath("pept.pdb"), "-save", saved, "-precision", "4"}).status, 0);
    const BatchRun again = RunVelm({saved});
    EXPECT_NE(again.out.find(" atoms=790 "), std::string::npos) << again.out;
    // Saved where the file had it, with four decimals: 27.343 for the first atom.
    EXPECT_NE(test::ReadText(saved).find("     27.3430  "), std::string::npos) << "four decimals";

    // Chain C of haemoglobin onto chain A: both alpha chains, 141 alpha carbons.
    const BatchRun fit = RunVelm({test::DataPath("2hhb.pdb"), test::DataPath("2hhb.pdb"), "-superpose"});
    ASSERT_EQ(fit.status, 0) << fit.err;
    EXPECT_NE(fit.out.find("pairs=574 rmsd_before=0.0000 rmsd_after=0.0000"), std::string::npos) << fit.out;
}

TEST(Batch, OptionErrors) {
    const std::string pdb = test::DataPath("1ubi.pdb");
    struct Case { std::vector<std::string> args; const char* message; };
    const Case cases[] = {
        {{pdb, "-dcd"}, "A filename was not found on the command line"},
        {{pdb, pdb, "-dcd", "x.dcd"}, "Only one structure can be read when reading DCD files"},
        {{pdb, "-precision", "2"}, "-precision takes a number of decimals from 3 to 15"},
        {{pdb, "-export-trajectory", "x.pdb", "1"}, "-export-trajectory takes a file name"},
        {{pdb, "-superpose"}, "-superpose needs two structures"},
    };
    for (const Case& c : cases) {
        const BatchRun r = RunVelm(c.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    const BatchRun none = RunVelm({pdb, "-export-trajectory", "/tmp/never.pdb", "1", "2"});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("Cannot export a zero length trajectory"), std::string::npos) << none.err;
}

TEST(Batch, SecondaryStructureList) {
    // Ubiquitin against the reference assignment of the published method:
    // one letter per residue (H alpha, G 3-10, E strand, B bridge, T turn, C coil).
    const json reference = json::parse(test::ReadText(test::DataPath("stride_1ubi.json")));
    std::string want;
    for (const auto& chain : reference["chains"])
        for (const auto& r : chain["residues"]) want += r["ss"].get<std::string>();

    const BatchRun r = RunVelm({test::DataPath("1ubi.pdb"), "-ss"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    std::string line, got, counts;
    std::getline(lines, line);  // the summary
    const std::map<std::string, char> letter = {{"AlphaHelix", 'H'}, {"310Helix", 'G'}, {"PiHelix", 'I'},
                                                {"Strand", 'E'},     {"Bridge", 'B'},   {"Coil", 'C'},
                                                {"Turn", 'T'}};
    while (std::getline(lines, line)) {
        if (line.rfind("counts ", 0) == 0) {
            counts = line;
            continue;
        }
        std::istringstream f(line);
        std::string chain, number, name, cls;
        f >> chain >> number >> name >> cls;
        EXPECT_EQ(chain, "A") << line;
        got += letter.count(cls) ? letter.at(cls) : '?';
    }
    EXPECT_EQ(got, want);
    EXPECT_EQ(counts, "counts AlphaHelix=12 310Helix=7 PiHelix=0 Strand=23 Bridge=2 Coil=14 Turn=18");
}
