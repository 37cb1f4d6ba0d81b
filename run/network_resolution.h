#pragma once

#include "../report/figures.h"
#include "../solver/network_grid.h"
#include "../solver/solution.h"

#include <optional>
#include <string>
#include <vector>

namespace karrow {

// How the exact network is resolved: a fixed number of increments per channel pitch (0: the
// pitch-exact grid nearest 15 degrees), and whether a resolution study is run on top.
struct NetworkOptions {
    int IncrementsPerPitch = 0;
    bool Study = false;
    // Change allowed of the outlet CV and spread (percentage points: they are percentages
    // themselves) and of the head pressure (relative): a figure has converged when it, or its
    // extrapolated limit, changes by no more than that from one level to the next. Infinity
    // leaves a figure out of the stopping rule.
    double CvTolerance = 0.1;
    double SpreadTolerance = 0.1;
    double HeadTolerance = 1e-3;
    int StudyLevels = 8; // the most levels, the first included: up to 2^7 times as fine
};

int IncrementsPerPitchOf(const Inputs& in, const NetworkOptions& options);

// The three figures a resolution study follows, at one level.
struct ResolutionFigures {
    double CvPercent = 0;
    double SpreadPercent = 0;
    double HeadPressure = 0; // gf/cm2
};

struct ResolutionLevel {
    int IncrementsPerPitch = 0;
    int Increments = 0; // nodes of the network
    int NewtonSteps = 0;
    ResolutionFigures Figures;
};

// One figure's limit: Richardson's extrapolation from the last three levels with the order they
// show, and how far the first level (the grid near 15 degrees) lies from it.
struct ResolutionLimit {
    double Value = 0; // the finest level's value when there is no order to extrapolate with
    std::optional<double> ObservedOrder;
    double FirstLevelErrorPercent = 0; // (first level - limit) / limit
};

struct ResolutionStudy {
    std::vector<ResolutionLevel> Levels;
    bool Converged = false; // every figure's last change is within its tolerance
    std::string Note; // why the study ended without converging, or why a limit is not extrapolated
    ResolutionLimit Cv;
    ResolutionLimit Spread;
    ResolutionLimit Head;
};

// Solves the design at k, 2k, 4k, ... increments per pitch (k from the options), each level
// started from the one before and cut where the first level cuts the effective part, until the
// outlet CV, spread and head pressure (or their extrapolated limits) change by less than their
// tolerances between two levels, at least three levels, or the level cap is reached, or a level
// cannot be solved (told in Note). Empty Levels when even the first level has no answer. Throws
// nothing but std::bad_alloc.
ResolutionStudy StudyResolution(const Inputs& in, const NetworkOptions& options);

ResolutionFigures ResolutionFiguresOf(const Solution& s);

// One line for the verdict: the converged (extrapolated) figures and how far the first level, the
// grid near 15 degrees, is from them; or why the study has no answer.
std::string ResolutionVerdict(const ResolutionStudy& study);

// The outlet flows round the whole die: the channel's last m slit flows repeated for each of
// the N channels, 360 degrees from the start of the first channel's outlet zone.
struct DieOutletPoint {
    double AngleDegrees = 0;
    int Channel = 0; // from 1
    double Flow = 0; // cm3/sec
    double Relative = 0; // flow / mean
};
std::vector<DieOutletPoint> OutletRoundTheDie(const Solution& s);

} // namespace karrow
