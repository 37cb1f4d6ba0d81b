#pragma once

#include "extended.h"
#include "run_state.h"

#include <cstdint>

namespace karrow {

// Rise of the slit and change of the channel depth per increment over the whole spiral.
void ComputeSpiralSteps(RunState& st);

// Effective part of the spiral and the per-increment geometry of one channel (steps run before
// the "Modified Condition" section is written). Sizes the run's arrays.
void ComputeGeometry(RunState& st);

// Channel section of increment i from its groove depth, slit height and the channel width.
void ComputeChannelSection(RunState& st, int i);

// Slit paths over the lands, increments 1..K: slit heights at both channel edges.
void ComputeLandPaths(RunState& st);

// Slit paths of the outlet zone, increments K+1..N_eff: the taper up to the end of the spiral.
void ComputeOutletPaths(RunState& st);

// The crossing of channel depth and twice the slit height, in increments from the inlet;
// the effective part ends after the increment that holds it. The denominator is returned too,
// so that the input check can refuse a zero or non-finite one before it is divided by.
struct EffectivePartCrossing {
    Extended Numerator;
    Extended Denominator;
};
EffectivePartCrossing CrossingOf(const RunState& st);

// Trunc(crossing) + 1; throws ArithmeticFault when that is outside the 32-bit range.
std::int32_t EffectiveIncrementsAt(Extended crossing);

} // namespace karrow
