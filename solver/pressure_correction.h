#pragma once

#include "run_state.h"

namespace karrow {

inline constexpr int CorrectionPassLimit = 100;

// The inner iteration of the outlet zone: makes the pressure at the first outlet increment
// agree between the m slit paths to the outlet and under-relaxes the outlet slit flows towards
// the flows that pressure drives. Always hands back to the flow-balance step by clearing
// PressureCorrectionDue and BalanceConverged.
void CorrectOutletFlows(RunState& st);

} // namespace karrow
