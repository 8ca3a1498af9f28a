#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "core/RecordingUiHooks.h"
#include "core/VelmError.h"
#include "model/FileType.h"
#include "model/ReadCoordinates.h"
#include "model/SecondaryStructureCode.h"
#include "model/VelmDoc.h"
#include "support/TestData.h"

using namespace velm;
using velm::test::TempDir;

namespace {

// n atoms per model along a helix-like path, bonded in a chain of carbons;
// each model shifted by `shift` A in x. Residues of three atoms N, CA, O... .
std::string Models(std::initializer_list<int> sizes, double shift = 0.0) {
    std::string text;
    int model = 0;
    for (int n : sizes) {
        text += "MODEL " + std::to_string(++model) + "\n";
        for (int i = 0; i < n; ++i) {
            static const char* names[] = {"N", "CA", "O"};
            char line[128];
            std::snprintf(line, sizeof line, "ATOM %5d %-4s ALA A%4d %8.3f%8.3f%8.3f  1.00 %5.2f\n", i + 1,
                          names[i % 3], i / 3 + 1, 1.4 * i + shift * (model - 1), 0.3 * (i % 2), 0.0,
                          static_cast<double>(i % 7));
            text += line;
        }
        text += "ENDMDL\n";
    }
    return text;
}

Vec3 MassCentre(const Molecule& m, int frame) {
    Vec3 s;
    double total = 0;
    for (int i = 0; i < m.AtomCount(); ++i) {
        s += m.Position(i, frame) * m.atoms[i].mass;
        total += m.atoms[i].mass;
    }
    return s * (1.0 / total);
}

struct Loaded {
    RecordingUiHooks ui;
    CVelmDoc doc{ui};
    int result = -1;
    std::string error;
    Loaded(const std::string& path, bool trajectory, int mode = Verbatim) {
        doc.options.multipleAsTrajectory = trajectory;
        doc.options.trajectoryReadMode = mode;
        try {
            result = doc.AddMoleculeFromFile(path);
        } catch (const VelmError& e) {
            error = e.text();
        }
    }
    Molecule& mol() { return *doc.Primary(); }
};

}  // namespace

TEST(Loading, ModelsAsFramesOrAsAtoms) {
    TempDir dir;
    const std::string path = dir.Write("two.pdb", Models({100, 100}, 5.0));
    {
        Loaded l(path, true);
        ASSERT_EQ(l.result, 1) << l.error;
        EXPECT_EQ(l.mol().AtomCount(), 100);
        EXPECT_EQ(l.mol().FrameCount(), 1);
        EXPECT_EQ(l.mol().chains.size(), 1u);
        // The frame holds model 2's coordinates, moved as model 1 was: 5 A further along x.
        const Molecule& m = l.mol();
        EXPECT_NEAR(m.Position(0, 1).x - m.Position(0, 0).x, 5.0, 1e-4);
        EXPECT_TRUE(l.ui.with("message:").empty());
    }
    {
        Loaded l(path, false);
        EXPECT_EQ(l.mol().AtomCount(), 200);
        EXPECT_EQ(l.mol().FrameCount(), 0);
        EXPECT_EQ(l.mol().chains.size(), 2u);
        // Bonds only within each model.
        for (const Bond& b : l.mol().bonds) EXPECT_EQ(l.mol().atoms[b.first].model, l.mol().atoms[b.second].model);
    }
}

TEST(Loading, UnequalModelsAreRefusedAsFrames) {
    TempDir dir;
    for (auto sizes : {std::initializer_list<int>{100, 99}, std::initializer_list<int>{100, 98, 102}}) {
        Loaded l(dir.Write("uneven.pdb", Models(sizes)), true);
        EXPECT_EQ(l.error, "All models in PDB file must contain the same number of atoms");
        EXPECT_EQ(l.doc.Primary(), nullptr);
        EXPECT_EQ(l.doc.Molecules().Count(), 0);
    }
}

