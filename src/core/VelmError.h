#pragma once
// The one exception type of the program. The text is what the user sees; the
// source name and line tell developers where it was raised and are never shown.
#include <exception>
#include <string>

namespace velm {

class VelmError : public std::exception {
public:
    VelmError(std::string text, const char* source, int line)
        : text_(std::move(text)), source_(source ? source : ""), line_(line) {}

    const std::string& text() const noexcept { return text_; }
    const char* source() const noexcept { return source_; }
    int line() const noexcept { return line_; }
    const char* what() const noexcept override { return text_.c_str(); }

    // What a command shows in its message box.
    std::string shownText() const { return text_.empty() ? std::string("Excepts error thrown") : text_; }

private:
    std::string text_;
    const char* source_;
    int line_;
};

}  // namespace velm

// Raise a VelmError carrying this file's source name (kSource, defined per file) and line.
#define VELM_THROW(text) throw ::velm::VelmError((text), kSource, __LINE__)
