#include "batch/IniSettingsFile.h"

#include <cstdlib>
#include <sstream>

#include "core/BoundedFile.h"

namespace velm {

namespace {

constexpr size_t kMaxSettingsBytes = size_t{4} << 20;
constexpr size_t kMaxSettingsLine = 65536;

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(" \t\r") - a + 1);
}

int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Section names with %XX escapes ("Recent%20File%20List").
std::string Unpercent(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && Hex(s[i + 1]) >= 0 && Hex(s[i + 2]) >= 0) {
            out += static_cast<char>(Hex(s[i + 1]) * 16 + Hex(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// A value: quoted or not, with backslash escapes.
std::string Unescape(const std::string& raw) {
    std::string v = Trim(raw), out;
    const bool quoted = v.size() >= 2 && v.front() == '"' && v.back() == '"';
    if (quoted) v = v.substr(1, v.size() - 2);
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '\\' && i + 1 < v.size()) {
            const char c = v[++i];
            out += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
        } else {
            out += v[i];
        }
    }
    return out;
}

}  // namespace

IniSettingsFile::IniSettingsFile(const std::string& path) {
    // A settings file is small; one linked to a device or grown past this is
    // not one, and holds no keys.
    std::string text, problem;
    if (path.empty() || !ReadBoundedFile(path, kMaxSettingsBytes, false, text, problem)) return;
    std::istringstream in(text);
    std::string line, section = "General";
    while (std::getline(in, line)) {
        if (line.size() > kMaxSettingsLine) continue;
        line = Trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            section = Unpercent(line.substr(1, line.size() - 2));
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        values_[{section, Trim(line.substr(0, eq))}] = Unescape(line.substr(eq + 1));
    }
}

std::string IniSettingsFile::UserSettingsPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string folder;
    if (config && *config) folder = config;
    else if (const char* home = std::getenv("HOME"); home && *home) folder = std::string(home) + "/.config";
    else return "";
    return folder + "/Orvane Lab Applications/Velm.conf";
}

IniSettingsFile IniSettingsFile::UserSettings() { return IniSettingsFile(UserSettingsPath()); }

std::string IniSettingsFile::Get(const std::string& section, const std::string& key, const std::string& fallback) const {
    const auto it = values_.find({section, key});
    return it == values_.end() ? fallback : it->second;
}

void IniSettingsFile::Set(const std::string& section, const std::string& key, const std::string& value) {
    values_[{section, key}] = value;
}

void IniSettingsFile::Remove(const std::string& section, const std::string& key) { values_.erase({section, key}); }

}  // namespace velm
