// Working records of a run, backbone torsions, map zones and amide hydrogens.
#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "analysis/StrideRun.h"
#include "model/Molecule.h"
#include "model/PdbFile.h"

namespace velm {

namespace {

constexpr double kDegrees = 57.2958;

Vec3 Unit(const Vec3& v) { return v * (1.0 / Length(v)); }

// Residue-type order of the model; the unrecognised type reads "UNK".
constexpr const char* kResidueNames[] = {"ALA", "VAL", "PHE", "PRO", "MET", "ILE", "LEU",
                                         "ASP", "GLU", "LYS", "ARG", "SER", "THR", "TYR",
                                         "HIS", "CYS", "ASN", "GLN", "TRP", "GLY", "UNK"};

// Rows of 18 psi zones per phi zone; rows left out are zero.
constexpr float kHelixMap[18][18] = {
    {0, 0, 0, 0, 0.000901f, 0.00419f, 0.008511f, 0.013384f, 0.024543f, 0.04078f, 0.046418f, 0.033095f, 0.01348f, 0.002404f, 0, 0, 0, 0},
    {0, 0, 0, 0.000737f, 0.00772f, 0.026985f, 0.049231f, 0.062186f, 0.074785f, 0.091991f, 0.091855f, 0.061707f, 0.024158f, 0.004143f, 0, 0, 0, 0},
    {0, 0, 0, 0.004142f, 0.028723f, 0.083569f, 0.138473f, 0.156244f, 0.147061f, 0.136023f, 0.115916f, 0.074216f, 0.02909f, 0.005067f, 0, 0, 0, 0},
    {0, 0, 0.000937f, 0.015658f, 0.075777f, 0.185635f, 0.278589f, 0.28801f, 0.233285f, 0.174198f, 0.128125f, 0.079383f, 0.032056f, 0.005884f, 0, 0, 0, 0},
    {0, 0, 0.004889f, 0.0437f, 0.161775f, 0.339971f, 0.46264f, 0.441857f, 0.323557f, 0.210044f, 0.135863f, 0.077614f, 0.029701f, 0.005239f, 0, 0, 0, 0},
    {0, 0, 0.013698f, 0.091782f, 0.277309f, 0.504755f, 0.621449f, 0.548522f, 0.365539f, 0.205434f, 0.112111f, 0.054882f, 0.017867f, 0.002598f, 0, 0, 0, 0},
    {0, 0, 0.024648f, 0.139604f, 0.359493f, 0.571011f, 0.633711f, 0.513364f, 0.305471f, 0.140262f, 0.058446f, 0.022867f, 0.005853f, 0.000515f, 0, 0, 0, 0},
    {0, 0, 0.026589f, 0.136588f, 0.31637f, 0.454566f, 0.462869f, 0.342551f, 0.176195f, 0.060779f, 0.015857f, 0.004206f, 0.000811f, 0, 0, 0, 0, 0},
    {0, 0, 0.015202f, 0.073845f, 0.163039f, 0.226955f, 0.223715f, 0.152833f, 0.065262f, 0.015043f, 0.001459f, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0.003516f, 0.016525f, 0.037928f, 0.058442f, 0.061941f, 0.040405f, 0.013655f, 0.001668f, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0.001172f, 0.004688f, 0.007031f, 0.004688f, 0.001172f, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {}, {}, {}, {}, {}, {},
    {0, 0, 0, 0, 0, 0, 0, 0.000694f, 0.003606f, 0.008082f, 0.010153f, 0.007615f, 0.003232f, 0.000601f, 0, 0, 0, 0},
};

constexpr float kSheetMap[18][18] = {
    {0.276902f, 0.140835f, 0.046491f, 0.007378f, 0, 0, 0, 0, 0, 0.004709f, 0.021823f, 0.056917f, 0.125409f, 0.234022f, 0.351122f, 0.435569f, 0.458418f, 0.400736f},
    {0.406764f, 0.232987f, 0.092794f, 0.023784f, 0.005515f, 0.001379f, 0, 0, 0, 0.008819f, 0.042073f, 0.104386f, 0.208604f, 0.367713f, 0.536719f, 0.641236f, 0.645842f, 0.558008f},
    {0.428631f, 0.267801f, 0.128283f, 0.052945f, 0.022059f, 0.005515f, 0, 0, 0, 0.008606f, 0.044519f, 0.119757f, 0.248728f, 0.436985f, 0.624185f, 0.716046f, 0.682904f, 0.571655f},
    {0.36392f, 0.239733f, 0.130591f, 0.068342f, 0.033088f, 0.008272f, 0, 0, 0, 0.005356f, 0.032857f, 0.104893f, 0.240243f, 0.429599f, 0.602693f, 0.666987f, 0.603955f, 0.484164f},
    {0.263795f, 0.172387f, 0.09201f, 0.046419f, 0.022059f, 0.005515f, 0, 0, 0, 0.00302f, 0.022424f, 0.080405f, 0.192319f, 0.345689f, 0.481158f, 0.522357f, 0.458605f, 0.356576f},
    {0.162803f, 0.093061f, 0.040013f, 0.01431f, 0.005515f, 0.001379f, 0, 0, 0, 0.001545f, 0.013247f, 0.048984f, 0.117478f, 0.215047f, 0.308294f, 0.343901f, 0.308039f, 0.237163f},
    {0.082582f, 0.033885f, 0.00929f, 0.001212f, 0, 0, 0, 0, 0, 0.000386f, 0.004661f, 0.018666f, 0.047752f, 0.096174f, 0.154668f, 0.196104f, 0.194428f, 0.146953f},
    {0.032644f, 0.007392f, 0.000885f, 0, 0, 0, 0, 0, 0, 0, 0.000635f, 0.00315f, 0.010466f, 0.027245f, 0.057051f, 0.094191f, 0.108859f, 0.078562f},
    {0.00905f, 0.000765f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.000721f, 0.003596f, 0.013165f, 0.031882f, 0.042569f, 0.029262f},
    {0.001302f, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.001302f, 0.005208f, 0.007812f, 0.005208f},
    {}, {}, {}, {}, {}, {},
    {0.021094f, 0.007852f, 0.001302f, 0, 0, 0, 0, 0, 0, 0, 0, 0.00142f, 0.007163f, 0.016935f, 0.027221f, 0.035728f, 0.039536f, 0.03438f},
    {0.114621f, 0.050353f, 0.013092f, 0.001519f, 0, 0, 0, 0, 0, 0.001002f, 0.004617f, 0.015752f, 0.045301f, 0.093797f, 0.145459f, 0.186164f, 0.201952f, 0.176456f},
};

// A name as the run compares names, as Atom::NameHead gives it: its first
// four characters, zero-padded, in one number.
constexpr std::uint32_t NameKey(char a, char b = 0) { return std::bit_cast<std::uint32_t>(std::array<char, 4>{a, b, 0, 0}); }

std::uint32_t NameHeadOf(const Atom& a) { return a.NameHead(); }

// The record's name as the atom filled from it stores it: cut at its first
// NUL, zeros after.
std::uint32_t NameHeadOf(const PdbAtomRecord& r) {
    std::array<char, 4> head{};
    for (size_t i = 0; i < head.size() && r.name[i]; ++i) head[i] = r.name[i];
    return std::bit_cast<std::uint32_t>(head);
}

// Which backbone atom a name is, or -1.
int BackboneOf(std::uint32_t key) {
    static constexpr std::uint32_t kN = NameKey('N'), kCA = NameKey('C', 'A'), kC = NameKey('C'), kO = NameKey('O'),
                                   kH = NameKey('H');
    return key == kN ? 0 : key == kCA ? 1 : key == kC ? 2 : key == kO ? 3 : key == kH ? 4 : -1;
}

// The k of 18 whose (k * 20 - 180, (k + 1) * 20 - 180] holds the angle: from
// a first guess, moved to where both comparisons hold.
int Zone(float angle) {
    if (!(angle > -180.0f && angle <= 180.0f)) return -1;
    int k = std::clamp(static_cast<int>((angle + 180.0f) / 20.0f), 0, 17);
    while (k > 0 && angle <= static_cast<float>(k * 20 - 180)) --k;
    while (k < 17 && angle > static_cast<float>((k + 1) * 20 - 180)) ++k;
    return k;
}

}  // namespace

double Torsion(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d) {
    const Vec3 ab = b - a, bc = c - b, cd = d - c;
    const Vec3 m = Unit(Cross(ab, bc)), n = Unit(Cross(bc, cd));
    const double angle = std::acos(Nudged(Dot(m, n))) * kDegrees;
    return Dot(n, ab) > 0 ? angle : -angle;
}

double Angle(const Vec3& a, const Vec3& b, const Vec3& c) {
    const Vec3 u = a - b, v = c - b;
    return std::acos(Nudged(Dot(u, v) / (Length(u) * Length(v)))) * kDegrees;
}

float HelixPropensity(int phiZone, int psiZone) { return kHelixMap[phiZone][psiZone]; }
float SheetPropensity(int phiZone, int psiZone) { return kSheetMap[phiZone][psiZone]; }

template <class Item>
StrideRun BuildStrideRun(const std::vector<Chain>& chains, const std::vector<Item>& atoms, int firstChain,
                         int chainCount) {
    StrideRun run;
    run.chains.resize(static_cast<size_t>(chainCount));
    for (int c = 0; c < chainCount; ++c) {
        const Chain& source = chains[static_cast<size_t>(firstChain + c)];
        StrideChain& chain = run.chains[static_cast<size_t>(c)];
        chain.id = source.id;
        chain.residues.resize(source.residues.size());
        for (size_t r = 0; r < source.residues.size(); ++r) {
            const Residue& from = source.residues[r];
            StrideResidue& to = chain.residues[r];
            const int type = from.type >= ALA && from.type <= GLY ? from.type : NonStandardResidue;
            std::memcpy(to.name, kResidueNames[type], 4);
            *std::to_chars(to.number, to.number + sizeof to.number - 1, from.number).ptr = '\0';
            std::uint32_t seen[kStrideMaxAtoms];
            int count = 0;
            for (int index : from.atoms) {
                // at(): a residue pointing past the atoms is a broken model, not a run's own failure.
                const Item& atom = atoms.at(static_cast<size_t>(index));
                const std::uint32_t key = NameHeadOf(atom);
                // A name met again in the residue is an alternate position of
                // that atom: the first one stands for it, as one conformer. With
                // every position counted, a residue with hydrogens and
                // alternates passes fifty atoms and ends the whole run.
                if (std::find(seen, seen + count, key) != seen + count) continue;
                if (count == kStrideMaxAtoms) throw StrideError();
                seen[count++] = key;
                if (const int b = BackboneOf(key); b >= 0)
                    to.Set(static_cast<Backbone>(b),
                           {static_cast<float>(atom.x), static_cast<float>(atom.y), static_cast<float>(atom.z)});
            }
            to.atomCount = count;
        }
        run.totalResidues += chain.Count();
    }
    return run;
}

template StrideRun BuildStrideRun(const std::vector<Chain>&, const std::vector<Atom>&, int, int);
template StrideRun BuildStrideRun(const std::vector<Chain>&, const std::vector<PdbAtomRecord>&, int, int);

StrideRun BuildStrideRun(const Molecule& molecule, int firstChain, int chainCount) {
    return BuildStrideRun(molecule.chains, molecule.atoms, firstChain, chainCount);
}

void MarkValidChains(StrideRun& run) {
    bool any = false;
    for (StrideChain& chain : run.chains) {
        chain.valid = chain.Count() > 4;
        any = any || chain.valid;
    }
    if (!any) throw StrideError();
}

void ComputeBackboneAngles(StrideRun& run) {
    for (StrideChain& chain : run.chains) {
        const int n = chain.Count();
        for (int i = 0; i < n; ++i) {
            StrideResidue& r = chain.residues[static_cast<size_t>(i)];
            if (!r.Has(Backbone::N) || !r.Has(Backbone::CA) || !r.Has(Backbone::C)) continue;
            const Vec3 n0 = r.At(Backbone::N), ca = r.At(Backbone::CA), c0 = r.At(Backbone::C);
            if (i > 0) {
                const StrideResidue& prev = chain.residues[static_cast<size_t>(i - 1)];
                if (prev.Has(Backbone::C)) {
                    const Vec3 cp = prev.At(Backbone::C);
                    if (Length(n0 - cp) < 2.5) r.phi = static_cast<float>(Torsion(cp, n0, ca, c0));
                }
            }
            if (i + 1 < n) {
                const StrideResidue& next = chain.residues[static_cast<size_t>(i + 1)];
                if (next.Has(Backbone::N)) {
                    const Vec3 nn = next.At(Backbone::N);
                    if (Length(nn - c0) < 2.5) r.psi = static_cast<float>(Torsion(n0, ca, c0, nn));
                }
            }
        }
    }
}

void AddAmideHydrogens(StrideRun& run) {
    for (StrideChain& chain : run.chains) {
        for (int i = 1; i < chain.Count(); ++i) {
            StrideResidue& r = chain.residues[static_cast<size_t>(i)];
            if (std::strcmp(r.name, "PRO") == 0 || r.Has(Backbone::H)) continue;
            const StrideResidue& prev = chain.residues[static_cast<size_t>(i - 1)];
            if (!r.Has(Backbone::N) || !r.Has(Backbone::CA) || !prev.Has(Backbone::C)) continue;
            const Vec3 n = r.At(Backbone::N);
            const Vec3 u1 = Unit(r.At(Backbone::CA) - n);
            const Vec3 u2 = Unit(prev.At(Backbone::C) - n);
            const Vec3 p = n - (u1 + u2);
            const Vec3 h = n + Unit(p - n);
            r.Set(Backbone::H, {static_cast<float>(h.x), static_cast<float>(h.y), static_cast<float>(h.z)});
            ++r.atomCount;
        }
    }
}

void ComputeZones(StrideRun& run) {
    for (StrideChain& chain : run.chains) {
        if (!chain.valid) continue;
        const int n = chain.Count();
        auto& rs = chain.residues;
        for (int i = 0; i < n; ++i) {
            if (i > 0) rs[static_cast<size_t>(i)].phiZone = Zone(rs[static_cast<size_t>(i)].phi);
            if (i + 1 < n) rs[static_cast<size_t>(i)].psiZone = Zone(rs[static_cast<size_t>(i)].psi);
        }
        for (int i = 0; i < n; ++i) {
            StrideResidue& r = rs[static_cast<size_t>(i)];
            if (i > 0 && r.psiZone < 0) r.psiZone = rs[static_cast<size_t>(i - 1)].psiZone;
            if (i + 1 < n && r.phiZone < 0) r.phiZone = rs[static_cast<size_t>(i + 1)].phiZone;
        }
    }
}

}  // namespace velm
