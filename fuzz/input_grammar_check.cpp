// Any byte string typed into an input field either converts to the value the field grammar
// gives it or is refused; nothing else may happen. The expected outcome comes from a reference
// reader written apart from the one in run/: it scans the text with string_view searches and,
// where the decimal value is short enough, converts it by one exact extended-precision multiply
// or divide instead of strtold.
//
// Input layout: byte 0 chooses the field kind (bit 0: integer) and the decimal separator
// (bit 1: ","); the rest is the field text.

#include "fuzz_checks.h"
#include "run/input_grammar.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view Digits = "0123456789";
constexpr std::string_view HexDigits = "0123456789abcdefABCDEF";

[[noreturn]] void Mismatch(const char* kind, std::string_view text, const std::string& detail)
{
    throw karrow::fuzz::Finding(
        std::string(kind) + " field text \"" + std::string(text) + "\": " + detail);
}

// Removes the leading blanks and an optional sign; false for a text that is blank throughout.
bool TakeBlanksAndSign(std::string_view& text, bool& negative)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return false;
    text.remove_prefix(first);
    negative = text.front() == '-';
    if (text.front() == '-' || text.front() == '+')
        text.remove_prefix(1);
    return true;
}

std::optional<std::int32_t> ReferenceInteger(std::string_view text)
{
    bool negative = false;
    if (!TakeBlanksAndSign(text, negative))
        return std::nullopt;
    for (const std::string_view prefix : { "0x", "0X", "$", "x", "X" }) {
        if (!text.starts_with(prefix))
            continue;
        const std::string_view hex = text.substr(prefix.size());
        if (hex.empty() || hex.size() > 8 || hex.find_first_not_of(HexDigits) != hex.npos)
            return std::nullopt;
        auto pattern = static_cast<std::uint32_t>(std::stoul(std::string(hex), nullptr, 16));
        if (negative)
            pattern = ~pattern + 1U;
        return std::bit_cast<std::int32_t>(pattern);
    }
    if (text.empty() || text.find_first_not_of(Digits) != text.npos)
        return std::nullopt;
    const std::size_t significant = text.find_first_not_of('0');
    const std::string_view magnitude =
        significant == text.npos ? std::string_view("0") : text.substr(significant);
    if (magnitude.size() > 10)
        return std::nullopt;
    const long long value = (negative ? -1 : 1) * std::stoll(std::string(magnitude));
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

struct DecimalText {
    bool Negative = false;
    std::string Significand; // all mantissa digits, without the separator
    long long Exponent = 0; // of the last significand digit, saturated far beyond any range
};

std::string_view TakeDigits(std::string_view& text)
{
    const std::size_t end = std::min(text.find_first_not_of(Digits), text.size());
    const std::string_view digits = text.substr(0, end);
    text.remove_prefix(end);
    return digits;
}

std::optional<DecimalText> ScanReal(std::string_view text, char separator)
{
    DecimalText decimal;
    if (!TakeBlanksAndSign(text, decimal.Negative))
        return std::nullopt;
    const std::string_view whole = TakeDigits(text);
    std::string_view fraction;
    const bool hasSeparator = !text.empty() && text.front() == separator;
    if (hasSeparator) {
        text.remove_prefix(1);
        fraction = TakeDigits(text);
    }
    if (whole.empty() && !hasSeparator)
        return std::nullopt;
    decimal.Significand = std::string(whole) + std::string(fraction);
    long long exponent = 0;
    if (!text.empty() && (text.front() == 'e' || text.front() == 'E')) {
        text.remove_prefix(1);
        bool negativeExponent = false;
        if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
            negativeExponent = text.front() == '-';
            text.remove_prefix(1);
        }
        for (const char c : TakeDigits(text))
            exponent = std::min(exponent * 10 + (c - '0'), 1'000'000'000LL);
        if (negativeExponent)
            exponent = -exponent;
    }
    if (text.find_first_not_of(' ') != text.npos)
        return std::nullopt;
    decimal.Exponent = exponent - static_cast<long long>(fraction.size());
    return decimal;
}

// The value of a decimal whose significand fits 64 bits and whose power of ten is exact in the
// extended format, by one correctly rounded operation; nothing for any other decimal.
std::optional<long double> ExactExtended(const DecimalText& decimal)
{
    std::string digits = decimal.Significand;
    long long exponent = decimal.Exponent;
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    while (!digits.empty() && digits.back() == '0') {
        digits.pop_back();
        ++exponent;
    }
    if (digits.empty())
        return decimal.Negative ? -0.0L : 0.0L;
    if (digits.size() > 19 || exponent < -27 || exponent > 27)
        return std::nullopt;
    const auto significand = static_cast<long double>(std::stoull(digits));
    long double power = 1;
    for (long long k = 0; k < (exponent < 0 ? -exponent : exponent); ++k)
        power *= 10; // 10^27 = 5^27 2^27 and 5^27 < 2^64: every product is exact
    const long double value = exponent < 0 ? significand / power : significand * power;
    return decimal.Negative ? -value : value;
}

std::optional<double> ReferenceReal(std::string_view text, char separator)
{
    const auto decimal = ScanReal(text, separator);
    if (!decimal)
        return std::nullopt;
    long double extended = 0;
    if (const auto exact = ExactExtended(*decimal)) {
        extended = *exact;
    } else {
        const std::string c = std::string(decimal->Negative ? "-" : "") + "0" + decimal->Significand
            + "e" + std::to_string(decimal->Exponent);
        extended = std::strtold(c.c_str(), nullptr);
    }
    const auto stored = static_cast<double>(extended);
    if (!std::isfinite(extended) || !std::isfinite(stored))
        return std::nullopt;
    return stored;
}

std::string Describe(const std::optional<double>& value)
{
    if (!value)
        return "refused";
    std::array<char, 64> text {};
    std::snprintf(text.data(), text.size(), "%a", *value);
    return text.data();
}

} // namespace

void karrow::fuzz::CheckInputGrammar(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return;
    const bool integer = (data[0] & 1U) != 0;
    const char separator = (data[0] & 2U) != 0 ? ',' : '.';
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    if (integer) {
        const auto parsed = karrow::ParseIntegerText(text);
        const auto expected = ReferenceInteger(text);
        if (parsed != expected)
            Mismatch("integer", text,
                "read as " + (parsed ? std::to_string(*parsed) : "refused") + ", expected "
                    + (expected ? std::to_string(*expected) : "refused"));
        return;
    }
    const auto parsed = karrow::ParseRealText(text, separator);
    const auto expected = ReferenceReal(text, separator);
    const bool same = parsed.has_value() == expected.has_value()
        && (!parsed
            || std::bit_cast<std::uint64_t>(*parsed) == std::bit_cast<std::uint64_t>(*expected));
    if (!same)
        Mismatch("real", text, "read as " + Describe(parsed) + ", expected " + Describe(expected));
}
