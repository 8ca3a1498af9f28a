#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "batch/Batch.h"
#include "support/PngRead.h"
#include "support/BatchRun.h"
#include "support/TestData.h"

using namespace velm;
using velm::test::BatchRun;
using velm::test::RunVelm;

namespace {

int Ink(const test::ReadPng& png) {
    int n = 0;
    for (const auto& row : png.rows)
        for (size_t i = 0; i + 2 < row.size(); i += 3) n += row[i] || row[i + 1] || row[i + 2];
    return n;
}

constexpr const char* kTotal = "###################################\n# Total Surface Area = ";

double Total(const std::string& out) {
    const size_t at = out.rfind(kTotal);
    return at == std::string::npos ? -1 : std::stod(out.substr(at + std::string(kTotal).size()));
}

TEST(BatchSurface, EachStyleDrawsItsOwnPicture) {
    test::TempDir dir;
    std::vector<std::vector<std::vector<std::uint8_t>>> pictures;
    for (const char* style : {"solid", "mesh", "dots"}) {
        const std::string png = dir.File(std::string(style) + ".png");
        const BatchRun r = RunVelm({test::DataPath("pept.pdb"), "-surface", style, "-image", png, "-width", "160", "-height", "120"});
        ASSERT_EQ(r.status, 0) << style << ": " << r.err;
        const test::ReadPng picture = test::ReadBack(png);
        EXPECT_GT(Ink(picture), 500) << style;
        pictures.push_back(picture.rows);
    }
    EXPECT_NE(pictures[0], pictures[1]);
    EXPECT_NE(pictures[1], pictures[2]);
    EXPECT_NE(pictures[0], pictures[2]);
}

TEST(BatchSurface, AreaReportsAgree) {
    const BatchRun residues = RunVelm({test::DataPath("pept.pdb"), "-area", "residue"});
    ASSERT_EQ(residues.status, 0) << residues.err;
    const size_t caption = residues.out.find("\nResidue Surface Areas (in Angstrom^2)\n");
    ASSERT_NE(caption, std::string::npos) << residues.out;
    EXPECT_EQ(residues.out.compare(caption + 39, 2, "1\t"), 0) << residues.out.substr(caption);
    const size_t total = residues.out.rfind(kTotal);
    ASSERT_NE(total, std::string::npos);
    EXPECT_EQ(residues.out.back(), '\n');
    EXPECT_EQ(residues.out.find('\n', total + std::string(kTotal).size()), residues.out.size() - 1);

    // pept has no hetero atoms: every atom's share lies in some residue.
    const BatchRun atoms = RunVelm({test::DataPath("pept.pdb"), "-area", "atom"});
    ASSERT_EQ(atoms.status, 0) << atoms.err;
    EXPECT_NE(atoms.out.find("\nAtomic Surface Areas (in Angstrom^2)\n"), std::string::npos);
    EXPECT_GT(Total(atoms.out), 500);
    EXPECT_NEAR(Total(atoms.out), Total(residues.out), 1e-5 * Total(atoms.out));

    // A bigger probe gives a larger surface.
    const BatchRun probe = RunVelm({test::DataPath("pept.pdb"), "-area", "atom", "-surface", "solid", "-probe", "1.4"});
    ASSERT_EQ(probe.status, 0) << probe.err;
    EXPECT_GT(Total(probe.out), Total(atoms.out) * 1.2);
}

TEST(BatchSurface, AreaTakesTheSurfaceOptionsWithoutDrawingASurface) {
    const std::string pept = test::DataPath("pept.pdb");
    const double plain = Total(RunVelm({pept, "-area", "atom"}).out);
    EXPECT_GT(Total(RunVelm({pept, "-area", "atom", "-probe", "1.4"}).out), plain * 1.2);
    EXPECT_NEAR(Total(RunVelm({pept, "-area", "atom", "-probe", "1.4"}).out),
                Total(RunVelm({pept, "-area", "atom", "-probe", "1.4", "-surface", "mesh"}).out), 1e-3);
}

TEST(BatchSurface, ListsHydrogenBonds) {
    const BatchRun r = RunVelm({test::DataPath("1ubi.pdb"), "-list-hbonds"});
    ASSERT_EQ(r.status, 0) << r.err;
    int lines = 0;
    for (size_t at = 0; (at = r.out.find("\nhbond donor=", at)) != std::string::npos; ++at) ++lines;
    const size_t count = r.out.rfind("hbonds=");
    ASSERT_NE(count, std::string::npos);
    const int n = std::stoi(r.out.substr(count + 7));
    EXPECT_GT(n, 20);
    EXPECT_EQ(lines, n);
    // The helix bond from residue 34 to 30, with its N...O distance.
    EXPECT_NE(r.out.find(":N:GLU34 acceptor="), std::string::npos) << r.out;
}

TEST(BatchSurface, BadArgumentsAreUsageErrors) {
    const std::string pept = test::DataPath("pept.pdb");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {pept, "-surface", "wire"},
             {pept, "-surface"},
             {pept, "-probe", "4"},
             {pept, "-probe", "-0.5"},
             {pept, "-probe", "x"},
             {pept, "-area", "chain"},
             {pept, "-area"},
             {pept, "-surface-resolution", "101"},
             {pept, "-surface-alpha", "256"},
             {pept, "-surface-color", "1,2"}}) {
        const BatchRun r = RunVelm(args);
        EXPECT_EQ(r.status, 2) << args[1] << " " << (args.size() > 2 ? args[2] : "");
        EXPECT_TRUE(r.out.empty());
    }
}

}  // namespace
