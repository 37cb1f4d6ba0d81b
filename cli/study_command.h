#pragma once

// "karrow-cli sweep": a study over a grid of designs, without reports.

#include "melt_options.h"
#include "run/assessment.h"
#include "run/fields.h"

#include <CLI/CLI.hpp>
#include <array>
#include <string>
#include <thread>
#include <vector>

namespace karrow {

struct StudyOptions {
    std::vector<std::string> Vary;
    int Jobs = static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
    std::string Csv;
    std::string Shard = "1/1";
    bool LargeGrid = false;
};

// Adds the "sweep" subcommand to `app`. Its --json shares `json` with the single run's option,
// so that the option may stand before or after "sweep".
CLI::App* AddStudyCommand(CLI::App& app, StudyOptions& o, std::string& json);

// Runs the study of `o` around the field texts `fixed`; the exit status of karrow-cli. With a
// real melt, every design is solved with it as well (at the grid's melt temperature when the
// study varies it), and the rows carry its answer.
int RunStudy(const StudyOptions& o, const std::string& json, const FieldTexts& fixed,
    SolverChoice solver, const MeltProperties& melt, char decimalSeparator,
    const NetworkOptions& network = {}, const std::optional<ChosenMelt>& realMelt = std::nullopt);

} // namespace karrow
