#pragma once
// UiHooks that remember every call, in order, for tests to assert on.
#include <string>
#include <vector>

#include "core/UiHooks.h"

namespace velm {

class RecordingUiHooks : public UiHooks {
public:
    std::vector<std::string> calls;  // "message:TEXT", "status:TEXT", "progress-begin:TITLE:N", ...
    bool yesNoAnswer = false;
    int waitDepth = 0;
    int cancelAt = -1;  // "Cancel" once the progress reaches this position
    int progress = 0;

    void Message(std::string_view t) override { calls.push_back("message:" + std::string(t)); }
    bool AskYesNo(std::string_view q) override {
        calls.push_back("ask:" + std::string(q));
        return yesNoAnswer;
    }
    void SetStatusText(std::string_view t) override { calls.push_back("status:" + std::string(t)); }
    void ProgressBegin(std::string_view t, int n) override {
        calls.push_back("progress-begin:" + std::string(t) + ":" + std::to_string(n));
    }
    void ProgressStep() override {
        ++progress;
        calls.push_back("progress-step");
    }
    void ProgressSet(int p) override {
        progress = p;
        calls.push_back("progress-set:" + std::to_string(p));
    }
    bool ProgressCancelled() override { return cancelAt >= 0 && progress >= cancelAt; }
    void ProgressEnd() override { calls.push_back("progress-end"); }
    void BeginWaitCursor() override { ++waitDepth; }
    void EndWaitCursor() override { --waitDepth; }

    std::vector<std::string> with(std::string_view prefix) const {
        std::vector<std::string> out;
        for (const auto& c : calls)
            if (c.compare(0, prefix.size(), prefix) == 0) out.push_back(c.substr(prefix.size()));
        return out;
    }
};

}  // namespace velm
