#pragma once

#include <cstdint>
#include <string>

namespace karrow {

// Fixed-point text of `value` with at most `precision` significant digits (clamped to 2..18)
// and `digits` digits after the separator (0..18). Rounds half away from zero on the 18-digit
// decimal expansion of the double; a value whose integer part needs more than `precision`
// digits takes the exponent form ("1.2346E05"). NaN and infinities give "NAN", "INF", "-INF".
std::string FormatFixed(double value, int precision, int digits, char decimalSeparator);

// FormatFixed with the width as precision, right-aligned in `width` columns when it is 3 to
// width - 1 characters long; a longer text is returned whole, never cut.
std::string FormatFixedWidth(double value, int width, int digits, char decimalSeparator);

// Decimal text of a 32-bit integer.
std::string IntegerText(std::int32_t value);

} // namespace karrow
