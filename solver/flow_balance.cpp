#include "flow_balance.h"

#include "clamp_flow.h"
#include "extended.h"
#include "flow_relations.h"
#include "pressure_profile.h"

#include <cmath>

namespace karrow {

namespace {

    using X = Extended;

    constexpr X Relaxation = 0.03L; // weight of the new flows in a relaxed update
    constexpr X Retention = 0.97L; // weight of the current flows

    // Slit flows driven by the current pressure profile: over each land by the difference to the
    // turn above, at the outlet by the channel pressure itself. The outlet flows are scaled so that
    // they carry the whole flow rate.
    void ComputeNewSlitFlows(RunState& st)
    {
        const X n = st.PowerLawIndex;
        const int m = st.PitchIncrements;
        const int last = st.EffectiveIncrements;
        const int s = st.FirstOutletIncrement;
        for (int i = 1; i <= st.TransferIncrements; ++i)
            st.NewSlitFlow[i] = FlowFromDrop(
                st.SlitConductance[i], X(st.ChannelPressure[i]) - st.ChannelPressure[i + m], n);
        for (int i = s; i <= last; ++i)
            st.NewSlitFlow[i] = FlowFromDrop(st.SlitConductance[i], st.ChannelPressure[i], n);
        st.NewExitFlowSum = 0;
        for (int i = s; i <= last; ++i)
            st.NewExitFlowSum = X(st.NewExitFlowSum) + st.NewSlitFlow[i];
        for (int i = s; i <= last; ++i)
            st.NewSlitFlow[i] = X(st.NewSlitFlow[i]) * st.FlowRatePerChannel / st.NewExitFlowSum;
    }

    // The first increment from m + 1 on whose new slit flow differs by the tolerance or more, or 0.
    int FirstIncrementOutOfTolerance(const RunState& st)
    {
        for (int i = st.PitchIncrements + 1; i <= st.EffectiveIncrements; ++i) {
            const double d = std::fabs((X(st.NewSlitFlow[i]) - st.SlitFlow(i)) / st.SlitFlow(i));
            if (!(d < BalanceTolerance))
                return i;
        }
        return 0;
    }

    // Moves the distribution a small step towards the new slit flows and rebuilds it so that every
    // increment balances: the channel flow never rises along the spiral, and all that reaches the
    // last increment leaves over its land.
    void RelaxFlows(RunState& st)
    {
        const int m = st.PitchIncrements;
        const int last = st.EffectiveIncrements;
        const X q = st.FlowRatePerChannel;
        const double minimumFlow = st.MinimumFlow;

        for (int i = 1; i <= last; ++i)
            st.RelaxedSlitFlow[i] = Relaxation * st.NewSlitFlow[i] + Retention * st.SlitFlow(i);

        IncrementArray& relaxed = st.RelaxedChannelFlow;
        relaxed[1] = q - st.RelaxedSlitFlow[1];
        for (int i = 2; i <= m; ++i)
            relaxed[i] = X(relaxed[i - 1]) - st.RelaxedSlitFlow[i];
        for (int i = m + 1; i <= last - 1; ++i)
            relaxed[i] = X(relaxed[i - 1]) + st.RelaxedSlitFlow[i - m] - st.RelaxedSlitFlow[i];
        for (int i = 2; i <= last - 1; ++i) {
            if (relaxed[i] < minimumFlow)
                relaxed[i] = ClampFlow(minimumFlow, relaxed[i]);
            if (relaxed[i] > relaxed[i - 1])
                relaxed[i] = relaxed[i - 1];
        }

        for (int i = 1; i <= last - 1; ++i)
            st.ChannelFlow(i) = Relaxation * relaxed[i] + Retention * st.ChannelFlow(i);

        st.SlitFlow(1) = q - st.ChannelFlow(1);
        for (int i = 2; i <= m; ++i)
            st.SlitFlow(i) = X(st.ChannelFlow(i - 1)) - st.ChannelFlow(i);
        for (int i = m + 1; i <= last - 1; ++i)
            st.SlitFlow(i) = X(st.ChannelFlow(i - 1)) + st.SlitFlow(i - m) - st.ChannelFlow(i);
        st.SlitFlow(last) = X(st.ChannelFlow(last - 1)) + st.SlitFlow(last - m);
    }

} // namespace

void BalanceFlows(RunState& st, MessageSink& messages)
{
    st.BalanceConverged = false;
    st.PressureCorrectionDue = false;
    st.SolverOk = true;

    ComputePressureProfile(st);
    ComputeNewSlitFlows(st);
    const int failing = FirstIncrementOutOfTolerance(st);
    CheckFloatingPoint("flow-balance step");
    if (failing == 0) {
        st.BalanceConverged = true;
        return;
    }
    if (failing >= st.FirstOutletIncrement) {
        st.PressureCorrectionDue = true;
        st.BalanceConverged = true;
        return;
    }

    RelaxFlows(st);
    CheckFloatingPoint("flow-balance step");
    if (st.BalanceStepCount > BalanceStepLimit) {
        messages.ShowMessage(NonConvergenceMessage);
        st.SolverOk = false;
    }
}

} // namespace karrow
