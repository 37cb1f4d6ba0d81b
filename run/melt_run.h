#pragma once

// The exact network of a design with a real melt, as a run asks for it: the grid of the exact
// network (network_grid.h), the melt's element laws, and its answer as a JSON object a run
// document carries beside the power-law answer.

#include "report/figures.h"
#include "solver/melt_network.h"
#include "solver/network_grid.h"

#include <optional>
#include <string>
#include <variant>

namespace karrow {

struct MeltRun {
    NetworkResolution Resolution;
    bool Solved = false; // the network has an answer (converged or not)
    std::string Failure; // why not solved or not converged, in words; empty when converged
    MeltNetworkSolution Answer;
    int TransferIncrements = 0; // K: outlet increment i is [i - K - 1] of the outlet lists
    // The figures that depend on the flows and the geometry alone, read from the answer as
    // from any network's: outlet distribution, head pressure, residence of the melt.
    OutletDistribution Outlet;
    HeadPressure Head;
    ResidenceTimes Residence;
};

// Never throws for bad numbers: a design without a network at this resolution, or a melt the
// laws refuse, ends with Solved false and the reason. A resolution of 0 increments per pitch
// takes the default grid.
MeltRun SolveMeltRun(const Inputs& in, const Melt& melt, const MeltConditions& conditions,
    NetworkResolution resolution = {});

// A run's conditions as a front end reads them: every one optional, each named by its
// command-line option in messages.
struct MeltRunSettings {
    std::optional<double> MeltTemperature; // degrees C
    std::string Thermal = "isothermal"; // or "heated"
    std::optional<double> WallTemperature; // degrees C
    std::optional<double> HeatTransferCoefficient; // W/(m2 K)
    std::optional<double> Throughput; // kg/h, the whole die
};

// Whether any of them was given (they mean nothing without a melt).
bool AnyMeltSetting(const MeltRunSettings& settings);

// The conditions for the melt, or a message naming the option that makes them meaningless.
std::variant<MeltConditions, std::string> MeltConditionsOf(
    const MeltRunSettings& settings, const Melt& melt);

// The flow rate per channel, cm3/sec, of a die's total throughput in kg/h of a melt of this
// density (kg/m3); 0 when either is not a positive number or the channels fewer than one.
double FlowRatePerChannelOf(double throughputKgPerHour, double density, int channels);

// {"melt": {model, shift, constants by their stable names with units}, "conditions": {...},
//  "network": {converged, residual, iterations, thermal steps and residual, head pressure,
//  outlet flows}, "temperatures": {nodes, outlets, spread, mean}} as JSON text.
std::string MeltRunJson(const Melt& melt, const MeltConditions& conditions, const MeltRun& run);

} // namespace karrow
