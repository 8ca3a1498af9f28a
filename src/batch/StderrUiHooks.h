#pragma once
// UiHooks for batch mode: messages and a text progress bar on stderr; yes/no
// questions answer "no", as nobody is there to answer.
#include <cstdio>
#include <string>

#include "core/UiHooks.h"

namespace velm {

class StderrUiHooks : public UiHooks {
public:
    explicit StderrUiHooks(std::FILE* out = stderr, bool verbose = false) : out_(out), verbose_(verbose) {}
    void Message(std::string_view text) override;
    bool AskYesNo(std::string_view question) override;
    void SetStatusText(std::string_view text) override;
    void ProgressBegin(std::string_view title, int range) override;
    void ProgressStep() override { ProgressSet(position_ + 1); }
    void ProgressSet(int position) override;
    void ProgressEnd() override;
    bool ProgressCancelled() override { return false; }
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}

private:
    void Draw();
    std::FILE* out_;
    bool verbose_;
    std::string title_;
    int range_ = 0;
    int position_ = 0;
    int drawn_ = -1;  // percentage last drawn
};

}  // namespace velm
