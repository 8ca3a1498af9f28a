// Agreement with the assignments of the published reference program of the
// method on real proteins (its T stands for every turn; b counts as B).
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <map>
#include <string>
#include <tuple>

#include "analysis/SecondaryStructure.h"
#include "analysis/StrideRun.h"
#include "core/UiHooks.h"
#include "model/Molecule.h"
#include "model/ReadCoordinates.h"
#include "support/TestData.h"

using namespace velm;
using velm::test::DataPath;
using velm::test::SharedPath;

namespace {

constexpr char kClass[] = "HGIEBCT";

struct Agreement {
    int compared = 0, agreed = 0;
    std::string differences;
    double Fraction() const { return compared ? static_cast<double>(agreed) / compared : 0; }
};

Agreement Compare(const std::string& pdb, const std::string& reference) {
    Molecule molecule;
    SilentUiHooks ui;
    ReadCoordinateFile(molecule, pdb, false, false, PdbType, ui);
    EXPECT_EQ(AssignSecondaryStructure(molecule, ui), 1);
    // The reference reads the first model only.
    std::map<std::tuple<char, int, char>, int> codes;
    for (const Chain& chain : molecule.chains)
        if (chain.model == molecule.chains.front().model)
            for (const Residue& r : chain.residues) codes[{chain.id, r.number, r.insertionCode}] = r.secondaryStructure;

    std::ifstream in(reference);
    const nlohmann::json json = nlohmann::json::parse(in);
    Agreement a;
    for (const auto& chain : json["chains"]) {
        const char id = chain["chain"].get<std::string>().empty() ? ' ' : chain["chain"].get<std::string>()[0];
        std::string ours, theirs;
        for (const auto& r : chain["residues"]) {
            const std::string icode = r["icode"].get<std::string>();
            const auto it = codes.find({id, r["resseq"].get<int>(), icode.empty() ? ' ' : icode[0]});
            char want = r["ss"].get<std::string>()[0];
            if (want == 'b') want = 'B';
            const char got = it == codes.end() ? '?' : (it->second >= 0 && it->second < 7 ? kClass[it->second] : '!');
            ours += got;
            theirs += want;
            ++a.compared;
            if (got == want) ++a.agreed;
        }
        if (ours != theirs) a.differences += std::string("chain ") + id + "\n  ours   " + ours + "\n  theirs " + theirs + "\n";
    }
    return a;
}

class StrideAgreement : public testing::TestWithParam<const char*> {};

TEST_P(StrideAgreement, AtLeastNinetyEightPercentPerResidue) {
    const std::string name = GetParam();
    std::string pdb = DataPath(name + ".pdb"), reference = DataPath("stride_" + name + ".json");
    if (!std::ifstream(reference)) {
        reference = SharedPath("stride/" + name + ".json");
        pdb = SharedPath("pdb/" + name + ".pdb");
        if (reference.empty() || pdb.empty()) GTEST_SKIP() << "reference corpus absent";
    }
    const Agreement a = Compare(pdb, reference);
    std::printf("%s: %d of %d residues agree (%.2f %%)\n%s", name.c_str(), a.agreed, a.compared,
                100 * a.Fraction(), a.differences.c_str());
    EXPECT_GE(a.Fraction(), 0.98) << a.differences;
}

INSTANTIATE_TEST_SUITE_P(Proteins, StrideAgreement, testing::Values("1ubi", "2hhb", "1tii"));

}  // namespace
