#include "pressure_profile.h"

#include "clamp_flow.h"
#include "extended.h"

#include <algorithm>

namespace karrow {

PressureProfile SizedPressureProfile(const Geometry& g)
{
    PressureProfile profile;
    profile.ChannelPressure.Resize(g.EffectiveIncrements);
    profile.ChannelDrop.Resize(g.EffectiveIncrements);
    return profile;
}

PressureProfiler::PressureProfiler(const Geometry& g)
    : exitSlitDrop_(g.EffectiveIncrements)
    , inletPressureEstimate_(g.EffectiveIncrements)
{
}

void PressureProfiler::Compute(const Inputs& in, const Geometry& g, const ElementLaws& laws,
    Flows& flows, PressureProfile& profile, bool finalProfile)
{
    const X n = in.PowerLawIndex;
    const int last = g.EffectiveIncrements;
    const int s = g.FirstOutletIncrement();
    const double minimumFlow = g.MinimumFlow;
    flows.RequireIncrements(last);
    laws.SlitResistance.RequireCount(last, "the slit laws");
    profile.ChannelPressure.RequireCount(last, "the pressure profile");
    profile.ChannelDrop.RequireCount(last, "the pressure profile");
    exitSlitDrop_.RequireCount(last, "the profile's working arrays");
    IncrementArray& drop = profile.ChannelDrop;

    for (int i = s; i <= last; ++i) {
        if (flows.SlitFlow(i) < minimumFlow)
            flows.SlitFlow(i) = ClampFlow(minimumFlow, flows.SlitFlow(i));
        exitSlitDrop_[i] = DropFromFlow(laws.SlitResistance[i], flows.SlitFlow(i), n);
    }
    // From the inlet to the middle of increment 1 the full inlet flow runs half an increment.
    drop[1] = DropFromFlow(laws.ChannelResistance[1], in.FlowRatePerChannel, n) * 0.5L;
    // Each estimate is a running sum of the drops from the inlet, j = 2 .. i in turn. Adding
    // drop j to every estimate as soon as it is known keeps that order for each of them, lets
    // the independent sums proceed side by side, and lets the additions run while the next
    // drop's power is still being computed.
    for (int i = s; i <= last; ++i)
        inletPressureEstimate_[i] = X(drop[1]) + exitSlitDrop_[i];
    for (int j = 2; j <= last; ++j) {
        drop[j] = DropFromFlow(laws.ChannelResistance[j], flows.ChannelFlow(j - 1), n);
        for (int i = std::max(s, j); i <= last; ++i)
            inletPressureEstimate_[i] = X(inletPressureEstimate_[i]) + drop[j];
    }
    double inletPressure = 0;
    for (int i = s; i <= last; ++i)
        inletPressure = X(inletPressure) + inletPressureEstimate_[i];
    profile.InletPressure = X(inletPressure) / g.PitchIncrements;

    // The running pressure is kept in a local double: rounded exactly as the stored value, it
    // saves the chain a trip through the array on every increment.
    double pressure = X(profile.InletPressure) - drop[1];
    profile.ChannelPressure[1] = pressure;
    for (int i = 2; i <= last; ++i) {
        pressure = X(pressure) - drop[i];
        profile.ChannelPressure[i] = pressure;
    }
    CheckFloatingPoint(
        finalProfile ? "final pressure profile" : "pressure profile of the flow-balance step");
}

} // namespace karrow
