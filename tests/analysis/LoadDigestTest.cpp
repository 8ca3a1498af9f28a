// What a load derives stays what it was: bonds and their order, every atom's
// partners and hetero flag, and the secondary structure of every residue,
// compared with digests kept in tests/data/load_digests.txt.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "analysis/MakeDocument.h"
#include "core/UiHooks.h"
#include "model/VelmDoc.h"
#include "support/LoadDigest.h"
#include "support/TestData.h"

namespace velm {
namespace {

TEST(LoadDigest, BondsAndStructureAsKept) {
    std::ifstream kept(test::DataPath("load_digests.txt"));
    ASSERT_TRUE(kept);
    int files = 0;
    for (std::string line; std::getline(kept, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name, bonds, partners, structure;
        fields >> name >> bonds >> partners >> structure;
        SilentUiHooks ui;
        const auto doc = MakeDocument(ui);
        ASSERT_TRUE(doc->AddMoleculeFromFile(test::DataPath(name))) << name;
        EXPECT_EQ(test::DigestOf(*doc->Molecules()[0]).Text(), bonds + " " + partners + " " + structure) << name;
        ++files;
    }
    EXPECT_GE(files, 5);
}

}  // namespace
}  // namespace velm
