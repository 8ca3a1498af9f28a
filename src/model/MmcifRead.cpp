// Reading mmCIF from the events of the CIF grammar. A document that holds
// every value as a string of its own costs some 700 bytes an atom; the reader
// instead takes the atom sites straight into records as the parser meets
// them, so a load needs little more than the text and the records.
#include "model/MmcifRead.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <new>
#include <strings.h>
#include <tuple>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/VelmError.h"
#include "model/CifGrammar.h"
#include "model/ElementType.h"

namespace velm {

namespace {
enum AtomColumn {
    Group, Id, Symbol, AuthAtom, LabelAtom, AltId, AuthComp, LabelComp, AuthAsym, LabelAsym, AuthSeq, LabelSeq,
    InsCode, X, Y, Z, Occupancy, BIso, ModelNum, AtomColumns
};
constexpr const char* kAtomTags[AtomColumns] = {
    "group_pdb", "id", "type_symbol", "auth_atom_id", "label_atom_id", "label_alt_id", "auth_comp_id",
    "label_comp_id", "auth_asym_id", "label_asym_id", "auth_seq_id", "label_seq_id", "pdbx_pdb_ins_code",
    "cartn_x", "cartn_y", "cartn_z", "occupancy", "b_iso_or_equiv", "pdbx_pdb_model_num"};

// One partner of a link: chain, residue number, insertion code, atom, location, symmetry.
enum LinkColumn { Type, P1Asym, P1Seq, P1Ins, P1Atom, P1Alt, P1Sym, P2Asym, P2Seq, P2Ins, P2Atom, P2Alt, P2Sym, LinkColumns };
constexpr const char* kLinkTags[LinkColumns] = {
    "conn_type_id",         "ptnr1_auth_asym_id",      "ptnr1_auth_seq_id",       "pdbx_ptnr1_pdb_ins_code",
    "ptnr1_label_atom_id",  "pdbx_ptnr1_label_alt_id", "ptnr1_symmetry",          "ptnr2_auth_asym_id",
    "ptnr2_auth_seq_id",    "pdbx_ptnr2_pdb_ins_code", "ptnr2_label_atom_id",     "pdbx_ptnr2_label_alt_id",
    "ptnr2_symmetry"};

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The text of a value without its quotes or text-field markers.
std::string_view Unquoted(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '\'' || v.front() == '"')) return v.substr(1, v.size() - 2);
    if (!v.empty() && v.front() == ';') {
        v.remove_prefix(1);
        if (v.size() >= 2 && v.substr(v.size() - 2) == "\n;") v.remove_suffix(2);
        else if (!v.empty() && v.back() == ';') v.remove_suffix(1);
        while (!v.empty() && (v.back() == '\n' || v.back() == '\r')) v.remove_suffix(1);
    }
    return v;
}
bool Missing(std::string_view v) { return v.empty() || v == "." || v == "?"; }

[[noreturn]] void Refuse(const std::string& why) { throw VelmError("Error parsing file! " + why); }

double Real(std::string_view v, const char* what, double fallback, bool required) {
    v = Unquoted(v);
    if (Missing(v)) {
        if (required) Refuse(std::string("missing ") + what);
        return fallback;
    }
    // Standard uncertainties in parentheses ("12.345(6)") are not coordinates.
    if (const size_t p = v.find('('); p != std::string_view::npos) v = v.substr(0, p);
    if (!v.empty() && v.front() == '+') v.remove_prefix(1);
    double x = 0;
    const auto r = std::from_chars(v.data(), v.data() + v.size(), x);
    if (r.ec != std::errc() || r.ptr != v.data() + v.size() || !std::isfinite(x))
        Refuse(std::string("bad ") + what + " \"" + std::string(v.substr(0, 40)) + "\"");
    return x;
}

bool Integer(std::string_view v, int& out) {
    v = Unquoted(v);
    if (!v.empty() && v.front() == '+') v.remove_prefix(1);
    const auto r = std::from_chars(v.data(), v.data() + v.size(), out);
    return !v.empty() && r.ec == std::errc() && r.ptr == v.data() + v.size();
}

// One category of interest, filled row by row from a loop or from tag-value pairs.
struct Table {
    const char* const* tags;
    int columns;
    std::vector<int> slot;  // per tag of the loop: its column here, or -1
    std::vector<std::string_view> row;
    size_t next = 0;