TEST(Loading, RepeatedModelNumbersStaySeparateModels) {
    // Models lying over one another, numbered 1 1 and 1 2 1: as many models
    // (chains, frames) as blocks, bonds only within each.
    TempDir dir;
    auto renumber = [](std::string text, const char* from, const char* to) {
        text.replace(text.find(from), std::string(from).size(), to);
        return text;
    };
    struct Case {
        std::string text;
        int models;
    };
    const Case cases[] = {{renumber(Models({30, 30}), "MODEL 2", "MODEL 1"), 2},
                          {renumber(Models({30, 30, 30}), "MODEL 3", "MODEL 1"), 3}};
    Loaded single(dir.Write("one.pdb", Models({30})), false);
    for (const auto& [text, models] : cases) {
        const std::string path = dir.Write("repeated.pdb", text);
        Loaded apart(path, false);
        ASSERT_EQ(apart.result, 1) << apart.error;
        EXPECT_EQ(apart.doc.Primary()->chains.size(), static_cast<size_t>(models));
        EXPECT_EQ(apart.doc.Primary()->bonds.size(), models * single.doc.Primary()->bonds.size());
        Loaded frames(path, true);
        ASSERT_EQ(frames.result, 1) << frames.error;
        EXPECT_EQ(frames.doc.Primary()->AtomCount(), 30);
        EXPECT_EQ(frames.doc.Primary()->FrameCount(), models - 1);
    }
}

TEST(Loading, CentredOnTheCentreOfMassInEveryMode) {
    TempDir dir;
    const std::string path = dir.Write("three.pdb", Models({30, 30, 30}, 7.0));
    for (int mode : {Verbatim, ZeroCenterOfMass}) {
        Loaded l(path, true, mode);
        const Molecule& m = l.mol();
        const Vec3 c0 = MassCentre(m, 0);
        EXPECT_NEAR(Length(c0), 0.0, 1e-9) << mode;
        ASSERT_EQ(m.frameCentres.size(), 2u);
        for (int k = 1; k <= 2; ++k) {
            const Vec3 c = MassCentre(m, k);
            if (mode == ZeroCenterOfMass) {
                EXPECT_NEAR(Length(c), 0.0, 1e-4);
                // The removed centre is the frame's own, before centring.
                EXPECT_NEAR(m.frameCentres[k - 1].x - (-m.centreShift.x), 7.0 * k, 1e-4);
            } else {
                // Verbatim frames keep their place beside model 1: 7k A beyond it.
                EXPECT_NEAR(c.x, 7.0 * k, 1e-4);
                EXPECT_EQ(m.frameCentres[k - 1], Vec3{});
            }
        }
        // The box spans the reference and every frame.
        EXPECT_NEAR(m.box.minimum.x + m.box.extent.x, std::max({m.Position(29, 0).x, m.Position(29, 1).x,
                                                                 m.Position(29, 2).x}), 1e-4);
        EXPECT_NEAR(m.box.diagonal, Length(m.box.extent), 1e-12);
        // Made while the atoms were moved, it is the box made afterwards.
        Molecule again = m;
        UpdateBoundingBox(again);
        EXPECT_EQ(again.box.minimum, m.box.minimum);
        EXPECT_EQ(again.box.extent, m.box.extent);
        EXPECT_EQ(again.box.reach, m.box.reach);
    }
}

