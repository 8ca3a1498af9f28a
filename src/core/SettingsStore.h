#pragma once
// Where per-user settings live between runs: texts under a section and a
// key. The desktop program backs it with the toolkit's settings; tests and
// batch mode with a map in memory.
#include <map>
#include <string>
#include <utility>

namespace velm {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored text, or the fallback when the key is absent.
    virtual std::string Get(const std::string& section, const std::string& key, const std::string& fallback) const = 0;
    virtual void Set(const std::string& section, const std::string& key, const std::string& value) = 0;
    virtual void Remove(const std::string& section, const std::string& key) = 0;
};

class MemorySettingsStore : public SettingsStore {
public:
    std::string Get(const std::string& section, const std::string& key, const std::string& fallback) const override {
        const auto it = values.find({section, key});
        return it == values.end() ? fallback : it->second;
    }
    void Set(const std::string& section, const std::string& key, const std::string& value) override {
        values[{section, key}] = value;
    }
    void Remove(const std::string& section, const std::string& key) override { values.erase({section, key}); }

    std::map<std::pair<std::string, std::string>, std::string> values;
};

}  // namespace velm
