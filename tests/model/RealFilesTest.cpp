// Loading the real structures of the fixture corpus: counts against the facts
// computed by other tools, chains and hetero flags under the loader's rules,
// write/read round trips and gzip against plain copies. Expected values come
// from facts.json, from a fixed-column scan of the file made here, or from
// gemmi (noted where used), never from the reader itself.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/RecordingUiHooks.h"
#include "model/LineSource.h"
#include "model/PdbFile.h"
#include "model/ResidueType.h"
#include "model/VelmDoc.h"
#include "support/TestData.h"

using namespace velm;
using nlohmann::json;

namespace {

// ---- An independent scan by the fixed PDB columns ----

std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> out;
    GzLineSource source(path);
    EXPECT_TRUE(source.IsOpen()) << path;
    std::string_view line;
    while (source.IsOpen() && source.ReadLine(line)) {
        std::string s(line);
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
        out.push_back(std::move(s));
    }
    return out;
}

// Columns from..to, 1-based and inclusive, blank-padded past the line's end.
std::string Col(const std::string& line, size_t from, size_t to) {
    std::string s = line.size() >= from ? line.substr(from - 1, to - from + 1) : std::string();
    s.resize(to - from + 1, ' ');
    return s;
}

std::string Trim(std::string s) {
    s.erase(0, s.find_first_not_of(' '));
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

struct FileRecord {
    bool hetatm = false;
    int serial = 0;
    std::string name, residue;  // residue: columns 18-21, so four-letter MD names stay whole
    char altloc = ' ', chain = ' ';
    bool nameFillsColumn16 = false;  // then nothing separates it from the location letter
    int residueNumber = 0;
    double x = 0, y = 0, z = 0, occupancy = 0, temperature = 0;
    int modelIndex = 0;  // how many ENDMDL records came before

    bool Solvent() const {
        const std::string head = residue.substr(0, 3);
        return head == "TIP" || head == "SPC" || head == "HOH" || head == "SOL";
    }
};

struct Scan {
    std::vector<FileRecord> records;
    int firstModel = 0;
    std::map<int, std::set<int>> conect;  // both directions
    int Count(auto pred) const { return static_cast<int>(std::count_if(records.begin(), records.end(), pred)); }
};

Scan ScanFile(const std::string& path) {
    Scan scan;
    int model = 0;
    for (const std::string& l : Lines(path)) {
        const std::string kind = Col(l, 1, 6);
        if (kind == "ENDMDL") ++model;
        if (kind == "CONECT") {
            const int id = std::stoi(Col(l, 7, 11));
            for (size_t c = 12; c <= 27; c += 5)
                if (const std::string f = Trim(Col(l, c, c + 4)); !f.empty()) {
                    scan.conect[id].insert(std::stoi(f));
                    scan.conect[std::stoi(f)].insert(id);
                }
        }
        if (kind != "ATOM  " && kind != "HETATM") continue;
        FileRecord r;
        r.hetatm = kind == "HETATM";
        r.serial = std::stoi(Col(l, 7, 11));
        r.name = Trim(Col(l, 13, 16));
        r.altloc = l.at(16);
        r.nameFillsColumn16 = l.at(15) != ' ';
        r.residue = Trim(Col(l, 18, 21));
        r.chain = l.at(21);
        // MD programs run residue numbers past 9999 into column 27; no file
        // here has insertion codes.
        r.residueNumber = std::stoi(Col(l, 23, std::isdigit(static_cast<unsigned char>(l.at(26))) ? 27 : 26));
        r.x = std::stod(Col(l, 31, 38));
        r.y = std::stod(Col(l, 39, 46));
        r.z = std::stod(Col(l, 47, 54));
        r.occupancy = std::stod(Col(l, 55, 60));
        r.temperature = std::stod(Col(l, 61, 66));
        r.modelIndex = model;
        scan.records.push_back(r);
        if (model == 0) ++scan.firstModel;
    }
    return scan;
}

// ---- Loading ----

struct Loaded {
    RecordingUiHooks ui;
    CVelmDoc doc{ui};
    const Molecule& mol() const { return *doc.Primary(); }
    // The file's coordinates: loading centres the atoms on their centre of mass.
    Vec3 Original(int i) const { return mol().atoms[i].Position() - mol().centreShift; }
};

std::unique_ptr<Loaded> Load(const std::string& path, bool trajectory) {
    auto l = std::make_unique<Loaded>();
    l->doc.options.multipleAsTrajectory = trajectory ? 1 : 0;
    EXPECT_EQ(l->doc.AddMoleculeFromFile(path), 1) << path;
    return l;
}

std::string Base(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// Structure files of a folder, sorted.
std::vector<std::string> StructuresIn(const std::string& dir) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        const std::string n = e.path().filename().string();
        if (n.ends_with(".pdb") || n.ends_with(".pdb.gz")) out.push_back(e.path().string());
    }
    std::sort(out.begin(), out.end());
    return out;
}

