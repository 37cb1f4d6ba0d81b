#pragma once

#include <array>
#include <optional>
#include <string>

namespace karrow {

// An input set: the texts of the fourteen input fields and of the report name, as a designer
// saves them to come back to a design (a small JSON file, ".karrow"), with a format version.
inline constexpr int InputSetFormatVersion = 1;
inline constexpr const char* InputSetExtension = ".karrow";

struct InputSet {
    std::array<std::string, 15> Texts; // fields 1..15: Edit1..Edit14 and the "Save File Name"
};

// The document of an input set. Throws std::invalid_argument for a text that a document cannot
// keep as it is (not UTF-8, or longer than 4096 bytes); WriteInputSet returns that as a problem.
std::string InputSetJson(const InputSet& set);

// An input set read from its document, or why it is not one (the problem in plain words).
struct InputSetReading {
    std::optional<InputSet> Set;
    std::string Problem;
};
InputSetReading ParseInputSet(const std::string& document);

// Reads the file `path`; a problem names the file. Nothing else is touched.
InputSetReading ReadInputSet(const std::string& path);

// Writes the file `path` whole or not at all: an existing file is replaced only by a complete
// new one. Returns the problem, naming the file, or nothing.
std::optional<std::string> WriteInputSet(const std::string& path, const InputSet& set);

} // namespace karrow