TEST(Loading, ChainsAndResidues) {
    TempDir dir;
    const std::string path = dir.Write("chains.pdb",
        "ATOM 1 N ALA A 1 0.0 0.0 0.0\nATOM 2 CA ALA A 1 1.4 0.0 0.0\nATOM 3 O ALA A 1 2.8 0.0 0.0\n"
        // Residue 2 has no O: dropped from its chain.
        "ATOM 4 N GLY A 2 4.2 0.0 0.0\nATOM 5 CA GLY A 2 5.6 0.0 0.0\nATOM 6 OXT GLY A 2 7.0 0.0 0.0\n"
        // A water between two residues of the same chain does not split it.
        "HETATM 7 O HOH A 50 30.0 0.0 0.0\n"
        "ATOM 8 N SER A 3 8.4 0.0 0.0\nATOM 9 CA SER A 3 9.8 0.0 0.0\nATOM 10 O SER A 3 11.2 0.0 0.0\n"
        // Insertion code: a residue of its own.
        "ATOM 11 N SER A 3A 12.6 0.0 0.0\nATOM 12 CA SER A 3A 14.0 0.0 0.0\nATOM 13 O SER A 3A 15.4 0.0 0.0\n"
        "ATOM 14 N PRO B 1 40.0 0.0 0.0\nATOM 15 ca PRO B 1 41.4 0.0 0.0\nATOM 16 o PRO B 1 42.8 0.0 0.0\n");
    Loaded l(path, false);
    ASSERT_EQ(l.result, 1) << l.error;
    const Molecule& m = l.mol();
    ASSERT_EQ(m.chains.size(), 2u);
    const Chain& a = m.chains[0];
    EXPECT_EQ(a.id, 'A');
    ASSERT_EQ(a.residues.size(), 3u);
    EXPECT_EQ(a.residues[0].type, ALA);
    EXPECT_EQ(a.residues[0].alphaCarbon, 1);
    EXPECT_EQ(a.residues[0].carbonylOxygen, 2);
    EXPECT_EQ(a.residues[1].number, 3);
    EXPECT_EQ(a.residues[1].atoms, (std::vector<int>{7, 8, 9}));
    EXPECT_EQ(a.residues[2].insertionCode, 'A');
    EXPECT_EQ(a.residues[2].alphaCarbon, 11);
    ASSERT_EQ(m.chains[1].residues.size(), 1u);
    EXPECT_EQ(m.chains[1].residues[0].type, PRO);
    EXPECT_EQ(m.chains[1].residues[0].alphaCarbon, 14);  // names compared without case
}

TEST(Loading, ElementsMassesColoursAndRanges) {
    TempDir dir;
    const std::string path = dir.Write("e.pdb",
        "ATOM 1 N ALA A 1 0.0 0.0 0.0 0.50 -30.0\n"
        "ATOM 2 FE HEM A 2 9.0 0.0 0.0 1.00 12.0\n"
        "ATOM 3 CL1 LIG A 3 20.0 0.0 0.0 0.25 4.0\n");
    Loaded l(path, false);
    const Molecule& m = l.mol();
    EXPECT_EQ(m.atoms[1].element, Iron);
    EXPECT_DOUBLE_EQ(m.atoms[1].mass, 55.847);
    EXPECT_EQ(m.atoms[2].colour, (Rgba{0, 255, 0, 255}));
    EXPECT_DOUBLE_EQ(m.maxTemperature, 30.0);
    EXPECT_DOUBLE_EQ(m.minTemperature, 4.0);
    EXPECT_DOUBLE_EQ(m.maxOccupancy, 1.0);
    EXPECT_DOUBLE_EQ(m.minOccupancy, 0.25);
    EXPECT_EQ(l.ui.with("status:"),
              (std::vector<std::string>{"Reading pdb file ...", "Processing data ...", "Ready"}));
    EXPECT_EQ(l.ui.waitDepth, 0);
}

TEST(Loading, DocumentListAndPrimary) {
    TempDir dir;
    const std::string one = dir.Write("one.pdb", Models({6}));
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    ASSERT_EQ(doc.AddMoleculeFromFile(one), 1);
    Molecule* first = doc.Primary();
    ASSERT_EQ(doc.AddMoleculeFromFile(one), 1);
    EXPECT_EQ(doc.Molecules().Count(), 2);
    EXPECT_NE(doc.Primary(), first);
    EXPECT_EQ(first->selected, 0);
    EXPECT_EQ(doc.Primary()->selected, 1);
    EXPECT_EQ(doc.Primary()->path, one);

    // A failed load leaves the document as it was.
    Molecule* second = doc.Primary();
    EXPECT_THROW(doc.AddMoleculeFromFile(dir.File("absent.pdb")), VelmError);
    EXPECT_EQ(doc.Molecules().Count(), 2);
    EXPECT_EQ(doc.Primary(), second);
    EXPECT_EQ(second->selected, 1);
    EXPECT_EQ(first->AtomCount(), 6);
    EXPECT_EQ(ui.waitDepth, 0);

    // A file without atom records yields 0.
    EXPECT_EQ(doc.AddMoleculeFromFile(dir.Write("none.pdb", "HEADER nothing\nEND\n")), 0);
}

