#include "csv.h"

namespace karrow {

namespace {

    bool IsDigit(char c)
    {
        return c >= '0' && c <= '9';
    }

    // Sign, digits with at most one decimal separator (full stop or comma), an optional
    // exponent: what a spreadsheet reads as a number, never as a formula.
    bool IsPlainNumber(std::string_view text)
    {
        std::size_t i = 0;
        const auto digits = [&] {
            const std::size_t start = i;
            while (i < text.size() && IsDigit(text[i]))
                ++i;
            return i - start;
        };
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        std::size_t mantissa = digits();
        if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
            ++i;
            mantissa += digits();
        }
        if (mantissa == 0)
            return false;
        if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
            ++i;
            if (i < text.size() && (text[i] == '+' || text[i] == '-'))
                ++i;
            if (digits() == 0)
                return false;
        }
        return i == text.size();
    }

    bool StartsAFormula(std::string_view cell)
    {
        if (cell.empty())
            return false;
        switch (cell.front()) {
        case '=':
        case '+':
        case '-':
        case '@':
        case '\t':
        case '\r':
            return !IsPlainNumber(cell);
        default:
            return false;
        }
    }

} // namespace

std::string CsvCell(std::string_view cell, char separator)
{
    std::string text = StartsAFormula(cell) ? "'" : "";
    text += cell;
    if (text.find_first_of(std::string { separator, '"', '\r', '\n' }) == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string CsvLine(const std::vector<std::string>& cells, char separator)
{
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0)
            line += separator;
        line += CsvCell(cells[i], separator);
    }
    return line + "\n";
}

} // namespace karrow
