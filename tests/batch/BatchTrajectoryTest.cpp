// Trajectories in batch mode: every format by content or by its alias, read
// whole or on demand (-stream) alike, and -rmsd-series against the numbers
// MDAnalysis gives for the same files (tests/data/rmsd_series.json).
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "support/BatchRun.h"
#include "support/TestData.h"

using namespace velm;

TEST(BatchTrajectory, RmsdSeriesOfEveryFormatAgreesWithMdAnalysisReadWholeOrOnDemand) {
    const auto facts = nlohmann::json::parse(test::ReadText(test::DataPath("rmsd_series.json")))["series"];
    struct Case { const char* file; const char* option; };
    const Case cases[] = {{"1ubi_mda.xtc", "-xtc"}, {"1ubi_gmx.trr", "-trr"}, {"1ubi_20frames_le.dcd", "-dcd"},
                          {"1ubi_mda.xtc", "-dcd"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.option) + " " + c.file);
        const std::vector<double> expected = facts[c.file]["rmsd"];
        const std::vector<std::string> args = {"-defaults", test::DataPath("1ubi.pdb"), c.option, test::DataPath(c.file),
                                               "-rmsd-series"};
        const test::BatchRun whole = test::RunVelm(args);
        std::vector<std::string> streamArgs = args;
        streamArgs.push_back("-stream");
        const test::BatchRun streamed = test::RunVelm(streamArgs);
        ASSERT_EQ(whole.status, 0) << whole.err;
        EXPECT_EQ(streamed.out, whole.out);
        std::istringstream lines(whole.out);
        size_t k = 0;
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("rmsd ", 0) != 0) continue;
            ASSERT_LT(k, expected.size());
            EXPECT_EQ(line.substr(0, line.find(" value=")), "rmsd frame=" + std::to_string(k));
            EXPECT_NEAR(std::stod(line.substr(line.find("value=") + 6)), expected[k], 1e-4) << line;
            ++k;
        }
        EXPECT_EQ(k, expected.size());
    }
    // Too few alpha carbons to superpose: the alignment's message.
    const test::BatchRun none = test::RunVelm({"-defaults", test::DataPath("133d.pdb"), "-rmsd-series"});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("Please select at least three atoms from  each molecule"), std::string::npos) << none.err;
}