    Table(const char* const* t, int n) : tags(t), columns(n), row(static_cast<size_t>(n)) {}
    int Column(std::string_view name) const {
        const std::string lower = Lower(name);
        for (int i = 0; i < columns; ++i)
            if (lower == tags[i]) return i;
        return -1;
    }
    void Clear() { std::fill(row.begin(), row.end(), std::string_view()); }
};

struct Link {
    std::string key1, key2;  // chain|number|insertion|atom|location
};

struct Reader final : CifEvents {
    PdbFile file;
    std::vector<int> chainOfRecord;  // index into chainNames
    std::vector<std::string> chainNames;
    std::unordered_map<std::string, int> chainIndex;
    std::vector<Link> links;
    int lastChain = 0;

    Table atoms{kAtomTags, AtomColumns};
    Table conns{kLinkTags, LinkColumns};
    Table* loop = nullptr;  // the loop being read, when it is one of ours
    bool inLoop = false;
    size_t loopTags = 0;  // tags of the loop so far
    int blocks = 0;
    std::string_view pairTag;
    bool pairAtoms = false, pairConns = false;

    bool Ignored() const { return blocks > 1; }

    // The grammar's events.
    void DataBlock() override { ++blocks; }
    void LoopStart() override {
        inLoop = true;
        loopTags = 0;
        loop = nullptr;
        atoms.slot.clear();
        conns.slot.clear();
    }
    void LoopTag(std::string_view tag) override {
        if (Ignored()) return;
        const std::string lower = Lower(tag);
        Table* table = lower.rfind("_atom_site.", 0) == 0      ? &atoms
                       : lower.rfind("_struct_conn.", 0) == 0 ? &conns
                                                               : nullptr;
        // A tag of another category in the same loop is no mmCIF, but its values are passed over.
        if (table && loop != table) {
            loop = table;
            table->slot.assign(loopTags, -1);
        }
        if (loop) loop->slot.push_back(table == loop ? table->Column(tag.substr(tag.find('.') + 1)) : -1);
        ++loopTags;
    }
    void LoopValue(std::string_view value) override {
        if (!Ignored()) Value(value);
    }
    void LoopEnd() override {
        if (loop && loop->next != 0) Refuse("a loop ends in the middle of a row");
        loop = nullptr;
        inLoop = false;
    }
    void ItemTag(std::string_view tag) override { pairTag = tag; }
    void ItemValue(std::string_view value) override {
        if (!Ignored()) Pair(pairTag, value);
    }

    void AtomRow() {
        const auto& v = atoms.row;
        PdbAtomRecord rec;
        const std::string_view group = Unquoted(v[Group]);
        rec.SetRecord(group == "HETATM" ? "HETATM" : "ATOM");
        rec.hetero = group == "HETATM" ? 1 : 0;
        if (!Integer(v[Id], rec.serial)) rec.serial = kNoSerial;
        std::string_view name = Unquoted(Missing(Unquoted(v[AuthAtom])) ? v[LabelAtom] : v[AuthAtom]);
        if (Missing(name)) Refuse("atom without a name");
        rec.SetAtomName(name);
        const std::string_view alt = Unquoted(v[AltId]);
        rec.altLoc = Missing(alt) ? ' ' : alt[0];
        const std::string_view comp = Unquoted(Missing(Unquoted(v[AuthComp])) ? v[LabelComp] : v[AuthComp]);
        rec.SetResName(Missing(comp) ? std::string_view() : comp);
        // Without the author's chain column the label's; an empty author chain ('') is a blank chain.
        std::string_view chain = Unquoted(v[AuthAsym].empty() ? v[LabelAsym] : v[AuthAsym]);
        if (Missing(chain)) chain = " ";
        const std::string_view seq = Missing(Unquoted(v[AuthSeq])) ? v[LabelSeq] : v[AuthSeq];
        if (!Integer(seq, rec.residueNumber)) rec.residueNumber = 0;
        const std::string_view ins = Unquoted(v[InsCode]);
        rec.insertionCode = Missing(ins) ? ' ' : ins[0];
        rec.x = Real(v[X], "Cartn_x", 0, true);
        rec.y = Real(v[Y], "Cartn_y", 0, true);
        rec.z = Real(v[Z], "Cartn_z", 0, true);
        rec.occupancy = Real(v[Occupancy], "occupancy", 1.0, false);
        rec.temperatureFactor = Real(v[BIso], "B_iso_or_equiv", 0, false);
        if (!Integer(v[ModelNum], rec.model)) rec.model = 1;
        std::string symbol(Unquoted(v[Symbol]));
        for (char& c : symbol) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (symbol.size() <= 2 && symbol != "X")
            if (const ChemicalElement* e = FindChemicalElement(symbol))
                std::memcpy(rec.element, e->symbol, std::strlen(e->symbol) + 1);

        if (chainOfRecord.empty() || chain != chainNames[static_cast<size_t>(chainOfRecord.back())]) {
            auto [it, added] = chainIndex.try_emplace(std::string(chain), static_cast<int>(chainNames.size()));
            if (added) chainNames.emplace_back(chain);
            lastChain = it->second;
        }
        chainOfRecord.push_back(lastChain);
        file.atoms.push_back(rec);
    }

