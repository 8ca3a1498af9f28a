#pragma once
// Atom serials and residue numbers past their decimal columns, as simulation
// programs write them: hybrid-36 ("A0000" is 100,000, "a0000" comes after
// "ZZZZZ"; residues "A000" is 10,000) and hexadecimal ("186a0").
#include <optional>
#include <string>
#include <string_view>

namespace velm {

// The number a hybrid-36 field of `width` characters (5 for serials, 4 for
// residue numbers) stands for; plain decimals included. Nothing when the text
// is no such field.
std::optional<int> DecodeHybrid36(std::string_view text, int width);

// The field for `value`: decimal while it fits `width`, then the upper-case
// range, then the lower-case range. Nothing beyond those (or below -10^(width-1)).
std::optional<std::string> EncodeHybrid36(int value, int width);

// Reads a serial (width 5) or residue number (width 4) written in any of the
// styles above. A field that several styles read ("18700": decimal, or the
// hexadecimal that follows "186ff") takes the reading nearest to `expected`,
// the number the file's order suggests; hexadecimal is only considered for
// values past the decimal columns, and for an all-digit field only once the
// file has gone past them (`expected` beyond the decimal range).
std::optional<int> ReadWideNumber(std::string_view text, int width, long long expected);

}  // namespace velm
