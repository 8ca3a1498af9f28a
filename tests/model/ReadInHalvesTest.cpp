// A text read in two halves at once gives the records of one pass, wherever
// it is split, and the second half's records are used where they can be.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <utility>
#include <string>
#include <vector>

#include "core/VelmError.h"
#include "model/LineSource.h"
#include "model/PdbFile.h"
#include "support/ReadOutcome.h"
#include "support/TestData.h"

using namespace velm;

namespace {

using Outcome = test::ReadOutcome;
using test::Difference;

// The second half begins its reading `leadIn` bytes before the split: a few
// lines, so that what it starts from is not the first half's by construction.
Outcome Read(const std::string& text, size_t split, size_t leadIn = 300) { return test::ReadOf(text, split, leadIn); }

// Splits at every line start of the text and at places inside lines; where
// the second half may be taken, some splits must take it.
void ExpectSameAtEverySplit(const std::string& text, const std::string& what, bool someTaken) {
    const Outcome whole = Read(text, 0);
    int taken = 0;
    for (size_t split = 1; split < text.size(); split += split % 7 == 0 ? 5 : 3) {
        const Outcome halves = Read(text, split);
        ASSERT_EQ(Difference(halves, whole), "") << what << ", split at byte " << split;
        taken += halves.taken;
    }
    if (someTaken) {
        EXPECT_GT(taken, 0) << what;
    }
}

std::string Atom(int serial, const char* name, const char* residue, char chain, int number, double x) {
    char line[96];
    std::snprintf(line, sizeof line, "ATOM  %5d %-4s %3s %c%4d    %8.3f%8.3f%8.3f  1.00 20.00           %c\n", serial,
                  name, residue, chain, number, x, 2.0, 3.0, name[0]);
    return line;
}

}  // namespace

// A large compressed text is inflated ahead on a thread beside: it reads
// the same after a rewind halfway, and a stream cut short fails once the
// text before it is read, however far ahead the inflating got.
TEST(LoadingThreads, LargeCompressedTextsReadWholeAgainAndFailWhereCut) {
    const std::string path = test::DataPath("1tw7_solvated.pdb.gz");
    const auto lines = [](LineSource& source, size_t most) {
        std::string_view line;
        size_t n = 0, bytes = 0;
        while (n < most && source.ReadLine(line)) ++n, bytes += line.size();
        return std::pair(n, bytes);
    };
    GzLineSource whole(path);
    const auto all = lines(whole, SIZE_MAX);
    EXPECT_EQ(all.second, whole.TextSizeGuess());
    GzLineSource again(path);
    EXPECT_EQ(lines(again, 1000).first, 1000u);
    again.Rewind();
    EXPECT_EQ(lines(again, SIZE_MAX), all);

    test::TempDir dir;
    const std::string packed = test::ReadText(path);
    const std::string cut = dir.Write("cut.pdb.gz", packed.substr(0, packed.size() - 1000));
    GzLineSource source(cut);
    std::string_view line;
    size_t read = 0;
    EXPECT_THROW(
        {
            while (source.ReadLine(line)) ++read;
        },
        VelmError);
    EXPECT_GT(read, all.first - 500);
    EXPECT_LT(read, all.first);
}

TEST(LoadingThreads, RealFilesReadInHalvesGiveTheRecordsOfOnePass) {
    for (const char* name : {"1ubi.pdb", "2hhb.pdb", "3al1.pdb", "133d.pdb", "1tw7_solvated.pdb.gz",
                             "2k39_3models.pdb", "4jsv.pdb.gz"}) {
        const std::string text = test::TextOf(test::DataPath(name));
        ASSERT_FALSE(text.empty()) << name;
        const Outcome whole = Read(text, 0);
        ASSERT_EQ(whole.error, "") << name;
        for (double at : {0.13, 0.5, 0.77}) {
            const Outcome halves =
                Read(text, static_cast<size_t>(at * static_cast<double>(text.size())), kReadLeadIn);
            EXPECT_EQ(Difference(halves, whole), "") << name << " split at " << at;
            // Single-model files forget the past within a line or two; the
            // models of an ensemble are the first half's to number, and a
            // CONECT entry may go on across the split (2hhb's last quarter).
            if (at == 0.5 && std::string(name) != "2k39_3models.pdb") {
                EXPECT_TRUE(halves.taken) << name;
            }
        }
    }
}

