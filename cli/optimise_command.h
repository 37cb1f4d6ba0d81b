#pragma once

// "karrow-cli optimise": the design of least outlet non-uniformity (or another objective) within
// bounds on chosen fields and limits on the design's figures, found on the exact network.

#include "melt_options.h"
#include "report/figures.h"
#include "run/fields.h"
#include "run/network_resolution.h"

#include <CLI/CLI.hpp>
#include <array>
#include <string>
#include <thread>
#include <vector>

namespace karrow {

// Exit statuses of the command besides karrow-cli's own (0, 2, 5, 64).
inline constexpr int ExitNoFeasibleDesign = 6; // no design in the bounds keeps every limit
inline constexpr int ExitSearchStopped = 130; // Ctrl-C: the best design so far was shown

struct OptimiseOptions {
    std::vector<std::string> Vary;
    std::string Minimise = "cv";
    std::string MaxHeadPressure;
    std::string MaxWallShearRate;
    std::string MaxWallShearStress;
    std::string MaxResidenceTime;
    std::string MinGap;
    std::string MaxTemperatureRise;
    std::string MaxTemperatureSpread;
    int Front = 0;
    std::string FrontAgainst = "head-pressure";
    int Jobs = static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
    std::string Csv;
    std::string Report;
};

// Adds the "optimise" subcommand to `app`. Its --json and --save-inputs share `json` and
// `saveInputs` with the single run's options, so that they may stand before or after "optimise".
CLI::App* AddOptimiseCommand(
    CLI::App& app, OptimiseOptions& o, std::string& json, std::string& saveInputs);

// Runs the search of `o` from the field texts `texts`; the exit status of karrow-cli. With
// `realMelt` (the run's --melt or --material, read by ChosenMeltOf) every design is judged by
// the exact network with that melt at its conditions instead of the power law.
int RunOptimise(const OptimiseOptions& o, const std::string& json, const std::string& saveInputs,
    const FieldTexts& texts, const MeltProperties& melt, char decimalSeparator,
    const NetworkOptions& network, const std::optional<ChosenMelt>& realMelt = std::nullopt);

} // namespace karrow
