#pragma once

// The melt entries of an input set: "melt" (where it came from, and its law, shift and
// constants under the keys of a material file) and "melt_conditions" (the keys of a run
// document's melt conditions, and the throughput). input_set.cpp writes and reads them.

#include "input_set.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <variant>

namespace karrow {

using SetDocument = nlohmann::ordered_json;

// What makes the melt or its conditions meaningless, naming the entry ("melt.viscosity.eta0",
// "melt_conditions.melt_temperature_C"), or nothing. Writing and reading check the same, so a
// set that was written reads back.
std::optional<std::string> InputSetMeltProblem(const InputSetMelt& melt);

SetDocument MeltEntry(const InputSetMelt& melt);
SetDocument MeltConditionsEntry(const MeltRunSettings& settings);

// The melt of the two entries, or why they hold none, naming the entry.
std::variant<InputSetMelt, std::string> InputSetMeltOf(
    const SetDocument& melt, const SetDocument& conditions);

} // namespace karrow
