#include "model/CommandLine.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "core/VelmError.h"

namespace velm {

namespace {
constexpr std::array<std::string_view, 10> kSwitches = {"align", "cm",  "no_connect", "multi", "?",
                                                         "help",  "pdb", "dcd",        "bpp",   "zbuf"};

int Integer(std::string_view word) { return std::atoi(std::string(word).c_str()); }

}  // namespace

bool CommandLine::IsSwitch(std::string_view word, std::string_view& name) {
    if (word.size() < 2 || (word[0] != '-' && word[0] != '/')) return false;
    name = word.substr(1);
    if (word[0] == '-') return true;
    return std::find(kSwitches.begin(), kSwitches.end(), name) != kSwitches.end();
}

std::vector<std::string> ExpandWildcard(std::string_view word) {
    // As the program always has: the pattern is the file name, matched in
    // one folder; a '*' in the folder part matches nothing (so a word such as
    // "/*/*/*" cannot walk the whole disk).
    const std::string text(word);
    const size_t slash = text.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : text.substr(0, slash + 1);
    const std::string pattern = slash == std::string::npos ? text : text.substr(slash + 1);
    std::vector<std::string> out;
    if (folder.find('*') != std::string::npos || pattern.empty()) return out;
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return out;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (fnmatch(pattern.c_str(), name.c_str(), FNM_PERIOD) != 0) continue;
        const std::string path = folder + name;
        struct stat st {};
        if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) out.push_back(path);
    }
    closedir(dir);
    std::sort(out.begin(), out.end());
    return out;
}

void CommandLine::AddFiles(std::string_view word) {
    if (word.find('*') == std::string_view::npos) {
        files.emplace_back(word);
        return;
    }
    const std::vector<std::string> matches = ExpandWildcard(word);
    if (matches.empty()) throw VelmError("The wildcard failed to match a file name");
    files.insert(files.end(), matches.begin(), matches.end());
}

void CommandLine::ParseParameter(std::string_view word, bool isSwitch, bool last) {
    if (isSwitch) {
        if (awaitPdb_ || awaitDcd_) {
            pdb = dcd = 0;
            awaitPdb_ = awaitDcd_ = false;
            throw VelmError("A filename was not found on the command line");
        }
        if (word == "align") align = 1;
        else if (word == "cm") cm = 1;
        else if (word == "no_connect") connect = 0;
        else if (word == "multi") multi = 1;
        else if (word == "?" || word == "help") help = 1;
        else if (word == "pdb" || word == "dcd") {
            int& flag = word == "pdb" ? pdb : dcd;
            flag = 1;
            if (last) {
                flag = 0;
                throw VelmError("A filename was not found on the command line");
            }
            (word == "pdb" ? awaitPdb_ : awaitDcd_) = true;
        } else if (word == "bpp") {
            if (last) throw VelmError("A bpp value was not found on the command line");
            awaitBpp_ = true;
        } else if (word == "zbuf") {
            if (last) throw VelmError("A zbuf value was not found on the command line");
            awaitZbuf_ = true;
        }
        return;
    }
    if (awaitPdb_) {
        AddFiles(word);
        awaitPdb_ = false;
        if (awaitDcd_) {
            trajectory = word;
            awaitDcd_ = false;
        }
    } else if (awaitDcd_) {
        trajectory = word;
        awaitDcd_ = false;
    } else if (awaitBpp_) {
        bpp = Integer(word);
        bppGiven = 1;
        awaitBpp_ = false;
    } else if (awaitZbuf_) {
        zbuf = Integer(word);
        zbufGiven = 1;
        awaitZbuf_ = false;
    } else {
        plainFile = 1;
        AddFiles(word);
    }
}

void CommandLine::Parse(const std::vector<std::string>& words) {
    for (size_t i = 0; i < words.size(); ++i) {
        std::string_view name;
        const bool isSwitch = IsSwitch(words[i], name);
        ParseParameter(isSwitch ? name : std::string_view(words[i]), isSwitch, i + 1 == words.size());
    }
}

}  // namespace velm
