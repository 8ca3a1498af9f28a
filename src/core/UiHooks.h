#pragma once
// How the toolkit-free layers talk to the user: the desktop application shows
// message boxes and a status bar, batch mode writes to stderr, tests record.
#include <string_view>

namespace velm {

class UiHooks {
public:
    virtual ~UiHooks() = default;
    virtual void Message(std::string_view text) = 0;
    virtual bool AskYesNo(std::string_view question) = 0;
    virtual void SetStatusText(std::string_view text) = 0;
    virtual void ProgressBegin(std::string_view title, int range) = 0;
    virtual void ProgressStep() = 0;
    virtual void ProgressSet(int position) = 0;
    virtual void ProgressEnd() = 0;
    // Whether the user asked to stop the work in progress ("Cancel"); the
    // desktop answers after handling pending events.
    virtual bool ProgressCancelled() = 0;
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
};

// Hooks that say nothing and answer "no": for callers that have no user.
class SilentUiHooks : public UiHooks {
public:
    void Message(std::string_view) override {}
    bool AskYesNo(std::string_view) override { return false; }
    void SetStatusText(std::string_view) override {}
    void ProgressBegin(std::string_view, int) override {}
    void ProgressStep() override {}
    void ProgressSet(int) override {}
    void ProgressEnd() override {}
    bool ProgressCancelled() override { return false; }
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
};

// Wait cursor for the lifetime of a scope, restored on every exit path.
class WaitCursor {
public:
    explicit WaitCursor(UiHooks& ui) : ui_(ui) { ui_.BeginWaitCursor(); }
    ~WaitCursor() { ui_.EndWaitCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
private:
    UiHooks& ui_;
};

}  // namespace velm
