#include "assessment.h"

#include "../report/result_file.h"
#include "../solver/exact_solution.h"
#include "../solver/extended.h"
#include "../solver/fault.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>

namespace karrow {

namespace {

    bool SameInputs(const Inputs& a, const Inputs& b)
    {
        return a.NumberOfChannels == b.NumberOfChannels && a.SpiralHeight == b.SpiralHeight
            && a.LipHeight == b.LipHeight && a.DieRadius == b.DieRadius
            && a.FlowRatePerChannel == b.FlowRatePerChannel && a.PowerLawIndex == b.PowerLawIndex
            && a.StandardViscosity == b.StandardViscosity
            && a.StandardShearRate == b.StandardShearRate && a.InletSlitHeight == b.InletSlitHeight
            && a.OutletSlitHeight == b.OutletSlitHeight
            && a.InletChannelDepth == b.InletChannelDepth
            && a.OutletChannelDepth == b.OutletChannelDepth && a.ChannelWidth == b.ChannelWidth
            && a.TotalIncrements == b.TotalIncrements;
    }

    using Neighbour = StartedChecks::Neighbour;

    Neighbour NeighbourOf(
        const Inputs& in, int offset, const NeighbourCalculation& calculate = CalculateNeighbour)
    {
        Neighbour neighbour;
        try {
            neighbour.Result = calculate(in, FlowRateOffset(in.FlowRatePerChannel, offset));
        } catch (const Fault& fault) {
            neighbour.Fault = fault.what();
        }
        return neighbour;
    }

    // Runs task(0 .. count-1) on up to `threads` threads, the calling one among them.
    void RunInParallel(int count, unsigned threads, const std::function<void(int)>& task)
    {
        if (count <= 0)
        return;
    std::atomic<int> next { 0 };
        const auto work = [&] {
            for (int k = next++; k < count; k = next++)
                task(k);
        };
        const unsigned helpers = std::min<unsigned>(threads, static_cast<unsigned>(count)) - 1;
        std::vector<std::jthread> pool;
        for (unsigned t = 0; t < helpers; ++t)
            pool.emplace_back(work);
        work();
    }

    unsigned ThreadsOrCores(unsigned threads)
    {
        return threads > 0 ? threads : std::max(1U, std::thread::hardware_concurrency());
    }

    // Largest changes between the printed tables of two solutions of the same geometry.
    void AddDifferences(const Solution& a, const Solution& b, RepeatabilityCheck& check)
    {
        const double meanOutlet = a.In.FlowRatePerChannel / a.Geo.PitchIncrements;
        const double head = a.HeadPressure();
        for (int i = 1; i <= a.Geo.EffectiveIncrements; ++i) {
            // Relative first, so that flows near the ends of double's range do not overflow.
            const double flow = std::max(
                std::fabs(a.Flow.Distribution.SlitFlow(i) / meanOutlet
                    - b.Flow.Distribution.SlitFlow(i) / meanOutlet),
                std::fabs(ReportedChannelFlow(a, i) / meanOutlet
                    - ReportedChannelFlow(b, i) / meanOutlet));
            const double pressure = std::fabs(
                a.Flow.Profile.ChannelPressure[i] / head - b.Flow.Profile.ChannelPressure[i] / head);
            check.FlowChangePercentOfMeanOutlet =
                std::max(check.FlowChangePercentOfMeanOutlet, 100 * flow);
            check.PressureChangePercentOfHead =
                std::max(check.PressureChangePercentOfHead, 100 * pressure);
        }
    }

    void Widen(FigureRange& range, double value)
    {
        range.Low = std::min(range.Low, value);
        range.High = std::max(range.High, value);
    }

    // A neighbour's figures into the ranges; false when it did not finish.
    bool AddToRanges(const Neighbour& neighbour, RepeatabilityCheck& check)
    {
        if (!neighbour.Result || neighbour.Result->Flow.Record.Stop == IterationStop::StepLimit) {
            ++check.RunsNotFinished;
            return false;
        }
        ++check.Runs;
        Widen(check.HeadKgfCm2, HeadPressureOf(*neighbour.Result).KgfCm2);
        Widen(check.OutletSpreadPercent, OutletDistributionOf(*neighbour.Result).SpreadPercent);
        return true;
    }

