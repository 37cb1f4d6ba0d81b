#include "run_state.h"

namespace karrow {

void RunState::SizeArrays(int n, int m)
{
    for (IncrementArray* a : { &SlitHeight, &ChannelDepth, &GrooveDepth, &ChannelOpeningWidth,
             &ChannelArea, &EquivalentChannelDepth, &LandWidth, &SlitPathLength, &SlitStartHeight,
             &SlitEndHeight, &ChannelConductance, &ChannelResistance, &SlitConductance,
             &SlitResistance, &TaperConductance, &TaperResistance, &SlitFlowRatio,
             &ChannelPressureDrop, &ExitSlitPressureDrop, &InletPressureEstimate, &ChannelPressure,
             &NewSlitFlow, &RelaxedSlitFlow, &RelaxedChannelFlow, &ExitChannelDrop, &ExitSlitDrop,
             &ExitPressureEstimate, &ExitChannelPressure })
        a->Resize(n);
    IncrementFlows.Resize(2 * n);
    OutletZoneFlows.Resize(2 * m);
    OutletZoneDrops.Resize(m);
}

} // namespace karrow