const json& FactsOf(const json& facts, const std::string& path) {
    std::string name = Base(path);
    if (!facts["files"].contains(name) && name.ends_with(".gz")) name.resize(name.size() - 3);
    return facts["files"].at(name);
}

json ReadFacts(const std::string& path) { return json::parse(test::ReadText(path)); }

std::vector<int> ModelSizes(const Molecule& mol) {
    std::vector<int> sizes;
    for (size_t i = 0; i < mol.atoms.size(); ++i) {
        if (i == 0 || mol.atoms[i].model != mol.atoms[i - 1].model) sizes.push_back(0);
        ++sizes.back();
    }
    return sizes;
}

// ATOM oxygens the loader leaves without bonds: none in these files (gemmi
// finds every ATOM oxygen within bonding distance of some atom). In 133d the
// phosphorus atoms after the modified C34 nucleotides have CONECT lines that
// list only the link to C34; those add to their distance bonds, so OP1/OP2
// keep their phosphorus.
std::set<int> LoneOxygenSerials(const std::string&) { return {}; }

// Hetero: HETATM records, ATOM records of solvent names (1tw7's 47,175 TIP3
// atoms, which facts.json does not count as HETATM) and lone oxygens.
struct HeteroRule {
    std::set<int> lone;
    bool operator()(const FileRecord& r) const { return r.hetatm || r.Solvent() || lone.count(r.serial) > 0; }
};

// Counts the atoms that fail a check, reporting the first few.
struct Tally {
    int count = 0;
    void Check(bool ok, const FileRecord& r, const std::string& read) {
        if (!ok && ++count <= 3)
            ADD_FAILURE() << "record " << r.serial << " '" << r.name << "' " << r.residue << " " << r.residueNumber
                          << " read as " << read;
    }
};

// Counts against facts.json in both read modes; frames against the scan.
void CheckAgainstFacts(const std::string& path, const json& f) {
    SCOPED_TRACE(path);
    const Scan scan = ScanFile(path);
    const auto perModel = f["atoms_per_model"].get<std::vector<int>>();
    const int models = f["models"].get<int>();
    // The scan itself must agree with the facts before it can judge the loader.
    ASSERT_EQ(static_cast<int>(scan.records.size()), f["atom_hetatm_records_all_models"].get<int>());
    ASSERT_EQ(scan.firstModel, f["atom_hetatm_records_first_model"].get<int>());
    ASSERT_EQ(scan.Count([](const FileRecord& r) { return r.hetatm; }), f["hetatm_records_all_models"].get<int>());
    ASSERT_EQ(static_cast<int>(perModel.size()), models);
    const HeteroRule hetero{LoneOxygenSerials(path)};

    const auto all = Load(path, false);
    const Molecule& mol = all->mol();
    ASSERT_EQ(mol.AtomCount(), f["atom_hetatm_records_all_models"].get<int>());
    EXPECT_EQ(ModelSizes(mol), perModel);
    EXPECT_EQ(mol.FrameCount(), 0);
    EXPECT_EQ(mol.HeteroCount(), scan.Count(hetero));

    // Every model of the corpus has the same size, so models read as frames.
    ASSERT_TRUE(std::all_of(perModel.begin(), perModel.end(), [&](int n) { return n == perModel[0]; }));
    const auto traj = Load(path, true);
    const Molecule& first = traj->mol();
    ASSERT_EQ(first.AtomCount(), perModel[0]);
    ASSERT_EQ(first.FrameCount(), models - 1);
    EXPECT_EQ(first.HeteroCount(), std::count_if(scan.records.begin(), scan.records.begin() + perModel[0], hetero));
    // Frames keep the file's coordinates of models 2, 3, ... in single
    // precision, moved by the centring of model 1 as it was.
    for (int k = 1; k < models; ++k)
        for (int i = 0; i < perModel[0]; ++i) {
            const FileRecord& r = scan.records[static_cast<size_t>(k) * perModel[0] + i];
            const Vec3 p = first.frames[k - 1].Position(i) - first.centreShift;
            ASSERT_NEAR(p.x, r.x, 2e-4) << "model " << k + 1 << " atom " << i;
            ASSERT_NEAR(p.y, r.y, 2e-4);
            ASSERT_NEAR(p.z, r.z, 2e-4);
        }
}

