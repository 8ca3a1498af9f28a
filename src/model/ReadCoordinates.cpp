#include "model/ReadCoordinates.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "core/BoundedFile.h"
#include "core/VelmError.h"
#include "core/WorkerThreads.h"
#include "model/Connectivity.h"
#include "model/LineSource.h"
#include "model/MmcifRead.h"
#include "model/Molecule.h"
#include "model/FrameStream.h"
#include "model/GzipTextSize.h"
#include "model/PdbFile.h"

namespace velm {

namespace {
// The atoms the chains are traced by: CA, O, N, C, P and the sugar's C4',
// C1' and O4' (C4*, C1* and O4* in older files), in any letter case.
enum class BackboneName { Other, CA, O, N, C, P, C4, C1, O4 };

// `s`: a name field, ended by a NUL.
BackboneName BackboneNameOf(const char* s) {
    const auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    if (s[0] == '\0') return BackboneName::Other;
    if (s[1] == '\0') {
        switch (up(s[0])) {
        case 'O': return BackboneName::O;
        case 'N': return BackboneName::N;
        case 'C': return BackboneName::C;
        case 'P': return BackboneName::P;
        default: return BackboneName::Other;
        }
    }
    if (s[2] == '\0') return up(s[0]) == 'C' && up(s[1]) == 'A' ? BackboneName::CA : BackboneName::Other;
    if (s[3] != '\0' || (s[2] != '\'' && s[2] != '*')) return BackboneName::Other;
    const char first = up(s[0]);
    if (first == 'C' && s[1] == '4') return BackboneName::C4;
    if (first == 'C' && s[1] == '1') return BackboneName::C1;
    if (first == 'O' && s[1] == '4') return BackboneName::O4;
    return BackboneName::Other;
}

// Number of models; throws unless the records divide into equal model blocks.
int EqualModels(const std::vector<PdbAtomRecord>& records) {
    if (records.empty()) return 1;
    int models = 1;
    for (size_t i = 1; i < records.size(); ++i)
        if (records[i].model != records[i - 1].model) ++models;
    if (models == 1) return 1;
    // Every block must have the same size, not only the total divide evenly:
    // blocks of 100, 98 and 102 atoms would otherwise be cut into frames that
    // mix atoms of two models.
    const size_t n = records.size() / static_cast<size_t>(models);
    bool equal = records.size() % static_cast<size_t>(models) == 0;
    for (size_t k = 1; equal && k < static_cast<size_t>(models); ++k)
        equal = records[k * n].model != records[k * n - 1].model;
    // Frames or nothing: the models read as separate structures would be a
    // load the user did not ask for.
    if (!equal) throw VelmError("All models in PDB file must contain the same number of atoms");
    return models;
}

void FillAtom(Atom& a, const PdbAtomRecord& r) {
    a.x = r.x;
    a.y = r.y;
    a.z = r.z;
    a.serial = r.serial;
    a.temperatureFactor = r.temperatureFactor;
    a.occupancy = r.occupancy;
    a.SetNames(r.name, r.residueName, r.element);
    a.residueNumber = r.residueNumber;
    a.insertionCode = r.insertionCode;
    a.hetero = r.hetero;
    a.model = r.model;
    a.chain = r.chain;
    a.chainAsRead = r.chainAsRead;
    a.altLoc = r.altLoc;
}

// The name field, ended by a NUL, and the residue name as an atom stores it.
const char* NameField(const Atom& a) { return a.Name().data(); }
const char* NameField(const PdbAtomRecord& r) { return r.name; }
std::string_view ResidueNameOf(const Atom& a) { return a.ResidueName(); }
std::string_view ResidueNameOf(const PdbAtomRecord& r) {
    return {r.residueName, strnlen(r.residueName, sizeof r.residueName - 1)};
}

// Chains change with (model, chain letter) and residues with the residue
// number or insertion code, among non-hetero atoms. An amino acid is kept
// with both a CA and an O atom, or with a CA alone when it has no N and no C
// either (the alpha-carbon models of coarse ensembles and large assemblies);
// a nucleotide with its sugar's C4' (C4* in older files). Other residues are
// dropped. From the atoms, or from the records they are filled from (the
// same fields), so that the chains can be made while the atoms are.
template <class Item>
std::vector<Chain> ChainsOf(const Item* atoms, int count) {
    std::vector<Chain> chains;
    if (count == 0) return chains;
    // Where a non-hetero atom begins a chain, and (after `last`, the chain's
    // previous one, or -1) a residue.
    const auto beginsChain = [](const Item& a, int model, char id) { return a.model != model || a.chain != id; };
    const auto beginsResidue = [atoms](const Item& a, int last) {
        return last < 0 || atoms[last].residueNumber != a.residueNumber ||
               atoms[last].insertionCode != a.insertionCode;
    };
    // The residues of each chain and the atoms of each residue are counted
    // first, so that each list is made once at its size rather than grown
    // and copied.
    std::vector<int> residueCounts(1, 0), memberCounts;
    memberCounts.reserve(static_cast<size_t>(count) / 8 + 1);  // residues mostly have eight atoms or more
    {
        int model = atoms[0].model, last = -1;
        char id = atoms[0].chain;
        for (int i = 0; i < count; ++i) {
            const Item& a = atoms[i];
            if (a.hetero) continue;
            if (beginsChain(a, model, id)) {
                residueCounts.push_back(0);
                model = a.model, id = a.chain, last = -1;
            }
            if (beginsResidue(a, last)) {
                ++residueCounts.back();
                memberCounts.push_back(0);
            }
            ++memberCounts.back();
            last = i;
        }
    }
    size_t residuesMade = 0;
    chains.reserve(residueCounts.size());
    chains.push_back(Chain{atoms[0].model, atoms[0].chain, {}});
    chains.back().residues.reserve(static_cast<size_t>(residueCounts[0]));
    struct Backbone {
        int n = -1, c = -1, p = -1, c4 = -1, c1 = -1, o4 = -1;
    };
    std::vector<Backbone> backbones;  // per residue of the current chain
    const auto finish = [&](Chain& chain) {
        for (size_t k = 0; k < chain.residues.size(); ++k) {
            Residue& r = chain.residues[k];
            const Backbone& b = backbones[k];
            if (r.alphaCarbon >= 0 && (r.carbonylOxygen >= 0 || (b.n < 0 && b.c < 0))) {
                r.traceAtom = r.alphaCarbon;
                r.guideAtom = r.carbonylOxygen;
            } else if (r.alphaCarbon < 0 && b.c4 >= 0) {
                r.nucleotide = true;
                r.type = NonStandardResidue;
                r.traceAtom = b.p >= 0 ? b.p : b.c4;
                r.guideAtom = b.c1 >= 0 ? b.c1 : b.o4;
            }
        }
        std::erase_if(chain.residues, [](const Residue& r) { return r.traceAtom < 0; });
        backbones.clear();
    };
    int lastInChain = -1;  // previous non-hetero atom of the current chain
    for (int i = 0; i < count; ++i) {
        const Item& a = atoms[i];
        if (a.hetero) continue;
        Chain* chain = &chains.back();
        if (beginsChain(a, chain->model, chain->id)) {
            finish(*chain);
            chains.push_back(Chain{a.model, a.chain, {}});
            chain = &chains.back();
            chain->residues.reserve(static_cast<size_t>(residueCounts[chains.size() - 1]));
            lastInChain = -1;
        }
        if (beginsResidue(a, lastInChain)) {
            Residue r;
            r.number = a.residueNumber;
            r.insertionCode = a.insertionCode;
            r.type = ResidueTypeFromName(ResidueNameOf(a));
            r.atoms.reserve(static_cast<size_t>(memberCounts[residuesMade++]));
            chain->residues.push_back(std::move(r));
            backbones.emplace_back();
        }
        Residue& r = chain->residues.back();
        Backbone& b = backbones.back();
        r.atoms.push_back(i);
        int* slot = nullptr;  // the first atom of each name is taken
        switch (BackboneNameOf(NameField(a))) {
        case BackboneName::Other: break;
        case BackboneName::CA: slot = &r.alphaCarbon; break;
        case BackboneName::O: slot = &r.carbonylOxygen; break;
        case BackboneName::N: slot = &b.n; break;
        case BackboneName::C: slot = &b.c; break;
        case BackboneName::P: slot = &b.p; break;
        case BackboneName::C4: slot = &b.c4; break;
        case BackboneName::C1: slot = &b.c1; break;
        case BackboneName::O4: slot = &b.o4; break;
        }
        if (slot && *slot < 0) *slot = i;
        lastInChain = i;
    }
    finish(chains.back());
    return chains;
}

// Every difference of two positions must be a finite number: the centring,
// the bounding box and the bond search all subtract them.
bool SpanIsFinite(const std::vector<PdbAtomRecord>& atoms) {
    if (atoms.empty()) return true;
    // Numbers below 1e300 in size (NaN is not) always lie a finite number apart.
    bool small = true;
    for (const PdbAtomRecord& r : atoms)
        small &= std::fabs(r.x) < 1e300 && std::fabs(r.y) < 1e300 && std::fabs(r.z) < 1e300;
    if (small) return true;
    double lo[3] = {atoms[0].x, atoms[0].y, atoms[0].z}, hi[3] = {lo[0], lo[1], lo[2]};
    for (const PdbAtomRecord& r : atoms) {
        const double v[3] = {r.x, r.y, r.z};
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], v[k]);
            hi[k] = std::max(hi[k], v[k]);
        }
    }
    return std::isfinite(hi[0] - lo[0]) && std::isfinite(hi[1] - lo[1]) && std::isfinite(hi[2] - lo[2]);
}

