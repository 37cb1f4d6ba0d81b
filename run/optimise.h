#pragma once

// The design search: a Halton sample over the bounds as the global stage, COBYLA (NLopt) from the
// best points of the sample, and again from their answers moved onto the bounds near them, as the
// local stage, a polish of the best, whole-number variables rounded and then searched one step
// at a time. Deterministic: the same problem gives the same answer, with the same
// number of evaluations, on every run and for any number of jobs.

#include "optimise_problem.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace karrow {

struct OptimiseSettings {
    EvaluationSettings Evaluation;
    std::vector<VariableBounds> Bounds;
    int Jobs = 1; // threads; the answer does not depend on it
    int SamplePerVariable = 64; // points of the global sample per variable (at most 1024 in all)
    int Starts = 8; // local searches from the best distinct points of the sample
    int LocalEvaluations = 300; // the most evaluations of one local search
    double RelativeTolerance = 1e-6; // of the normalised variables, ending a local search
    // Set (by another thread or a signal handler) to end the search with the best design so far.
    const std::atomic<bool>* Stop = nullptr;
    // Called on the calling thread now and then: evaluations done and the most planned.
    std::function<void(std::uint64_t done, std::uint64_t planned)> Progress;
};

struct DesignCandidate {
    DesignPoint Point;
    DesignEvaluation Evaluation;
};

// Which of two judged designs a search keeps: a feasible one before one that is not, then the
// lower objective; of infeasible ones the smaller violation, a solved one before a refused one.
bool IsBetter(const DesignEvaluation& a, const DesignEvaluation& b);

struct OptimisationResult {
    // The best design found: feasible when Feasible, else the one nearest to feasibility (its
    // Evaluation names the limit it breaks most), empty when every design was refused.
    std::optional<DesignCandidate> Best;
    bool Feasible = false;
    std::string Refusal; // when every design was refused: why the first one was
    std::uint64_t Evaluations = 0;
    double Seconds = 0;
    bool Stopped = false; // Stop was set: Best is the best so far
};

// Searches the variables of `settings.Bounds` around `base` (the other fields as they are). The
// base design's own values, clamped to the bounds, are a candidate of the global stage too, so a
// feasible base inside the bounds is never beaten by a worse answer. Throws only std::bad_alloc.
OptimisationResult OptimiseDesign(const Inputs& base, const OptimiseSettings& settings);

// The trade-off between the objective and a second figure: the design of least objective, the
// design of least second figure, and between them designs of least objective with the second
// figure limited to evenly spaced values (the epsilon-constraint method); `points` designs in
// all, ordered by the second figure, each under the settings' own limits as well.
struct ParetoFront {
    LimitedFigure Against = LimitedFigure::HeadPressure;
    OptimisationResult Least; // the search of least objective: the front's first end
    std::vector<DesignCandidate> Points; // feasible designs only, by rising second figure
    std::uint64_t Evaluations = 0;
    double Seconds = 0;
    bool Stopped = false;
};

// The objective to trade against `against`: the second figure must be another one than the
// objective. Throws only std::bad_alloc.
ParetoFront TraceParetoFront(
    const Inputs& base, const OptimiseSettings& settings, LimitedFigure against, int points);

// The objective that minimises a limited figure (the front's other end).
DesignObjective ObjectiveOfFigure(LimitedFigure f);

} // namespace karrow