// Every atom against its record's columns.
void CheckRecords(const std::string& path) {
    SCOPED_TRACE(path);
    const Scan scan = ScanFile(path);
    const HeteroRule hetero{LoneOxygenSerials(path)};
    const auto all = Load(path, false);
    const Molecule& mol = all->mol();
    ASSERT_EQ(mol.AtomCount(), static_cast<int>(scan.records.size()));
    Tally wrong;
    for (int i = 0; i < mol.AtomCount(); ++i) {
        const Atom& a = mol.atoms[i];
        const FileRecord& r = scan.records[i];
        // 2hhb's haem nitrogens are named "N A" .. "N D": blank-separated
        // reading cannot keep a blank inside a name, and the reader drops the
        // one-letter word of a HETATM record, so the name is "N".
        const std::string name = r.hetatm ? r.name.substr(0, r.name.find(' ')) : r.name;
        // Altloc residue names are checked in AltlocResiduesKeepTheirStandardName.
        const bool residueOk = r.altloc != ' ' || a.ResidueName() == r.residue;
        const Vec3 p = all->Original(i);
        char read[160];
        std::snprintf(read, sizeof read, "%d '%s' %s %d hetero %d at %.4f %.4f %.4f %.2f %.2f", a.serial,
                      std::string(a.Name()).c_str(), std::string(a.ResidueName()).c_str(), a.residueNumber, a.hetero,
                      p.x, p.y, p.z, a.occupancy, a.temperatureFactor);
        wrong.Check(a.serial == r.serial && a.Name() == name && residueOk && a.residueNumber == r.residueNumber &&
                        a.hetero == (hetero(r) ? 1 : 0) && std::fabs(p.x - r.x) < 1e-9 && std::fabs(p.y - r.y) < 1e-9 &&
                        std::fabs(p.z - r.z) < 1e-9 && a.occupancy == r.occupancy &&
                        a.temperatureFactor == r.temperature,
                    r, read);
    }
    EXPECT_EQ(wrong.count, 0) << "atoms that differ from their record";
}

TEST(RealFiles, FixturesMatchFactsInBothReadModes) {
    const json facts = ReadFacts(test::DataPath("facts.json"));
    const auto files = StructuresIn(test::DataPath(""));
    ASSERT_EQ(files.size(), 17u);  // a missing fixture must not pass unnoticed
    for (const std::string& path : files) CheckAgainstFacts(path, FactsOf(facts, path));
}

TEST(RealFiles, SharedCorpusMatchesFacts) {
    const std::string dir = test::SharedPath("pdb");
    if (dir.empty()) GTEST_SKIP() << "reference corpus absent";
    const json facts = ReadFacts(dir + "/facts.json");
    for (const std::string& path : StructuresIn(dir)) CheckAgainstFacts(path, FactsOf(facts, path));
}

// What the records are reserved from: a compressed file's text as its
// trailer tells it, to the byte.
TEST(RealFiles, CompressedFixturesTellTheirTextSize) {
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test::DataPath(""))) {
        const std::string path = entry.path().string();
        if (!path.ends_with(".gz")) continue;
        gzFile gz = gzopen(path.c_str(), "rb");
        ASSERT_NE(gz, nullptr) << path;
        size_t text = 0;
        char buffer[1 << 16];
        for (int got; (got = gzread(gz, buffer, sizeof buffer)) > 0;) text += static_cast<size_t>(got);
        gzclose(gz);
        const GzLineSource source(path);
        EXPECT_EQ(source.SizeHint(), 0u) << path;  // no byte offsets to split at
        EXPECT_EQ(source.TextSizeGuess(), text) << path;
        ++seen;
    }
    EXPECT_GE(seen, 5);
}

TEST(RealFiles, EveryAtomReadsAsItsRecordColumns) {
    for (const std::string& path : StructuresIn(test::DataPath(""))) CheckRecords(path);
}

// ---- Chains ----

