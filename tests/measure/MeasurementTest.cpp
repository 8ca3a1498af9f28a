#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <fstream>
#include <functional>

#include "analysis/MakeDocument.h"
#include "core/RecordingUiHooks.h"
#include "core/VelmError.h"
#include "measure/Measurement.h"
#include "measure/MeasurementTable.h"
#include "measure/Monitors.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"
#include "support/TestData.h"

using namespace velm;
using json = nlohmann::json;

namespace {

int AtomOfSerial(const Molecule& m, int serial) {
    for (int i = 0; i < m.AtomCount(); ++i)
        if (m.atoms[static_cast<size_t>(i)].serial == serial) return i;
    return -1;
}

// A molecule of loose atoms at the given places, serials 1, 2, ...
std::unique_ptr<Molecule> LooseAtoms(std::initializer_list<Vec3> places) {
    auto m = std::make_unique<Molecule>();
    for (const Vec3& p : places) {
        Atom& a = m->atoms.emplace_back();
        a.x = p.x, a.y = p.y, a.z = p.z;
        a.serial = static_cast<int>(m->atoms.size());
        a.model = 1;
    }
    return m;
}

}  // namespace

// Distances, angles and torsions of real structures, against numpy on the
// files' own coordinates (tests/data/measurements.json).
TEST(Measurement, RealStructuresAgreeWithNumpy) {
    std::ifstream in(test::DataPath("measurements.json"));
    const json reference = json::parse(in);
    ASSERT_GE(reference["measurements"].size(), 7u);
    for (const json& c : reference["measurements"]) {
        RecordingUiHooks ui;
        auto doc = MakeDocument(ui);
        ASSERT_EQ(doc->AddMoleculeFromFile(test::DataPath(c["file"])), 1);
        Molecule& m = *doc->Primary();
        // A turned and moved molecule measures the same.
        m.trackball.orientation[0] = 0.6f, m.trackball.orientation[3] = 0.8f;
        m.trackball.translation[1] = 7;
        Measurement measurement;
        for (int serial : c["serials"]) ASSERT_TRUE(measurement.AddOrRemovePicked(1, AtomOfSerial(m, serial), &m));
        const std::string where = c["file"].get<std::string>() + " " + c["serials"].dump();
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(measurement.Bond(i), c["bonds"][i].get<double>(), 2e-4) << where;
        for (int i = 0; i < 2; ++i) EXPECT_NEAR(measurement.Angle(i), c["angles"][i].get<double>(), 2e-4) << where;
        EXPECT_NEAR(measurement.Torsion(), c["torsion"].get<double>(), 5e-4) << where;
    }
}

TEST(Measurement, PicksJoinLeaveOrAreIgnoredByTheirPlaceInTheList) {
    auto m = LooseAtoms({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {2, 1, 0}, {3, 3, 3}});
    const struct {
        std::vector<int> picks;     // atom indices, in order
        std::vector<int> expected;  // serials left, in order
    } cases[] = {
        {{0, 1, 2, 3, 1}, {1, 2, 3, 4}},  // an inner atom stays
        {{0, 1, 2, 3, 2}, {1, 2, 3, 4}},
        {{0, 1, 2, 3, 3}, {1, 2, 3}},     // the last leaves
        {{0, 1, 2, 3, 0}, {2, 3, 4}},     // the first leaves, B becomes A
        {{0, 1, 2, 3, 4}, {1, 2, 3, 4}},  // a fifth is ignored
        {{0, 1, 1}, {1}},
        {{0, 1, 2, 1}, {1, 2, 3}},        // with three, B is inner too
        {{0, 0}, {}},
    };
    for (const auto& c : cases) {
        Measurement measurement;
        for (int atom : c.picks) measurement.AddOrRemovePicked(1, atom, m.get());
        std::vector<int> serials;
        for (int i = 0; i < measurement.Count(); ++i) serials.push_back(measurement.Id(i));
        EXPECT_EQ(serials, c.expected) << ::testing::PrintToString(c.picks);
    }
}

TEST(Measurement, AccessorsRefuseIndexesOfAtomsNotPicked) {
    auto m = LooseAtoms({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}});
    Measurement measurement;
    measurement.AddOrRemovePicked(1, 0, m.get());
    measurement.AddOrRemovePicked(1, 1, m.get());
    const struct {
        std::function<void()> read;
        const char* message;  // empty: no error
    } reads[] = {
        {[&] { measurement.X(2); }, "x index out of bounds"},     {[&] { measurement.Y(-1); }, "y index out of bounds"},
        {[&] { measurement.Z(2); }, "z index out of bounds"},     {[&] { measurement.Id(2); }, "Id index out of bounds"},
        {[&] { measurement.Model(2); }, "Model index out of bounds"}, {[&] { measurement.Bond(0); }, ""},
        {[&] { measurement.Bond(1); }, "Bond index out of bounds"}, {[&] { measurement.Angle(0); }, "Angle index out of bounds"},
        {[&] { measurement.Torsion(); }, "Torsion index out of bounds"}, {[&] { measurement.Colour(2); }, "Index out of bounds"},
    };
    for (const auto& r : reads) {
        std::string thrown;
        try {
            r.read();
        } catch (const VelmError& e) {
            thrown = e.text();
        }
        EXPECT_EQ(thrown, r.message);
    }
    // The table leaves blank what the atoms do not define.
    const MeasurementTable t = TabulateMeasurement(measurement);
    EXPECT_EQ(t.cartesian[1][0], "1.000");
    EXPECT_EQ(t.cartesian[1][3], "2");
    EXPECT_EQ(t.cartesian[2][0], "");
    EXPECT_EQ(t.internal[0], "1.000");
    EXPECT_EQ(t.internal[3], "");
}