    static std::string Key(const std::vector<std::string_view>& v, int asym, int seq, int ins, int atom, int alt) {
        std::string key;
        for (int c : {asym, seq, ins, atom, alt}) {
            const std::string_view s = Unquoted(v[c]);
            key.append(Missing(s) ? std::string_view() : s);
            key += '|';
        }
        return key;
    }

    void LinkRow() {
        const auto& v = conns.row;
        const std::string type = Lower(Unquoted(v[Type]));
        if (type.rfind("covale", 0) != 0 && type != "disulf") return;
        // A link to a neighbour in the crystal is no bond within this structure.
        for (int s : {P1Sym, P2Sym}) {
            const std::string_view sym = Unquoted(v[s]);
            if (!Missing(sym) && sym != "1_555") return;
        }
        links.push_back(Link{Key(v, P1Asym, P1Seq, P1Ins, P1Atom, P1Alt), Key(v, P2Asym, P2Seq, P2Ins, P2Atom, P2Alt)});
    }

    void Value(std::string_view text) {
        if (!loop) return;
        const int column = loop->slot[loop->next];
        if (column >= 0) loop->row[static_cast<size_t>(column)] = text;
        if (++loop->next == loop->slot.size()) {
            loop->next = 0;
            if (loop == &atoms) AtomRow();
            else LinkRow();
            loop->Clear();
        }
    }

    void Pair(std::string_view tag, std::string_view value) {
        const std::string lower = Lower(tag);
        for (auto [table, prefix, flag] : {std::tuple{&atoms, "_atom_site.", &pairAtoms},
                                           std::tuple{&conns, "_struct_conn.", &pairConns}}) {
            if (lower.rfind(prefix, 0) != 0) continue;
            const int column = table->Column(std::string_view(tag).substr(std::strlen(prefix)));
            if (column >= 0) table->row[static_cast<size_t>(column)] = value;
            *flag = true;
        }
    }
};

constexpr size_t kLargestText = size_t{8} << 30;  // some hundred million atoms

// The whole text, through zlib so that gzip-compressed files read alike.
std::string ReadText(const std::string& path) {
    gzFile gz = gzopen(path.c_str(), "rb");
    if (!gz) throw VelmError("Can't open file!");
    gzbuffer(gz, 1 << 17);
    std::string text;
    char buffer[1 << 16];
    for (;;) {
        const int n = gzread(gz, buffer, sizeof buffer);
        if (n < 0) {
            gzclose(gz);
            throw VelmError("Error parsing file! The compressed data is damaged");
        }
        if (n == 0) break;
        // A compressed file that unpacks without end must not take all memory.
        if (text.size() > kLargestText) {
            gzclose(gz);
            throw VelmError("Error parsing file! It holds more than 8 GB of text");
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    gzclose(gz);
    if (text.find('\0') != std::string::npos) throw VelmError("Error parsing file! A binary file is no CIF file");
    return text;
}

// Chains of one character as PDB files have them: a longer author chain id
// ("AA" of a large assembly) takes its first character when no other chain
// has it, else the first character no chain uses.
std::vector<char> ChainLetters(const std::vector<std::string>& names) {
    std::vector<char> letters(names.size(), ' ');
    std::vector<char> taken(256, 0);
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i].size() == 1) {
            letters[i] = names[i][0];
            taken[static_cast<unsigned char>(letters[i])] = 1;
        }
    static constexpr std::string_view kSpare = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i].size() == 1) continue;
        char c = names[i].empty() ? ' ' : names[i][0];
        if (taken[static_cast<unsigned char>(c)]) {
            const auto free = std::find_if(kSpare.begin(), kSpare.end(),
                                           [&](char s) { return !taken[static_cast<unsigned char>(s)]; });
            if (free != kSpare.end()) c = *free;
        }
        letters[i] = c;
        taken[static_cast<unsigned char>(c)] = 1;
    }
    return letters;
}

