#pragma once

#include "melt_choice.h"
#include "run/material_power_law.h"

#include <optional>
#include <vector>

class QChart;

namespace karrow {

// One point of a melt's flow curve.
struct FlowCurveSample {
    double ShearRate = 0; // 1/s
    double Viscosity = 0; // Pa.s
};

// The flow curve at `celsius`, `points` shear rates evenly spaced on the log scale from `low` to
// `high` (both positive). Only for a melt and temperature that MeltProblem and
// MeltTemperatureProblem accept.
std::vector<FlowCurveSample> FlowCurveAt(
    const Melt& melt, double celsius, double low, double high, int points);

// The shear rates a flow-curve chart spans: four decades round the usual rates of a die, widened
// to a decade either side of the design's own range.
ShearRateRange FlowCurveSpan(const std::optional<ShearRateRange>& design);

// The log-log flow curve of the melt at `celsius`, with the design's range of wall shear rates
// shaded when there is one. The caller owns the chart.
QChart* FlowCurveChart(
    const Melt& melt, double celsius, const std::optional<ShearRateRange>& design);

// The melt temperature along the channel (at the nodes, increments 1..M) and of the melt leaving
// the die from each outlet increment (K+1..M). The caller owns the chart.
QChart* MeltTemperatureChart(const MeltAnswer& answer);

} // namespace karrow
