#pragma once

#include "run/run_driver.h"

namespace karrow {

// karrow-cli's exit statuses (its --help and manual page list them). The core knows end states
// only; the command line, and the JSON document that names the status beside the end, map them
// here.
inline constexpr int ExitFinished = 0;
inline constexpr int ExitInputsRejected = 2;
inline constexpr int ExitReportFailed = 3;
inline constexpr int ExitNotConverged = 4;
inline constexpr int ExitFault = 5;
inline constexpr int ExitUsage = 64;

constexpr int ExitStatusOf(RunEnd end)
{
    switch (end) {
    case RunEnd::Finished:
    case RunEnd::NetworkSolved:
        return ExitFinished;
    case RunEnd::InputsRejected:
        return ExitInputsRejected;
    case RunEnd::ReportNotCreated:
    case RunEnd::ModifiedConditionNotAppended:
    case RunEnd::TableNotAppended:
        return ExitReportFailed;
    case RunEnd::NotConverged:
    case RunEnd::NetworkNotConverged:
        return ExitNotConverged;
    case RunEnd::Fault:
        return ExitFault;
    }
    return ExitFault;
}

} // namespace karrow
