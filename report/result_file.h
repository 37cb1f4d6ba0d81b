#pragma once

#include "../solver/geometry.h"
#include "../solver/inputs.h"

#include <string>

namespace karrow {

struct Solution;

// The three sections of the report as text, every line ended by CR LF (run/report_file.h writes
// them).
std::string InputSectionText(const Inputs& in, char decimalSeparator);
std::string ModifiedConditionText(const Geometry& g, char decimalSeparator);
std::string FlowTableText(const Solution& s, char decimalSeparator);

// The values the table prints: no channel flow leaves the last increment, and the pressures are
// in kgf/cm2.
double ReportedChannelFlow(const Solution& s, int i);
double ReportedPressure(const Solution& s, int i);

} // namespace karrow
