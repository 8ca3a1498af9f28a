#include "model/PdbFile.h"

#include <algorithm>
#include <cstring>

#include "core/VelmError.h"

namespace velm {

namespace {
template <size_t N>
bool StoreUpper(char (&dst)[N], std::string_view s) {
    if (s.size() > N - 1) return false;
    for (size_t i = 0; i < s.size(); ++i) dst[i] = s[i] >= 'a' && s[i] <= 'z' ? static_cast<char>(s[i] - 32) : s[i];
    std::memset(dst + s.size(), 0, N - s.size());
    return true;
}
}  // namespace

void PdbAtomRecord::SetRecord(std::string_view text) {
    if (text.empty() || !StoreUpper(record, text)) throw VelmError("SetRecord: Error in assigning PDB_RECORD_FIELD!");
}

void PdbAtomRecord::SetAtomName(std::string_view text) {
    if (!StoreUpper(name, text)) throw VelmError("SetAtomName: Error in assigning PDB_NAME_FIELD");
}

void PdbAtomRecord::SetResName(std::string_view text) {
    if (text.empty()) text = "     ";
    if (!StoreUpper(residueName, text)) throw VelmError("SetResName: Error in assigning PDB_RESIDUE_FIELD");
    const std::string_view head(residueName, std::min<size_t>(3, text.size()));
    if (head == "TIP" || head == "SPC" || head == "HOH" || head == "SOL") hetero = 1;
}

PdbFile::PdbFile(int records) : atoms(static_cast<size_t>(std::max(records, 0))) {
    for (int i = 0; i < records; ++i) atoms[i].serial = i;
}

int PdbFile::SerialLookup(int serial) const {
    const int count = static_cast<int>(atoms.size());
    if (serial >= 1 && serial <= count && atoms[serial - 1].serial == serial) return serial - 1;
    if (window_ >= 0) {
        const long lo = std::max<long>(static_cast<long>(serial) - window_, 0);
        const long hi = std::min<long>(static_cast<long>(serial) + window_, count);
        for (long i = lo; i < hi; ++i)
            if (atoms[i].serial == serial) return static_cast<int>(i);
    }
    for (int i = 0; i < count; ++i) {
        if (atoms[i].serial == serial) {
            const long distance = std::labs(static_cast<long>(serial) - i);
            if (distance > window_) window_ = static_cast<int>(std::min<long>(distance, count));
            return i;
        }
    }
    return -1;
}

bool PdbFile::SerialsRepeat() const {
    if (repeats_ >= 0) return repeats_ == 1;
    repeats_ = 0;
    bool increasing = true;
    for (size_t i = 1; i < atoms.size() && increasing; ++i) increasing = atoms[i - 1].serial < atoms[i].serial;
    if (increasing) return false;
    bySerial_.resize(atoms.size());
    for (size_t i = 0; i < atoms.size(); ++i) bySerial_[i] = static_cast<int>(i);
    std::stable_sort(bySerial_.begin(), bySerial_.end(),
                     [this](int a, int b) { return atoms[a].serial < atoms[b].serial; });
    for (size_t i = 1; i < bySerial_.size() && repeats_ == 0; ++i)
        if (atoms[bySerial_[i - 1]].serial == atoms[bySerial_[i]].serial) repeats_ = 1;
    if (repeats_ == 0) std::vector<int>().swap(bySerial_);
    return repeats_ == 1;
}

std::span<const int> PdbFile::RecordsWithSerial(int serial) const {
    if (!SerialsRepeat()) {
        const int i = SerialLookup(serial);
        if (i < 0) return {};
        lookupOne_ = i;
        return {&lookupOne_, 1};
    }
    const auto less = [this](int index, int s) { return atoms[index].serial < s; };
    const auto first = std::lower_bound(bySerial_.begin(), bySerial_.end(), serial, less);
    auto last = first;
    while (last != bySerial_.end() && atoms[*last].serial == serial) ++last;
    return {first, last};
}

int PdbFile::SerialNear(int serial, int record) const {
    if (!SerialsRepeat()) return SerialLookup(serial);
    const std::span<const int> found = RecordsWithSerial(serial);
    if (found.empty()) return -1;
    const auto after = std::lower_bound(found.begin(), found.end(), record);
    if (after == found.end()) return found.back();
    if (after == found.begin()) return *after;
    return record - *(after - 1) <= *after - record ? *(after - 1) : *after;
}

}  // namespace velm
