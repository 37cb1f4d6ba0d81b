#pragma once

#include "../report/figures.h"
#include "../solver/network.h"
#include "../solver/solution.h"
#include "network_resolution.h"
#include "run_driver.h"

#include <functional>
#include <future>
#include <optional>
#include <string>
#include <vector>

namespace karrow {

// Which answers a run gives: the classic iteration (and its report), the exact solution of the
// model's network, or both.
enum class SolverChoice { Classic, Network, Both };

// The least and largest value of a figure over the runs of a probe.
struct FigureRange {
    double Low = 0;
    double High = 0;
};

// Whether the report repeats to its last printed digit when the flow rate moves by one unit in
// the last place (ulp) up and down, and, when it does not, how far the figures range over a wider
// probe of neighbours (2, 4, ... ProbeReachUlps ulp either side). A design whose iteration stopped
// at its limits while the flows still moved can print other digits, or other figures, for inputs
// that no designer could tell apart. A change of a printed digit that comes only from a value on
// a rounding boundary (the values differ by less than RoundingPercent of the mean outlet flow and
// of the head pressure) does not count.
struct RepeatabilityCheck {
    bool Repeatable = true;
    // Largest change, between the run and its +-1 ulp neighbours, of a printed slit or channel flow
    // in % of the mean outlet flow, and of a printed node pressure in % of the head pressure.
    double FlowChangePercentOfMeanOutlet = 0;
    double PressureChangePercentOfHead = 0;
    std::string Note; // when a neighbouring run ended otherwise
    int ReachUlps = 1; // how far the probe went: 1, or ProbeReachUlps when not repeatable
    int Runs = 1; // runs whose figures the ranges cover, the run itself included
    int RunsNotFinished = 0; // neighbours that did not converge or stopped on a fault
    FigureRange HeadKgfCm2;
    FigureRange OutletSpreadPercent;
};

inline constexpr double RoundingPercent = 1e-6; // 1e-8 of the mean outlet flow or head pressure
inline constexpr int ProbeReachUlps = 64;

// The whole calculation of the inputs with another flow rate, as a neighbour of the probe runs
// it. Throws karrow::Fault.
using NeighbourCalculation = std::function<Solution(const Inputs&, double flowRate)>;
Solution CalculateNeighbour(const Inputs& in, double flowRate);

// The flow rate `ulps` units in the last place above (ulps > 0) or below the given one.
double FlowRateOffset(double flowRate, int ulps);

// The offsets of the probe, in ulp: -1, +1 first, then -2, +2, -4, ... to ProbeReachUlps.
std::vector<int> ProbeOffsets();

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
    std::optional<RepeatabilityCheck> Repeatability; // after a finished classic run
    std::optional<ExactAnswer> Exact; // when asked for, and the inputs were accepted
};

// The neighbours of a run and the exact answer, started on other threads as soon as the inputs
// are known, so that they run beside the run itself. Unused results are waited for and dropped
// on destruction.
class StartedChecks {
public:
    StartedChecks(const Inputs& in, SolverChoice choice, const MeltProperties& melt,
        const NetworkOptions& network = {});
    StartedChecks(const StartedChecks&) = delete;
    StartedChecks& operator=(const StartedChecks&) = delete;
    ~StartedChecks();

    const Inputs& In() const { return in_; }
    // The neighbour at +-1 ulp (offset -1 or 1): its solution, or the message of its fault.
    struct Neighbour {
        std::optional<Solution> Result;
        std::string Fault;
    };
    Neighbour TakeNeighbour(int offset);
    std::optional<ExactAnswer> TakeExact();

private:
    Inputs in_;
    std::future<Neighbour> below_;
    std::future<Neighbour> above_;
    std::future<ExactAnswer> exact_;
};

// The repeatability check of a finished run: its +-1 ulp neighbours (from `started` when given
// for the same inputs), and the wider probe when they differ, on up to `threads` threads.
RepeatabilityCheck CheckRepeatability(const Solution& s, StartedChecks* started = nullptr,
    unsigned threads = 0, const NeighbourCalculation& calculate = CalculateNeighbour);

// The exact answer for accepted inputs. Throws karrow::Fault when the geometry or the element
// laws fault (nothing to solve then). `classic`, the classic Solution of the same inputs when
// there is one: on the classic grid the network takes its geometry and element laws, which are
// the network's own bit for bit, instead of computing them again.
ExactAnswer SolveExactly(const Inputs& in, const MeltProperties& melt,
    const NetworkOptions& network = {}, const Solution* classic = nullptr);

// Figures, repeatability check and exact answer of a run, as `choice` asks. The check and the
// exact answer run whole calculations of their own, in parallel, or take them from `started`;
// a fault in one of them is reported in its Note or Failure, never thrown.
Assessment Assess(const RunOutcome& outcome, SolverChoice choice, const MeltProperties& melt,
    const NetworkOptions& network = {}, StartedChecks* started = nullptr);

} // namespace karrow
