#include "flow_balance.h"

#include "clamp_flow.h"
#include "extended.h"

#include <cmath>

namespace karrow {

namespace {

    constexpr X Relaxation = 0.03L; // weight of the new flows in a relaxed update
    constexpr X Retention = 0.97L; // weight of the current flows

    // The first increment from m + 1 on whose new slit flow differs by the tolerance or more, or 0.
    int FirstIncrementOutOfTolerance(const Geometry& g, const Flows& flows, const IncrementArray& q)
    {
        for (int i = g.PitchIncrements + 1; i <= g.EffectiveIncrements; ++i) {
            const double d = std::fabs((X(q[i]) - flows.SlitFlow(i)) / flows.SlitFlow(i));
            if (!(d < BalanceTolerance))
                return i;
        }
        return 0;
    }

    // For the record only: measured with the fault flags kept, so that an increment the tolerance
    // test never reached cannot raise a fault of its own.
    SlitFlowChange ChangeOf(const Geometry& g, const Flows& flows, const IncrementArray& q)
    {
        const FloatingPointFlagsKeeper keep;
        SlitFlowChange change;
        for (int i = g.PitchIncrements + 1; i <= g.EffectiveIncrements; ++i) {
            const double d = std::fabs((q[i] - flows.SlitFlow(i)) / flows.SlitFlow(i));
            double& largest = i > g.TransferIncrements ? change.Outlet : change.Transfer;
            if (std::isfinite(d) && d > largest)
                largest = d;
        }
        return change;
    }

} // namespace

void ComputeNewSlitFlows(const Inputs& in, const Geometry& g, const ElementLaws& laws,
    const PressureProfile& profile, IncrementArray& q)
{
    const X n = in.PowerLawIndex;
    const int m = g.PitchIncrements;
    const int last = g.EffectiveIncrements;
    const int s = g.FirstOutletIncrement();
    const IncrementArray& p = profile.ChannelPressure;
    q.RequireCount(last, "the new slit flows");
    for (int i = 1; i <= g.TransferIncrements; ++i)
        q[i] = FlowFromDrop(laws.SlitConductance[i], X(p[i]) - p[i + m], n);
    for (int i = s; i <= last; ++i)
        q[i] = FlowFromDrop(laws.SlitConductance[i], p[i], n);
    double exitFlowSum = 0;
    for (int i = s; i <= last; ++i)
        exitFlowSum = X(exitFlowSum) + q[i];
    for (int i = s; i <= last; ++i)
        q[i] = X(q[i]) * in.FlowRatePerChannel / exitFlowSum;
}

FlowBalancer::FlowBalancer(const Geometry& g)
    : profiler_(g)
    , newSlitFlow_(g.EffectiveIncrements)
    , relaxedSlitFlow_(g.EffectiveIncrements)
    , relaxedChannelFlow_(g.EffectiveIncrements)
{
}

BalanceOutcome FlowBalancer::Step(const Inputs& in, const Geometry& g, const ElementLaws& laws,
    Flows& flows, PressureProfile& profile, int stepsBefore)
{
    profiler_.Compute(in, g, laws, flows, profile);
    ComputeNewSlitFlows(in, g, laws, profile, newSlitFlow_);
    const int failing = FirstIncrementOutOfTolerance(g, flows, newSlitFlow_);
    CheckFloatingPoint("flow-balance step");
    change_ = ChangeOf(g, flows, newSlitFlow_);
    if (failing == 0)
        return BalanceOutcome::Settled;
    if (failing >= g.FirstOutletIncrement())
        return BalanceOutcome::CorrectionDue;

    // Move the distribution a small step towards the new slit flows and rebuild it so that every
    // increment balances: the channel flow never rises along the spiral, and all that reaches the
    // last increment leaves over its land.
    const int m = g.PitchIncrements;
    const int last = g.EffectiveIncrements;
    const X q = in.FlowRatePerChannel;
    const double minimumFlow = g.MinimumFlow;

    for (int i = 1; i <= last; ++i)
        relaxedSlitFlow_[i] = Relaxation * newSlitFlow_[i] + Retention * flows.SlitFlow(i);

    // The running channel flow is kept in a local double, rounded exactly as a stored value, and
    // each increment is clamped as soon as it is known: the chain then goes through no array.
    IncrementArray& relaxed = relaxedChannelFlow_;
    double running = q - relaxedSlitFlow_[1];
    relaxed[1] = running;
    for (int i = 2; i <= last - 1; ++i) {
        running = i <= m ? X(running) - relaxedSlitFlow_[i]
                         : X(running) + relaxedSlitFlow_[i - m] - relaxedSlitFlow_[i];
        double flow = running;
        if (flow < minimumFlow)
            flow = ClampFlow(minimumFlow, flow);
        if (flow > relaxed[i - 1])
            flow = relaxed[i - 1];
        relaxed[i] = flow;
    }

    for (int i = 1; i <= last - 1; ++i)
        flows.ChannelFlow(i) = Relaxation * relaxed[i] + Retention * flows.ChannelFlow(i);

    flows.SlitFlow(1) = q - flows.ChannelFlow(1);
    for (int i = 2; i <= m; ++i)
        flows.SlitFlow(i) = X(flows.ChannelFlow(i - 1)) - flows.ChannelFlow(i);
    for (int i = m + 1; i <= last - 1; ++i)
        flows.SlitFlow(i) =
            X(flows.ChannelFlow(i - 1)) + flows.SlitFlow(i - m) - flows.ChannelFlow(i);
    flows.SlitFlow(last) = X(flows.ChannelFlow(last - 1)) + flows.SlitFlow(last - m);
    CheckFloatingPoint("flow-balance step");
    return stepsBefore > BalanceStepLimit ? BalanceOutcome::StepLimit : BalanceOutcome::Relaxed;
}

} // namespace karrow
