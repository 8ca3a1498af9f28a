#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "batch/Batch.h"
#include "support/HttpServer.h"
#include "support/PngRead.h"
#include "support/BatchRun.h"
#include "support/TestData.h"

using namespace velm;
using velm::test::BatchRun;
using velm::test::RunVelm;

namespace {

}  // namespace

TEST(BatchFetch, FetchedEntryColouredByPastedValues) {
    test::TempDir served, work;
    std::filesystem::copy_file(test::DataPath("1ubi.pdb.gz"), served.File("1ubi.pdb.gz"));
    test::HttpServer server(served.path());
    if (!server.Running()) GTEST_SKIP() << "no local web server: " << server.Problem();

    // One value per residue, rising along the chain.
    std::string values;
    for (int k = 1; k <= 76; ++k) values += std::to_string(k) + (k % 10 ? " " : "\n");
    const std::string valuesFile = work.Write("values.txt", values);
    const std::string png = work.File("out.png");
    const BatchRun r = RunVelm({"-fetch", "1ubi", "-server", server.Host(), "-template", "http://%SERVER%/%PDBID%.pdb.gz",
                                "-values", valuesFile, "-target", "temperature", "-mode", "ca", "-image", png,
                                "-render", "TemperatureTube", "-color", "temperature", "-width", "200", "-height",
                                "150"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("path=1ubi atoms=683 models=1 chains=1 residues=76 ", 0), 0u) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;

    const test::ReadPng picture = test::ReadBack(png);
    ASSERT_EQ(picture.width, 200u);
    ASSERT_EQ(picture.height, 150u);
    // A gradient from blue at the first residue to red at the last: both ends are drawn.
    int reddish = 0, bluish = 0;
    for (const auto& row : picture.rows)
        for (size_t x = 0; x + 2 < row.size(); x += 3) {
            reddish += row[x] > row[x + 2] + 40;
            bluish += row[x + 2] > row[x] + 40;
        }
    EXPECT_GT(reddish, 50);
    EXPECT_GT(bluish, 50);

    // The same values one short: refused, exit 1.
    const std::string shortFile = work.Write("short.txt", values.substr(0, values.rfind("76")));
    const BatchRun few = RunVelm({"-fetch", "1ubi", "-server", server.Host(), "-template",
                                  "http://%SERVER%/%PDBID%.pdb.gz", "-values", shortFile, "-mode", "ca"});
    EXPECT_EQ(few.status, 1);
    EXPECT_NE(few.err.find("number of inputs is less"), std::string::npos) << few.err;
}

TEST(BatchFetch, HelpAndMissingNames) {
    for (const char* help : {"-help", "/?"}) {
        const BatchRun r = RunVelm({help});
        EXPECT_EQ(r.status, 0) << help;
        EXPECT_NE(r.out.find("-pdb [filename]\tRead PDB coordinate file\n"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find('\r'), std::string::npos);
        EXPECT_NE(r.out.find("usage: velm -batch"), std::string::npos);
    }

    for (const std::vector<std::string>& args : {std::vector<std::string>{"-pdb"},
                                                 std::vector<std::string>{"-pdb", "-image", "x.png"},
                                                 std::vector<std::string>{test::DataPath("1ubi.pdb"), "/dcd"}}) {
        const BatchRun r = RunVelm(args);
        EXPECT_EQ(r.status, 2) << testing::PrintToString(args);
        EXPECT_NE(r.err.find("A filename was not found on the command line"), std::string::npos) << r.err;
    }

    const BatchRun slash = RunVelm({"/pdb", test::DataPath("1ubi.pdb"), "/no_connect"});
    EXPECT_EQ(slash.status, 0) << slash.err;
    EXPECT_NE(slash.out.find(" atoms=683 "), std::string::npos) << slash.out;
    EXPECT_NE(slash.out.find(" bonds=0 "), std::string::npos) << slash.out;
}