// "Can't open ``path'' for reading." with why: the system's reason, or the
// reader's with the line it stopped at.
PdbFile ReadPdb(const std::string& path, FileType type) {
    std::string reason;
    try {
        // A device (/dev/zero) never ends and a pipe cannot be read again.
        reason = NotRegularFileReason(path);
        if (!reason.empty()) throw VelmError(reason);
        // mmCIF by its name or, whatever the name (a downloaded entry), by its first line.
        const bool mmcif = type == MmcifType || LooksLikeMmcif(path);
        GzLineSource source(path);
        if (mmcif && source.IsOpen()) {
            PdbFile file = ReadMmcif(path);
            if (SpanIsFinite(file.atoms)) return file;
            reason = "the coordinates lie farther apart than any number can say";
        } else if (!source.IsOpen()) {
            reason = std::strerror(errno);
        } else {
            PdbFile file = PdbFile::Read(source);
            if (SpanIsFinite(file.atoms)) return file;
            reason = "the coordinates lie farther apart than any number can say";
        }
    } catch (const VelmError& e) {
        reason = e.InputLine() > 0 ? "line " + std::to_string(e.InputLine()) + ": " + e.text() : e.text();
    } catch (const std::bad_alloc&) {
        reason = "Out of memory";
    }
    // The path is cut to a length a message box can show.
    char text[4200];
    std::snprintf(text, sizeof text, "Can't open ``%.4000s'' for reading.", path.c_str());
    throw VelmError(std::string(text) + " " + reason);
}

