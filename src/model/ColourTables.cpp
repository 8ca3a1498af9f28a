#include "model/ColourTables.h"

namespace velm {

ElementColours DefaultElementColours() {
    ElementColours t;
    for (int e = 0; e < kElementCount; ++e) t[e] = GetElementInfo(e).colour;
    return t;
}

StructureColours DefaultStructureColours() {
    constexpr Rgba helix{240, 0, 128, 255}, strand{255, 255, 0, 255}, white{255, 255, 255, 255},
        turn{96, 128, 255, 255};
    // Helices 0-2, strand 3, bridge and coil 4-5, every kind of turn 6-16, unknown 17.
    return {helix, helix, helix, strand, white, white, turn, turn, turn,
            turn,  turn,  turn,  turn,   turn,  turn,  turn, turn, white};
}

AminoAcidColours DefaultAminoAcidColours() {
    constexpr Rgba grey{200, 200, 200, 255}, hydrophobic{15, 130, 15, 255}, aromatic{50, 50, 170, 255},
        acid{230, 10, 10, 255}, base{20, 90, 255, 255}, hydroxyl{250, 150, 0, 255}, sulfur{230, 230, 0, 255},
        amide{0, 220, 220, 255};
    return {
        grey,                   // ALA
        hydrophobic,            // VAL
        aromatic,               // PHE
        {220, 150, 130, 255},   // PRO
        sulfur,                 // MET
        hydrophobic,            // ILE
        hydrophobic,            // LEU
        acid,                   // ASP
        acid,                   // GLU
        base,                   // LYS
        base,                   // ARG
        hydroxyl,               // SER
        hydroxyl,               // THR
        aromatic,               // TYR
        {130, 130, 210, 255},   // HIS
        sulfur,                 // CYS
        amide,                  // ASN
        amide,                  // GLN
        {180, 90, 180, 255},    // TRP
        {235, 235, 235, 255},   // GLY
        grey,                   // any other residue
    };
}

}  // namespace velm
