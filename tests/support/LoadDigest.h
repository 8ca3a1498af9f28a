#pragma once
// Fingerprints of what a load derives: the bonds in their order, every
// atom's partners in their order with its hetero flag, and the secondary
// structure of every residue. Shared by the suite, which keeps them for a few
// fixtures, and by bench/load_outputs, which compares whole files before and
// after a change to the loading code.
#include <cstdint>
#include <cstdio>
#include <string>

#include "model/Molecule.h"

namespace velm::test {

class Fnv64 {
public:
    void Add(std::int64_t v) {
        for (int k = 0; k < 8; ++k) {
            hash_ ^= static_cast<std::uint8_t>(v >> (8 * k));
            hash_ *= 1099511628211ULL;
        }
    }
    std::uint64_t Value() const { return hash_; }

private:
    std::uint64_t hash_ = 14695981039346656037ULL;
};

struct LoadDigest {
    std::uint64_t bonds = 0, partners = 0, structure = 0;
    std::string Text() const {
        char s[80];
        std::snprintf(s, sizeof s, "%016llx %016llx %016llx", static_cast<unsigned long long>(bonds),
                      static_cast<unsigned long long>(partners), static_cast<unsigned long long>(structure));
        return s;
    }
};

inline LoadDigest DigestOf(const Molecule& m) {
    Fnv64 bonds, partners, structure;
    for (const Bond& b : m.bonds) {
        bonds.Add(b.first);
        bonds.Add(b.second);
        bonds.Add(b.hetero);
    }
    for (int i = 0; i < m.AtomCount(); ++i) {
        partners.Add(-1 - m.atoms[i].hetero);
        if (m.partnerStart.size() == static_cast<size_t>(m.AtomCount()) + 1)
            for (int j : m.Partners(i)) partners.Add(j);
    }
    for (const Chain& c : m.chains) {
        structure.Add(-1);
        for (const Residue& r : c.residues) {
            structure.Add(r.number);
            structure.Add(r.secondaryStructure);
        }
    }
    return {bonds.Value(), partners.Value(), structure.Value()};
}

}  // namespace velm::test
