#pragma once

#include "design_run.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace karrow {

// One varied field of a study: COUNT values evenly from FROM to TO.
struct Variation {
    int Field = 0;
    double From = 0;
    double To = 0;
    int Count = 1;
};

// Reads "FIELD=FROM:TO:COUNT" (FIELD an option name such as channel-width); nothing and the
// problem in `problem` when it is not one.
std::optional<Variation> ParseVariation(const std::string& text, std::string& problem);

// The field texts of every design of the grid of all combinations, the first variation
// changing slowest; the fixed texts elsewhere.
std::vector<std::array<std::string, 15>> GridOf(const std::array<std::string, 15>& fixed,
    const std::vector<Variation>& variations, char decimalSeparator);

// Calculates every design on `jobs` threads, in any order; the records come back in the grid's
// order. `progress` is called from the calling thread with the number done so far.
std::vector<RunRecord> RunSweep(const std::vector<std::array<std::string, 15>>& designs,
    SolverChoice solver, const MeltProperties& melt, char decimalSeparator, int jobs,
    const std::function<void(std::size_t)>& progress, const NetworkOptions& network = {});

} // namespace karrow
