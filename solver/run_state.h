#pragma once

#include "increment_array.h"

#include <cstdint>

namespace karrow {

// Largest effective part of the spiral a run may have: 1000 increments of 15 degrees, more than
// 41 turns. Inputs that give more are rejected before the report is touched; the bound keeps a
// run's memory below a megabyte and its time below a few seconds.
inline constexpr int MaxEffectiveIncrements = 1000;

// The working record of one calculation run. The driver creates a fresh one for every run and
// hands it to each step; every step reports its outcome through the flags below. Lengths in cm,
// flows in cm3/sec per channel, pressures in gf/cm2. Arrays are indexed from 1.
struct RunState {
    // Inputs, as read from the fourteen fields.
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

    // Run status.
    bool InputOk = false; // all fourteen fields converted (and fit the model)
    bool FileOk = false; // the last report step opened, wrote and closed its file

    // Geometry of the effective part (written by the geometry step).
    double SlitHeightStep = 0;
    double ChannelDepthStep = 0;
    std::int32_t EffectiveIncrements = 0; // N_eff
    double ModifiedSpiralHeight = 0;
    double ModifiedLipHeight = 0;
    double ModifiedOutletSlitHeight = 0;
    double ModifiedOutletChannelDepth = 0;
    std::int32_t PitchIncrements = 0; // m = 24 div N
    std::int32_t TransferIncrements = 0; // K = N_eff - m
    std::int32_t PenultimateIncrement = 0;
    double HelixAngle = 0; // rad
    double IncrementLength = 0;
    double AxialPitch = 0;
    double MinimumFlow = 0; // q_min, reference of the flow clamp
    IncrementArray SlitHeight;
    IncrementArray ChannelDepth;
    IncrementArray GrooveDepth;
    IncrementArray ChannelOpeningWidth;
    IncrementArray ChannelArea;
    IncrementArray EquivalentChannelDepth;
    IncrementArray LandWidth; // outlet zone: length of the tapered path
    IncrementArray SlitPathLength;
    IncrementArray SlitStartHeight; // slit height at the channel edge
    IncrementArray SlitEndHeight;

    // Conductances and resistances of the power-law elements.
    IncrementArray ChannelConductance;
    IncrementArray ChannelResistance;
    IncrementArray SlitConductance;
    IncrementArray SlitResistance;
    IncrementArray TaperConductance; // outlet zone only
    IncrementArray TaperResistance; // outlet zone only

    // Flows: slit flow of increment i at 2i - 1, channel flow leaving it at 2i.
    IncrementArray IncrementFlows;
    IncrementArray SlitFlowRatio;
    std::int32_t FirstOutletIncrement = 0; // s = K + 1
    std::int32_t TwicePitchPlus1 = 0;
    std::int32_t TwiceTransferIncrements = 0;
    std::int32_t PitchIncrementsPlus1 = 0;
    std::int32_t PitchIncrementsLess1 = 0;
    IncrementArray OutletZoneFlows; // G[1..2m-1]
    IncrementArray OutletZoneDrops; // D_0..D_(m-1) at 1..m

    // Iteration state.
    IncrementArray ChannelPressureDrop;
    IncrementArray ExitSlitPressureDrop;
    IncrementArray InletPressureEstimate;
    double InletPressure = 0;
    IncrementArray ChannelPressure;
    IncrementArray NewSlitFlow;
    double NewExitFlowSum = 0;
    IncrementArray RelaxedSlitFlow;
    IncrementArray RelaxedChannelFlow;
    IncrementArray ExitChannelDrop;
    IncrementArray ExitSlitDrop;
    IncrementArray ExitPressureEstimate;
    IncrementArray ExitChannelPressure;

    // Stage flags and counters of the outer iteration.
    bool BalanceConverged = false; // set by the flow-balance step, cleared by the correction
    bool PressureCorrectionDue = false; // the outlet zone needs the pressure correction now
    bool SolverOk = true; // cleared when the step limit is passed
    std::int32_t BalanceStepCount = 0; // owned by the driver

    double& SlitFlow(int i) { return IncrementFlows[2 * i - 1]; }
    double SlitFlow(int i) const { return IncrementFlows[2 * i - 1]; }
    double& ChannelFlow(int i) { return IncrementFlows[2 * i]; }
    double ChannelFlow(int i) const { return IncrementFlows[2 * i]; }

    // Sizes every per-increment array for N_eff increments and m pitch increments.
    void SizeArrays(int effectiveIncrements, int pitchIncrements);
};

} // namespace karrow
