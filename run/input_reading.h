#pragma once

#include "../solver/inputs.h"
#include "fields.h"
#include "kept_texts.h"

#include <functional>
#include <optional>
#include <string>

namespace karrow {

// The inputs of a run, or why they were refused: the field that does not convert, named in
// plain words (the line that follows the input error message).
struct InputReading {
    std::optional<Inputs> Values;
    std::string Problem;
};

// Reads the fourteen input fields in order, stopping at the first text that does not convert.
// `fieldText` gives the text of an input field.
InputReading ReadInputs(const std::function<std::string(Field)>& fieldText, char decimalSeparator);

} // namespace karrow
