#include "pressure_profile.h"

#include "clamp_flow.h"
#include "extended.h"
#include "flow_relations.h"

namespace karrow {

namespace {

    using X = Extended;

    void ComputeProfile(RunState& st)
    {
        const X n = st.PowerLawIndex;
        const int last = st.EffectiveIncrements;
        const int s = st.FirstOutletIncrement;
        const double minimumFlow = st.MinimumFlow;

        // From the inlet to the middle of increment 1 the full inlet flow runs half an increment.
        st.ChannelPressureDrop[1] =
            DropFromFlow(st.ChannelResistance[1], st.FlowRatePerChannel, n) * 0.5L;
        for (int i = 2; i <= last; ++i)
            st.ChannelPressureDrop[i] =
                DropFromFlow(st.ChannelResistance[i], st.ChannelFlow(i - 1), n);

        for (int i = s; i <= last; ++i) {
            if (st.SlitFlow(i) < minimumFlow)
                st.SlitFlow(i) = ClampFlow(minimumFlow, st.SlitFlow(i));
            st.ExitSlitPressureDrop[i] = DropFromFlow(st.SlitResistance[i], st.SlitFlow(i), n);
        }
        for (int i = s; i <= last; ++i) {
            st.InletPressureEstimate[i] = X(st.ChannelPressureDrop[1]) + st.ExitSlitPressureDrop[i];
            for (int j = 2; j <= i; ++j)
                st.InletPressureEstimate[i] =
                    X(st.InletPressureEstimate[i]) + st.ChannelPressureDrop[j];
        }
        st.InletPressure = 0;
        for (int i = s; i <= last; ++i)
            st.InletPressure = X(st.InletPressure) + st.InletPressureEstimate[i];
        st.InletPressure = X(st.InletPressure) / st.PitchIncrements;

        st.ChannelPressure[1] = X(st.InletPressure) - st.ChannelPressureDrop[1];
        for (int i = 2; i <= last; ++i)
            st.ChannelPressure[i] = X(st.ChannelPressure[i - 1]) - st.ChannelPressureDrop[i];
    }

} // namespace

void ComputePressureProfile(RunState& st)
{
    ComputeProfile(st);
    CheckFloatingPoint("pressure profile of the flow-balance step");
}

void ComputeFinalPressures(RunState& st)
{
    ComputeProfile(st);
    CheckFloatingPoint("final pressure profile");
}

} // namespace karrow
