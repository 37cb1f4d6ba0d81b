#pragma once

#include "flow_solution.h"
#include "geometry.h"
#include "inputs.h"

namespace karrow {

// What a finished run knows: its inputs, the geometry and element laws, the final flows and
// pressures, and how the iteration ended. Built once at the end of a run; the report, the design
// figures, the JSON and the charts only read it.
struct Solution {
    Inputs In;
    Geometry Geo;
    FlowSolution Flow;

    double HeadPressure() const { return Flow.Profile.InletPressure; } // gf/cm2
    // The flow along the channel out of increment i. The channel ends with the last increment:
    // nothing flows out of it along the channel, whatever the flows hold at that index (the
    // iteration never updates it).
    double ChannelFlowOut(int i) const
    {
        return i == Geo.EffectiveIncrements ? 0.0 : Flow.Distribution.ChannelFlow(i);
    }
};

} // namespace karrow
