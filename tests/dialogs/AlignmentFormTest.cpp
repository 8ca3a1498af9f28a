#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/RecordingUiHooks.h"
#include "dialogs/AlignmentForm.h"
#include "model/VelmDoc.h"
#include "support/TestData.h"

using namespace velm;
using velm::test::DataPath;

namespace {

// The alpha carbons of one chain, through the chooser's filter.
std::vector<int> ChainAlphaCarbons(const AlignmentForm& form, int side, char chain) {
    std::vector<int> out;
    for (int i : form.Candidates(side))
        if (form.SideMolecule(side)->atoms[i].chain == chain) out.push_back(i);
    return out;
}

std::unique_ptr<Molecule> PointMolecule(const std::vector<Vec3>& points) {
    auto m = std::make_unique<Molecule>();
    for (const Vec3& p : points) {
        Atom a;
        a.SetName("C");
        a.SetResidueName("GLY");
        a.residueNumber = 7;
        a.serial = m->AtomCount() + 1;
        a.x = p.x, a.y = p.y, a.z = p.z;
        m->atoms.push_back(a);
    }
    return m;
}

}  // namespace

TEST(AlignmentForm, HemoglobinChainsOnTheirAlphaCarbonsGiveTheReferenceRmsdAndFollowTheScene) {
    std::ifstream in(DataPath("kabsch.json"));
    const nlohmann::json ca = nlohmann::json::parse(in)["pairs"][0]["selections"]["CA"];
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    ASSERT_EQ(doc.AddMoleculeFromFile(DataPath("2hhb.pdb")), 1);
    ASSERT_EQ(doc.AddMoleculeFromFile(DataPath("2hhb.pdb")), 1);
    AlignmentForm form(doc);
    form.Show();
    EXPECT_EQ(form.MoleculeEntries(), (std::vector<std::string>{"1) 2hhb.pdb", "2) 2hhb.pdb"}));
    form.ChooseMolecule(AlignmentForm::B, 1);
    form.filter = AtomFilter::AlphaCarbons;
    form.AddAtoms(AlignmentForm::A, ChainAlphaCarbons(form, AlignmentForm::A, 'A'));
    form.AddAtoms(AlignmentForm::B, ChainAlphaCarbons(form, AlignmentForm::B, 'C'));
    ASSERT_EQ(form.RowCount(), ca["n_atoms"].get<int>());

    form.massWeighting = false;
    char expected[32];
    form.Rmsd();
    std::snprintf(expected, sizeof expected, "RMSD = %.3f", ca["rmsd_no_fit"].get<double>());
    EXPECT_EQ(form.RmsdText(), expected);
    form.AlignBToA();
    std::snprintf(expected, sizeof expected, "RMSD = %.3f", ca["rmsd_fit_unweighted"].get<double>());
    EXPECT_EQ(form.RmsdText(), expected);
    EXPECT_TRUE(ui.with("message:").empty());

    // Turning B moves it off A: the figure follows, unless auto update is off.
    Molecule& b = *doc.Molecules()[1];
    b.trackball.orientation[2] = 1, b.trackball.orientation[3] = 0;  // half a turn about z
    form.ToggleAutoUpdate();
    doc.AnnounceSceneMoved();
    EXPECT_EQ(form.RmsdText(), expected);
    form.ToggleAutoUpdate();
    doc.AnnounceSceneMoved();
    EXPECT_NE(form.RmsdText(), expected);
}

TEST(AlignmentForm, EachCommandRefusesWithItsMessageAndChangesNothing) {
    const std::vector<Vec3> line = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 1, 0}};
    const struct {
        const char* name;
        int sameMolecule;  // B chooses molecule 0 too
        std::vector<int> atomsA, atomsB;
        bool align;
        const char* message;
    } cases[] = {
        {"same molecule", 1, {0, 1, 2}, {0, 1, 2}, true, "Please select two DIFFERENT molecules!"},
        {"same molecule rmsd", 1, {0}, {1}, false, "Please select two DIFFERENT molecules!"},
        {"unequal", 0, {0, 1, 2}, {0, 1}, true, "Please select the same number of atoms from both molecules"},
        {"unequal rmsd", 0, {0}, {}, false, "Please select the same number of atoms from both molecules"},
        {"two atoms", 0, {0, 1}, {0, 1}, true, "Please select at least three atoms from  each molecule"},
        {"no atoms", 0, {}, {}, false, "Please select at least one atom from  each molecule"},
        {"collinear", 0, {0, 1, 2}, {0, 1, 2}, true,
         "Zero eigen values in kabsch: Colinear molecules are not currently allowed."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingUiHooks ui;
        CVelmDoc doc(ui);
        doc.AddMolecule(PointMolecule(line));
        doc.AddMolecule(PointMolecule({{5, 5, 5}, {5, 7, 5}, {5, 9, 5}, {6, 6, 6}}));
        AlignmentForm form(doc);
        form.Show();
        form.ChooseMolecule(AlignmentForm::B, c.sameMolecule ? 0 : 1);
        form.AddAtoms(AlignmentForm::A, c.atomsA);
        form.AddAtoms(AlignmentForm::B, c.atomsB);
        c.align ? form.AlignBToA() : form.Rmsd();
        EXPECT_EQ(ui.with("message:"), std::vector<std::string>{c.message});
        EXPECT_EQ(form.RmsdText(), "RMSD = --");
        EXPECT_FALSE(form.RmsdValid());
        EXPECT_EQ(doc.Molecules()[1]->atoms[1].y, 7);
    }
}

