#include "input_grammar.h"

#include "../solver/extended.h"

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace karrow {

namespace {

    bool IsDigit(char c)
    {
        return c >= '0' && c <= '9';
    }

    int HexValue(char c)
    {
        if (IsDigit(c))
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    std::size_t SkipBlanks(std::string_view text, std::size_t at)
    {
        while (at < text.size() && text[at] == ' ')
            ++at;
        return at;
    }

    std::size_t HexPrefixLength(std::string_view rest)
    {
        if (rest.starts_with("0x") || rest.starts_with("0X"))
            return 2;
        if (rest.starts_with("$") || rest.starts_with("x") || rest.starts_with("X"))
            return 1;
        return 0;
    }

    std::optional<std::uint32_t> HexPattern(std::string_view digits)
    {
        if (digits.empty() || digits.size() > 8)
            return std::nullopt;
        std::uint32_t pattern = 0;
        for (const char c : digits) {
            const int v = HexValue(c);
            if (v < 0)
                return std::nullopt;
            pattern = (pattern << 4U) | static_cast<std::uint32_t>(v);
        }
        return pattern;
    }

    // The value of a run of decimal digits, held at 2147483649 once it is beyond the 32-bit range
    // either way, so that a long number is told apart from a text that is no number at all.
    std::optional<std::int64_t> DecimalMagnitude(std::string_view digits)
    {
        constexpr std::int64_t beyondRange = 2147483649LL;
        if (digits.empty())
            return std::nullopt;
        std::int64_t value = 0;
        for (const char c : digits) {
            if (!IsDigit(c))
                return std::nullopt;
            value = std::min(value * 10 + (c - '0'), beyondRange);
        }
        return value;
    }

    // strtold with the C locale: the grammar has already been checked, and the text handed over
    // uses "." whatever the regional setting.
    long double ConvertExtended(const std::string& text)
    {
        static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
        return strtold_l(text.c_str(), nullptr, cLocale);
    }

} // namespace

NumberReading<std::int32_t> ReadIntegerText(std::string_view text)
{
    std::size_t at = SkipBlanks(text, 0);
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    const std::string_view rest = text.substr(at);
    if (const std::size_t prefix = HexPrefixLength(rest); prefix > 0) {
        const auto pattern = HexPattern(rest.substr(prefix));
        if (!pattern)
            return {};
        const std::uint32_t value = negative ? 0U - *pattern : *pattern;
        return { static_cast<std::int32_t>(value) };
    }
    const auto magnitude = DecimalMagnitude(rest);
    if (!magnitude)
        return {};
    if (!negative && *magnitude > 2147483647LL)
        return { std::nullopt, NumberRefusal::AboveRange };
    if (negative && *magnitude > 2147483648LL)
        return { std::nullopt, NumberRefusal::BelowRange };
    return { static_cast<std::int32_t>(negative ? -*magnitude : *magnitude) };
}

std::optional<std::int32_t> ParseIntegerText(std::string_view text)
{
    return ReadIntegerText(text).Value;
}

NumberReading<double> ReadRealText(std::string_view text, char separator)
{
    std::size_t at = SkipBlanks(text, 0);
    std::string normalized;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        normalized += text[at++];

    bool mantissaSeen = false;
    bool separatorSeen = false;
    std::string mantissa;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (IsDigit(c)) {
            mantissa += c;
        } else if (c == separator && !separatorSeen) {
            separatorSeen = true;
            mantissa += '.';
        } else {
            break;
        }
        mantissaSeen = true;
    }
    if (!mantissaSeen)
        return {};
    // A lone separator, or one with digits on one side only, still reads as a number.
    normalized += "0" + mantissa + (mantissa.back() == '.' ? "0" : "");

    if (at < text.size() && (text[at] == 'E' || text[at] == 'e')) {
        ++at;
        std::string exponent = "e";
        if (at < text.size() && (text[at] == '+' || text[at] == '-'))
            exponent += text[at++];
        std::string exponentDigits;
        while (at < text.size() && IsDigit(text[at]))
            exponentDigits += text[at++];
        normalized += exponent + (exponentDigits.empty() ? "0" : exponentDigits);
    }
    if (SkipBlanks(text, at) != text.size())
        return {};

    const long double extended = ConvertExtended(normalized);
    const double stored = static_cast<double>(extended);
    if (!std::isfinite(extended) || !std::isfinite(stored))
        return { std::nullopt,
            std::signbit(extended) ? NumberRefusal::BelowRange : NumberRefusal::AboveRange };
    return { stored };
}

std::optional<double> ParseRealText(std::string_view text, char separator)
{
    return ReadRealText(text, separator).Value;
}

} // namespace karrow
