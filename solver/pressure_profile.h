#pragma once

#include "run_state.h"

namespace karrow {

// Pressure along the channel implied by the current flows: the inlet pressure is the mean of
// what the m slit paths to the outlet need, and each increment's channel drop is taken off it.
// Outlet slit flows below the minimum flow are raised by the clamp first, for good.
void ComputePressureProfile(RunState& st);

// The same profile for the final flows, once the pressure correction has changed them.
void ComputeFinalPressures(RunState& st);

} // namespace karrow
