#include "assessment.h"

#include "../report/result_file.h"
#include "../solver/exact_solution.h"
#include "../solver/extended.h"
#include "../solver/fault.h"

#include <algorithm>
#include <cmath>

namespace karrow {

namespace {

    constexpr double RoundingPercent = 1e-6; // 1e-8 of the mean outlet flow or the head pressure

    // The whole calculation of the inputs with another flow rate, from a clean arithmetic state.
    Solution Recalculate(Inputs in, double flowRate)
    {
        in.FlowRatePerChannel = flowRate;
        PrepareFloatingPoint();
        return Calculate(in);
    }

    // Largest changes between the tables of two solutions of the same geometry.
    void AddDifferences(const Solution& a, const Solution& b, SettlingCheck& check)
    {
        const double meanOutlet = a.In.FlowRatePerChannel / a.Geo.PitchIncrements;
        const double head = a.HeadPressure();
        for (int i = 1; i <= a.Geo.EffectiveIncrements; ++i) {
            const double flow = std::max(
                std::fabs(a.Flow.Distribution.SlitFlow(i) - b.Flow.Distribution.SlitFlow(i)),
                std::fabs(ReportedChannelFlow(a, i) - ReportedChannelFlow(b, i)));
            const double pressure =
                std::fabs(a.Flow.Profile.ChannelPressure[i] - b.Flow.Profile.ChannelPressure[i]);
            check.OutletDifferencePercent =
                std::max(check.OutletDifferencePercent, 100 * flow / meanOutlet);
            check.HeadDifferencePercent =
                std::max(check.HeadDifferencePercent, 100 * pressure / head);
        }
    }

    void CompareWithNeighbour(
        const Solution& s, const std::string& table, double flowRate, SettlingCheck& check)
    {
        try {
            const Solution neighbour = Recalculate(s.In, flowRate);
            if (neighbour.Flow.Record.Stop == IterationStop::StepLimit) {
                check.Settled = false;
                check.Note = "a run with the flow rate changed in its last digit does not converge";
                return;
            }
            if (neighbour.Geo.EffectiveIncrements != s.Geo.EffectiveIncrements) {
                check.Settled = false;
                check.Note = "a run with the flow rate changed in its last digit has another "
                             "effective part";
                return;
            }
            if (FlowTableText(neighbour, '.') == table)
                return;
            SettlingCheck differences;
            AddDifferences(s, neighbour, differences);
            // A value on a rounding boundary of the table flips its last digit for any change;
            // only a difference well above rounding tells that the flows were still moving.
            if (differences.OutletDifferencePercent <= RoundingPercent
                && differences.HeadDifferencePercent <= RoundingPercent)
                return;
            check.Settled = false;
            AddDifferences(s, neighbour, check);
        } catch (const Fault& fault) {
            check.Settled = false;
            check.Note = std::string("a run with the flow rate changed in its last digit stops: ")
                + fault.what();
        }
    }

} // namespace

SettlingCheck CheckSettling(const Solution& s)
{
    SettlingCheck check;
    const double q = s.In.FlowRatePerChannel;
    const std::string table = FlowTableText(s, '.');
    CompareWithNeighbour(s, table, std::nextafter(q, HUGE_VAL), check);
    CompareWithNeighbour(s, table, std::nextafter(q, 0.0), check);
    return check;
}

ExactAnswer SolveExactly(
    const Inputs& in, const MeltProperties& melt, const NetworkOptions& network)
{
    ExactAnswer answer;
    answer.IncrementsPerPitch = IncrementsPerPitchOf(in, network);
    if (network.Study)
        answer.Resolution = StudyResolution(in, network);
    const ResolvedNetwork r = SolveNetworkAt(in, { answer.IncrementsPerPitch, 0 });
    answer.Network = r.Network;
    if (answer.Network.Converged) {
        answer.AsSolution = SolutionOfNetwork(in, r.Geo, r.Laws, answer.Network);
        answer.Figures = ComputeFigures(*answer.AsSolution, melt);
    }
    return answer;
}

Assessment Assess(const RunOutcome& outcome, SolverChoice choice, const MeltProperties& melt,
    const NetworkOptions& network)
{
    Assessment answers;
    if (outcome.End == RunEnd::Finished && outcome.Result && choice != SolverChoice::Network) {
        answers.Classic = ComputeFigures(*outcome.Result, melt);
        answers.Settling = CheckSettling(*outcome.Result);
    }
    if (outcome.In && choice != SolverChoice::Classic) {
        try {
            answers.Exact = SolveExactly(*outcome.In, melt, network);
        } catch (const Fault& fault) {
            ExactAnswer failed;
            failed.Network.Failure =
                std::string("the network could not be set up: ") + fault.what();
            answers.Exact = failed;
        }
    }
    ClearFloatingPointFaults();
    return answers;
}

} // namespace karrow
