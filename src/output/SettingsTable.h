#pragma once
// The view's display preferences kept between runs: one section "Settings"
// of text values in the settings store, read once when the view is made and
// written when the run ends.
#include <string>
#include <vector>

namespace velm {

class SettingsStore;
class SceneLighting;
struct ViewSettings;

inline constexpr const char* kSettingsSection = "Settings";

// What the table reads and writes.
struct PersistentView {
    ViewSettings& settings;
    SceneLighting& lighting;
};

// The keys in the order they are read and written.
std::vector<std::string> SettingsKeys();

// Every built-in value of the view (scene settings, lights, material, print
// options); then, when asked to, the stored values.
void SetViewDefaults(PersistentView view, const SettingsStore* store);

// Each key asked for with its current value as the fallback; stored texts
// that do not parse, or lie out of range, leave the value as it was.
void LoadSettings(PersistentView view, const SettingsStore& store);
void SaveSettings(const PersistentView& view, SettingsStore& store);
// "Clean Registry" at exit: every key of the table deleted, and the recent
// files with them.
void RemoveAllSettings(SettingsStore& store);

// "Restore Defaults" and "Clean Registry" texts.
inline constexpr const char* kRestoreDefaultsQuestion = "About to return all settings to their default values.\r\nContinue?";
inline constexpr const char* kCleanRegistryQuestion =
    "Removing the Velm registry entries will\r\nreturn all settings to their default values.\r\nThe list of most "
    "recently opened files will also be \r\nlost. Are you sure about this?";

}  // namespace velm
