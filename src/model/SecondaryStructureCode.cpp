#include "model/SecondaryStructureCode.h"

namespace velm {

namespace {

struct CodeNames {
    std::string_view longName, shortName;
    char character;
};

constexpr CodeNames kCodes[kSecondaryStructureCodes] = {
    {"Alpha Helix", "AlphaHelix", 'H'},
    {"3-10 Helix", "310Helix", 'G'},
    {"Pi Helix", "PiHelix", 'I'},
    {"Strand (beta sheet)", "Strand", 'E'},
    {"Bridge", "Bridge", 'B'},
    {"Coil", "Coil", 'C'},
    {"Turn", "Turn", 'T'},
    {"Turn I", "TurnI", '1'},
    {"Turn I'", "TurnI'", '2'},
    {"Turn II", "TurnII", '3'},
    {"Turn II'", "TurnII'", '4'},
    {"Turn IV", "TurnIV", '8'},
    {"Turn VIa", "TurnVIa", '5'},
    {"Turn VIb", "TurnVIb", '6'},
    {"", "TurnVIII", '7'},
    {"Turn Gamma", "GammaClassic", '@'},
    {"Turn Gamma Inv", "GammaInv", '&'},
    {"Unknown", "Unknown", '\0'},
};

constexpr std::string_view kListNames[kSecondaryStructureListCount] = {
    "Alpha Helix", "3-10 Helix", "Pi Helix", "Strand (beta sheet)", "Bridge", "Coil",
    "Turn", "Turn I", "Turn I'", "Turn II", "Turn II'", "Turn IV", "Turn VIa", "Turn VIb",
    "Turn Gamma", "Turn Gamma Inv", "Unknown"};

int Clamp(int code) { return code < 0 || code >= kSecondaryStructureCodes ? UnknownStructure : code; }

}  // namespace

std::string_view SecondaryStructureLongName(int code) { return kCodes[Clamp(code)].longName; }
std::string_view SecondaryStructureShortName(int code) { return kCodes[Clamp(code)].shortName; }
const std::string_view* SecondaryStructureListNames() { return kListNames; }

SecondaryStructureCode SecondaryStructureFromCharacter(char c) {
    if (c == 'b') return Bridge;
    for (int code = 0; code < UnknownStructure; ++code)
        if (kCodes[code].character == c) return static_cast<SecondaryStructureCode>(code);
    return UnknownStructure;
}

}  // namespace velm