TEST(LoadingThreads, WhatALineIsReadAgainstCrossesTheSplit) {
    // A chain letter repeated after TER goes on as the next letter, models
    // without MODEL records follow from serials that restart, and CONECT
    // lines of one atom make one entry.
    std::string text;
    int serial = 1;
    for (int r = 1; r <= 30; ++r) text += Atom(serial++, "CA", "ALA", 'A', r, r * 3.8);
    text += "TER\n";
    for (int r = 1; r <= 30; ++r) text += Atom(serial++, "CA", "GLY", 'A', r, r * 3.8);
    for (int r = 1; r <= 20; ++r) text += Atom(r, "CA", "SER", 'B', r, r * 3.8);  // serials restart: a model
    text += "CONECT    1    2    3    4    5\nCONECT    1    6\nCONECT    2    1\n";
    ExpectSameAtEverySplit(text, "chains, models, CONECT", true);
    // A box and monitors anywhere, and numbered models: those halves are read in turn.
    const std::string boxed = "REMARK  BBOX_R 1 2 3\n" + text +
                              "REMARK MONITOR 1 1 2 255 0 0\nREMARK BBOX_A 1 0 0\nREMARK BBOX_B 0 1 0\n"
                              "REMARK BBOX_C 0 0 1\nCONECT    2    7\n";
    ExpectSameAtEverySplit(boxed, "box and monitors", false);
    ExpectSameAtEverySplit("MODEL 1\n" + text + "ENDMDL\nMODEL 1\n" + text + "ENDMDL\n", "repeated models", false);

    // Line ends of all kinds and blank lines around the split.
    std::string ends;
    for (int r = 1; r <= 40; ++r) {
        std::string a = Atom(r, "N", "LYS", 'C', r, r);
        a.pop_back();
        ends += a + (r % 3 == 0 ? "\r\n" : r % 3 == 1 ? "\r" : "\n   \n\t\n");
    }
    ExpectSameAtEverySplit(ends, "line ends", true);
}

TEST(LoadingThreads, AFaultAfterTheSplitIsToldAsInOnePass) {
    std::string head;
    for (int r = 1; r <= 40; ++r) head += Atom(r, "CA", "ALA", 'A', r, r);
    const std::string tail = Atom(41, "CA", "ALA", 'A', 41, 41);
    for (const std::string& bad : {std::string("ATOM 42\n"),
                                   std::string("ATOM     42  CA  ALA A  42 \0 1.000   2.000   3.000\n", 49),
                                   "ATOM     42  CA  ALA A  42" + std::string(70000, ' ') + "1.0 2.0 3.0\n",
                                   std::string("CONECT   99\n")}) {
        const std::string text = head + bad + tail;
        const Outcome whole = Read(text, 0);
        const Outcome halves = Read(text, head.size() / 2);
        EXPECT_EQ(Difference(halves, whole), "");
        EXPECT_EQ(whole.error.empty(), bad.rfind("CONECT", 0) == 0) << whole.error;
        // A fault in the first half is the one told, whatever the second holds.
        EXPECT_EQ(Difference(Read(bad + head, head.size()), Read(bad + head, 0)), "");
    }
}

TEST(LoadingThreads, APlainFileIsReadInHalvesFromItsOwnDescriptor) {
    std::string text;
    for (int r = 1; r <= 3000; ++r) text += Atom(r, r % 2 ? "CA" : "N", "ALA", 'A', (r + 1) / 2, r * 0.5);
    test::TempDir dir;
    const std::string path = dir.Write("a.pdb", text);
    GzLineSource source(path);
    bool taken = false;
    const PdbFile halves = PdbFile::ReadSplitAt(source, text.size() / 2, &taken);
    EXPECT_TRUE(taken);
    Outcome a, b = Read(text, 0);
    a.file = halves;
    EXPECT_EQ(Difference(a, b), "");
    // Read splits only large texts; what it reads is the same either way.
    GzLineSource again(path);
    a.file = PdbFile::Read(again);
    EXPECT_EQ(Difference(a, b), "");
}

TEST(LoadingThreads, RecordsCopiedWhileTheSecondHalfIsReadAreDroppedWhereItIsNotTaken) {
    // Split near the start, the first half reaches the split at once and
    // copies the second half's records as they come; a model record near the
    // end, or lines too short for the room the half reserved, then send the
    // whole half back to be read in turn, and the copies must go.
    std::string atoms;
    for (int r = 1; r <= 4000; ++r) atoms += Atom(r, r % 2 ? "CA" : "N", "ALA", 'A', (r + 1) / 2, r * 0.5);
    std::string shortLines;  // the coordinates end the line
    for (int r = 1; r <= 4000; ++r) shortLines += Atom(r, "CA", "GLY", 'B', r, r * 0.5).substr(0, 54) + "\n";
    for (const auto& [text, taken] : {std::pair{atoms, true}, std::pair{atoms + "MODEL        2\n" + Atom(1, "CA", "ALA", 'A', 1, 1), false},
                                      std::pair{shortLines, false}}) {
        const Outcome whole = Read(text, 0);
        ASSERT_EQ(whole.error, "");
        for (int round = 0; round < 5; ++round) {
            const Outcome halves = Read(text, 400, 300);
            EXPECT_EQ(Difference(halves, whole), "");
            EXPECT_EQ(halves.taken, taken);
        }
    }
}