TEST(Loading, SecondaryStructureStageRunsWhenOn) {
    TempDir dir;
    const std::string path = dir.Write("s.pdb", Models({6}));
    for (int on : {0, 1}) {
        RecordingUiHooks ui;
        CVelmDoc doc(ui);
        int calls = 0;
        doc.options.computeSecondaryStructure = on;
        doc.assignSecondaryStructure = [&](Molecule& m, UiHooks&) {
            ++calls;
            EXPECT_EQ(m.AtomCount(), 6);
        };
        doc.AddMoleculeFromFile(path);
        EXPECT_EQ(calls, on);
        const auto status = ui.with("status:");
        EXPECT_EQ(std::count(status.begin(), status.end(), "Assigning secondary structure ..."), on);
    }
}

TEST(LoadingThreads, SecondaryStructureWhileTheBondsAreDerived) {
    // The bonds are derived on another thread while the atoms and chains are
    // built and the stage reads them on the loading thread (which the thread
    // sanitizer watches); a failure of the stage fails the load and leaves
    // the document as it was.
    const std::string path = test::DataPath("4jsv.pdb.gz");
    for (bool fail : {false, true}) {
        RecordingUiHooks ui;
        CVelmDoc doc(ui);
        doc.options.computeConnectivity = 1;
        doc.options.computeSecondaryStructure = 1;
        const std::thread::id loader = std::this_thread::get_id();
        std::thread::id ranOn;
        bool bondsSeen = true;
        doc.assignSecondaryStructure = [&](Molecule& m, UiHooks& hooks) {
            ranOn = std::this_thread::get_id();
            bondsSeen = !m.bonds.empty();
            size_t named = 0;
            for (Chain& chain : m.chains)
                for (Residue& r : chain.residues) {
                    for (int i : r.atoms) named += m.atoms[i].Name().size() + (m.atoms[i].x != 0);
                    r.secondaryStructure = SecondaryStructureFromCharacter('H');
                }
            EXPECT_GT(named, 0u);
            hooks.Message("noted");
            if (fail) throw VelmError("stage failed");
        };
        if (fail) {
            EXPECT_THROW(doc.AddMoleculeFromFile(path), VelmError);
            EXPECT_EQ(doc.Molecules().Count(), 0);
            continue;
        }
        ASSERT_EQ(doc.AddMoleculeFromFile(path), 1);
        EXPECT_EQ(ranOn, loader);
        EXPECT_FALSE(bondsSeen);  // applied after the stage
        EXPECT_EQ(ui.with("message:"), std::vector<std::string>{"noted"});
        EXPECT_EQ(doc.Primary()->bonds.size(), 22714u);
        EXPECT_EQ(doc.Primary()->chains.front().residues.front().secondaryStructure, SecondaryStructureFromCharacter('H'));
    }
}

