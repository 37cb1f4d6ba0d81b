#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace karrow {

// One cell as Karrow writes it into comma- (or tab-) separated text. A cell that holds the
// separator, a double quote, a CR or a LF is enclosed in double quotes, its double quotes doubled
// (RFC 4180). A cell a spreadsheet would read as a formula, one that begins with "=", "+", "-",
// "@", a tab or a CR and is not a plain number, gets a leading apostrophe, so that text from a
// foreign input set shows as text; numbers, negative ones included, stay numbers.
std::string CsvCell(std::string_view cell, char separator = ',');

// The cells joined by `separator`, ending in a LF.
std::string CsvLine(const std::vector<std::string>& cells, char separator = ',');

} // namespace karrow
