#pragma once

// Die designs for tests and benchmarks: the window's defaults with some fields changed, and
// designs drawn at random within the ranges that dies of this kind are designed in, and the
// element values of the flow network that the core computes for a design.

#include "run/model_limits.h"
#include "solver/exact_solution.h"
#include "solver/extended.h"
#include "solver/flow_relations.h"
#include "solver/geometry.h"
#include "solver/network.h"
#include "test_support.h"

#include <cmath>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace karrow::test {

// The inputs of the window's defaults, with the given fields' texts replaced.
inline Inputs DesignFromTexts(const std::vector<std::pair<Field, std::string>>& changes = {})
{
    RecordingInterface ui;
    for (const auto& [field, text] : changes)
        ui.Set(field, text);
    return InputsFrom(ui);
}

struct PowerLawRange {
    double Low = 0.4;
    double High = 0.9;
};

// Inputs drawn uniformly from realistic ranges. The spiral is drawn in pitches (m increments
// each, m = 24 div channels) and the channel width as a share of the axial pitch, as a designer
// leaves a land between the turns.
inline Inputs DrawDesign(std::mt19937_64& random, int channels, PowerLawRange n = {})
{
    const auto within = [&](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    };
    const int m = 24 / channels;
    Inputs st;
    st.NumberOfChannels = channels;
    st.TotalIncrements = static_cast<int>(std::lround(m * within(3.5, 7)));
    st.SpiralHeight = within(6, 20);
    st.LipHeight = within(0.5, 2);
    st.DieRadius = within(5, 20);
    st.FlowRatePerChannel = within(1, 10);
    st.PowerLawIndex = within(n.Low, n.High);
    st.StandardViscosity = within(5, 25);
    st.StandardShearRate = within(50, 200);
    st.InletSlitHeight = within(0.005, 0.03);
    st.OutletSlitHeight = within(0.1, 0.25);
    st.InletChannelDepth = within(0.6, 1.5);
    st.OutletChannelDepth = within(0.1, 0.3);
    const double axialPitch = m * st.SpiralHeight / st.TotalIncrements;
    st.ChannelWidth = axialPitch * within(0.3, 0.8);
    return st;
}

// The network's element values of a design, as the geometry and conductance stages compute
// them; nothing when the model's limits refuse the design. The one place that knows where the
// core keeps those values.
inline std::optional<NetworkElements> NetworkOf(const Inputs& in)
{
    PrepareFloatingPoint();
    if (CheckModelLimits(in))
        return std::nullopt;
    const Elements e = ElementsOf(in);
    return NetworkElementsOf(e.In, e.Geo, e.Laws);
}

} // namespace karrow::test
