#pragma once

#include "../solver/solution.h"

#include <vector>

namespace karrow {

// What a designer reads off a finished run. Units as the report's (cm, cm3/sec per channel,
// gf/cm2, kgf/cm2, sec) and SI where named. The definitions are in the README.

inline constexpr double PascalPerGfCm2 = 98.0665;

// The melt's density and heat capacity, for the adiabatic temperature rise.
struct MeltProperties {
    double Density = 0.75; // g/cm3
    double HeatCapacity = 2.3; // J/(g K)
};

struct OutletFlow {
    int Increment = 0;
    double AngleDegrees = 0; // of the increment's middle, from the start of the outlet zone
    double Flow = 0; // cm3/sec
    double Relative = 0; // q_k m / Q
};

// The last m slit flows: what leaves the die over m x 15 degrees (360/N when N divides 24),
// repeated N times round it. With one outlet increment per channel (13 to 24 channels) the model
// has one outlet flow and says nothing of how it spreads: Resolved is false and the three
// figures of the spread are 0 without meaning so.
struct OutletDistribution {
    std::vector<OutletFlow> Flows;
    double Mean = 0; // Q / m
    bool Resolved = true; // more than one outlet increment per channel
    double SpreadPercent = 0; // (max - min) / mean
    double MaxDeviationPercent = 0; // max |q / mean - 1|
    double CvPercent = 0; // population standard deviation / mean
};

struct HeadPressure {
    double GfCm2 = 0;
    double KgfCm2 = 0;
    double Bar = 0;
    double MPa = 0;
};

// Wall shear rate (1/sec) and stress (gf/cm2) of an element at its flow.
struct WallShear {
    double Rate = 0;
    double Stress = 0;
};

struct IncrementFigures {
    int Increment = 0;
    double AngleDegrees = 0; // middle of the increment, from the inlet
    double SlitFlow = 0;
    double ChannelFlow = 0; // as the report prints it: none after the last increment
    double PressureKgfCm2 = 0;
    WallShear Channel;
    WallShear Slit; // over the land (transfer increments) or in the outlet path, at its narrower end
    // Flow-weighted mean age (sec since the inlet) of the melt at the increment's node, and of
    // the melt leaving the node over its land or outlet path; nan where no melt arrives.
    double NodeMeanAge = 0;
    double PathMeanAge = 0;
};

struct ShearMaxima {
    WallShear Channel;
    int ChannelIncrement = 0;
    WallShear Land;
    int LandIncrement = 0; // 0 when the effective part has no land (never: K >= m)
    WallShear OutletPath;
    int OutletPathIncrement = 0;
};

// A part of the spiral counts as stagnant where melt takes longer than this multiple of the mean
// residence time to pass through it.
inline constexpr double StagnationMultiple = 10;

// Residence of the melt in the spiral section. The ages treat every channel element and every gap
// over a land or outlet path as a plug of its volume passing its flow, streams mixed by flow at
// the nodes; with balanced flows the flow-weighted mean age at the outlet paths equals MeanTime.
struct ResidenceTimes {
    double MeanTime = 0; // sec: volume of channels and gaps of the spiral section over N Q
    double SpiralVolume = 0; // cm3, all N channels with their gaps
    bool AgesKnown = true; // false where the flows run in a circle (the ages have no order)
    double OutletMeanAge = 0; // sec, flow-weighted over the outlet paths
    double OldestOutletAge = 0; // sec, the largest mean age of an outlet path
    int OldestOutletIncrement = 0;
    double StagnantVolume = 0; // cm3, all N channels: transit over StagnationMultiple x MeanTime
    double StagnantPercent = 0; // of SpiralVolume
};

struct DesignFigures {
    OutletDistribution Outlet;
    HeadPressure Head;
    std::vector<IncrementFigures> Increments;
    ShearMaxima Shear;
    ResidenceTimes Residence;
    MeltProperties Melt;
    double TemperatureRise = 0; // K, adiabatic, from the head pressure
};

// The consistency of the model's melt, K = eta_s gamma_s^(1 - n), in gf sec^n / cm2.
double Consistency(const Inputs& in);

// Wall shear of a slit of height h carrying q per unit width: gamma = (2n+1)/(3n) 6q/h^2,
// tau = K gamma^n.
WallShear SlitWallShear(const Inputs& in, double flowPerWidth, double height);

// The outlet distribution and the head pressure of a Solution.
OutletDistribution OutletDistributionOf(const Solution& s);
HeadPressure HeadPressureOf(const Solution& s);

// The adiabatic temperature rise (K) that the head pressure gives the melt.
double TemperatureRiseOf(const HeadPressure& head, const MeltProperties& melt);

// Volume (cm3, one channel) of the channel of increment i with its strip of slit, and of the gap
// over its land or in its outlet path.
double ChannelVolume(const Solution& s, int i);
double GapVolume(const Solution& s, int i);

// The figures of a Solution, classic or exact; reads it only. A flow that reverses counts with
// its magnitude for the shear, and with its direction for the ages.
DesignFigures ComputeFigures(const Solution& s, const MeltProperties& melt = {});

} // namespace karrow
