#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/RecordingUiHooks.h"
#include "core/VelmError.h"
#include "model/ResidueColouring.h"
#include "model/SequenceLayout.h"
#include "model/SequenceTool.h"
#include "model/VelmDoc.h"

using namespace velm;

namespace {

// Chains of (id, model, residue names); each residue numbered from 1 with an
// "N" and a "CA" atom, except water, which has no CA. Atom i has colour (i, 0, 0).
struct ChainSpec {
    char id;
    int model;
    std::vector<const char*> residues;
};
std::unique_ptr<Molecule> Built(const std::vector<ChainSpec>& chains) {
    auto m = std::make_unique<Molecule>();
    for (const ChainSpec& cs : chains) {
        Chain& c = m->chains.emplace_back(Chain{cs.model, cs.id, {}});
        for (const char* name : cs.residues) {
            Residue& r = c.residues.emplace_back();
            r.number = static_cast<int>(c.residues.size());
            r.secondaryStructure = Coil;
            for (const char* atom : {"N", "CA"}) {
                if (std::string(atom) == "CA" && std::string(name) == "HOH") continue;
                if (std::string(atom) == "CA") r.alphaCarbon = m->AtomCount();
                r.atoms.push_back(m->AtomCount());
                Atom& a = m->atoms.emplace_back();
                a.SetName(atom);
                a.SetResidueName(name);
                a.colour = Rgba{static_cast<std::uint8_t>(r.atoms.back()), 0, 0, 255};
            }
        }
    }
    return m;
}

// Chain A in models 1 and 2, an empty chain, then chain B whose residue has no CA.
std::unique_ptr<Molecule> TwoModels() {
    return Built({{'A', 1, {"MET", "GLN"}}, {'A', 2, {"MET", "GLN"}}, {'C', 2, {}}, {'B', 2, {"HOH"}}});
}

struct DisplayCounter : DocumentObserver {
    int display = 0;
    void DocumentChanged(DocumentChange what) override { display += Any(what, DocumentChange::Display); }
};

}  // namespace

TEST(SequenceLayout, ButtonsByThirdsOrBesideTheMiddleAndTheListAbove) {
    const struct {
        int width, height, closeX, colourX;
    } cases[] = {
        {400, 300, 133 - 37, 266 - 37},  // wide: centred at W/3 and 2W/3
        {255, 300, 85 - 37, 170 - 37},   // W/3 - 10 equals the button width: still thirds
        {254, 300, 122 - 75, 132},       // one pixel narrower: either side of the middle gap
        {100, 100, 45 - 75, 55},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        const SequenceLayout l = LayOutSequenceTool(c.width, c.height, 75, 23);
        EXPECT_EQ(l.close, (LayoutRect{c.closeX, c.height - 33, 75, 23}));
        EXPECT_EQ(l.colour, (LayoutRect{c.colourX, c.height - 33, 75, 23}));
        EXPECT_EQ(l.list, (LayoutRect{10, 10, c.width - 20, c.height - 53}));
    }
    EXPECT_EQ(LayOutSequenceTool(15, 20, 75, 23).list, (LayoutRect{10, 10, 0, 0}));
}

TEST(SequenceTool, RowsCountResiduesAcrossChainsWithTheirModels) {
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    auto m = TwoModels();
    m->chains[1].residues[1].secondaryStructure = AlphaHelix;
    doc.AddMolecule(std::move(m));
    const SequenceTool tool(doc);
    const std::vector<std::vector<std::string>> expected = {{"MET 1", "A", "1", "Coil"},
                                                            {"GLN 2", "A", "1", "Coil"},
                                                            {"MET 1", "A", "2", "Coil"},
                                                            {"GLN 2", "A", "2", "AlphaHelix"},
                                                            {"HOH 1", "B", "2", "Coil"}};
    ASSERT_EQ(tool.RowCount(), static_cast<int>(expected.size()));
    for (size_t r = 0; r < expected.size(); ++r)
        for (int c = 0; c < kSequenceColumns; ++c)
            EXPECT_EQ(tool.Row(static_cast<int>(r)).Cell(c), expected[r][c]) << r << c;
    EXPECT_EQ(tool.Row(5).residue, "");

    const SequenceIndex index(*doc.Primary());
    const Molecule& mol = *doc.Primary();
    const Residue* at[] = {&mol.chains[0].residues[0], &mol.chains[1].residues[1], &mol.chains[3].residues[0]};
    EXPECT_EQ(index.ResidueAt(0), at[0]);
    EXPECT_EQ(index.ResidueAt(3), at[1]);
    EXPECT_EQ(index.ResidueAt(4), at[2]);  // past the empty chain
    EXPECT_EQ(index.ResidueAt(5), nullptr);
    EXPECT_EQ(index.ResidueAt(-1), nullptr);
}

