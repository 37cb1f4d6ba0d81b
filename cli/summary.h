#pragma once

#include "run/design_run.h"
#include "run/verdict_text.h" // FigureText, for the figures of a terminal

#include <string>

namespace karrow {

// The verdict of a run in a few lines for a terminal, led by the exact network's answer; then the
// report's figures as the classic method's, how that method ended, how far it is from the exact
// answer, and whether the report repeats to its last digit.
std::string SummaryText(const RunRecord& record);

// The settling warning, as the window shows it too, on a line of its own; or "".
std::string RepeatabilityWarning(const RunRecord& record);

} // namespace karrow
