#pragma once

#include "flow_relations.h"
#include "flows.h"
#include "geometry.h"
#include "inputs.h"

namespace karrow {

// Pressure along the channel, in gf/cm2: at the inlet, and at the middle of every increment.
struct PressureProfile {
    double InletPressure = 0;
    IncrementArray ChannelPressure;
    IncrementArray ChannelDrop; // drop over increment i's channel element (half of it for i = 1)
};

// Pressure along the channel implied by the current flows: the inlet pressure is the mean of
// what the m slit paths to the outlet need, and each increment's channel drop is taken off it.
// Outlet slit flows below the minimum flow are raised by the clamp first, for good. Keeps its
// working arrays between calls, so that the outer iteration allocates nothing per step.
class PressureProfiler {
public:
    explicit PressureProfiler(const Geometry& g);

    // The profile of a flow-balance step, or with `finalProfile` the profile of the final flows
    // once the pressure correction has changed them (the stages differ only in the name a fault
    // carries).
    void Compute(const Inputs& in, const Geometry& g, const ElementLaws& laws, Flows& flows,
        PressureProfile& profile, bool finalProfile = false);

private:
    IncrementArray exitSlitDrop_;
    IncrementArray inletPressureEstimate_;
};

PressureProfile SizedPressureProfile(const Geometry& g);

} // namespace karrow