// Fewer atoms are loaded on one thread: starting another costs more than
// it saves.
constexpr size_t kAtomsBesideFrom = 4096;

// `there` on another thread while `here` runs on this one; one after the
// other on one CPU, for a load of fewer than kAtomsBesideFrom atoms, or when
// no thread can be had. Either one's failure is thrown once both ended.
// `thereOutlasts`: `there` is expected to take longer than `here`, which
// then starts no thread of its own to share its work (it would take turns
// with `there` on the CPU it holds).
void RunBeside(size_t atoms, const std::function<void()>& there, const std::function<void()>& here,
               bool thereOutlasts = false) {
    std::exception_ptr failed;
    BesideWork beside;
    if (WorkerThreads() >= 2 && atoms >= kAtomsBesideFrom) {
        try {
            beside = StartBeside([&](std::stop_token) {
                try {
                    there();
                } catch (...) {
                    failed = std::current_exception();
                }
            });
        } catch (const std::exception&) {  // no thread (system_error) or no memory for its state
        }
    }
    if (!beside.Joinable()) {
        there();
        here();
        return;
    }
    {
        std::optional<CpuHeldBeside> held;
        if (thereOutlasts) held.emplace();
        here();  // should it throw, the thread is joined as the exception leaves
    }
    beside.Join();
    if (failed) std::rethrow_exception(failed);
}

}  // namespace

