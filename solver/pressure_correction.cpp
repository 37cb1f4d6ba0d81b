#include "pressure_correction.h"

#include "clamp_flow.h"
#include "extended.h"

#include <cmath>

namespace karrow {

namespace {

    constexpr X CorrectionTolerance = 0.01L; // on the last outlet increment alone
    constexpr X Relaxation = 0.1L;
    constexpr X Retention = 0.9L;

    void RelaxExitFlows(
        const Inputs& in, const Geometry& g, const IncrementArray& newSlitFlow, Flows& flows)
    {
        const int m = g.PitchIncrements;
        const int s = g.FirstOutletIncrement();
        const int last = g.EffectiveIncrements;
        for (int i = s; i <= last; ++i)
            flows.SlitFlow(i) = Relaxation * newSlitFlow[i] + Retention * flows.SlitFlow(i);
        for (int i = s; i <= last - 1; ++i) {
            const X inflow = i > m ? X(flows.SlitFlow(i - m)) : X(0);
            const X upstream = i > 1 ? X(flows.ChannelFlow(i - 1)) : X(in.FlowRatePerChannel);
            flows.ChannelFlow(i) =
                i > m ? upstream + inflow - flows.SlitFlow(i) : upstream - flows.SlitFlow(i);
            if (flows.ChannelFlow(i) < g.MinimumFlow)
                flows.ChannelFlow(i) = ClampFlow(g.MinimumFlow, flows.ChannelFlow(i));
        }
    }

    bool LastExitFlowSettled(const Geometry& g, const Flows& flows, const IncrementArray& q)
    {
        const int last = g.EffectiveIncrements;
        return std::fabs((X(flows.SlitFlow(last)) - q[last]) / flows.SlitFlow(last))
            < CorrectionTolerance;
    }

} // namespace

OutletCorrector::OutletCorrector(const Geometry& g)
    : exitChannelDrop_(g.EffectiveIncrements)
    , exitSlitDrop_(g.EffectiveIncrements)
    , exitPressureEstimate_(g.EffectiveIncrements)
    , exitChannelPressure_(g.EffectiveIncrements)
    , newSlitFlow_(g.EffectiveIncrements)
{
}

// New outlet slit flows of one pass, scaled to the flow rate per channel.
void OutletCorrector::ComputeCorrectedExitFlows(
    const Inputs& in, const Geometry& g, const ElementLaws& laws, const Flows& flows)
{
    const X n = in.PowerLawIndex;
    const int s = g.FirstOutletIncrement();
    const int last = g.EffectiveIncrements;

    exitSlitDrop_[s] = DropFromFlow(laws.SlitResistance[s], flows.SlitFlow(s), n);
    exitPressureEstimate_[s] = exitSlitDrop_[s];
    for (int i = s + 1; i <= last; ++i) {
        exitSlitDrop_[i] = DropFromFlow(laws.SlitResistance[i], flows.SlitFlow(i), n);
        exitChannelDrop_[i] = X(exitChannelDrop_[i - 1])
            + DropFromFlow(laws.ChannelResistance[i], flows.ChannelFlow(i - 1), n);
        exitPressureEstimate_[i] = X(exitChannelDrop_[i]) + exitSlitDrop_[i];
    }
    double firstOutletPressure = 0;
    for (int i = s; i <= last; ++i)
        firstOutletPressure = X(firstOutletPressure) + exitPressureEstimate_[i];
    firstOutletPressure = X(firstOutletPressure) / g.PitchIncrements;

    // Each outlet slit is driven by the mean of the pressure of the common profile and the drop
    // that its current flow needs.
    for (int i = s; i <= last; ++i) {
        exitChannelPressure_[i] = X(firstOutletPressure) - exitChannelDrop_[i];
        const double drive = 0.5L * exitChannelPressure_[i] + 0.5L * exitSlitDrop_[i];
        newSlitFlow_[i] = FlowFromDrop(laws.SlitConductance[i], drive, n);
    }
    double sum = 0;
    for (int i = s; i <= last; ++i)
        sum = X(sum) + newSlitFlow_[i];
    for (int i = s; i <= last; ++i)
        newSlitFlow_[i] = X(newSlitFlow_[i]) * in.FlowRatePerChannel / sum;
}

CorrectionRecord OutletCorrector::Correct(
    const Inputs& in, const Geometry& g, const ElementLaws& laws, Flows& flows)
{
    flows.RequireIncrements(g.EffectiveIncrements);
    laws.SlitResistance.RequireCount(g.EffectiveIncrements, "the slit laws");
    exitChannelDrop_.RequireCount(g.EffectiveIncrements, "the correction's working arrays");
    CorrectionRecord record;
    exitChannelDrop_[g.FirstOutletIncrement()] = 0;
    for (int pass = 1;; ++pass) {
        ComputeCorrectedExitFlows(in, g, laws, flows);
        CheckFloatingPoint("pressure correction of the outlet zone");
        record.Passes = pass;
        if (LastExitFlowSettled(g, flows, newSlitFlow_))
            break;
        if (pass >= CorrectionPassLimit) {
            record.PassLimitReached = true;
            break;
        }
        RelaxExitFlows(in, g, newSlitFlow_, flows);
    }
    CheckFloatingPoint("pressure correction of the outlet zone");
    return record;
}

} // namespace karrow