TEST(SequenceTool, SelectionChooserAndColouringOfExactlyTheSelectedResidues) {
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    doc.AddMolecule(TwoModels());
    DisplayCounter counter;
    doc.AddObserver(counter);
    SequenceTool tool(doc);

    tool.Select({4, -1, 2, 2, 99, 0});
    EXPECT_EQ(tool.Selection(), (std::vector<int>{0, 2, 4}));

    // No selection: white; the first selected residue's CA; a residue without CA: its first atom.
    const struct {
        std::vector<int> rows;
        Rgba seed;
    } seeds[] = {{{}, {255, 255, 255, 255}}, {{3, 1}, {3, 0, 0, 255}}, {{4}, {8, 0, 0, 255}}};
    for (const auto& s : seeds) {
        tool.Select(s.rows);
        tool.ColourButton();
        EXPECT_TRUE(tool.ChooserOpen());
        EXPECT_EQ(tool.ChooserColour(), s.seed);
        tool.ChooserNotification(ChooserCancel, {1, 2, 3, 4});
        EXPECT_FALSE(tool.ChooserOpen());
    }
    // While open, "Color ..." changes nothing.
    tool.Select({});
    tool.ColourButton();
    tool.Select({1});
    tool.ColourButton();
    EXPECT_EQ(tool.ChooserColour(), (Rgba{255, 255, 255, 255}));
    tool.ChooserNotification(ChooserCancel, {});
    EXPECT_EQ(counter.display, 0);

    // Apply keeps the chooser open, OK closes it; each colours the selection once.
    const Rgba green{0, 200, 0, 128};
    tool.Select({0, 3, 4});
    tool.ColourButton();
    tool.ChooserNotification(ChooserApply, green);
    EXPECT_TRUE(tool.ChooserOpen());
    EXPECT_EQ(counter.display, 1);
    const std::vector<int> coloured = {0, 1, 6, 7, 8};
    for (int i = 0; i < doc.Primary()->AtomCount(); ++i) {
        const bool in = std::find(coloured.begin(), coloured.end(), i) != coloured.end();
        EXPECT_EQ(doc.Primary()->atoms[i].colour == green, in) << "atom " << i;
    }
    tool.ChooserNotification(ChooserOk, {9, 9, 9, 9});
    EXPECT_FALSE(tool.ChooserOpen());
    EXPECT_EQ(counter.display, 2);
    EXPECT_EQ(doc.Primary()->atoms[8].colour, (Rgba{9, 9, 9, 9}));
    EXPECT_TRUE(ui.with("message:").empty());
    doc.RemoveObserver(counter);
}

TEST(SequenceTool, RowsThatMatchNoResidueStopTheColouringWhereTheyAre) {
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    doc.AddMolecule(TwoModels());
    Molecule& m = *doc.Primary();
    try {
        ColourSequenceRows(doc, m, {7, 1}, {0, 0, 255, 255});
        FAIL() << "no error";
    } catch (const VelmError& e) {
        EXPECT_EQ(e.text(), "Failed to find all selected residues!");
    }
    EXPECT_EQ(m.atoms[3].colour, (Rgba{0, 0, 255, 255}));  // row 1, before the missing one
    EXPECT_THROW(SequenceRowColour(m, 5), VelmError);
}

// The selection never outlives the molecule or the residues it addressed.
TEST(SequenceTool, DeletedOrReplacedMoleculesLeaveNoSelection) {
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    doc.AddMolecule(TwoModels());
    int refills = 0;
    SequenceTool tool(doc, [&] { ++refills; });

    tool.Select({1, 2});
    doc.EditMolecule(*doc.Primary(), DocumentChange::Display,
                     [](Molecule& m) { m.chains[0].residues[1].secondaryStructure = Strand; });
    EXPECT_EQ(refills, 1);
    EXPECT_EQ(tool.Row(1).structure, "Strand");
    EXPECT_EQ(tool.Selection(), (std::vector<int>{1, 2}));  // same residues, new names

    doc.AddMolecule(Built({{'A', 1, {"ALA", "GLY", "SER"}}}));
    EXPECT_EQ(tool.RowCount(), 3);
    EXPECT_TRUE(tool.Selection().empty());

    tool.Select({0, 1, 2});
    doc.DeleteMolecules({0, 1});
    EXPECT_EQ(tool.RowCount(), 0);
    EXPECT_TRUE(tool.Selection().empty());
    tool.Apply({1, 1, 1, 1});  // nothing to colour, nothing said
    tool.ColourButton();
    EXPECT_EQ(tool.ChooserColour(), (Rgba{255, 255, 255, 255}));
    EXPECT_TRUE(ui.with("message:").empty());
}
