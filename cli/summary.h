#pragma once

#include "run/design_run.h"

#include <string>

namespace karrow {

// The verdict of a run in a few lines for a terminal: the classic answer and the exact network's
// answer one line each, and whether the printed digits are settled.
std::string SummaryText(const RunRecord& record);

// A warning in plain words when the settling check finds the result not settled, or "".
std::string SettlingWarning(const RunRecord& record);

} // namespace karrow
