#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace karrow {

// Integer field text: leading blanks, an optional sign, then decimal digits within the 32-bit
// range, or "$", "x", "X", "0x" or "0X" and one to eight hexadecimal digits taken as a 32-bit
// pattern (negated after a "-"). Nothing may follow.
std::optional<std::int32_t> ParseIntegerText(std::string_view text);

// Real field text: leading blanks, an optional sign, digits with at most one decimal separator
// (at least a digit or the separator), an optional exponent whose digits may be missing (read as
// 0), then only blanks. Converted at extended precision and rounded to a double; a value beyond
// the range of either is refused.
std::optional<double> ParseRealText(std::string_view text, char decimalSeparator);

} // namespace karrow