TEST(Measurement, TorsionsOfPlanarAndDegenerateGeometry) {
    const float pi = 3.1415927f;
    const struct {
        std::array<Vec3, 4> p;
        float torsion;
    } cases[] = {
        {{{{-1, 1, 0}, {0, 0, 0}, {1, 0, 0}, {2, -1, 0}}}, pi},  // trans
        {{{{-1, 1, 0}, {0, 0, 0}, {1, 0, 0}, {2, 1, 0}}}, 0},    // cis
        {{{{-1, 1, 0}, {0, 0, 0}, {1, 0, 0}, {2, 0, 1}}}, pi / 2},
        {{{{-1, 1, 0}, {0, 0, 0}, {1, 0, 0}, {2, 0, -1}}}, -pi / 2},
        {{{{-1, 0, 0}, {0, 0, 0}, {1, 0, 0}, {2, 1, 0}}}, 0},    // A, B, C in line
        {{{{-1, 1, 0}, {0, 0, 0}, {1, 0, 0}, {2, 0, 0}}}, 0},    // B, C, D in line
    };
    for (const auto& c : cases) {
        float p[4][3];
        for (int i = 0; i < 4; ++i) {
            p[i][0] = static_cast<float>(c.p[static_cast<size_t>(i)].x);
            p[i][1] = static_cast<float>(c.p[static_cast<size_t>(i)].y);
            p[i][2] = static_cast<float>(c.p[static_cast<size_t>(i)].z);
        }
        const float t = TorsionAngle(p[0], p[1], p[2], p[3]);
        // Trans is +pi or -pi, as rounding falls.
        EXPECT_NEAR(std::fabs(c.torsion) == pi ? std::fabs(t) : t, c.torsion, 1e-5);
    }
    // Two atoms in one place make no angle, not a NaN.
    const float o[3] = {0, 0, 0}, x[3] = {1, 0, 0};
    EXPECT_EQ(BondAngle(o, o, x), 0);
}

TEST(Measurement, AtomsOfTwoMoleculesMeasureWhereTheSceneShowsThem) {
    RecordingUiHooks ui;
    auto doc = MakeDocument(ui);
    doc->AddMolecule(LooseAtoms({{1, 0, 0}}));
    doc->AddMolecule(LooseAtoms({{1, 0, 0}}));
    Molecule& first = *doc->Molecules()[0];
    Molecule& second = *doc->Molecules()[1];
    second.trackball.translation[0] = 3;  // at (4, 0, 0), then turned 180 degrees about z: (-4, 0, 0)
    second.trackball.orientation[2] = 1, second.trackball.orientation[3] = 0;
    Measurement measurement;
    measurement.AddOrRemovePicked(1, 0, &first);
    measurement.AddOrRemovePicked(1, 0, &second);
    EXPECT_NEAR(measurement.Bond(0), 5, 1e-5);
    EXPECT_NEAR(measurement.X(1), -4, 1e-5);

    // The molecule that goes takes its atom along, and only that one.
    doc->DeleteMolecules({0});
    EXPECT_TRUE(measurement.KeepAtomsOf(doc->Molecules()));
    ASSERT_EQ(measurement.Count(), 1);
    EXPECT_EQ(measurement.At(0).molecule, &second);
    const Molecule* const gone[] = {&second};
    measurement.RemoveAtomsOf(gone);
    EXPECT_EQ(measurement.Count(), 0);
}

TEST(Monitors, MeasuredPairsBecomeMonitorsOnceAndLeaveAgain) {
    RecordingUiHooks ui;
    auto doc = MakeDocument(ui);
    doc->AddMolecule(LooseAtoms({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}));
    Molecule& m = *doc->Primary();
    m.monitors.Append(Monitor{7, 0, 2, {}});
    struct Changes : DocumentObserver {
        std::vector<DocumentChange> seen;
        void DocumentChanged(DocumentChange what) override { seen.push_back(what); }
    } changes;
    doc->AddObserver(changes);
    Measurement measurement;
    measurement.AddOrRemovePicked(1, 1, &m);
    measurement.AddOrRemovePicked(1, 0, &m);
    EXPECT_TRUE(ToggleMonitorOfMeasurement(*doc, measurement));
    ASSERT_EQ(m.monitors.Count(), 2);
    EXPECT_EQ(m.monitors[1].label, 8);
    EXPECT_EQ(changes.seen, std::vector<DocumentChange>{DocumentChange::Display});
    EXPECT_FALSE(AddMonitor(*doc, m, 0, 1));  // the same pair, the other way round
    EXPECT_FALSE(AddMonitor(*doc, m, 1, 1));
    EXPECT_FALSE(AddMonitor(*doc, m, 1, 3));
    EXPECT_TRUE(ToggleMonitorOfMeasurement(*doc, measurement));
    EXPECT_EQ(m.monitors.Count(), 1);
    ClearMonitors(*doc, m);
    EXPECT_EQ(m.monitors.Count(), 0);
    doc->RemoveObserver(changes);
}
