#include "number_format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

namespace karrow {

namespace {

    constexpr int ExpansionDigits = 18;
    constexpr std::size_t MaxTextLength = 255;

    // The magnitude as 0.d1 d2 ... d18 x 10^E, d1 not 0: the exact value of the double rounded to
    // 18 significant digits, ties to even.
    struct DecimalDigits {
        std::string Digits; // without trailing zeros after rounding
        int Exponent = 0;
    };

    DecimalDigits ExpandDecimal(double magnitude)
    {
        std::array<char, 64> text {};
        const auto result = std::to_chars(text.data(), text.data() + text.size(), magnitude,
            std::chars_format::scientific, ExpansionDigits - 1);
        const std::string scientific(text.data(), result.ptr);
        const std::size_t e = scientific.find('e');
        DecimalDigits expansion;
        expansion.Digits = scientific.substr(0, 1) + scientific.substr(2, e - 2);
        expansion.Exponent = std::stoi(scientific.substr(e + 1)) + 1;
        return expansion;
    }

    // Keeps `keep` digits, rounding half away from zero; returns false when nothing is left.
    bool RoundTo(DecimalDigits& expansion, int keep)
    {
        std::string& d = expansion.Digits;
        if (keep < ExpansionDigits && d[static_cast<std::size_t>(keep)] >= '5') {
            d.resize(static_cast<std::size_t>(keep));
            int i = keep - 1;
            while (i >= 0 && d[static_cast<std::size_t>(i)] == '9')
                d[static_cast<std::size_t>(i--)] = '0';
            if (i < 0) {
                d = "1";
                ++expansion.Exponent;
            } else {
                ++d[static_cast<std::size_t>(i)];
            }
        } else {
            d.resize(static_cast<std::size_t>(keep));
        }
        while (!d.empty() && d.back() == '0')
            d.pop_back();
        return !d.empty();
    }

    std::string ZeroText(int digits, char separator)
    {
        return digits > 0
            ? "0" + std::string(1, separator) + std::string(static_cast<std::size_t>(digits), '0')
            : "0";
    }

    char DigitAt(const std::string& digits, int index)
    {
        return index >= 0 && index < static_cast<int>(digits.size())
            ? digits[static_cast<std::size_t>(index)]
            : '0';
    }

    std::string FixedForm(const DecimalDigits& x, int digits, char separator)
    {
        std::string text;
        if (x.Exponent <= 0)
            text = "0";
        else
            for (int i = 0; i < x.Exponent; ++i)
                text += DigitAt(x.Digits, i);
        if (digits > 0) {
            text += separator;
            const int leadingZeros = x.Exponent < 0 ? std::min(-x.Exponent, digits) : 0;
            text.append(static_cast<std::size_t>(leadingZeros), '0');
            const int first = std::max(x.Exponent, 0);
            for (int i = 0; i < digits - leadingZeros; ++i)
                text += DigitAt(x.Digits, first + i);
        }
        return text;
    }

    std::string ExponentForm(const DecimalDigits& x, int digits, char separator)
    {
        std::string text(1, x.Digits[0]);
        if (x.Digits.size() > 1)
            text += separator + x.Digits.substr(1);
        std::string exponent = std::to_string(x.Exponent - 1);
        const std::size_t minimumDigits = digits <= 4 ? static_cast<std::size_t>(digits) : 1;
        if (exponent.size() < minimumDigits)
            exponent.insert(0, minimumDigits - exponent.size(), '0');
        return text + "E" + exponent;
    }

} // namespace

std::string FormatFixed(double value, int precision, int digits, char separator)
{
    precision = std::clamp(precision, 2, ExpansionDigits);
    digits = std::clamp(digits, 0, ExpansionDigits);
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    if (value == 0)
        return ZeroText(digits, separator);

    DecimalDigits x = ExpandDecimal(std::fabs(value));
    const int k = x.Exponent + digits;
    if (k < 0 || !RoundTo(x, std::min(k, precision)))
        return ZeroText(digits, separator);

    std::string text = value < 0 ? "-" : "";
    text += x.Exponent > precision ? ExponentForm(x, digits, separator)
                                   : FixedForm(x, digits, separator);
    if (text.size() > MaxTextLength)
        text.resize(MaxTextLength);
    return text;
}

std::string FormatFixedWidth(double value, int width, int digits, char separator)
{
    std::string text = FormatFixed(value, width, digits, separator);
    const int length = static_cast<int>(text.size());
    if (length >= 3 && length < width)
        text.insert(0, static_cast<std::size_t>(width - length), ' ');
    return text;
}

std::string IntegerText(std::int32_t value)
{
    return std::to_string(value);
}

} // namespace karrow