TEST(LoadingThreads, ChainsFromTheRecordsWhileTheAtomsAreFilled) {
    // Without bonds the chains are made from the records beside the atoms;
    // with them, from the atoms: the same chains either way.
    const auto load = [](int bonds) {
        RecordingUiHooks ui;
        CVelmDoc doc(ui);
        doc.options.computeConnectivity = bonds;
        doc.options.computeSecondaryStructure = 0;
        EXPECT_EQ(doc.AddMoleculeFromFile(test::DataPath("4jsv.pdb.gz")), 1);
        return doc.Primary()->chains;
    };
    const std::vector<Chain> beside = load(0), after = load(1);
    ASSERT_EQ(beside.size(), after.size());
    size_t residues = 0;
    for (size_t c = 0; c < beside.size(); ++c) {
        EXPECT_EQ(beside[c].id, after[c].id);
        EXPECT_EQ(beside[c].model, after[c].model);
        ASSERT_EQ(beside[c].residues.size(), after[c].residues.size());
        for (size_t r = 0; r < beside[c].residues.size(); ++r) {
            const Residue &a = beside[c].residues[r], &b = after[c].residues[r];
            EXPECT_EQ(a.number, b.number);
            EXPECT_EQ(a.insertionCode, b.insertionCode);
            EXPECT_EQ(a.type, b.type);
            EXPECT_EQ(a.atoms, b.atoms);
            EXPECT_EQ(a.traceAtom, b.traceAtom);
            EXPECT_EQ(a.guideAtom, b.guideAtom);
        }
        residues += beside[c].residues.size();
    }
    EXPECT_EQ(residues, 2750u);
}

TEST(Loading, AlignModeReportsFailingFramesAndGoesOn) {
    TempDir dir;
    const std::string path = dir.Write("a.pdb", Models({9, 9, 9}, 3.0));
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    doc.options.multipleAsTrajectory = 1;
    doc.options.trajectoryReadMode = Align;
    int calls = 0;
    doc.frameAligner = [&](const Molecule&, float* frame, const double*) {
        if (calls++ == 0) throw VelmError("kabsch:: Unable to diagonalize matrix");
        frame[0] = 42.0f;
    };
    ASSERT_EQ(doc.AddMoleculeFromFile(path), 1);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(ui.with("message:"), std::vector<std::string>{"kabsch:: Unable to diagonalize matrix @ step 0"});
    EXPECT_FLOAT_EQ(static_cast<float>(doc.Primary()->Position(0, 2).x), 42.0f);
}

TEST(Loading, FileTypes) {
    struct Case { const char* path; FileType type; const char* refusal; };
    const Case cases[] = {
        {"a.pdb", PdbType, ""},
        {"a.cif", MmcifType, ""},
        {"dir/A.MMCIF.gz", MmcifType, ""},
        {"A.PDB", PdbType, ""},
        {"dir.v2/a.pdb.gz", PdbType, ""},
        {"x.XYZ", XyzType, "XYZ files aren't supported yet!"},
        {"x.crd", CrdType, "CRD files aren't supported yet!"},
        {"x.ptf", PtfType, "PTF files are not currently supported!"},
        {"x.dcd", DcdType, "Unknown file type!"},
        {"x", UnknownType, "Unknown file type!"},
        {"dir.v2/x", UnknownType, "Unknown file type!"},
        {"x.gz", UnknownType, "Unknown file type!"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FileTypeFromPath(c.path), c.type) << c.path;
        EXPECT_STREQ(CoordinateReadRefusal(c.type), c.refusal) << c.path;
    }
    RecordingUiHooks ui;
    Molecule m;
    try {
        ReadCoordinateFile(m, "x.XYZ", false, true, ByExtension, ui);
        FAIL();
    } catch (const VelmError& e) {
        EXPECT_EQ(e.text(), "XYZ files aren't supported yet!");
    }
}

TEST(Loading, PositionsTooFarApartAreRefused) {
    // Every difference of two positions must be a number: up to 1e300 in size
    // the coordinates pass at once, beyond it their span is worked out.
    TempDir dir;
    const auto file = [&](const char* name, const char* x1, const char* x2) {
        char text[256];
        std::snprintf(text, sizeof text, "ATOM 1 CA ALA A 1 %s 0 0\nATOM 2 CA ALA A 2 %s 0 0\n", x1, x2);
        return dir.Write(name, text);
    };
    EXPECT_EQ(Loaded(file("near.pdb", "9e299", "-9e299"), false).result, 1);
    EXPECT_EQ(Loaded(file("edge.pdb", "1e300", "-1e300"), false).result, 1);
    const std::string far = file("far.pdb", "1e308", "-1e308");
    EXPECT_EQ(Loaded(far, false).error,
              "Can't open ``" + far + "'' for reading. the coordinates lie farther apart than any number can say");
}
