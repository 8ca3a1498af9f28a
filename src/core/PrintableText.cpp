#include "core/PrintableText.h"

namespace velm {

namespace {
bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

void AppendEscaped(std::string& out, unsigned char c) {
    static constexpr char kHex[] = "0123456789abcdef";
    if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else out += {'\\', 'x', kHex[c >> 4], kHex[c & 15]};
}
}  // namespace

std::string EscapedText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (IsControl(c)) AppendEscaped(out, c);
        else out += static_cast<char>(c);
    }
    return out;
}

std::string QuotedField(std::string_view text) {
    bool plain = !text.empty();
    for (unsigned char c : text) plain = plain && !IsControl(c) && c != ' ' && c != '"' && c != '\\';
    if (plain) return std::string(text);
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (IsControl(c)) AppendEscaped(out, c);
        else out += static_cast<char>(c);
    }
    return out + '"';
}

}  // namespace velm
