#pragma once

#include "extended.h"
#include "run_state.h"

namespace karrow {

// Power-law melt: flow = conductance x (pressure drop)^(1/n), pressure drop = resistance x
// flow^n, with the resistance equal to conductance^(-n).

// Flow correction of a rectangular channel section against the unbounded slit; x is the ratio
// of the smaller to the larger side (0 < x <= 1).
double ShapeFactor(double x);

// Flow through an element of conductance C under the pressure drop dP, as the iterations take it.
inline Extended FlowFromDrop(Extended conductance, Extended drop, Extended n)
{
    return conductance * Exp((1 / n) * Ln(drop));
}

// Pressure drop over an element of resistance R at the flow Q.
inline Extended DropFromFlow(Extended resistance, Extended flow, Extended n)
{
    return resistance * Exp(n * Ln(flow));
}

// The conductance stage: channel and slit conductances of every increment, with the first flow
// estimates of the transfer increments and the outlet slit paths in between, in that order.
void ComputeConductances(RunState& st);

} // namespace karrow
