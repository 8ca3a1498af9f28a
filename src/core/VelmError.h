#pragma once
// The one exception type of the program. The text is what the user sees; the
// place it was raised (file, line, function) is for developers and never shown.
#include <exception>
#include <source_location>
#include <string>
#include <string_view>

namespace velm {

#if defined(__cpp_lib_source_location)
using SourceLocation = std::source_location;
#else
// Where std::source_location is missing (clang 14 with libstdc++ 12, the
// fuzz build), the same from the builtins it is made of.
class SourceLocation {
public:
    static constexpr SourceLocation current(const char* file = __builtin_FILE(), unsigned line = __builtin_LINE(),
                                            const char* function = __builtin_FUNCTION()) noexcept {
        SourceLocation at;
        at.file_ = file;
        at.line_ = line;
        at.function_ = function;
        return at;
    }
    constexpr const char* file_name() const noexcept { return file_; }
    constexpr const char* function_name() const noexcept { return function_; }
    constexpr unsigned line() const noexcept { return line_; }

private:
    const char* file_ = "";
    const char* function_ = "";
    unsigned line_ = 0;
};
#endif

class VelmError : public std::exception {
public:
    explicit VelmError(std::string text, SourceLocation where = SourceLocation::current())
        : text_(std::move(text)), where_(where) {}

    const std::string& text() const noexcept { return text_; }
    // The source file's name without folder or extension ("PdbRead", "List").
    std::string_view source() const noexcept;
    int line() const noexcept { return static_cast<int>(where_.line()); }
    const SourceLocation& where() const noexcept { return where_; }
    const char* what() const noexcept override { return text_.c_str(); }

    // The line of the input that the error is about, counted from 1; 0 when
    // it is about no line. A reader sets it as the error passes.
    int InputLine() const noexcept { return inputLine_; }
    void SetInputLine(int line) noexcept { inputLine_ = line; }

    // What a command shows in its message box.
    std::string shownText() const { return text_.empty() ? std::string("Excepts error thrown") : text_; }

private:
    std::string text_;
    SourceLocation where_;
    int inputLine_ = 0;
};

}  // namespace velm
