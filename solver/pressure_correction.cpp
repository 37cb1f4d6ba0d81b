#include "pressure_correction.h"

#include "clamp_flow.h"
#include "extended.h"
#include "flow_relations.h"

#include <cmath>

namespace karrow {

namespace {

    using X = Extended;

    constexpr X CorrectionTolerance = 0.01L; // on the last outlet increment alone
    constexpr X Relaxation = 0.1L;
    constexpr X Retention = 0.9L;

    // New outlet slit flows of one pass, scaled to the flow rate per channel.
    void ComputeCorrectedExitFlows(RunState& st)
    {
        const X n = st.PowerLawIndex;
        const int s = st.FirstOutletIncrement;
        const int last = st.EffectiveIncrements;

        st.ExitSlitDrop[s] = DropFromFlow(st.SlitResistance[s], st.SlitFlow(s), n);
        st.ExitPressureEstimate[s] = st.ExitSlitDrop[s];
        for (int i = s + 1; i <= last; ++i) {
            st.ExitSlitDrop[i] = DropFromFlow(st.SlitResistance[i], st.SlitFlow(i), n);
            st.ExitChannelDrop[i] = X(st.ExitChannelDrop[i - 1])
                + DropFromFlow(st.ChannelResistance[i], st.ChannelFlow(i - 1), n);
            st.ExitPressureEstimate[i] = X(st.ExitChannelDrop[i]) + st.ExitSlitDrop[i];
        }
        double firstOutletPressure = 0;
        for (int i = s; i <= last; ++i)
            firstOutletPressure = X(firstOutletPressure) + st.ExitPressureEstimate[i];
        firstOutletPressure = X(firstOutletPressure) / st.PitchIncrements;

        // Each outlet slit is driven by the mean of the pressure of the common profile and the drop
        // that its current flow needs.
        for (int i = s; i <= last; ++i) {
            st.ExitChannelPressure[i] = X(firstOutletPressure) - st.ExitChannelDrop[i];
            const double drive = 0.5L * st.ExitChannelPressure[i] + 0.5L * st.ExitSlitDrop[i];
            st.NewSlitFlow[i] = FlowFromDrop(st.SlitConductance[i], drive, n);
        }
        double sum = 0;
        for (int i = s; i <= last; ++i)
            sum = X(sum) + st.NewSlitFlow[i];
        for (int i = s; i <= last; ++i)
            st.NewSlitFlow[i] = X(st.NewSlitFlow[i]) * st.FlowRatePerChannel / sum;
    }

    void RelaxExitFlows(RunState& st)
    {
        const int m = st.PitchIncrements;
        const int s = st.FirstOutletIncrement;
        const int last = st.EffectiveIncrements;
        for (int i = s; i <= last; ++i)
            st.SlitFlow(i) = Relaxation * st.NewSlitFlow[i] + Retention * st.SlitFlow(i);
        for (int i = s; i <= last - 1; ++i) {
            const X inflow = i > m ? X(st.SlitFlow(i - m)) : X(0);
            const X upstream = i > 1 ? X(st.ChannelFlow(i - 1)) : X(st.FlowRatePerChannel);
            st.ChannelFlow(i) =
                i > m ? upstream + inflow - st.SlitFlow(i) : upstream - st.SlitFlow(i);
            if (st.ChannelFlow(i) < st.MinimumFlow)
                st.ChannelFlow(i) = ClampFlow(st.MinimumFlow, st.ChannelFlow(i));
        }
    }

    bool LastExitFlowSettled(const RunState& st)
    {
        const int last = st.EffectiveIncrements;
        return std::fabs((X(st.SlitFlow(last)) - st.NewSlitFlow[last]) / st.SlitFlow(last))
            < CorrectionTolerance;
    }

} // namespace

void CorrectOutletFlows(RunState& st)
{
    st.ExitChannelDrop[st.FirstOutletIncrement] = 0;
    for (int pass = 1;; ++pass) {
        ComputeCorrectedExitFlows(st);
        CheckFloatingPoint("pressure correction of the outlet zone");
        if (LastExitFlowSettled(st) || pass >= CorrectionPassLimit)
            break;
        RelaxExitFlows(st);
    }
    CheckFloatingPoint("pressure correction of the outlet zone");
    st.PressureCorrectionDue = false;
    st.BalanceConverged = false;
}

} // namespace karrow
