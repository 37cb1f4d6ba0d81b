#pragma once

#include "../report/figures.h"
#include "../solver/network.h"
#include "../solver/solution.h"
#include "network_resolution.h"
#include "run_driver.h"

#include <optional>
#include <string>

namespace karrow {

// Which answers a run gives: the classic iteration (and its report), the exact solution of the
// model's network, or both.
enum class SolverChoice { Classic, Network, Both };

// Whether the printed digits of a finished run can be trusted. The run is repeated with the flow
// rate one unit in the last place up and down; where the iteration stopped at its limits while
// the flows still moved, the flow table changes. A change of a printed digit that comes only
// from a value lying on a rounding boundary (the values differ by less than 1e-8 of the mean
// outlet flow and of the head pressure) does not count.
struct SettlingCheck {
    bool Settled = true;
    double OutletDifferencePercent =
        0; // largest change of a printed flow, % of the mean outlet flow
    double HeadDifferencePercent =
        0; // largest change of a printed pressure, % of the head pressure
    std::string Note; // when a neighbouring run ended otherwise
};

// The exact solution of the model's network; Solution and Figures only when it converged.
struct ExactAnswer {
    NetworkSolution Network;
    std::optional<Solution> AsSolution;
    std::optional<DesignFigures> Figures;
    int IncrementsPerPitch = 0; // the resolution the answer was solved at
    std::optional<ResolutionStudy> Resolution; // when a study was asked for
};

// The answers a designer came for, after a run.
struct Assessment {
    std::optional<DesignFigures> Classic; // after a finished classic run
    std::optional<SettlingCheck> Settling; // after a finished classic run
    std::optional<ExactAnswer> Exact; // when asked for, and the inputs were accepted
};

SettlingCheck CheckSettling(const Solution& s);

// The exact answer for accepted inputs. Throws karrow::Fault when the geometry or the element
// laws fault (nothing to solve then).
ExactAnswer SolveExactly(
    const Inputs& in, const MeltProperties& melt, const NetworkOptions& network = {});

// Figures, settling check and exact answer of a run, as `choice` asks. The settling check and
// the exact answer run whole calculations of their own; a fault in one of them is reported in
// its Note or Failure, never thrown.
Assessment Assess(const RunOutcome& outcome, SolverChoice choice, const MeltProperties& melt,
    const NetworkOptions& network = {});

} // namespace karrow
