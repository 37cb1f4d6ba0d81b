#pragma once

#include "extended.h"
#include "increment_array.h"
#include "inputs.h"

#include <cstdint>

namespace karrow {

// Largest effective part of the spiral a run may have: 1000 increments of 15 degrees, more than
// 41 turns. Inputs that give more are rejected before the report is touched; the bound keeps a
// run's memory below a megabyte and its time below a few seconds.
inline constexpr int MaxEffectiveIncrements = 1000;

// One turn of the spiral in the classic method's increments of 15 degrees. A channel's pitch is
// TurnIncrements div N of them, so the model takes at most TurnIncrements channels.
inline constexpr int TurnIncrements = 24;

// The increments a geometry is cut into. The classic method takes 15 degrees and m = 24 div N,
// which joins points one pitch apart only when N divides 24; the exact network takes k increments
// of 360/(N k) degrees per channel pitch. The effective part ends with the increment that holds
// the crossing on a grid CutMultiple times as coarse, so that the levels of a resolution study
// refine one and the same die.
struct IncrementGrid {
    Extended FifteenDegreeSteps = 1; // the increment's angle in steps of 15 degrees
    std::int32_t PitchIncrements = 0; // m
    std::int32_t CutMultiple = 1;
    std::int32_t MostIncrements = MaxEffectiveIncrements;
};

// 15-degree increments and m = 24 div N; throws ArithmeticFault for no channels.
IncrementGrid ClassicGrid(const Inputs& in);

// Rise of the slit and change of the channel depth per 15-degree increment over the whole spiral.
struct SpiralSteps {
    double SlitHeightStep = 0;
    double ChannelDepthStep = 0;
};

// The effective part of the spiral and the geometry of one channel along it, per increment i
// (1..EffectiveIncrements, arrays indexed from 1). Lengths in cm.
struct Geometry {
    SpiralSteps Steps;
    std::int32_t EffectiveIncrements = 0; // N_eff
    double ModifiedSpiralHeight = 0;
    double ModifiedLipHeight = 0;
    double ModifiedOutletSlitHeight = 0;
    double ModifiedOutletChannelDepth = 0;
    double IncrementDegrees = 15;
    std::int32_t PitchIncrements = 0; // m = 24 div N: the increments of one pitch
    std::int32_t TransferIncrements = 0; // K = N_eff - m: increments with a land to the next turn
    double HelixAngle = 0; // rad
    // Its sine and cosine as the extended functions return them, taken once: every law across
    // the channel reads them, and each evaluation is a correctly rounded one of its own.
    X HelixSine = 0;
    X HelixCosine = 0;
    double IncrementLength = 0; // along the channel
    double AxialPitch = 0;
    double MinimumFlow = 0; // q_min, reference of the flow clamp
    IncrementArray SlitHeight;
    IncrementArray ChannelDepth;
    IncrementArray GrooveDepth;
    IncrementArray ChannelOpeningWidth;
    IncrementArray ChannelArea; // channel section with the strip of slit above the opening
    IncrementArray EquivalentChannelDepth;
    IncrementArray LandWidth; // 1..K: land between the channel and the turn above it

    int FirstOutletIncrement() const { return TransferIncrements + 1; }
};

SpiralSteps SpiralStepsOf(const Inputs& in);

// The crossing of channel depth and twice the slit height, in increments from the inlet;
// the effective part ends after the increment that holds it. The denominator is returned too,
// so that the input check can refuse a zero or non-finite one before it is divided by.
struct EffectivePartCrossing {
    Extended Numerator;
    Extended Denominator;
};
EffectivePartCrossing CrossingOf(const Inputs& in, const SpiralSteps& steps);

// Trunc(crossing) + 1; throws ArithmeticFault when that is outside the 32-bit range.
std::int32_t EffectiveIncrementsAt(Extended crossing);

// The geometry stage (run before the "Modified Condition" section is written): fills `g` and
// then checks the floating-point flags, so that a fault leaves the arrays as far as they were
// computed (the model limits judge them) and throws ArithmeticFault.
void ComputeGeometry(const Inputs& in, const IncrementGrid& grid, Geometry& g);
void ComputeGeometry(const Inputs& in, Geometry& g); // on the classic grid
Geometry ComputeGeometry(const Inputs& in);

// Slit paths of every increment: over the land of a transfer increment to the turn above, and
// for an outlet increment the taper to the end of the spiral (then the lip). Length is the
// length that the element's law takes: the land width, or the taper length of an outlet path.
struct SlitPaths {
    IncrementArray Length;
    IncrementArray StartHeight; // slit height at the channel edge
    IncrementArray EndHeight;
    IncrementArray OutletPathLength; // outlet increments: from the channel to the die exit
};

// Slit paths over the lands, increments 1..K.
void ComputeLandPaths(const Geometry& g, SlitPaths& paths);
// Slit paths of the outlet zone, increments K+1..N_eff.
void ComputeOutletPaths(const Inputs& in, const Geometry& g, SlitPaths& paths);
// Both, sized for the geometry (the model limits use this; the run interleaves them with the
// element laws).
SlitPaths SizedSlitPaths(const Geometry& g);

} // namespace karrow
