#pragma once

// "karrow-cli materials" (the grades of the library and the user's own, one of them in full,
// and its equivalent power law in the design at a melt temperature) and "karrow-cli fit-melt"
// (a melt fitted to measurements, written as a melt file).

#include "run/fields.h"
#include "run/material_library.h"

#include <CLI/CLI.hpp>
#include <array>
#include <optional>
#include <string>

namespace karrow {

struct MeltCommandOptions {
    CLI::App* Materials = nullptr;
    CLI::App* FitMelt = nullptr;
    // materials
    std::string Name;
    std::optional<double> Temperature; // °C
    // fit-melt
    std::string Data;
    std::string Model;
    std::string Shift = "arrhenius";
    std::optional<double> ReferenceTemperature;
    std::optional<double> D2;
    double A2 = 51.6;
    std::string Output;
    std::string MeltName;
    std::string Family = "fitted";
    double Density = 0.75; // g/cm3, as --density of a run
    double HeatCapacity = 2.3; // J/(g K), as --heat-capacity of a run
};

// Adds both subcommands to `app`; `o` holds their options.
void AddMeltCommands(CLI::App& app, MeltCommandOptions& o);
bool MeltCommandParsed(const MeltCommandOptions& o);

// Runs the subcommand given; the exit status of karrow-cli. `texts` are the design's field
// texts (the equivalent power law of "materials NAME" is that design's).
int RunMeltCommand(
    const MeltCommandOptions& o, const FieldTexts& texts, char separator);

// The library that ships with this karrow-cli (beside it, as installed, else where the build
// would install it, else the source tree's) and the user's XDG folder.
MaterialFolders DefaultMaterialFolders();

} // namespace karrow
