#pragma once

// The exact network (network.h) for a real melt, isothermal or heated by its own flow.
//
// The elements are those of the power-law network, with the same geometry: channel increment i
// is the equivalent slit (width the larger, height the smaller of equivalent depth and opening
// width) times the shape factor of their ratio; the slit of a transfer increment is the tapered
// slit over its land; the slit of an outlet increment is the outlet taper and the lip in series.
// Their laws are those of melt_laws.h at each element's temperature.
//
// Heated: the melt entering the die at the melt temperature; every element's viscosity at the
// mean temperature of the melt entering it (streams mixed by flow at the nodes), its melt leaving
// it warmer by the viscous dissipation, pressure drop / (density x heat capacity), and, with a
// heat-transfer coefficient, exchanging heat with the die wall held at the wall temperature
// (wetted area: both faces of a slit, the perimeter of the channel's section). The flows and
// temperatures are solved by outer iteration: flows at the element temperatures by Newton's
// method, then the temperatures of those flows, until no element's temperature moves by more
// than ThermalTolerance.
//
// A Cross-WLF law with D3 > 0 depends on pressure: T* = D2 + D3 p, p the element's mean gauge
// pressure (the mean of its end pressures, the open air at an outlet). The same outer iteration
// carries it, isothermal or heated: each step rebuilds the element laws at the last step's
// pressures, the law at (T, p) being the law without pressure at T - D3 p, until no element's
// T - D3 p moves by more than ThermalTolerance. With D3 = 0 nothing of this runs.

#include "flow_relations.h"
#include "geometry.h"
#include "inputs.h"
#include "melt.h"
#include "melt_laws.h"
#include "network.h"

#include <string>
#include <vector>

namespace karrow {

enum class ThermalMode { Isothermal, Heated };

std::string_view ThermalModeName(ThermalMode mode); // "isothermal", "heated"

struct MeltConditions {
    double MeltTemperature = 0; // degrees C, of the melt entering the die
    ThermalMode Thermal = ThermalMode::Isothermal;
    double WallTemperature = 0; // degrees C, read only with a heat-transfer coefficient
    double HeatTransferCoefficient = 0; // W/(m2 K); 0 leaves the die adiabatic
};

// What makes the conditions meaningless for the melt, naming the field; nothing when none.
std::optional<std::string> MeltConditionsProblem(const Melt& melt, const MeltConditions& c);

inline constexpr double ThermalTolerance = 1e-9; // K
inline constexpr int ThermalIterationLimit = 60;

struct MeltNetworkSolution {
    NetworkSolution Network; // Converged covers the flows and, heated, the temperatures
    int ThermalIterations = 0; // outer steps; 1 isothermal without a pressure term
    double ThermalResidual = 0; // K: the largest move of an element's T - D3 p in the last step
    // [i - 1]: the melt at node i, the middle of increment i (degrees C).
    std::vector<double> NodeTemperature;
    // [i - K - 1]: the melt leaving the die from outlet increment i = K+1..M (degrees C).
    std::vector<double> OutletTemperature;
    double OutletTemperatureSpread = 0; // K, max - min of OutletTemperature
    double MeanOutletTemperature = 0; // degrees C, flow-weighted
    // [i - 1] for increment i: wall values of the real melt at its element's temperature.
    std::vector<double> ChannelWallStress; // Pa, channel increment i (i >= 2; [0] half of 1)
    std::vector<double> ChannelWallShearRate; // 1/s
    std::vector<double> SlitWallStress; // Pa, the slit leaving i where it is narrowest
    std::vector<double> SlitWallShearRate; // 1/s
};

// The equivalent slit of channel increment i (its width times the shape factor), and the slit
// leaving increment i: the land's taper, or the outlet taper and the lip.
SlitShape ChannelSlitOf(const Geometry& g, int i);
std::vector<SlitShape> SlitChainOf(
    const Inputs& in, const Geometry& g, const SlitPaths& paths, int i);

// Never throws for bad numbers: a melt, conditions or network that make no sense, or one that
// does not converge, ends with Network.Converged false and a Failure naming why (with the
// residual). `laws` gives the slit paths (the power-law values are not read).
MeltNetworkSolution SolveMeltNetwork(const Inputs& in, const Geometry& g, const ElementLaws& laws,
    const Melt& melt, const MeltConditions& conditions);

} // namespace karrow
