#pragma once

#include "assessment.h"

#include <nlohmann/json.hpp>
#include <string>

namespace karrow {

// The exact answer's resolution in the run's JSON: the increments per pitch it was solved at, the
// outlet flows round the whole die, and the resolution study when one ran (its levels, the
// extrapolated limits with their observed orders, and the estimated error of the first level,
// the grid near 15 degrees).
void AddResolution(nlohmann::json& network, const ExactAnswer& exact);

// The outlet flows round the whole die as CSV: angle, channel, flow and flow over the mean.
std::string OutletRoundTheDieCsv(const Solution& s);

} // namespace karrow
