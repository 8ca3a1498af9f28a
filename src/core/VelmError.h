#pragma once
// The one exception type of the program. The text is what the user sees; the
// place it was raised (file, line, function) is for developers and never shown.
#include <exception>
#include <source_location>
#include <string>
#include <string_view>

namespace velm {

class VelmError : public std::exception {
public:
    explicit VelmError(std::string text, std::source_location where = std::source_location::current())
        : text_(std::move(text)), where_(where) {}

    const std::string& text() const noexcept { return text_; }
    // The source file's name without folder or extension ("PdbRead", "List").
    std::string_view source() const noexcept;
    int line() const noexcept { return static_cast<int>(where_.line()); }
    const std::source_location& where() const noexcept { return where_; }
    const char* what() const noexcept override { return text_.c_str(); }

    // The line of the input that the error is about, counted from 1; 0 when
    // it is about no line. A reader sets it as the error passes.
    int InputLine() const noexcept { return inputLine_; }
    void SetInputLine(int line) noexcept { inputLine_ = line; }

    // What a command shows in its message box.
    std::string shownText() const { return text_.empty() ? std::string("Excepts error thrown") : text_; }

private:
    std::string text_;
    std::source_location where_;
    int inputLine_ = 0;
};

}  // namespace velm
