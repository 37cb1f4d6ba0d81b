#pragma once

#include "assessment.h"
#include "run_json.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace karrow {

// One design of a study, calculated without a report file: the same calculation, figures and
// answers as a single run of the same texts, with the end state that run would have had when its
// report was written. Never throws: a fault ends the record as "fault" with its message. Safe to
// call from several threads at once.
RunRecord CalculateDesign(const FieldTexts& texts, SolverChoice solver, const MeltProperties& melt,
    char decimalSeparator, const NetworkOptions& network = {});

// The record of a run of the driver (a single run with its report, in the window or on the
// command line), completed with the answers. `outcome` is what RunCalculation returned, nothing
// when a fault ended the run; `fault` holds that fault's message; `started`, the checks started
// beside the run, if any.
RunRecord RecordOfRun(const FieldTexts& texts, SolverChoice solver, const MeltProperties& melt,
    char decimalSeparator, const std::optional<RunOutcome>& outcome,
    const std::vector<std::string>& messages, const std::optional<std::string>& fault,
    const NetworkOptions& network = {}, StartedChecks* started = nullptr);

} // namespace karrow
