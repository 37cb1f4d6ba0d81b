#pragma once

#include "../solver/geometry.h"
#include "../solver/inputs.h"

#include <optional>
#include <string>

namespace karrow {

// Conditions without which the model has no meaning: 1 to 24 channels, at least one increment,
// spiral height, lip height, die radius, channel width, the flow rate and the three rheology
// values positive and finite, the four ends of the slit and depth profiles finite, a crossing of
// channel depth and twice the slit height, 2m to MaxEffectiveIncrements effective increments,
// positive groove depths, land widths, outlet taper lengths and slit heights. The geometry is
// worked out on scratch values with the same arithmetic as the run. Returns the condition that
// fails, in plain words, or nothing. A geometry that faults otherwise is left to the run, which
// stops on the fault where it happens.
std::optional<std::string> CheckModelLimits(const Inputs& in);

// As above, handing back in `geometry` the geometry of the classic grid it worked out, when the
// design passes and that geometry raised no fault: a caller that solves the design on the classic
// grid need not compute it a second time.
std::optional<std::string> CheckModelLimits(const Inputs& in, std::optional<Geometry>& geometry);

} // namespace karrow