    void CompareNearest(const Solution& s, const std::string& table, const Neighbour& neighbour,
        RepeatabilityCheck& check)
    {
        const char* const changed = "a run with the flow rate changed in its last digit";
        if (!neighbour.Result) {
            check.Repeatable = false;
            check.Note = std::string(changed) + " stops: " + neighbour.Fault;
        } else if (neighbour.Result->Flow.Record.Stop == IterationStop::StepLimit) {
            check.Repeatable = false;
            check.Note = std::string(changed) + " does not converge";
        } else if (neighbour.Result->Geo.EffectiveIncrements != s.Geo.EffectiveIncrements) {
            check.Repeatable = false;
            check.Note = std::string(changed) + " has another effective part";
            ++check.RunsNotFinished;
            return;
        }
        if (!AddToRanges(neighbour, check) || FlowTableText(*neighbour.Result, '.') == table)
            return;
        RepeatabilityCheck differences;
        AddDifferences(s, *neighbour.Result, differences);
        // A value on a rounding boundary of the table flips its last digit for any change; only
        // a difference well above rounding tells that the flows were still moving.
        if (differences.FlowChangePercentOfMeanOutlet <= RoundingPercent
            && differences.PressureChangePercentOfHead <= RoundingPercent)
            return;
        check.Repeatable = false;
        AddDifferences(s, *neighbour.Result, check);
    }

