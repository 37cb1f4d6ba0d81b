#pragma once

#include "run/design_run.h"

#include <string>

namespace karrow {

// A figure for a terminal: `decimals` digits after the point in the range a designer reads
// (1e-3 to 1e7), exponent form beyond it, never "inf" or "nan".
std::string FigureText(double value, int decimals);

// The verdict of a run in a few lines for a terminal, led by the exact network's answer; then the
// report's figures as the classic method's, how that method ended, how far it is from the exact
// answer, and whether the report repeats to its last digit.
std::string SummaryText(const RunRecord& record);

// A warning in plain words when the report does not repeat to its last digit, or "".
std::string RepeatabilityWarning(const RunRecord& record);

} // namespace karrow
