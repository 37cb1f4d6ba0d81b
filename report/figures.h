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

// The last m slit flows: what leaves the die over 360/N degrees, repeated N times round it.
struct OutletDistribution {
    std::vector<OutletFlow> Flows;
    double Mean = 0; // Q / m
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
    WallShear Slit; // over the land, or the outlet taper at its entry
    double ResidenceTime = 0; // sec along the channel from the inlet to the end of the increment
};

struct ShearMaxima {
    WallShear Channel;
    int ChannelIncrement = 0;
    WallShear Slit;
    int SlitIncrement = 0;
};

struct ResidenceTimes {
    double MeanTime = 0; // sec: volume of channels and gaps of the spiral section over N Q
    double SpiralVolume = 0; // cm3, all N channels with their gaps
    double LargestAlongChannel = 0; // sec
    int LargestAt = 0;
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

// The figures of a Solution, classic or exact; reads it only. A flow that reverses counts with
// its magnitude.
DesignFigures ComputeFigures(const Solution& s, const MeltProperties& melt = {});

} // namespace karrow