std::size_t StructureLoadBytes(const std::string& path, FileType type, bool bonds) {
    constexpr std::size_t kMargin = std::size_t{4} << 20;
    if (type == ByExtension) type = FileTypeFromPath(path);
    struct stat st {};
    if ((type != PdbType && type != MmcifType) || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    const auto size = static_cast<std::size_t>(st.st_size);
    constexpr std::size_t kMost = SIZE_MAX / 16;  // sizes no file has, kept from overflowing
    std::size_t text = std::min(size, kMost);
    if (IsCompressedName(path)) {
        const std::size_t told = GzipTextSize(path, text);
        text = told > 0 ? std::min(told, kMost) : text * 4;
    }
    return bonds ? text / 2 * 7 + std::min(text, kMargin) : text * 3 + std::min(text, kMargin) / 2;
}

void ReadCoordinateFile(Molecule& molecule, const std::string& path, bool multipleAsTrajectory, bool connectivity,
                        FileType type, UiHooks& ui, const LoadWork& work) {
    if (type == ByExtension) type = FileTypeFromPath(path);
    if (type != PdbType && type != MmcifType) throw VelmError(CoordinateReadRefusal(type));

    ui.SetStatusText("Reading pdb file ...");
    const PdbFile file = ReadPdb(path, type);
    ui.SetStatusText("Processing data ...");

    try {
        Molecule mol;
        const int models = multipleAsTrajectory ? EqualModels(file.atoms) : 1;
        const size_t n = file.atoms.size() / static_cast<size_t>(models);

        // The bonds come from the file's records alone: they are derived on
        // another thread while the atoms, the chains and the work beside them
        // (which never reads bonds) are made here, and go to the atoms after.
        Connectivity bonds;
        const auto fill = [&] {
            // Each atom written once, not first to its defaults, and its
            // values taken into their ranges while it is in the cache.
            mol.atoms.reserve(n);
            if (n == 0) return;
            FillAtom(mol.atoms.emplace_back(), file.atoms[0]);
            AtomValueRanges ranges(mol.atoms[0]);
            for (size_t i = 1; i < n; ++i) {
                Atom& a = mol.atoms.emplace_back();
                FillAtom(a, file.atoms[i]);
                ranges.Take(a);
            }
            mol.SetValueRanges(ranges);
            for (int k = 1; k < models; ++k) {
                Frame frame(n);
                for (size_t i = 0; i < n; ++i) {
                    const PdbAtomRecord& r = file.atoms[static_cast<size_t>(k) * n + i];
                    frame.SetPosition(i, {r.x, r.y, r.z});
                }
                mol.frames.Append(std::move(frame));
            }
        };
        const auto showStatus = [&] {
            if (!work.status.empty()) ui.SetStatusText(work.status);
        };
        const auto fillAndPrepare = [&] {
            fill();
            if (work.onAtoms && n > 0) work.onAtoms(mol);
        };
        const auto workOnMolecule = [&] {
            if (!work.onMolecule || n == 0) return;
            showStatus();
            work.onMolecule(mol);
        };
        // The file's serial lookups learn as they go: one thread at a time.
        const auto markConectAtoms = [&] {
            for (const int i : ConectEntryAtoms(file))
                if (i >= 0 && i < static_cast<int>(n)) mol.atoms[i].hadConect = true;
        };
        if (connectivity) {
            // The bonds take longer than the atoms, chains and secondary
            // structure, whose hydrogen-bond search then takes no thread.
            RunBeside(file.atoms.size(), [&] { bonds = ComputeConnectivity(file); }, [&] {
                fillAndPrepare();
                mol.chains = ChainsOf(mol.atoms.data(), mol.AtomCount());
                workOnMolecule();
            }, true);
            ApplyConnectivity(mol, file, std::move(bonds));
            markConectAtoms();
        } else {
            // The atoms are made on another thread while the chains are
            // made here from the records and worked on: a thread takes a
            // while to start, and the chains' work waits for nothing else.
            std::vector<Chain> chains;
            if (work.onChains && n > 0) showStatus();
            RunBeside(n, [&] {
                fillAndPrepare();
                markConectAtoms();
            }, [&] {
                chains = ChainsOf(file.atoms.data(), static_cast<int>(n));
                if (work.onChains && n > 0) work.onChains(chains, file.atoms);
            });
            mol.chains = std::move(chains);
            workOnMolecule();
        }
        for (const MonitorRecord& m : file.monitors) {
            if (m.atom1 >= static_cast<int>(n) || m.atom2 >= static_cast<int>(n)) continue;
            Monitor mon;
            mon.label = m.label;
            mon.atom1 = m.atom1;
            mon.atom2 = m.atom2;
            mon.colour = Rgba{static_cast<std::uint8_t>(m.r), static_cast<std::uint8_t>(m.g),
                              static_cast<std::uint8_t>(m.b), 255};
            mol.monitors.Append(mon);
        }

        // Only now does the molecule change: a failed read leaves it as it was.
        mol.path = molecule.path;
        mol.selected = molecule.selected;
        mol.displayOffset = molecule.displayOffset;
        mol.trackball = molecule.trackball;
        molecule = std::move(mol);
    } catch (const std::bad_alloc&) {
        throw VelmError("Out of memory");
    }
}

namespace {

// The box and reach of positions taken one by one, from the first taken.
class PositionBox {
public:
    explicit PositionBox(const Vec3& first) : lo_(first), hi_(first) {}
    void Take(const Vec3& p) {
        lo_ = {std::min(lo_.x, p.x), std::min(lo_.y, p.y), std::min(lo_.z, p.z)};
        hi_ = {std::max(hi_.x, p.x), std::max(hi_.y, p.y), std::max(hi_.z, p.z)};
        reach_ = std::max(reach_, Dot(p, p));
    }
    // Frames read on demand are not all read for the box: the first stands
    // for them (a trajectory too large to hold is not read whole to open).
    void TakeFrames(const Molecule& mol) {
        const auto take = [&](const Frame& f) {
            for (size_t i = 0; i < f.AtomCount(); ++i) Take(f.Position(i));
        };
        if (mol.frames.OnDemand()) {
            if (mol.frames.Count() > 0) take(mol.frames[0]);
        } else {
            for (const Frame& f : mol.frames) take(f);
        }
    }
    BoundingBox Box() const {
        BoundingBox box;
        box.minimum = lo_;
        box.extent = hi_ - lo_;
        box.diagonal = Length(box.extent);
        box.reach = std::sqrt(reach_);
        return box;
    }

private:
    Vec3 lo_, hi_;
    double reach_ = 0;
};

}  // namespace

void UpdateBoundingBox(Molecule& mol) {
    mol.box = BoundingBox{};
    if (mol.atoms.empty()) return;
    PositionBox box(mol.atoms[0].Position());
    for (const Atom& a : mol.atoms) box.Take(a.Position());
    box.TakeFrames(mol);
    mol.box = box.Box();
}

namespace {

// What the read mode does to one frame, the same whether the frames are held
// or read on demand, so that both give the same numbers.
struct FramePreparation {
    int mode = Verbatim;
    Vec3 shift;                   // Verbatim: the structure's centring
    std::vector<double> masses;   // centring and alignment weights
    long double total = 0;        // sum of the masses
    FrameAligner aligner;
    std::shared_ptr<const Molecule> reference;  // the centred structure frames are aligned on

    // The centre removed (zero in Verbatim). An alignment that fails is told
    // through `failed` with the frame's 0-based step.
    Vec3 Apply(int k, Frame& f, const std::function<void(const std::string&)>& failed) const {
        if (mode == Verbatim) {
            // Frames come in the file's coordinates: moved as the structure
            // was, frame k lies over frame 0 as it does in the files.
            for (size_t i = 0; i < f.AtomCount(); ++i) f.SetPosition(i, f.Position(i) + shift);
            return {};
        }
        Vec3 s;
        for (size_t i = 0; i < f.AtomCount(); ++i) s += f.Position(i) * masses[i];
        const Vec3 c = total != 0 ? s * static_cast<double>(1.0L / total) : Vec3{};
        for (size_t i = 0; i < f.AtomCount(); ++i) f.SetPosition(i, f.Position(i) - c);
        if (mode == Align) {
            try {
                aligner(*reference, f.xyz.data(), masses.data());
            } catch (const VelmError& e) {
                char step[32];
                std::snprintf(step, sizeof step, " @ step %d", k);
                failed(e.text() + step);
            }
        }
        return c;
    }
};

}  // namespace

void PostProcessFrames(Molecule& mol, int mode, UiHooks& ui, const FrameAligner& aligner) {
    if (mol.atoms.empty()) return;

    // Summed in extended range: position x mass overflows a double for
    // coordinates near its largest values, although their mean does not.
    // The atoms are walked twice: once for the centre (and the masses), once
    // to move them (and for their box). A million atoms fill more than the
    // caches, and every further walk reads them from memory again.
    auto prepare = std::make_shared<FramePreparation>();
    prepare->masses.resize(mol.atoms.size());
    long double total = 0, sx = 0, sy = 0, sz = 0;
    for (size_t i = 0; i < mol.atoms.size(); ++i) {
        const Atom& a = mol.atoms[i];
        sx += static_cast<long double>(a.x) * a.mass;
        sy += static_cast<long double>(a.y) * a.mass;
        sz += static_cast<long double>(a.z) * a.mass;
        total += a.mass;
        prepare->masses[i] = a.mass;
    }
    const Vec3 centre = total != 0 ? Vec3{static_cast<double>(sx / total), static_cast<double>(sy / total),
                                          static_cast<double>(sz / total)}
                                   : Vec3{};
    PositionBox box(mol.atoms[0].Position() - centre);
    for (Atom& a : mol.atoms) {
        a.x -= centre.x;
        a.y -= centre.y;
        a.z -= centre.z;
        box.Take(a.Position());
    }
    mol.centreShift -= centre;  // cumulative: a trajectory read later centres again

    prepare->mode = mode == ZeroCenterOfMass || mode == Align ? mode : Verbatim;
    prepare->shift = mol.centreShift;
    prepare->total = total;
    if (prepare->mode == Align) {
        if (!aligner) throw VelmError("Frame superposition is not available");
        prepare->aligner = aligner;
        // The frames are aligned on the structure as it is now, also those
        // read later on demand after the structure has been turned or edited.
        auto reference = std::make_shared<Molecule>();
        reference->atoms = mol.atoms;
        prepare->reference = std::move(reference);
    }

    if (FrameStream* stream = mol.frames.Stream()) {
        // Each frame is prepared on the reading thread as it is read; frame
        // centres are not kept for frames that come and go.
        mol.frameCentres.clear();
        stream->SetPreparation([prepare, stream](int k, Frame& f) {
            prepare->Apply(k, f, [stream](const std::string& text) { stream->AddNotice(text); });
        });
    } else {
        mol.frameCentres.assign(static_cast<size_t>(mol.FrameCount()), Vec3{});
        int k = 0;
        const auto failed = [&ui](const std::string& text) { ui.Message(text); };
        for (Frame& f : mol.frames) {
            mol.frameCentres[static_cast<size_t>(k)] = prepare->Apply(k, f, failed);
            ++k;
        }
    }
    box.TakeFrames(mol);
    mol.box = box.Box();
}

}  // namespace velm
