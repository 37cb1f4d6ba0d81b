#pragma once

#include "../solver/run_state.h"

#include <optional>
#include <string>

namespace karrow {

// Conditions without which the model has no meaning: 1 to 24 channels, at least one increment,
// a crossing of channel depth and twice the slit height, 2m to MaxEffectiveIncrements effective
// increments, positive groove depths, land widths, outlet taper lengths and slit heights. The
// geometry is worked out on a scratch copy with the same arithmetic as the run. Returns the
// condition that fails, in plain words, or nothing. A geometry that faults otherwise is left to
// the run, which stops on the fault where it happens.
std::optional<std::string> CheckModelLimits(const RunState& inputs);

} // namespace karrow
