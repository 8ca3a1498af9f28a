#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/BatchRun.h"
#include "support/TestData.h"

using namespace velm;
using json = nlohmann::json;

// The rows against the reference assignment of the published method: every
// amino acid in order with its chain and class, model 0 (the files have no
// MODEL records); the rows between them are the files' other residues.
TEST(BatchSequence, RowsOfUbiquitinAndHemoglobinWithTheirStructureClasses) {
    const std::map<char, std::string> name = {{'H', "AlphaHelix"}, {'G', "310Helix"}, {'I', "PiHelix"},
                                              {'E', "Strand"},     {'B', "Bridge"},   {'C', "Coil"},
                                              {'T', "Turn"}};
    for (const char* entry : {"1ubi", "2hhb"}) {
        SCOPED_TRACE(entry);
        const json reference = json::parse(test::ReadText(test::DataPath(std::string("stride_") + entry + ".json")));
        std::vector<std::string> want;
        for (const auto& chain : reference["chains"])
            for (const auto& r : chain["residues"])
                want.push_back(r["resname"].get<std::string>() + ' ' + std::to_string(r["resseq"].get<int>()) + '\t' +
                               chain["chain"].get<std::string>() + "\t0\t" + name.at(r["ss"].get<std::string>()[0]));

        const test::BatchRun run = test::RunVelm({test::DataPath(std::string(entry) + ".pdb"), "-sequence"});
        ASSERT_EQ(run.status, 0) << run.err;
        std::istringstream lines(run.out);
        std::string line;
        std::getline(lines, line);  // the summary
        size_t matched = 0;
        std::set<std::string> others;
        while (std::getline(lines, line)) {
            if (matched < want.size() && line == want[matched]) ++matched;
            else others.insert(line.substr(0, 3));
        }
        EXPECT_EQ(matched, want.size()) << "first missing: " << (matched < want.size() ? want[matched] : "");
        EXPECT_TRUE(others.empty() || others == std::set<std::string>{"HOH"} ||
                    others == (std::set<std::string>{"HEM", "HOH", "PO4"}))
            << *others.begin();
    }
}
