#include "app/QtSettingsStore.h"

namespace velm {

namespace {
QString Key(const std::string& section, const std::string& key) {
    return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(key);
}
}  // namespace

QtSettingsStore::QtSettingsStore()
    : settings_(QSettings::NativeFormat, QSettings::UserScope, QString::fromLatin1(kOrganisation),
                QString::fromLatin1(kApplication)) {}

QtSettingsStore::QtSettingsStore(const QString& path) : settings_(path, QSettings::NativeFormat) {}

std::string QtSettingsStore::Get(const std::string& section, const std::string& key,
                                 const std::string& fallback) const {
    const QVariant v = settings_.value(Key(section, key));
    // Every value is text; anything else a hand-edited file holds counts as absent.
    if (!v.isValid() || !v.canConvert<QString>()) return fallback;
    return v.toString().toStdString();
}

void QtSettingsStore::Set(const std::string& section, const std::string& key, const std::string& value) {
    settings_.setValue(Key(section, key), QString::fromStdString(value));
}

void QtSettingsStore::Remove(const std::string& section, const std::string& key) {
    settings_.remove(Key(section, key));
}

}  // namespace velm
