#pragma once
// The working records of one secondary-structure run by the STRIDE method
// (hydrogen-bond energies combined with phi/psi propensities), and its stages.
// A run covers consecutive chains of one model; it reads the molecule, keeps
// its own copies of the backbone, and writes one code per residue at the end.
#include <array>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "core/Vec3.h"

namespace velm {

class Molecule;
class Atom;
struct Chain;
struct PdbAtomRecord;

// A run's own failure: it ends silently and writes nothing back.
class StrideError : public std::runtime_error {
public:
    StrideError() : std::runtime_error("Stride error") {}
};

constexpr int kStrideMaxAtoms = 50;
constexpr int kStrideMaxBondsPerResidue = 6;
constexpr float kUndefinedAngle = 360.0f;

// The atoms the method reads of a residue, by the names it looks them up
// by: the backbone and the amide hydrogen.
enum class Backbone { N, CA, C, O, H };
inline constexpr int kBackboneAtoms = 5;

struct StrideAtom {
    float x = 0, y = 0, z = 0;
    Vec3 Position() const { return {x, y, z}; }
};

// The first six bonds a residue takes part in on one side, without an
// allocation per residue.
class BondList {
public:
    int size() const { return count_; }
    bool empty() const { return count_ == 0; }
    bool full() const { return count_ == kStrideMaxBondsPerResidue; }
    void push_back(int bond) { index_[count_++] = bond; }
    const int* begin() const { return index_.data(); }
    const int* end() const { return index_.data() + count_; }
    std::vector<int> Vector() const { return {begin(), end()}; }

private:
    std::array<int, kStrideMaxBondsPerResidue> index_{};
    int count_ = 0;
};

struct StrideResidue {
    char name[4] = {};
    char number[12] = {};
    // Its atoms count by name, cut to four characters: a name met again is
    // an alternate position, of which the first stands for the atom. Of
    // them only the backbone atoms are kept.
    int atomCount = 0;
    std::array<StrideAtom, kBackboneAtoms> backbone{};
    std::uint8_t present = 0;  // bit b: backbone atom b is there
    float phi = kUndefinedAngle, psi = kUndefinedAngle;
    int phiZone = -1, psiZone = -1;
    char code = 'C';
    BondList donorBonds, acceptorBonds;
    bool interchain = false;

    bool Has(Backbone b) const { return (present >> static_cast<int>(b)) & 1; }
    Vec3 At(Backbone b) const { return backbone[static_cast<size_t>(b)].Position(); }
    void Set(Backbone b, const StrideAtom& a) {
        backbone[static_cast<size_t>(b)] = a;
        present = static_cast<std::uint8_t>(present | 1 << static_cast<int>(b));
    }
    bool HasZones() const { return phiZone >= 0 && psiZone >= 0; }
};

struct StrideChain {
    char id = ' ';
    bool valid = true;
    std::vector<StrideResidue> residues;
    int Count() const { return static_cast<int>(residues.size()); }
};

// A bond kept on one of three grounds. The energy and its factors are those
// of the method; where the N-H...O angle is at most 90 degrees, Ep and so the
// energy are 0 and are left so without being worked out.
struct HydrogenBond {
    int donorChain = 0, donorResidue = 0;
    int acceptorChain = 0, acceptorResidue = 0;
    float distance = 0;  // N...O, raised to 3.0 when the energy was computed below it
    float energy = 0, er = 0, et = 0, ep = 0;
    bool energyAccepted = false, planeAccepted = false, contactAccepted = false;
};

struct StrideRun {
    std::vector<StrideChain> chains;
    std::vector<HydrogenBond> bonds;
    int totalResidues = 0;
    StrideResidue& Residue(int chain, int residue) { return chains[chain].residues[residue]; }
};

// A cosine nudged off +-1 by 1e-6, as the method's angles take it.
inline double Nudged(double c) {
    if (c > 0 && std::fabs(c - 1) < 1e-6) return c - 1e-6;
    if (c < 0 && std::fabs(c + 1) < 1e-6) return c + 1e-6;
    return c;
}

// Geometry in degrees (57.2958 per radian), cosines nudged off +-1 by 1e-6.
double Torsion(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d);
double Angle(const Vec3& a, const Vec3& b, const Vec3& c);  // at b

// Propensities by [phi zone][psi zone].
float HelixPropensity(int phiZone, int psiZone);
float SheetPropensity(int phiZone, int psiZone);

// Stages, in the order a run calls them. A run reads its backbone from the
// atoms of the chains' residues: a molecule's (Atom), or the records of a file
// they are filled from (PdbAtomRecord), which hold the same names and
// positions. Throws StrideError.
template <class Item>
StrideRun BuildStrideRun(const std::vector<Chain>& chains, const std::vector<Item>& atoms, int firstChain,
                         int chainCount);
StrideRun BuildStrideRun(const Molecule& molecule, int firstChain, int chainCount);
void MarkValidChains(StrideRun& run);                                                 // throws StrideError
void ComputeBackboneAngles(StrideRun& run);
void AddAmideHydrogens(StrideRun& run);
// Donors against acceptors, donors outer, in the order they were collected:
// allPairs tries every pair, the default cell grid only those within 6 A, in
// the same order and with the same result. Throws StrideError when the list
// would pass three bonds per residue or stays empty.
void FindHydrogenBonds(StrideRun& run, bool allPairs = false);
void RemoveDoubleBonds(StrideRun& run);
void ComputeZones(StrideRun& run);

// The first bond filed donor -> acceptor with the given acceptance, or -1.
int EnergyBond(const StrideRun& run, int donorChain, int donor, int acceptorChain, int acceptor);
int PlaneBond(const StrideRun& run, int donorChain, int donor, int acceptorChain, int acceptor);

// The GRID-type energy of one bond, filling its factors.
void ComputeBondEnergy(HydrogenBond& bond, const Vec3& n, const Vec3& h, const Vec3& o, const Vec3& c,
                       const Vec3& ca);

void AssignHelices(StrideRun& run, int chain);
// fullScan tries every residue pair and compares every two patterns, as the
// method is written; the default visits only bond partners and near patterns.
void AssignBridges(StrideRun& run, int chain1, int chain2, bool fullScan = false);
void AssignBetaTurns(StrideRun& run, int chain);
void AssignGammaTurns(StrideRun& run, int chain);
void WriteBack(const StrideRun& run, std::vector<Chain>& chains, int firstChain);

// One run, silent on its own failure (the residues then keep their codes).
template <class Item>
void AssignChainRun(std::vector<Chain>& chains, const std::vector<Item>& atoms, int firstChain, int chainCount);

}  // namespace velm