    ExactAnswer ExactAnswerOf(const Inputs& in, const MeltProperties& melt,
        const NetworkOptions& network, const Solution* classic = nullptr)
    {
        try {
            return SolveExactly(in, melt, network, classic);
        } catch (const Fault& fault) {
            ExactAnswer failed;
            failed.Network.Failure =
                std::string("the network could not be set up: ") + fault.what();
            return failed;
        }
    }

} // namespace

Solution CalculateNeighbour(const Inputs& in, double flowRate)
{
    Inputs neighbour = in;
    neighbour.FlowRatePerChannel = flowRate;
    PrepareFloatingPoint();
    return Calculate(neighbour);
}

double FlowRateOffset(double flowRate, int ulps)
{
    const double towards = ulps > 0 ? HUGE_VAL : 0.0;
    for (int k = 0; k < std::abs(ulps); ++k)
        flowRate = std::nextafter(flowRate, towards);
    return flowRate;
}

std::vector<int> ProbeOffsets()
{
    std::vector<int> offsets;
    for (int ulps = 1; ulps <= ProbeReachUlps; ulps *= 2) {
        offsets.push_back(-ulps);
        offsets.push_back(ulps);
    }
    return offsets;
}

StartedChecks::StartedChecks(const Inputs& in, SolverChoice choice, const MeltProperties& melt,
    const NetworkOptions& network)
    : in_(in)
{
    if (choice != SolverChoice::Network) {
        below_ = std::async(std::launch::async, [this] { return NeighbourOf(in_, -1); });
        above_ = std::async(std::launch::async, [this] { return NeighbourOf(in_, 1); });
    }
    if (choice != SolverChoice::Classic)
        exact_ = std::async(
            std::launch::async, [this, melt, network] { return ExactAnswerOf(in_, melt, network); });
}

StartedChecks::~StartedChecks() = default;

StartedChecks::Neighbour StartedChecks::TakeNeighbour(int offset)
{
    std::future<Neighbour>& pending = offset < 0 ? below_ : above_;
    return pending.valid() ? pending.get() : NeighbourOf(in_, offset);
}

std::optional<ExactAnswer> StartedChecks::TakeExact()
{
    if (!exact_.valid())
        return std::nullopt;
    return exact_.get();
}

RepeatabilityCheck CheckRepeatability(const Solution& s, StartedChecks* started, unsigned threads,
    const NeighbourCalculation& calculate)
{
    RepeatabilityCheck check;
    const double head = HeadPressureOf(s).KgfCm2;
    const double spread = OutletDistributionOf(s).SpreadPercent;
    check.HeadKgfCm2 = { head, head };
    check.OutletSpreadPercent = { spread, spread };
    const std::string table = FlowTableText(s, '.');
    const std::vector<int> offsets = ProbeOffsets();
    std::vector<Neighbour> neighbours(offsets.size());

    if (started != nullptr && SameInputs(started->In(), s.In)) {
        neighbours[0] = started->TakeNeighbour(offsets[0]);
        neighbours[1] = started->TakeNeighbour(offsets[1]);
    } else {
        RunInParallel(2, ThreadsOrCores(threads), [&](int k) {
            neighbours[static_cast<std::size_t>(k)] =
                NeighbourOf(s.In, offsets[static_cast<std::size_t>(k)], calculate);
        });
    }
    CompareNearest(s, table, neighbours[0], check);
    CompareNearest(s, table, neighbours[1], check);
    if (check.Repeatable)
        return check;

    // Not repeatable: how far do the figures go over inputs no designer could tell apart?
    const int wider = static_cast<int>(offsets.size()) - 2;
    RunInParallel(wider, ThreadsOrCores(threads), [&](int k) {
        const auto at = static_cast<std::size_t>(k + 2);
        neighbours[at] = NeighbourOf(s.In, offsets[at], calculate);
    });
    for (std::size_t k = 2; k < neighbours.size(); ++k)
        AddToRanges(neighbours[k], check);
    check.ReachUlps = ProbeReachUlps;
    return check;
}

ExactAnswer SolveExactly(const Inputs& in, const MeltProperties& melt,
    const NetworkOptions& network, const Solution* classic)
{
    ExactAnswer answer;
    answer.IncrementsPerPitch = IncrementsPerPitchOf(in, network);
    if (network.Study)
        answer.Resolution = StudyResolution(in, network);
    const NetworkResolution resolution { answer.IncrementsPerPitch, 0 };
    const ResolvedNetwork r = classic != nullptr && IsClassicGrid(in, resolution)
        ? SolveNetworkWith(in, resolution, classic->Geo, classic->Flow.Laws)
        : SolveNetworkAt(in, resolution);
    answer.Network = r.Network;
    if (answer.Network.Converged) {
        answer.AsSolution = SolutionOfNetwork(in, r.Geo, r.Laws, answer.Network);
        answer.Figures = ComputeFigures(*answer.AsSolution, melt);
    }
    return answer;
}

Assessment Assess(const RunOutcome& outcome, SolverChoice choice, const MeltProperties& melt,
    const NetworkOptions& network, StartedChecks* started)
{
    if (started != nullptr && !(outcome.In && SameInputs(started->In(), *outcome.In)))
        started = nullptr;
    Assessment answers;
    // The run's own Solution, finished or not, holds the geometry and laws the exact network
    // would compute again on the classic grid.
    const Solution* classic = outcome.Result ? &*outcome.Result : nullptr;
    std::future<ExactAnswer> exact;
    if (outcome.In && choice != SolverChoice::Classic && started == nullptr)
        exact = std::async(std::launch::async,
            [&] { return ExactAnswerOf(*outcome.In, melt, network, classic); });
    if (outcome.End == RunEnd::Finished && outcome.Result && choice != SolverChoice::Network) {
        answers.Classic = ComputeFigures(*outcome.Result, melt);
        answers.Repeatability = CheckRepeatability(*outcome.Result, started);
    }
    if (exact.valid())
        answers.Exact = exact.get();
    else if (started != nullptr && choice != SolverChoice::Classic) {
        answers.Exact = started->TakeExact();
        if (!answers.Exact)
            answers.Exact = ExactAnswerOf(*outcome.In, melt, network, classic);
    }
    ClearFloatingPointFaults();
    return answers;
}

} // namespace karrow
