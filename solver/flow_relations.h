#pragma once

#include "extended.h"
#include "geometry.h"
#include "inputs.h"

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

// The power-law elements of every increment: one increment of channel, and the slit that leaves
// it (over the land to the turn above, or for an outlet increment the taper and the lip in
// series to the die exit), with the slit paths they are computed from.
struct ElementLaws {
    SlitPaths Paths;
    IncrementArray ChannelConductance;
    IncrementArray ChannelResistance;
    IncrementArray SlitConductance;
    IncrementArray SlitResistance;
    IncrementArray TaperResistance; // outlet zone only: the taper without the lip
};

// The laws of the channel increments (the first stage of the element laws).
void ComputeChannelConductances(const Inputs& in, const Geometry& g, ElementLaws& laws);
// The land paths and the laws of the slits over the lands, 1..K.
void ComputeLandConductances(const Inputs& in, const Geometry& g, ElementLaws& laws);
// The outlet paths and the laws of the outlet slits, K+1..N_eff.
void ComputeOutletConductances(const Inputs& in, const Geometry& g, ElementLaws& laws);

// A law set sized for the geometry, nothing computed yet.
ElementLaws SizedElementLaws(const Geometry& g);

// All three, for a calculation that needs the laws alone (the exact network).
ElementLaws ComputeElementLaws(const Inputs& in, const Geometry& g);

} // namespace karrow