std::string ChainIds(const Molecule& mol) {
    std::string ids;
    for (const Chain& c : mol.chains) ids += c.id;
    return ids;
}

TEST(RealFiles, ChainsOfTheFirstModelAreTheFactsChainsHoldingNonHeteroAtoms) {
    // facts.json lists every chain id, including the blank one of water-only
    // groups; the loader builds chains from non-hetero atoms only, so ids whose
    // records are all HETATM or solvent drop out (3al1, 1hpv, 2hhb, 1tii).
    const json facts = ReadFacts(test::DataPath("facts.json"));
    for (const std::string& path : StructuresIn(test::DataPath(""))) {
        SCOPED_TRACE(path);
        const Scan scan = ScanFile(path);
        std::set<char> polymer;
        for (int i = 0; i < scan.firstModel; ++i)
            if (!scan.records[i].hetatm && !scan.records[i].Solvent()) polymer.insert(scan.records[i].chain);
        std::string expected;
        for (const std::string id : FactsOf(facts, path)["chain_ids_first_model_in_file_order"]) {
            const char c = id.empty() ? ' ' : id[0];
            if (polymer.count(c)) expected += c;
        }
        EXPECT_EQ(ChainIds(Load(path, true)->mol()), expected);
    }
}

TEST(RealFiles, TerRelabelsAtomsThatRepeatTheChainLetter) {
    struct Case {
        const char* file;
        int relabelled;            // atoms whose chain is not their column-22 letter
        const char* modelLetters;  // multi-model files: the letter of each model
    } cases[] = {
        // Waters follow the TER of chain A and repeat its letter.
        {"1ubi.pdb", 81, ""},
        // Each chain's haem group (43 records) follows that chain's TER.
        {"2hhb.pdb", 172, ""},
        // Every model ends with TER, so the next model's chain A takes the
        // letter after the previous model's; after Z comes B.
        {"2k39_3models.pdb", 334, "ABC"},
        {"1adz.pdb.gz", 32219, "ABCDEFGHIJKLMNOPQRSTUVWXYZBCDE"},
        // The letter after TER is a new one: nothing changes.
        {"3al1.pdb", 0, ""},
        {"133d.pdb", 0, ""},
        {"1tii.pdb", 0, ""},
        {"4jsv.pdb.gz", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const Scan scan = ScanFile(test::DataPath(c.file));
        const auto l = Load(test::DataPath(c.file), false);
        const Molecule& mol = l->mol();
        ASSERT_EQ(mol.AtomCount(), static_cast<int>(scan.records.size()));
        const std::string letters = c.modelLetters;
        int relabelled = 0;
        for (int i = 0; i < mol.AtomCount(); ++i) {
            const FileRecord& r = scan.records[i];
            if (mol.atoms[i].chain == r.chain) {
                EXPECT_TRUE(letters.empty() || letters[r.modelIndex] == r.chain) << i;
                continue;
            }
            ++relabelled;
            if (letters.empty()) {
                ASSERT_TRUE(r.hetatm) << i;
                ASSERT_EQ(mol.atoms[i].chain, static_cast<char>(r.chain + 1)) << i;
            } else {
                ASSERT_EQ(mol.atoms[i].chain, letters[r.modelIndex]) << i;
            }
        }
        EXPECT_EQ(relabelled, c.relabelled);
        if (!letters.empty()) {
            // Read without frames, every model is a chain of its own.
            ASSERT_EQ(ChainIds(mol), letters);
            for (size_t k = 0; k < mol.chains.size(); ++k) EXPECT_EQ(mol.chains[k].model, static_cast<int>(k) + 1);
        }
    }
}

TEST(RealFiles, SerialsRestartingWithoutModelRecordsStartModels) {
    // 2k39 with its MODEL/ENDMDL records removed: each block follows a TER, so
    // its chain A becomes the next letter, and its serials restart at 1.
    test::TempDir dir;
    std::string text;
    for (const std::string& l : Lines(test::DataPath("2k39_3models.pdb")))
        if (!l.starts_with("MODEL") && !l.starts_with("ENDMDL")) text += l + "\n";
    const std::string path = dir.Write("2k39_no_models.pdb", text);

    const auto all = Load(path, false);
    EXPECT_EQ(ModelSizes(all->mol()), (std::vector<int>{167, 167, 167}));
    EXPECT_EQ(ChainIds(all->mol()), "ABC");
    const auto traj = Load(path, true);
    EXPECT_EQ(traj->mol().AtomCount(), 167);
    EXPECT_EQ(traj->mol().FrameCount(), 2);
}

TEST(RealFiles, EveryModelStartsAChain) {
    // 2k39 without its TER records: each model keeps chain A, and the model
    // change alone must start the next chain.
    test::TempDir dir;
    std::string text;
    for (const std::string& l : Lines(test::DataPath("2k39_3models.pdb")))
        if (!l.starts_with("TER")) text += l + "\n";
    const auto l = Load(dir.Write("2k39_no_ter.pdb", text), false);
    const Molecule& mol = l->mol();
    ASSERT_EQ(ChainIds(mol), "AAA");
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(mol.chains[k].model, k + 1);
        EXPECT_EQ(mol.chains[k].residues.size(), 10u);
    }
}

