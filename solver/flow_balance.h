#pragma once

#include "extended.h"
#include "message_sink.h"
#include "run_state.h"

namespace karrow {

inline constexpr Extended BalanceTolerance = 0.03L; // relative change of a slit flow that passes
inline constexpr int BalanceStepLimit = 10000;

inline constexpr const char* NonConvergenceMessage =
    "This case does not congerge, power law parameter <n> may be too small.";

// One step of the outer iteration: the pressure profile of the current flows, the slit flows
// it drives, and then either convergence, the hand-over of the outlet zone to the pressure
// correction, or an under-relaxed update that keeps mass balance exact. Past the step limit it
// shows the non-convergence message through `messages` and clears SolverOk.
void BalanceFlows(RunState& st, MessageSink& messages);

} // namespace karrow
