#pragma once

// The command line's run with a real melt: the melt (--melt FILE or --material NAME), its
// temperature, the thermal mode, the die wall and the throughput (run/melt_run.h checks them).
// The classic report keeps its power law; the exact network of the same design is solved again
// with the melt, and its answer goes beside the run's.

#include "run/fields.h"
#include "run/input_set.h"
#include "run/material_library.h"
#include "run/melt_run.h"

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <variant>

namespace karrow {

struct RealMeltOptions {
    std::string MeltFile;
    std::string Material;
    MeltRunSettings Settings;
    bool ThermalGiven = false; // --thermal on the command line, not its default
    // The melt of the input set given with --inputs: the run's melt unless --melt or --material
    // names another (which brings its own conditions); each condition given as an option
    // replaces the set's.
    std::optional<InputSetMelt> FromInputs;
};

// --melt, --material, --melt-temperature, --thermal, --wall-temperature,
// --heat-transfer-coefficient, --throughput.
void AddMeltOptions(CLI::App& app, RealMeltOptions& options);

// The melt a run was asked for, and its conditions.
struct ChosenMelt {
    std::string Name; // the grade's name, or the file's path
    Melt TheMelt;
    MeltConditions Conditions;
    std::optional<double> Throughput; // kg/h, the whole die
};

// Nothing when no melt was asked for; otherwise the melt or a message naming the option or
// file at fault. Without --melt-temperature a grade runs in the middle of its processing window.
std::variant<std::monostate, ChosenMelt, std::string> ChosenMeltOf(
    const RealMeltOptions& options, const MaterialFolders& folders);

// The melt and its conditions as an input set keeps them.
InputSetMelt InputSetMeltOf(const ChosenMelt& melt);

// With --throughput, the flow rate per channel of the texts is the throughput's, written with
// the decimal separator; a message when the throughput cannot set it (the flow rate also given,
// or the channels unreadable).
std::optional<std::string> ApplyThroughput(const ChosenMelt& melt, bool flowRateGiven,
    FieldTexts& texts, char decimalSeparator);

// The exact network's answer with the melt, in a few lines for the summary.
std::string MeltSummaryText(const ChosenMelt& melt, const MeltRun& run);

} // namespace karrow
