// Command lines, one word per input line, parsed and started up against an
// empty document (files that do not exist are reported, not read).
#include <string>
#include <vector>

#include "analysis/MakeDocument.h"
#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "model/CommandLine.h"
#include "model/StartUp.h"
#include "model/VelmDoc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> words;
    std::string word;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            words.push_back(word);
            word.clear();
        } else {
            word += static_cast<char>(data[i]);
        }
    }
    if (!word.empty()) words.push_back(word);
    velm::CommandLine c;
    try {
        c.Parse(words);
    } catch (const velm::VelmError&) {
        return 0;
    }
    // Loading is the readers' business (their own targets); here only what
    // the parse decided, with every named file missing.
    for (std::string& f : c.files) f = "/nonexistent/" + f;
    c.trajectory = "/nonexistent/" + c.trajectory;
    velm::SilentUiHooks ui;
    const auto doc = velm::MakeDocument(ui);
    velm::DisplayDepths depths;
    velm::StartUp(c, *doc, depths, ui);
    return 0;
}
