#pragma once
// Secondary-structure classes of residues, with the names lists and settings
// show. A residue holds one; until the assignment runs it reads Unknown.
#include <string_view>

namespace velm {

// The assignment yields only codes 0..6; the turn subtypes and Unknown exist
// for colouring and conversion.
enum SecondaryStructureCode : int {
    AlphaHelix = 0,
    Helix310,
    PiHelix,
    Strand,
    Bridge,
    Coil,
    Turn,
    TurnI,
    TurnIPrime,
    TurnII,
    TurnIIPrime,
    TurnIV,
    TurnVIa,
    TurnVIb,
    TurnVIII,
    GammaClassic,
    GammaInv,
    UnknownStructure,
    kSecondaryStructureCodes
};

// "Alpha Helix" ...; empty for TurnVIII, which has no long name.
std::string_view SecondaryStructureLongName(int code);
// "AlphaHelix" ...: keys of settings and batch output.
std::string_view SecondaryStructureShortName(int code);
// The long names a list shows: the 17 codes in order, TurnVIII left out.
const std::string_view* SecondaryStructureListNames();
constexpr int kSecondaryStructureListCount = 17;
// The code of one assignment character ('B' and 'b' are both Bridge); any
// character outside the table is UnknownStructure.
SecondaryStructureCode SecondaryStructureFromCharacter(char c);

}  // namespace velm
