#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/RecordingUiHooks.h"
#include "core/VelmError.h"
#include "model/PastedValues.h"
#include "model/VelmDoc.h"
#include "support/TestData.h"

using namespace velm;
using velm::test::TempDir;

namespace {

// Carbons with the given serials, in that order, temperature factor 10 and occupancy 0.5.
std::string Atoms(const std::vector<int>& serials) {
    std::string text;
    int i = 0;
    for (int serial : serials) {
        char line[100];
        std::snprintf(line, sizeof line, "ATOM  %5d  C%-2d LIG A   1    %8.3f%8.3f%8.3f  0.50 10.00\n", serial, i % 10,
                      1.5 * i, 0.0, 0.0);
        text += line;
        ++i;
    }
    return text;
}

struct Loaded {
    TempDir dir;
    RecordingUiHooks ui;
    CVelmDoc doc{ui};
    Molecule* m = nullptr;

    explicit Loaded(const std::string& pdbText) { Load(dir.Write("m.pdb", pdbText)); }
    explicit Loaded(const char* fixture, bool) { Load(test::DataPath(fixture)); }
    void Load(const std::string& path) {
        if (doc.AddMoleculeFromFile(path)) m = doc.Primary();
    }
    std::vector<double> Temperatures() const {
        std::vector<double> out;
        for (const Atom& a : m->atoms) out.push_back(a.temperatureFactor);
        return out;
    }
    double TemperatureOfSerial(int serial) const {
        for (const Atom& a : m->atoms)
            if (a.serial == serial) return a.temperatureFactor;
        ADD_FAILURE() << "no atom " << serial;
        return -1;
    }
};

std::string ApplyError(Molecule& m, const std::vector<double>& values, const PasteOptions& o) {
    try {
        ApplyPastedValues(m, values, o);
    } catch (const VelmError& e) {
        return e.text();
    }
    return "";
}

std::vector<double> Parse(std::string_view text, RecordingUiHooks& ui) { return ParsePastedValues(text, ui); }

}  // namespace

TEST(PastedValues, TextIsSplitOnBlanksTabsAndLineEnds) {
    RecordingUiHooks ui;
    EXPECT_EQ(Parse("1 2\t3\r\n4.5e1\n\n  ", ui), (std::vector<double>{1, 2, 3, 45}));
    EXPECT_TRUE(Parse(" \r\n\t", ui).empty());
    EXPECT_TRUE(ui.calls.empty());

    // One warning however many values are negative.
    EXPECT_EQ(Parse("-1 2 -2", ui), (std::vector<double>{-1, 2, -2}));
    EXPECT_EQ(ui.with("message:"), std::vector<std::string>{"Warning - negative value found in clipboard"});

    for (const char* bad : {"1 two 3", "1,5", "1 2x", "nan", "inf", "1e999"}) {
        try {
            Parse(bad, ui);
            ADD_FAILURE() << "accepted " << bad;
        } catch (const VelmError& e) {
            EXPECT_EQ(e.text(), "Warning - non-numeric value found in clipboard") << bad;
        }
    }
}

TEST(PastedValues, AllAtomsAndSingleAtomStoreMagnitudes) {
    Loaded l(Atoms({1, 2, 3}));
    ASSERT_NE(l.m, nullptr);
    RecordingUiHooks ui;
    ApplyPastedValues(*l.m, Parse("1 2 3", ui), {});
    EXPECT_EQ(l.Temperatures(), (std::vector<double>{1, 2, 3}));
    EXPECT_DOUBLE_EQ(l.m->atoms[0].occupancy, 0.5) << "the other field untouched";

    PasteOptions few;
    EXPECT_EQ(ApplyError(*l.m, {7, 8}, few), "Unable to paste data, number of inputs is less\nthan the number of atoms");
    EXPECT_EQ(l.Temperatures(), (std::vector<double>{1, 2, 3}));

    PasteOptions single;
    single.mode = PasteMode::SingleAtom;
    single.serial = 2;
    const std::vector<double> v = Parse("-2.5", ui);
    EXPECT_EQ(ui.with("message:"), std::vector<std::string>{"Warning - negative value found in clipboard"});
    ApplyPastedValues(*l.m, v, single);
    EXPECT_EQ(l.Temperatures(), (std::vector<double>{1, 2.5, 3}));

    single.serial = 4;
    EXPECT_EQ(ApplyError(*l.m, {9}, single), "Invalid atom id, can't paste data");
    EXPECT_EQ(l.Temperatures(), (std::vector<double>{1, 2.5, 3}));
}

