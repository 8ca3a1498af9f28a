#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include "measure/TorsionAdjuster.h"
#include "support/BatchRun.h"
#include "support/TestData.h"

using namespace velm;
using json = nlohmann::json;
using test::BatchRun;
using test::RunVelm;

namespace {

// "Bond AB 1.326" lines of the printed table, by their label.
std::map<std::string, double> InternalValues(const std::string& out) {
    std::map<std::string, double> values;
    std::istringstream lines(out.substr(out.find("Internal\n")));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string kind, atoms;
        double v;
        if (words >> kind >> atoms >> v) values[kind + " " + atoms] = v;
    }
    return values;
}

std::vector<double> CartesianRow(const std::string& out, const std::string& row) {
    std::istringstream words(out.substr(out.find("\n" + row + " ") + row.size() + 1));
    std::vector<double> v(5);
    for (double& x : v) words >> x;
    return v;
}

}  // namespace

TEST(BatchMeasure, PrintsTheMeasureTableOfRealAtoms) {
    std::ifstream in(test::DataPath("measurements.json"));
    const json c = json::parse(in)["measurements"][3];  // four atoms of four residues of 1ubi
    ASSERT_EQ(c["file"], "1ubi.pdb");
    std::vector<std::string> args = {test::DataPath("1ubi.pdb"), "-measure"};
    for (int s : c["serials"]) args.push_back(std::to_string(s));
    const BatchRun r = RunVelm(args);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto v = InternalValues(r.out);
    EXPECT_NEAR(v.at("Bond AB"), c["bonds"][0].get<double>(), 6e-4);
    EXPECT_NEAR(v.at("Bond CD"), c["bonds"][2].get<double>(), 6e-4);
    EXPECT_NEAR(v.at("Angle BCD"), c["angles"][1].get<double>(), 6e-4);
    EXPECT_NEAR(v.at("Torsion ABCD"), c["torsion"].get<double>(), 6e-4);
    // Coordinates as the window shows them: the file's, moved by the centring shift.
    const std::string shift = r.out.substr(r.out.find("shift=") + 6);
    const double sx = std::stod(shift);
    const std::vector<double> a = CartesianRow(r.out, "Atom A");
    EXPECT_NEAR(a[0] - sx, 27.343, 1.5e-3);  // serial 1, N of Met 1, at x = 27.343 in the file
    EXPECT_EQ(a[3], c["serials"][0].get<int>());
    EXPECT_EQ(a[4], 0);  // no MODEL record

    // Two atoms: one bond, nothing else.
    const BatchRun two = RunVelm({test::DataPath("1ubi.pdb"), "-measure", "1", "2"});
    EXPECT_EQ(InternalValues(two.out).size(), 1u) << two.out;
}

// -torsion turns before -measure reads and -save writes.
TEST(BatchMeasure, TorsionTurnsThenMeasuresAndSaves) {
    test::TempDir dir;
    const std::string ubi = test::DataPath("1ubi.pdb"), saved = dir.File("turned.pdb");
    const BatchRun before = RunVelm({ubi, "-measure", "203", "204", "207", "208"});
    const BatchRun turned = RunVelm({ubi, "-torsion", "204", "207", "60", "-measure", "203", "204", "207", "208",
                                     "-save", saved});
    ASSERT_EQ(turned.status, 0) << turned.err;
    const double chi = InternalValues(before.out).at("Torsion ABCD");
    const double now = InternalValues(turned.out).at("Torsion ABCD");
    EXPECT_NEAR(std::remainder(now - chi, 2 * M_PI), M_PI / 3, 2e-3);
    EXPECT_NEAR(InternalValues(turned.out).at("Bond CD"), InternalValues(before.out).at("Bond CD"), 1e-3);
    const BatchRun reread = RunVelm({saved, "-measure", "203", "204", "207", "208"});
    EXPECT_NEAR(InternalValues(reread.out).at("Torsion ABCD"), now, 2e-3);
}

TEST(BatchMeasure, BadSerialsAndAnglesGetClearMessages) {
    const std::string ubi = test::DataPath("1ubi.pdb");
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{"-measure", "1"}, 2, "-measure takes the serial numbers of 2 to 4 atoms"},
        {{"-measure", "x", "2"}, 2, "-measure takes the serial numbers of 2 to 4 atoms"},
        {{"-measure", "1", "99999"}, 1, "no atom has the serial number 99999"},
        {{"-measure", "5", "6", "5"}, 1, "-measure names the atom 5 twice"},
        {{"-torsion", "204", "207"}, 2, "-torsion takes the serial numbers of two bonded atoms"},
        {{"-torsion", "204", "207", "sixty"}, 2, "-torsion: the angle \"sixty\" is not a number of degrees"},
        {{"-torsion", "204", "207", "nan"}, 2, "is not a number of degrees"},
        {{"-torsion", "204", "208", "60"}, 1, "-torsion: the atoms 204 and 208 are not bonded"},
        {{"-torsion", "31", "32", "60"}, 1, kRingBondText},
        {{"-torsion", "210", "211", "60"}, 1, "one of them ends the molecule"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {ubi};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const BatchRun r = RunVelm(args);
        EXPECT_EQ(r.status, c.status) << c.args[1];
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    // The 4 atoms -measure takes at most end its list: a fifth number is a file name.
    const BatchRun five = RunVelm({ubi, "-measure", "1", "2", "3", "4", "5"});
    EXPECT_EQ(five.status, 1);
}