void Finish(Reader& r) {
    PdbFile& file = r.file;
    const std::vector<char> letters = ChainLetters(r.chainNames);
    for (size_t i = 0; i < file.atoms.size(); ++i) file.atoms[i].chain = file.atoms[i].chainAsRead =
                                                        letters[static_cast<size_t>(r.chainOfRecord[i])];

    // One model is model 0, as in a PDB file without MODEL records.
    const bool oneModel = std::all_of(file.atoms.begin(), file.atoms.end(),
                                      [&](const PdbAtomRecord& a) { return a.model == file.atoms.front().model; });
    if (oneModel)
        for (PdbAtomRecord& a : file.atoms) a.model = 0;

    // Ids that are no increasing numbers cannot name partners: number the atoms in order.
    bool increasing = true;
    for (size_t i = 0; i < file.atoms.size() && increasing; ++i)
        increasing = file.atoms[i].serial != kNoSerial && (i == 0 || file.atoms[i - 1].serial < file.atoms[i].serial);
    if (!increasing)
        for (size_t i = 0; i < file.atoms.size(); ++i) file.atoms[i].serial = static_cast<int>(i) + 1;

    if (r.links.empty() || file.atoms.empty()) return;
    // Links name atoms of the first model by chain, number, insertion code, name and location.
    std::unordered_map<std::string, int> where;
    const int first = file.atoms.front().model;
    for (size_t i = 0; i < file.atoms.size() && file.atoms[i].model == first; ++i) {
        const PdbAtomRecord& a = file.atoms[i];
        std::string key = r.chainNames[static_cast<size_t>(r.chainOfRecord[i])] + '|' + std::to_string(a.residueNumber) +
                          '|' + (a.insertionCode == ' ' ? "" : std::string(1, a.insertionCode)) + '|' + a.name + '|';
        where.try_emplace(key + '|', static_cast<int>(i));  // no location named: the first one
        if (a.altLoc != ' ') where.try_emplace(key + a.altLoc + '|', static_cast<int>(i));
    }
    std::vector<std::vector<int>> partners(file.atoms.size());
    for (const Link& l : r.links) {
        const auto a = where.find(l.key1), b = where.find(l.key2);
        if (a == where.end() || b == where.end() || a->second == b->second) continue;
        partners[static_cast<size_t>(a->second)].push_back(file.atoms[static_cast<size_t>(b->second)].serial);
        partners[static_cast<size_t>(b->second)].push_back(file.atoms[static_cast<size_t>(a->second)].serial);
    }
    for (size_t i = 0; i < partners.size(); ++i)
        if (!partners[i].empty()) file.conects.push_back(ConectEntry{file.atoms[i].serial, std::move(partners[i]),
                                                                     static_cast<int>(file.atoms.size())});
    for (ConectEntry& e : file.conects) {
        std::sort(e.partners.begin(), e.partners.end());
        e.partners.erase(std::unique(e.partners.begin(), e.partners.end()), e.partners.end());
    }
    file.conectsAddToBonds = true;
    int pairs = 0;
    for (const ConectEntry& e : file.conects) pairs += static_cast<int>(e.partners.size());
    file.bondCount = pairs / 2;
}
}  // namespace

bool LooksLikeMmcif(const std::string& path) {
    gzFile gz = gzopen(path.c_str(), "rb");
    if (!gz) return false;
    char line[512];
    bool cif = false;
    for (int lines = 0; lines < 1000 && gzgets(gz, line, sizeof line); ++lines) {
        const char* p = line;
        while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') ++p;
        if (*p == '\0' || *p == '#') continue;
        cif = strncasecmp(p, "data_", 5) == 0;
        break;
    }
    gzclose(gz);
    return cif;
}

PdbFile ReadMmcif(const std::string& path) {
    try {
        const std::string text = ReadText(path);
        Reader reader;
        // Untouched capacity costs no memory; atom lines run to some 80 characters.
        reader.file.atoms.reserve(text.size() / 60);
        reader.chainOfRecord.reserve(text.size() / 60);
        ParseCif(text.data(), text.size(), path, reader);
        if (reader.pairAtoms) reader.AtomRow();
        if (reader.pairConns) reader.LinkRow();
        Finish(reader);
        return std::move(reader.file);
    } catch (const CifSyntaxError& e) {
        throw VelmError(std::string("Error parsing file! ") + e.what());
    } catch (const std::bad_alloc&) {
        throw VelmError("Out of memory");
    }
}

}  // namespace velm
