#pragma once
// The per-user settings store of the desktop program: the toolkit's settings
// in its native format, organisation "Orvane Lab Applications", application
// "Velm" (~/.config/Orvane Lab Applications/Velm.conf), the file that batch
// mode reads too.
#include <QSettings>

#include "core/SettingsStore.h"

namespace velm {

inline constexpr const char* kOrganisation = "Orvane Lab Applications";
inline constexpr const char* kApplication = "Velm";

class QtSettingsStore : public SettingsStore {
public:
    QtSettingsStore();
    // A store in another file, for tests.
    explicit QtSettingsStore(const QString& path);

    std::string Get(const std::string& section, const std::string& key, const std::string& fallback) const override;
    void Set(const std::string& section, const std::string& key, const std::string& value) override;
    void Remove(const std::string& section, const std::string& key) override;

    // Writes what is pending to the file.
    void Sync() { settings_.sync(); }
    QString FileName() const { return settings_.fileName(); }

private:
    mutable QSettings settings_;
};

}  // namespace velm
