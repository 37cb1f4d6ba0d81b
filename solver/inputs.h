#pragma once

#include <cstdint>

namespace karrow {

// The fourteen inputs of a run, as read from the fields; never changed once read. Lengths in cm,
// the flow rate in cm3/sec per channel.
struct Inputs {
    std::int32_t NumberOfChannels = 0;
    double SpiralHeight = 0;
    double LipHeight = 0;
    double DieRadius = 0;
    double FlowRatePerChannel = 0;
    double PowerLawIndex = 0;
    double StandardViscosity = 0; // gf.sec/cm2
    double StandardShearRate = 0; // 1/sec
    double InletSlitHeight = 0;
    double OutletSlitHeight = 0;
    double InletChannelDepth = 0;
    double OutletChannelDepth = 0;
    double ChannelWidth = 0;
    std::int32_t TotalIncrements = 0;
};

} // namespace karrow
