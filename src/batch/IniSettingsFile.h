#pragma once
// The desktop program's settings file, read without the toolkit: an INI file
// of sections and keys as the toolkit writes it, at
// $XDG_CONFIG_HOME/Orvane Lab Applications/Velm.conf (~/.config without it).
// Batch mode only reads it.
#include <map>
#include <string>
#include <utility>

#include "core/SettingsStore.h"

namespace velm {

class IniSettingsFile : public SettingsStore {
public:
    // Reads the file; a missing or unreadable file, or one that is not a
    // regular file of at most 4 MB, holds no keys. Lines over 64 KB are passed over.
    explicit IniSettingsFile(const std::string& path);
    static IniSettingsFile UserSettings();
    static std::string UserSettingsPath();

    std::string Get(const std::string& section, const std::string& key, const std::string& fallback) const override;
    // Read-only: changes stay in memory and never reach the file.
    void Set(const std::string& section, const std::string& key, const std::string& value) override;
    void Remove(const std::string& section, const std::string& key) override;

private:
    std::map<std::pair<std::string, std::string>, std::string> values_;
};

}  // namespace velm
