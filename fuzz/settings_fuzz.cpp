// Stored settings: every key of the table given the input's lines as values,
// and the input read as the desktop's settings file.
#include <string>

#include "batch/IniSettingsFile.h"
#include "core/SettingsStore.h"
#include "fuzz/FuzzSupport.h"
#include "output/SettingsTable.h"
#include "render/SceneLight.h"
#include "render/ViewSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    velm::MemorySettingsStore store;
    size_t start = 0;
    for (const std::string& key : velm::SettingsKeys()) {
        const size_t end = input.find('\n', start);
        store.Set(velm::kSettingsSection, key, input.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    velm::ViewSettings settings;
    velm::SceneLighting lighting;
    velm::LoadSettings({settings, lighting}, store);
    velm::SaveSettings({settings, lighting}, store);

    velm::fuzz::InputFile file(data, size, ".conf");
    const velm::IniSettingsFile ini(file.Path());
    velm::LoadSettings({settings, lighting}, ini);
    return 0;
}
