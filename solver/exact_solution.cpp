#include "exact_solution.h"

namespace karrow {

NetworkElements NetworkElementsOf(const Inputs& in, const Geometry& g, const ElementLaws& laws)
{
    NetworkElements elements;
    elements.PowerLawIndex = in.PowerLawIndex;
    elements.PitchIncrements = g.PitchIncrements;
    elements.EffectiveIncrements = g.EffectiveIncrements;
    elements.FlowRatePerChannel = in.FlowRatePerChannel;
    for (int i = 1; i <= g.EffectiveIncrements; ++i) {
        elements.ChannelResistance.push_back(laws.ChannelResistance[i]);
        elements.SlitConductance.push_back(laws.SlitConductance[i]);
    }
    return elements;
}

Solution SolutionOfNetwork(
    const Inputs& in, const Geometry& g, const ElementLaws& laws, const NetworkSolution& network)
{
    const int last = g.EffectiveIncrements;
    Solution s { in, g, {} };
    s.Flow.Laws = laws;
    s.Flow.Distribution = Flows(last);
    s.Flow.Profile = SizedPressureProfile(g);
    for (int i = 1; i <= last; ++i) {
        const auto at = static_cast<std::size_t>(i - 1);
        s.Flow.Distribution.SlitFlow(i) = network.SlitFlow.at(at);
        s.Flow.Distribution.ChannelFlow(i) = network.ChannelFlow.at(at);
        s.Flow.Profile.ChannelPressure[i] = network.Pressure.at(at);
        const double upstream = i == 1 ? network.InletPressure : network.Pressure.at(at - 1);
        s.Flow.Profile.ChannelDrop[i] = upstream - network.Pressure.at(at);
    }
    s.Flow.Profile.InletPressure = network.InletPressure;
    return s;
}

} // namespace karrow
