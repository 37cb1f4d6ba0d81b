#pragma once

// The melt a designer chose in the window, and the exact network's answer for it. The classic
// calculation and its report keep the power law of the fields; this melt is read only by the
// network, beside them.

#include "run/material_library.h"
#include "solver/melt.h"
#include "solver/melt_network.h"
#include "solver/solution.h"

#include <optional>
#include <string>

namespace karrow {

struct MeltChoice {
    std::string Grade; // the grade it came from; empty for constants typed in
    struct Melt Melt;
    MeltConditions Conditions;
};

// Where the window finds the library (beside the program, where it is installed, the source
// tree's) and the user's grades.
MaterialFolders WindowMaterialFolders();

// The exact network's answer for the melt, for the inputs of a finished run, at the resolution
// karrow-cli solves it with (run/melt_run.h). Never throws for bad numbers: an answer that did
// not converge says why in its Failure.
struct MeltAnswer {
    MeltNetworkSolution Solved;
    double HeadPressureMPa = 0;
    double FlowSpreadPercent = 0; // (max - min) / mean of the outlet flows
    int TransferIncrements = 0; // K: the outlets are increments K+1..M
};
MeltAnswer SolveMeltAnswer(const Solution& run, const MeltChoice& choice);

} // namespace karrow
