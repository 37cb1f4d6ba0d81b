#pragma once

#include "../report/run_json.h"
#include "assessment.h"

#include <array>
#include <string>

namespace karrow {

// Exit statuses of karrow-cli, one per end state.
inline constexpr int ExitFinished = 0;
inline constexpr int ExitInputsRejected = 2;
inline constexpr int ExitReportFailed = 3;
inline constexpr int ExitNotConverged = 4;
inline constexpr int ExitFault = 5;
inline constexpr int ExitUsage = 64;

int ExitStatusOf(RunEnd end);

// One design of a study, calculated without a report file: the same calculation, figures and
// answers as a single run of the same texts, with the end state that run would have had when its
// report was written. Never throws: a fault ends the record as "fault" with its message. Safe to
// call from several threads at once.
RunRecord CalculateDesign(const FieldTexts& texts, SolverChoice solver, const MeltProperties& melt,
    char decimalSeparator, const NetworkOptions& network = {});

// The record of a run of the driver (a single run with its report), completed with the answers.
// `fault` holds the message of a fault that ended the run, if one did; `started`, the checks
// started beside the run, if any.
RunRecord RecordOfRun(const FieldTexts& texts, SolverChoice solver, const MeltProperties& melt,
    char decimalSeparator, const std::optional<RunOutcome>& outcome,
    const std::vector<std::string>& messages, const std::optional<std::string>& fault,
    const NetworkOptions& network = {}, StartedChecks* started = nullptr);

} // namespace karrow