TEST(AlignmentForm, ChooserFiltersAndDeleteGivesAtomsBack) {
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    auto m = PointMolecule({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 1}});
    const struct {
        const char* name;
        ElementType element;
    } atoms[] = {{"N", Nitrogen}, {"CA", Carbon}, {"H", Hydrogen}, {"ca", Carbon}, {"CA", Calcium}};
    for (int i = 0; i < 5; ++i) {
        m->atoms[i].SetName(atoms[i].name);
        m->atoms[i].element = atoms[i].element;
    }
    doc.AddMolecule(std::move(m));
    AlignmentForm form(doc);
    form.Show();
    const struct {
        AtomFilter filter;
        std::vector<int> shown;
    } filters[] = {{AtomFilter::AllAtoms, {0, 1, 2, 3, 4}},
                   {AtomFilter::HeavyAtoms, {0, 1, 3, 4}},
                   {AtomFilter::AlphaCarbons, {1, 3}}};
    for (const auto& f : filters) {
        form.filter = f.filter;
        EXPECT_EQ(form.Candidates(AlignmentForm::A), f.shown);
    }
    form.filter = AtomFilter::AllAtoms;
    form.AddAtoms(AlignmentForm::A, {3, 0, 3, 9, 4});
    EXPECT_EQ(form.Atoms(AlignmentForm::A), (std::vector<int>{3, 0, 4}));
    EXPECT_EQ(form.Candidates(AlignmentForm::A), (std::vector<int>{1, 2}));
    form.DeleteRows(AlignmentForm::A, {});
    EXPECT_EQ(ui.with("message:"), std::vector<std::string>{"Please select at least one atom for deletion"});
    form.DeleteRows(AlignmentForm::A, {0, 7});  // a row past the side's end is ignored
    EXPECT_EQ(form.Atoms(AlignmentForm::A), (std::vector<int>{0, 4}));
    EXPECT_EQ(form.Candidates(AlignmentForm::A), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(form.Cell(1, AlignmentForm::A), "5:CA:GLY7");
    EXPECT_EQ(form.Cell(2, AlignmentForm::A), "");
}

// A side whose molecule leaves takes the first one, empty; no index of the
// old molecule is read again, and the figure stops following.
TEST(AlignmentForm, DeletedMoleculesLeaveBothSidesConsistent) {
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    const std::vector<Vec3> shape = {{0, 0, 0}, {1, 0, 0}, {0, 2, 0}, {0, 0, 3}};
    for (int i = 0; i < 3; ++i) doc.AddMolecule(PointMolecule(shape));
    AlignmentForm form(doc);
    form.Show();
    form.ChooseMolecule(AlignmentForm::A, 1);
    form.ChooseMolecule(AlignmentForm::B, 2);
    form.AddAtoms(AlignmentForm::A, {0, 1, 2, 3});
    form.AddAtoms(AlignmentForm::B, {3, 2, 1, 0});
    form.Rmsd();
    ASSERT_TRUE(form.RmsdValid());

    doc.DeleteMolecules({2});
    EXPECT_EQ(form.MoleculeIndex(AlignmentForm::A), 1);
    EXPECT_EQ(form.Atoms(AlignmentForm::A).size(), 4u);
    EXPECT_EQ(form.MoleculeIndex(AlignmentForm::B), 0);
    EXPECT_TRUE(form.Atoms(AlignmentForm::B).empty());
    EXPECT_EQ(form.Cell(0, AlignmentForm::B), "");
    EXPECT_FALSE(form.RmsdValid());
    doc.AnnounceSceneMoved();
    EXPECT_EQ(form.Candidates(AlignmentForm::B).size(), 4u);

    doc.DeleteMolecules({0, 1});
    EXPECT_EQ(form.MoleculeIndex(AlignmentForm::A), -1);
    EXPECT_EQ(form.MoleculeIndex(AlignmentForm::B), -1);
    EXPECT_EQ(form.RowCount(), 0);
    EXPECT_TRUE(form.Candidates(AlignmentForm::A).empty());
    form.AlignBToA();
    EXPECT_EQ(ui.with("message:"), std::vector<std::string>{"Please select two DIFFERENT molecules!"});
}
