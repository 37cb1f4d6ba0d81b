#pragma once

#include "run/optimise.h"

class QChart;

namespace karrow {

// The charts of the design search, built from the exact network's figures only. The caller owns
// the chart (a chart view takes it over).

// The outlet flow round the die, relative to the mean, of the current design and of the best one
// overlaid; each with its own number of channels, which the search may change.
QChart* OutletComparisonChart(const DesignFigures& current, int currentChannels,
    const DesignFigures* best, int bestChannels);

// The trade-off: each design of the front as the objective over the second figure (head
// pressure in bar, the others in the report's units), joined in the front's order.
QChart* FrontChart(const ParetoFront& front, DesignObjective objective);

// A figure as the search's charts and texts show it: head pressure and wall shear stress in
// bar, the others in the report's units (percent, 1/sec, sec, cm).
double ShownValue(double reportValue, LimitedFigure figure);
double ShownObjective(double reportValue, DesignObjective objective);

} // namespace karrow