TEST(PastedValues, RangeTakesSerialsInIncreasingOrder) {
    {
        Loaded l(Atoms({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
        ASSERT_NE(l.m, nullptr);
        PasteOptions o;
        o.mode = PasteMode::AtomRange;
        o.start = 5;
        o.stop = 8;
        ApplyPastedValues(*l.m, {1, 2, 3, 4}, o);
        EXPECT_EQ(l.Temperatures(), (std::vector<double>{10, 10, 10, 10, 1, 2, 3, 10, 10, 10}));
    }
    {
        // No serial 6, and the atoms listed out of order: 5 and 7 take the first two values.
        Loaded l(Atoms({1, 2, 3, 4, 7, 5, 8, 9, 10}));
        ASSERT_NE(l.m, nullptr);
        PasteOptions o;
        o.mode = PasteMode::AtomRange;
        o.start = 5;
        o.stop = 8;
        o.target = PasteTarget::Occupancy;
        ApplyPastedValues(*l.m, {0.25, 0.75, 0.9}, o);
        std::vector<double> occupancies;
        for (const Atom& a : l.m->atoms) occupancies.push_back(a.occupancy);
        EXPECT_EQ(occupancies, (std::vector<double>{0.5, 0.5, 0.5, 0.5, 0.75, 0.25, 0.5, 0.5, 0.5}));
        EXPECT_DOUBLE_EQ(l.m->minOccupancy, 0.25);
        EXPECT_DOUBLE_EQ(l.m->maxOccupancy, 0.75);
        EXPECT_EQ(l.TemperatureOfSerial(5), 10);
    }
}

TEST(PastedValues, AlphaCarbonsGiveEachResidueItsValue) {
    Loaded l("1ubi.pdb", true);
    ASSERT_NE(l.m, nullptr);
    ASSERT_EQ(AlphaCarbonCount(*l.m), 76);
    const std::vector<double> before = l.Temperatures();
    const double maxBefore = l.m->maxTemperature;
    PasteOptions o;
    o.mode = PasteMode::AlphaCarbons;
    EXPECT_EQ(ApplyError(*l.m, std::vector<double>(75, 1.0), o),
              "Unable to paste data, number of inputs is less\nthan the number of alpha carbons");
    EXPECT_EQ(l.Temperatures(), before);
    EXPECT_EQ(l.m->maxTemperature, maxBefore);

    std::vector<double> values;
    for (int k = 1; k <= 76; ++k) values.push_back(100.0 + k);
    ApplyPastedValues(*l.m, values, o);
    int k = 0;
    for (const Chain& c : l.m->chains)
        for (const Residue& r : c.residues) {
            ++k;
            for (int i : r.atoms) ASSERT_EQ(l.m->atoms[static_cast<size_t>(i)].temperatureFactor, 100.0 + k);
        }
    // The waters are in no residue and keep what they had; the extremes follow the new values.
    EXPECT_EQ(l.m->atoms.back().temperatureFactor, before.back());
    EXPECT_DOUBLE_EQ(l.m->maxTemperature, 176.0);
}

TEST(PastedValues, ExtremesAreRecomputed) {
    Loaded l(Atoms({1, 2, 3}));
    ASSERT_NE(l.m, nullptr);
    ApplyPastedValues(*l.m, {3, -7, 0.5}, {});
    EXPECT_EQ(l.Temperatures(), (std::vector<double>{3, 7, 0.5}));
    EXPECT_DOUBLE_EQ(l.m->maxTemperature, 7);
    EXPECT_DOUBLE_EQ(l.m->minTemperature, 0.5);
    EXPECT_DOUBLE_EQ(l.m->maxOccupancy, 0.5);
    EXPECT_DOUBLE_EQ(l.m->minOccupancy, 0.5);

    // No values: nothing happens.
    ApplyPastedValues(*l.m, {}, {});
    EXPECT_EQ(l.Temperatures(), (std::vector<double>{3, 7, 0.5}));
}
