#include "network_resolution.h"

#include "../solver/exact_solution.h"
#include "../solver/fault.h"

#include <cmath>
#include <cstdio>

namespace karrow {

namespace {

    constexpr double Refinement = 2;
    // Below this an observed order says the differences are noise or change sign: Richardson's
    // formula would then amplify rounding instead of removing the grid's error.
    constexpr double LeastUsableOrder = 0.5;
    constexpr double MostUsableOrder = 8;

    double RelativeChange(double fine, double coarse)
    {
        const double scale = std::max(std::fabs(fine), std::fabs(coarse));
        return scale == 0 ? 0 : std::fabs(fine - coarse) / scale;
    }

    double PointsChange(double fine, double coarse)
    {
        return std::fabs(fine - coarse);
    }

    using ChangeOf = double (*)(double, double);

    // f1, f2, f3 from coarse to fine, each grid twice as fine as the one before.
    ResolutionLimit LimitOf(double first, double f1, double f2, double f3)
    {
        ResolutionLimit limit;
        limit.Value = f3;
        const double coarser = f1 - f2;
        const double finer = f2 - f3;
        if (finer == 0) {
            limit.ObservedOrder = std::nullopt;
        } else if (coarser / finer > 0) {
            const double order = std::log(coarser / finer) / std::log(Refinement);
            if (order >= LeastUsableOrder && order <= MostUsableOrder) {
                limit.ObservedOrder = order;
                limit.Value = f3 - finer / (std::pow(Refinement, order) - 1);
            }
        }
        limit.FirstLevelErrorPercent =
            limit.Value == 0 ? 0 : 100 * (first - limit.Value) / limit.Value;
        return limit;
    }

    ResolutionLimit LimitOf(
        const std::vector<ResolutionLevel>& levels, double ResolutionFigures::*figure)
    {
        const std::size_t last = levels.size() - 1;
        const double first = levels.front().Figures.*figure;
        if (levels.size() < 3)
            return LimitOf(first, first, first, levels.back().Figures.*figure);
        return LimitOf(first, levels[last - 2].Figures.*figure, levels[last - 1].Figures.*figure,
            levels[last].Figures.*figure);
    }

    // The last change of the figure, or of its limit when two extrapolations with an observed
    // order are at hand, is within the tolerance: a figure that converges at first order moves
    // as much again as its last change, its limit does not.
    bool Settled(const std::vector<ResolutionLevel>& levels, double ResolutionFigures::*figure,
        double tolerance, ChangeOf Change)
    {
        const std::size_t count = levels.size();
        if (count < 3)
            return false;
        if (Change(levels[count - 1].Figures.*figure, levels[count - 2].Figures.*figure)
            <= tolerance)
            return true;
        if (count < 4)
            return false;
        const std::vector<ResolutionLevel> before(levels.begin(), levels.end() - 1);
        const ResolutionLimit now = LimitOf(levels, figure);
        const ResolutionLimit then = LimitOf(before, figure);
        return now.ObservedOrder && then.ObservedOrder
            && Change(now.Value, then.Value) <= tolerance;
    }

    bool AllSettled(const std::vector<ResolutionLevel>& levels, const NetworkOptions& options)
    {
        return Settled(levels, &ResolutionFigures::CvPercent, options.CvTolerance, PointsChange)
            && Settled(
                levels, &ResolutionFigures::SpreadPercent, options.SpreadTolerance, PointsChange)
            && Settled(
                levels, &ResolutionFigures::HeadPressure, options.HeadTolerance, RelativeChange);
    }