// 1ubi with its waters as ATOM records of a name the solvent rule does not
// know ("WAT"): only their lack of bonds can make them hetero. No water oxygen
// lies within 2.2 A of another atom (gemmi), beyond the 1.81 A O-O reach.
std::string WriteUbiquitinWithAtomWaters(const test::TempDir& dir) {
    std::string text;
    for (std::string l : Lines(test::DataPath("1ubi.pdb"))) {
        if (l.starts_with("HETATM") && Col(l, 18, 20) == "HOH") {
            l.replace(0, 6, "ATOM  ");
            l.replace(17, 3, "WAT");
        }
        text += l + "\n";
    }
    return dir.Write("1ubi_wat.pdb", text);
}

TEST(RealFiles, UnbondedOxygenOfAtomRecordsIsHetero) {
    test::TempDir dir;
    const auto l = Load(WriteUbiquitinWithAtomWaters(dir), false);
    const Molecule& mol = l->mol();
    EXPECT_EQ(mol.HeteroCount(), 81);
    for (const Atom& a : mol.atoms) EXPECT_EQ(a.hetero, a.ResidueName() == "WAT" ? 1 : 0) << a.serial;
}

TEST(RealFiles, UnbondedWatersOfAtomRecordsLeaveAnEmptyChain) {
    // Chains are built before bonds, so waters written as ATOM records with a
    // name the reader does not know as solvent (relabelled B after the TER)
    // still open a chain; it holds no residue, having no CA.
    test::TempDir dir;
    const auto l = Load(WriteUbiquitinWithAtomWaters(dir), false);
    EXPECT_EQ(ChainIds(l->mol()), "AB");
    EXPECT_TRUE(l->mol().chains[1].residues.empty());
}

// ---- Write, read back; gzip against plain ----

// Bonds as sorted pairs of atom indices.
std::vector<std::pair<int, int>> BondPairs(const Molecule& mol) {
    std::vector<std::pair<int, int>> out;
    for (const Bond& b : mol.bonds) out.emplace_back(std::min(b.first, b.second), std::max(b.first, b.second));
    std::sort(out.begin(), out.end());
    return out;
}

