#pragma once

#include "fields.h"
#include "melt_run.h"
#include "solver/melt.h"

#include <optional>
#include <string>

namespace karrow {

// An input set: the texts of the fourteen input fields and of the report name, as a designer
// saves them to come back to a design (a small JSON file, ".karrow"), with a format version,
// and the real melt the exact network runs with when one was chosen. A set without a melt is
// written as version 1, as it always was, so that every Karrow opens it; a set with one is
// version 2.
inline constexpr int InputSetFormatVersion = 2; // the newest this Karrow reads
inline constexpr int InputSetFirstVersion = 1;
inline constexpr const char* InputSetExtension = ".karrow";

// The melt of a set, whole: its law, shift and constants in the material file's keys, so that
// the set gives the same answer on a machine without the grade it came from, or after the
// library's grade was revised; and the conditions of the run.
struct InputSetMelt {
    std::string Name; // the grade or melt file it came from; empty for constants typed in
    Melt TheMelt;
    MeltRunSettings Settings; // a set always holds the melt temperature
};

// The set's melt of a run's: the conditions as the run took them (the wall only where it
// exchanges heat with a heated melt).
InputSetMelt KeptMelt(const std::string& name, const Melt& melt,
    const MeltConditions& conditions, std::optional<double> throughput = std::nullopt);

struct InputSet {
    FieldTexts Texts; // the fourteen inputs and the "Save File Name"
    std::optional<InputSetMelt> RealMelt = std::nullopt;
};

// The document of an input set. The fields of numbers are stored with a full stop whatever
// `decimalSeparator` (the regional one the texts were typed with), so that a set reads the same
// under any regional settings. Throws std::invalid_argument for a text that a document cannot
// keep as it is (not UTF-8, or longer than 4096 bytes), for a report name that is not a plain
// file name (a folder, ".", "..", a NUL) and for a melt or conditions that make no sense;
// WriteInputSet returns that as a problem.
std::string InputSetJson(const InputSet& set, char decimalSeparator);

// Why the text of `field` cannot be written into a JSON document as it is (not UTF-8, or longer
// than 4096 bytes), naming the field, or nothing.
std::optional<std::string> JsonTextProblem(Field field, const std::string& text);

// An input set read from its document, or why it is not one (the problem in plain words).
struct InputSetReading {
    std::optional<InputSet> Set;
    std::string Problem;
};
// Either separator in a field of numbers (a full stop, or the comma of sets written by an older
// Karrow under a comma locale) becomes `decimalSeparator`. A report name ("output") must be a
// plain file name: a set never chooses a file outside the folder the user runs it in.
InputSetReading ParseInputSet(const std::string& document, char decimalSeparator);

// Reads the file `path`; a problem names the file. Nothing else is touched.
InputSetReading ReadInputSet(const std::string& path, char decimalSeparator);

// Writes the file `path` as WriteOutputFile does (whole, or into a device or FIFO). Returns the
// problem, naming the file, or nothing.
std::optional<std::string> WriteInputSet(
    const std::string& path, const InputSet& set, char decimalSeparator);

} // namespace karrow