    void Extrapolate(ResolutionStudy& study)
    {
        study.Cv = LimitOf(study.Levels, &ResolutionFigures::CvPercent);
        study.Spread = LimitOf(study.Levels, &ResolutionFigures::SpreadPercent);
        study.Head = LimitOf(study.Levels, &ResolutionFigures::HeadPressure);
        const bool allOrders =
            study.Cv.ObservedOrder && study.Spread.ObservedOrder && study.Head.ObservedOrder;
        if (!allOrders && study.Note.empty())
            study.Note = study.Levels.size() < 3
                ? "fewer than three levels: the limits are the finest level's values"
                : "the last three levels show no order of convergence for every figure: those "
                  "limits are the finest level's values";
    }

} // namespace

int IncrementsPerPitchOf(const Inputs& in, const NetworkOptions& options)
{
    return options.IncrementsPerPitch > 0 ? options.IncrementsPerPitch
                                          : DefaultIncrementsPerPitch(in.NumberOfChannels);
}

ResolutionFigures ResolutionFiguresOf(const Solution& s)
{
    const OutletDistribution outlet = OutletDistributionOf(s);
    return { outlet.CvPercent, outlet.SpreadPercent, s.HeadPressure() };
}

ResolutionStudy StudyResolution(const Inputs& in, const NetworkOptions& options)
{
    ResolutionStudy study;
    const int first = IncrementsPerPitchOf(in, options);
    std::vector<double> start;
    for (int level = 0; level < options.StudyLevels; ++level) {
        const NetworkResolution resolution { first << level, first };
        ResolvedNetwork resolved;
        try {
            resolved = SolveNetworkAt(in, resolution, start);
        } catch (const Fault& fault) {
            study.Note = fault.what();
            break;
        }
        if (!resolved.Network.Converged) {
            study.Note = "at " + std::to_string(resolution.IncrementsPerPitch)
                + " increments per pitch the network does not converge: "
                + resolved.Network.Failure;
            break;
        }
        const Solution s = SolutionOfNetwork(in, resolved.Geo, resolved.Laws, resolved.Network);
        study.Levels.push_back({ resolution.IncrementsPerPitch, resolved.Geo.EffectiveIncrements,
            resolved.Network.Iterations, ResolutionFiguresOf(s) });
        if (AllSettled(study.Levels, options)) {
            study.Converged = true;
            break;
        }
        start = RefinedPressures(resolved.Network.Pressure);
        if (first > (MostIncrementsPerPitch >> (level + 1))) {
            study.Note = "the finest grid allowed is reached";
            break;
        }
    }
    if (study.Levels.empty())
        return study;
    if (!study.Converged && study.Note.empty())
        study.Note = "the figures still change by more than their tolerances at the last level";
    Extrapolate(study);
    return study;
}

std::string ResolutionVerdict(const ResolutionStudy& study)
{
    if (study.Levels.empty())
        return "network resolution: no level could be solved: " + study.Note;
    const auto format = [](const char* pattern, double value) {
        char text[64];
        std::snprintf(text, sizeof text, pattern, value);
        return std::string(text);
    };
    const ResolutionLevel& first = study.Levels.front();
    std::string text =
        "network resolution: " + std::string(study.Converged ? "converged" : "NOT converged")
        + " at " + std::to_string(study.Levels.back().IncrementsPerPitch)
        + " increments per pitch: outlet CV " + format("%.3f", study.Cv.Value) + " %, spread "
        + format("%.2f", study.Spread.Value) + " %, head pressure "
        + format("%.2f", study.Head.Value * PascalPerGfCm2 / 1e5) + " bar; the grid of "
        + std::to_string(first.IncrementsPerPitch) + " per pitch is off by "
        + format("%+.2f", study.Cv.FirstLevelErrorPercent) + " % (CV), "
        + format("%+.2f", study.Spread.FirstLevelErrorPercent) + " % (spread), "
        + format("%+.2f", study.Head.FirstLevelErrorPercent) + " % (head)";
    return study.Note.empty() ? text : text + " (" + study.Note + ")";
}

std::vector<DieOutletPoint> OutletRoundTheDie(const Solution& s)
{
    const OutletDistribution outlet = OutletDistributionOf(s);
    const int m = s.Geo.PitchIncrements;
    const double increment = s.Geo.IncrementDegrees;
    std::vector<DieOutletPoint> points;
    for (int channel = 0; channel < s.In.NumberOfChannels; ++channel)
        for (int j = 0; j < m; ++j) {
            const OutletFlow& q = outlet.Flows[static_cast<std::size_t>(j)];
            points.push_back(
                { (channel * m + j + 0.5) * increment, channel + 1, q.Flow, q.Relative });
        }
    return points;
}

} // namespace karrow
