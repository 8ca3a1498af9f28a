#pragma once
// Paths of the test fixtures and small helpers shared by the suites.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace velm::test {

inline std::string DataPath(const std::string& name) { return std::string(VELM_TEST_DATA) + "/" + name; }

// A file of the reference corpus beside the project; empty when the corpus is absent.
inline std::string SharedPath(const std::string& name) {
    const std::string p = std::string(VELM_SHARED_DATA) + "/" + name;
    return std::filesystem::exists(p) ? p : std::string();
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A scratch folder removed with the object.
class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "velm-test-XXXXXX").string();
        path_ = mkdtemp(tmpl.data()) ? tmpl : std::string();
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    std::string Write(const std::string& name, const std::string& content) const {
        std::ofstream(File(name), std::ios::binary) << content;
        return File(name);
    }

private:
    std::string path_;
};

}  // namespace velm::test
