#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace karrow {

// Why a field text was refused. A text can have the form of a number and still be refused
// because the value lies outside what the field stores; the user is told which bound it crossed.
enum class NumberRefusal {
    NotANumber,
    AboveRange, // greater than the largest value the field stores
    BelowRange, // less than the most negative value the field stores
};

template <typename T> struct NumberReading {
    std::optional<T> Value;
    NumberRefusal Refusal = NumberRefusal::NotANumber; // when there is no value
};

// Integer field text: leading blanks, an optional sign, then decimal digits within the 32-bit
// range, or "$", "x", "X", "0x" or "0X" and one to eight hexadecimal digits taken as a 32-bit
// pattern (negated after a "-"). Nothing may follow.
// A decimal text with only digits after the sign that lies outside that range is refused as
// AboveRange or BelowRange; every other refusal, hexadecimal ones included, is NotANumber.
NumberReading<std::int32_t> ReadIntegerText(std::string_view text);
std::optional<std::int32_t> ParseIntegerText(std::string_view text);

// Real field text: leading blanks, an optional sign, digits with at most one decimal separator
// (at least a digit or the separator), an optional exponent whose digits may be missing (read as
// 0), then only blanks. Converted at extended precision and rounded to a double; a value beyond
// the range of either is refused (AboveRange or BelowRange, by its sign). A value too small for
// a double is not refused: it rounds to zero or a subnormal, as the conversion gives it.
NumberReading<double> ReadRealText(std::string_view text, char decimalSeparator);
std::optional<double> ParseRealText(std::string_view text, char decimalSeparator);

} // namespace karrow