// Every atom field, chains, residues, bonds and frames; coordinates, occupancy
// and temperature factor within the given tolerances.
void ExpectSameMolecule(const Loaded& a, const Loaded& b, double coordinateTolerance, double valueTolerance) {
    const Molecule& m = a.mol();
    const Molecule& n = b.mol();
    ASSERT_EQ(m.AtomCount(), n.AtomCount());
    int wrong = 0;
    for (int i = 0; i < m.AtomCount(); ++i) {
        const Atom& x = m.atoms[i];
        const Atom& y = n.atoms[i];
        const Vec3 d = a.Original(i) - b.Original(i);
        const bool same = x.Name() == y.Name() && x.ResidueName() == y.ResidueName() &&
                          x.residueNumber == y.residueNumber && x.insertionCode == y.insertionCode &&
                          x.chain == y.chain && x.model == y.model && x.serial == y.serial && x.hetero == y.hetero &&
                          x.element == y.element && std::fabs(d.x) <= coordinateTolerance &&
                          std::fabs(d.y) <= coordinateTolerance && std::fabs(d.z) <= coordinateTolerance &&
                          std::fabs(x.occupancy - y.occupancy) <= valueTolerance &&
                          std::fabs(x.temperatureFactor - y.temperatureFactor) <= valueTolerance;
        if (!same && ++wrong <= 3) ADD_FAILURE() << "atom " << i << " serial " << x.serial << " " << x.Name();
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(BondPairs(m), BondPairs(n));

    ASSERT_EQ(m.chains.size(), n.chains.size());
    for (size_t c = 0; c < m.chains.size(); ++c) {
        EXPECT_EQ(m.chains[c].id, n.chains[c].id);
        EXPECT_EQ(m.chains[c].model, n.chains[c].model);
        ASSERT_EQ(m.chains[c].residues.size(), n.chains[c].residues.size()) << "chain " << c;
        for (size_t r = 0; r < m.chains[c].residues.size(); ++r) {
            const Residue& p = m.chains[c].residues[r];
            const Residue& q = n.chains[c].residues[r];
            EXPECT_TRUE(p.number == q.number && p.insertionCode == q.insertionCode && p.type == q.type &&
                        p.atoms == q.atoms && p.alphaCarbon == q.alphaCarbon && p.carbonylOxygen == q.carbonylOxygen)
                << "chain " << c << " residue " << r;
        }
    }
    ASSERT_EQ(m.FrameCount(), n.FrameCount());
    for (int k = 0; k < m.FrameCount(); ++k) EXPECT_EQ(m.frames[k].xyz, n.frames[k].xyz) << "frame " << k + 1;
}

TEST(RealFiles, WriteThenReadGivesTheSameMolecule) {
    // 3al1: altlocs and hydrogens; 1tii: seven chains; 2hhb: old columns
    // 73-80 and relabelled haem groups; 1a1p: four-character hydrogen names and
    // a blank chain; 4jsv: serials from 10,000 on, written glued to the record
    // name; 1tw7: four-letter residue names and five-digit residue numbers.
    for (const char* name : {"3al1.pdb", "1tii.pdb", "2hhb.pdb", "1a1p.pdb", "4jsv.pdb.gz", "1tw7_solvated.pdb.gz"}) {
        SCOPED_TRACE(name);
        const std::string path = test::DataPath(name);
        const auto original = Load(path, false);
        const Molecule& mol = original->mol();

        PdbFile file = PdbFile::Read(path);
        ASSERT_EQ(static_cast<int>(file.atoms.size()), mol.AtomCount());
        file.conects.clear();
        for (int i = 0; i < mol.AtomCount(); ++i) {
            if (mol.Partners(i).empty()) continue;
            ConectEntry e{mol.atoms[i].serial, {}};
            for (int j : mol.Partners(i)) e.partners.push_back(mol.atoms[j].serial);
            file.conects.push_back(std::move(e));
        }
        std::string text;
        file.Write(text, 3, true);
        test::TempDir dir;
        const auto back = Load(dir.Write("back.pdb", text), false);
        // The writer keeps three decimals and the files hold no more.
        ExpectSameMolecule(*original, *back, 0.0005 + 1e-9, 0.005 + 1e-9);
    }
}

TEST(RealFiles, GzipAndPlainCopiesGiveIdenticalMolecules) {
    std::vector<std::pair<std::string, std::string>> pairs = {
        {test::DataPath("1ubi.pdb"), test::DataPath("1ubi.pdb.gz")}};
    for (const char* stem : {"4jsv", "1adz"})
        if (const std::string plain = test::SharedPath(std::string("pdb/") + stem + ".pdb"); !plain.empty())
            pairs.emplace_back(plain, test::SharedPath(std::string("pdb/") + stem + ".pdb.gz"));
    for (const auto& [plain, gz] : pairs) {
        SCOPED_TRACE(plain);
        ASSERT_FALSE(gz.empty());
        for (bool trajectory : {false, true}) {
            const auto a = Load(plain, trajectory);
            const auto b = Load(gz, trajectory);
            ExpectSameMolecule(*a, *b, 0, 0);
        }
    }
}

// ---- Spot checks ----

TEST(RealFiles, ResiduesOfProteinAndNucleicAcidChains) {
    // Residues of ATOM records holding both CA and O, per chain, counted with
    // gemmi. 1tw7's two C-terminal PHE 99 carry OT1/OT2 instead of O; 133d is
    // DNA; hemoglobin's alpha chains have 141 residues, beta 146.
    const std::pair<const char*, std::vector<std::pair<char, int>>> cases[] = {
        {"pept.pdb", {{'E', 13}}},
        {"1a1p.pdb", {{' ', 13}}},
        {"3al1.pdb", {{'A', 12}, {'B', 12}}},
        {"1ubi.pdb", {{'A', 76}}},
        {"1hpv.pdb", {{'A', 99}, {'B', 99}}},
        {"2hhb.pdb", {{'A', 141}, {'B', 146}, {'C', 141}, {'D', 146}}},
        {"1tii.pdb", {{'D', 98}, {'E', 98}, {'F', 98}, {'G', 98}, {'H', 98}, {'A', 186}, {'C', 36}}},
        {"4jsv.pdb.gz", {{'B', 1058}, {'D', 317}, {'A', 1058}, {'C', 317}}},
        {"1tw7_solvated.pdb.gz", {{' ', 196}}},
        {"1adz.pdb.gz", {{'A', 71}}},
        {"2k39_3models.pdb", {{'A', 10}}},
        // DNA: five nucleotides a strand; the modified C34 of each is a HETATM group.
        {"133d.pdb", {{'A', 5}, {'B', 5}}},
    };
    for (const auto& [name, expected] : cases) {
        SCOPED_TRACE(name);
        const auto l = Load(test::DataPath(name), true);
        const Molecule& mol = l->mol();
        std::vector<std::pair<char, int>> got;
        for (const Chain& c : mol.chains) {
            got.emplace_back(c.id, static_cast<int>(c.residues.size()));
            for (const Residue& r : c.residues) {
                if (r.nucleotide) {
                    // Traced through the phosphorus, or the C4' of a 5' end without one.
                    const std::string_view trace = mol.atoms[r.traceAtom].Name();
                    ASSERT_TRUE(trace == "P" || trace == "C4'") << trace;
                    ASSERT_EQ(mol.atoms[r.guideAtom].Name(), "C1'");
                    ASSERT_EQ(r.alphaCarbon, -1);
                    continue;
                }
                ASSERT_EQ(mol.atoms[r.alphaCarbon].Name(), "CA");
                ASSERT_EQ(mol.atoms[r.carbonylOxygen].Name(), "O");
                ASSERT_EQ(mol.atoms[r.alphaCarbon].residueNumber, r.number);
                ASSERT_EQ(r.traceAtom, r.alphaCarbon);
            }
        }
        EXPECT_EQ(got, expected);
    }
}

TEST(RealFiles, UbiquitinSequence) {
    // One-letter codes in ResidueType order.
    static constexpr char kCode[] = "AVFPMILDEKRSTYHCNQWG";
    const auto l = Load(test::DataPath("1ubi.pdb"), false);
    std::string sequence;
    for (const Residue& r : l->mol().chains.at(0).residues)
        sequence += r.type < NonStandardResidue ? kCode[r.type] : 'X';
    EXPECT_EQ(sequence, "MQIFVKTLTGKTITLEVEPSDTIENVKAKIQDKEGIPPDQQRLIFAGKQLEDGRTLSDYNIQKESTLHLVLRLRGG");
}

TEST(RealFiles, LigandRecordsGluedToTheirSerialsKeepTheirConectBonds) {
    // 4jsv's ADP records read "HETATM22133", and the CONECT lines that bond
    // them "CONECT2213322134...". Bonds of an ADP atom are those its CONECT
    // lines list (the file's lines, cut by column here), including the
    // magnesium ions; the two ADPs hold 29 bonds each.
    const std::string path = test::DataPath("4jsv.pdb.gz");
    const Scan scan = ScanFile(path);
    const auto l = Load(path, false);
    const Molecule& mol = l->mol();
    std::set<int> adp;
    for (const Atom& a : mol.atoms)
        if (a.ResidueName() == "ADP") {
            EXPECT_GE(a.serial, 22133);
            EXPECT_EQ(a.hetero, 1);
            adp.insert(a.serial);
        }
    ASSERT_EQ(adp.size(), 54u);
    int internal = 0;
    for (int i = 0; i < mol.AtomCount(); ++i) {
        if (!adp.count(mol.atoms[i].serial)) continue;
        std::set<int> partners;
        for (int j : mol.Partners(i)) {
            partners.insert(mol.atoms[j].serial);
            internal += adp.count(mol.atoms[j].serial) ? 1 : 0;
        }
        EXPECT_EQ(partners, scan.conect.at(mol.atoms[i].serial)) << "serial " << mol.atoms[i].serial;
    }
    EXPECT_EQ(internal, 2 * 58);
}

TEST(RealFiles, ManganeseOfTheElementColumnsIsNeitherMagnesiumNorLost) {
    // Mre11 with its two manganese ions per chain, named "MN" like magnesium's
    // name rule would read them: the element columns decide, and stay.
    const auto l = Load(test::DataPath("1ii7.pdb"), false);
    int manganese = 0;
    for (const Atom& a : l->mol().atoms) {
        if (a.Name() != "MN") continue;
        ++manganese;
        EXPECT_EQ(a.ElementSymbol(), "MN");
        EXPECT_NE(a.element, Magnesium);
        EXPECT_NEAR(a.mass, 54.938, 1e-3);
    }
    EXPECT_EQ(manganese, 4);
    test::TempDir dir;
    const std::string saved = dir.File("saved.pdb");
    l->doc.SaveCoordinates(saved, 3, true, false);
    std::istringstream in(test::ReadText(saved));
    int written = 0;
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("HETATM") && line.substr(12, 4) == "MN  ") written += line.substr(76, 2) == "MN";
    EXPECT_EQ(written, 4);
}

