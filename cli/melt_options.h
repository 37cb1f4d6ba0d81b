#pragma once

// The command line's conditions of a run with a real melt: its temperature, the thermal mode,
// the die wall and the throughput. The melt itself comes from --melt FILE or --material NAME.

#include "solver/melt_network.h"

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <variant>

namespace karrow {

struct MeltRunOptions {
    std::optional<double> MeltTemperature; // degrees C
    std::string Thermal = "isothermal";
    std::optional<double> WallTemperature; // degrees C
    std::optional<double> HeatTransferCoefficient; // W/(m2 K)
    std::optional<double> Throughput; // kg/h, the whole die
};

// --melt-temperature, --thermal, --wall-temperature, --heat-transfer-coefficient, --throughput.
void AddMeltOptions(CLI::App& app, MeltRunOptions& options);

// Whether any of them was given (they mean nothing without a melt).
bool AnyMeltOption(const MeltRunOptions& options);

// The conditions for the melt, or a message naming the option that makes them meaningless.
std::variant<MeltConditions, std::string> MeltConditionsOf(
    const MeltRunOptions& options, const Melt& melt);

} // namespace karrow