TEST(RealFiles, AltlocResiduesKeepTheirStandardName) {
    // Column 17 runs into the residue name ("AGLU"): protein atoms keep the
    // standard name and type; for other names the letter stays part of the
    // name ("AHOH"), which HETATM still marks hetero.
    const json facts = ReadFacts(test::DataPath("facts.json"));
    const std::string path = test::DataPath("3al1.pdb");
    const Scan scan = ScanFile(path);
    const auto l = Load(path, false);
    const Molecule& mol = l->mol();
    std::map<int, ResidueType> typeOf;  // atom index -> type of its residue
    for (const Chain& c : mol.chains)
        for (const Residue& r : c.residues)
            for (int i : r.atoms) typeOf[i] = r.type;
    const std::map<std::string, ResidueType> standard = {{"GLU", GLU}, {"LEU", LEU}, {"LYS", LYS}};
    int altlocs = 0;
    Tally wrong;
    for (int i = 0; i < mol.AtomCount(); ++i) {
        const FileRecord& r = scan.records[i];
        if (r.altloc == ' ') continue;
        ++altlocs;
        const Atom& a = mol.atoms[i];
        const std::string read = std::string(a.Name()) + " " + std::string(a.ResidueName());
        if (r.hetatm && !r.nameFillsColumn16) {
            // " O  AHOH": the letter of column 17 runs into a residue name
            // that is not a standard one; it is the atom's place, not the name's.
            wrong.Check(read == r.name + " " + r.residue && a.altLoc == r.altloc && a.hetero == 1, r,
                        read);
        } else if (r.hetatm) {
            // "HO2AMPD": a name reaching column 16, the letter and the
            // residue name in one word; the letter is dropped.
            wrong.Check(read == r.name + " " + r.residue && a.hetero == 1, r, read);
        } else {
            // " OE1AGLU": the letter sits between the name and the residue
            // name and belongs to neither.
            wrong.Check(standard.count(r.residue) && read == r.name + " " + r.residue && typeOf.count(i) &&
                            typeOf[i] == standard.at(r.residue),
                        r, read);
        }
    }
    EXPECT_EQ(altlocs, facts["files"]["3al1.pdb"]["atoms_with_altloc_first_model"].get<int>());
    EXPECT_EQ(wrong.count, 0);
}

TEST(RealFiles, AllDigitLigandNameIsAResidueName) {
    // 1hpv's inhibitor is residue "478" number 200 with a blank chain:
    // "HETATM 1519  C1  478   200      11.169 ...". Names of three digits are
    // valid ligand codes.
    const std::string path = test::DataPath("1hpv.pdb");
    const Scan scan = ScanFile(path);
    const auto l = Load(path, false);
    int ligand = 0;
    Tally wrong;
    for (int i = 0; i < l->mol().AtomCount(); ++i) {
        const FileRecord& r = scan.records[i];
        if (r.residue != "478") continue;
        ++ligand;
        const Atom& a = l->mol().atoms[i];
        wrong.Check(a.ResidueName() == "478" && a.chain == ' ' && a.residueNumber == 200, r,
                    std::string(a.ResidueName()) + " chain '" + a.chain + "' " + std::to_string(a.residueNumber));
    }
    EXPECT_EQ(ligand, 35);
    EXPECT_EQ(wrong.count, 0);
}

}  // namespace
