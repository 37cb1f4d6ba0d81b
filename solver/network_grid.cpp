#include "network_grid.h"

#include "exact_solution.h"
#include "extended.h"
#include "fault.h"

#include <cmath>
#include <functional>
#include <sstream>

namespace karrow {

namespace {

    std::string Text(double value)
    {
        std::ostringstream text;
        text.precision(4);
        text << value;
        return text.str();
    }

    std::string At(const NetworkResolution& r, const Inputs& in)
    {
        return "At " + std::to_string(r.IncrementsPerPitch) + " increments per channel pitch ("
            + Text(360.0 / (in.NumberOfChannels * static_cast<double>(r.IncrementsPerPitch)))
            + " degrees each), ";
    }

    std::optional<std::string> FirstNotPositive(const IncrementArray& values, int first, int last,
        const Geometry& g, const std::string& what)
    {
        for (int i = first; i <= last; ++i)
            if (!(values[i] > 0))
                return what + " at increment " + std::to_string(i) + " ("
                    + Text((i - 0.5) * g.IncrementDegrees) + " degrees from the inlet) is "
                    + Text(values[i]) + " cm, not above zero.";
        return std::nullopt;
    }

    // The counts the grid gives, before any array is filled.
    std::optional<std::string> CountProblem(const Inputs& in, const NetworkResolution& r)
    {
        const int k = r.IncrementsPerPitch;
        if (in.NumberOfChannels < 1 || in.NumberOfChannels > TurnIncrements)
            return std::string("the number of channels must be from 1 to 24.");
        if (k < 1 || k > MostIncrementsPerPitch)
            return "the increments per channel pitch must be from 1 to "
                + std::to_string(MostIncrementsPerPitch) + ", not " + std::to_string(k) + ".";
        if (r.Cut() < 1 || k % r.Cut() != 0)
            return std::string("the grid of the effective part's end must divide the grid.");
        if (in.TotalIncrements < 1)
            return std::string("the spiral has no increments.");
        const SpiralSteps steps = SpiralStepsOf(in);
        const EffectivePartCrossing crossing = CrossingOf(in, steps);
        const X at = crossing.Numerator / crossing.Denominator;
        if (crossing.Denominator == 0 || !std::isfinite(at) || at <= -1)
            return std::string("the channel never becomes as shallow as twice the slit height.");
        // The effective part as the geometry will cut it, in the same arithmetic.
        const IncrementGrid grid = NetworkGrid(in, r);
        const X cells =
            (std::trunc(at / (grid.FifteenDegreeSteps * grid.CutMultiple)) + 1) * grid.CutMultiple;
        if (cells > MostNetworkIncrements)
            return "the effective part has more than " + std::to_string(MostNetworkIncrements)
                + " increments, the most a network is solved with.";
        const int n = static_cast<int>(cells);
        if (n < k)
            return "the effective part (" + std::to_string(n)
                + " increments) is shorter than one channel pitch: no land joins two turns.";
        if (static_cast<double>(n) * (3.0 * NetworkBandwidth(n, k) + 1) > MostJacobianEntries)
            return std::string("the network's matrix is too large to be solved.");
        return std::nullopt;
    }

    std::optional<std::string> FirstFailing(
        std::initializer_list<std::function<std::optional<std::string>()>> checks)
    {
        for (const auto& check : checks)
            if (auto problem = check())
                return problem;
        return std::nullopt;
    }

    // The lengths and heights of the resolved geometry that must be positive for the laws to mean
    // anything; the land is the one a finer grid may find narrower than zero where the openings
    // of two turns meet.
    std::optional<std::string> ArraysProblem(const Geometry& g)
    {
        const int n = g.EffectiveIncrements;
        return FirstFailing({
            [&] { return FirstNotPositive(g.SlitHeight, 1, n, g, "the slit height"); },
            [&] {
                return FirstNotPositive(
                    g.GrooveDepth, 1, n, g, "the groove depth (channel depth less slit height)");
            },
            [&] {
                return FirstNotPositive(g.LandWidth, 1, g.TransferIncrements, g,
                    "the land between channel turns is narrower than zero: its width");
            },
        });
    }

    std::optional<std::string> PathsProblem(const Geometry& g, const SlitPaths& paths)
    {
        const int n = g.EffectiveIncrements;
        return FirstFailing({
            [&] {
                return FirstNotPositive(paths.Length, g.FirstOutletIncrement(), n, g,
                    "the outlet taper length (from the channel to the lip)");
            },
            [&] {
                return FirstNotPositive(
                    paths.StartHeight, 1, n, g, "the slit height at the channel edge");
            },
            [&] {
                return FirstNotPositive(
                    paths.EndHeight, 1, n, g, "the slit height at the end of the slit path");
            },
        });
    }

    std::optional<std::string> ResolveOn(
        const Inputs& in, const Geometry& g, ElementLaws& laws, bool withLaws);

    // The geometry and element laws at a resolution, or the first reason they have no meaning.
    // The laws compute the slit paths; a fault on the way is explained by a path that is not
    // positive when there is one.
    std::optional<std::string> Resolve(
        const Inputs& in, const NetworkResolution& r, Geometry& g, ElementLaws& laws, bool withLaws)
    {
        if (auto problem = CountProblem(in, r))
            return problem;
        try {
            ComputeGeometry(in, NetworkGrid(in, r), g);
        } catch (const ArithmeticFault& fault) {
            return std::string("the geometry has no value: ") + fault.what();
        }
        return ResolveOn(in, g, laws, withLaws);
    }

    // Resolve's part after the geometry, for a geometry already computed at the resolution.
    std::optional<std::string> ResolveOn(
        const Inputs& in, const Geometry& g, ElementLaws& laws, bool withLaws)
    {
        if (auto problem = ArraysProblem(g))
            return problem;
        laws = SizedElementLaws(g);
        try {
            if (withLaws) {
                ComputeChannelConductances(in, g, laws);
                ComputeLandConductances(in, g, laws);
                ComputeOutletConductances(in, g, laws);
            } else {
                ComputeLandPaths(g, laws.Paths);
                ComputeOutletPaths(in, g, laws.Paths);
            }
        } catch (const ArithmeticFault& fault) {
            if (auto problem = PathsProblem(g, laws.Paths))
                return problem;
            return std::string("the element laws have no value: ") + fault.what();
        }
        return PathsProblem(g, laws.Paths);
    }

} // namespace

int DefaultIncrementsPerPitch(int channels)
{
    if (channels < 1)
        return 1;
    return std::max(1, static_cast<int>(std::lround(static_cast<double>(TurnIncrements) / channels)));
}

IncrementGrid NetworkGrid(const Inputs& in, const NetworkResolution& resolution)
{
    IncrementGrid grid;
    const int k = resolution.IncrementsPerPitch;
    // Exactly 1 when N k = 24, so that the classic grid's values come out bit for bit.
    grid.FifteenDegreeSteps = X(TurnIncrements) / (X(in.NumberOfChannels) * k);
    grid.PitchIncrements = k;
    grid.CutMultiple = k / resolution.Cut();
    grid.MostIncrements = MostNetworkIncrements;
    return grid;
}

std::optional<std::string> NetworkResolutionProblem(
    const Inputs& in, const NetworkResolution& resolution)
{
    const FloatingPointFlagsKeeper keepFlags;
    PrepareFloatingPoint();
    Geometry g;
    ElementLaws laws;
    if (auto problem = Resolve(in, resolution, g, laws, false))
        return At(resolution, in) + *problem;
    return std::nullopt;
}

ResolvedNetwork SolveNetworkAt(
    const Inputs& in, const NetworkResolution& resolution, const std::vector<double>& start)
{
    ResolvedNetwork resolved;
    resolved.Resolution = resolution;
    PrepareFloatingPoint();
    if (auto problem = Resolve(in, resolution, resolved.Geo, resolved.Laws, true))
        throw ArithmeticFault(At(resolution, in) + *problem);
    resolved.Network = SolveNetwork(NetworkElementsOf(in, resolved.Geo, resolved.Laws), start);
    return resolved;
}

bool IsClassicGrid(const Inputs& in, const NetworkResolution& resolution)
{
    const int channels = in.NumberOfChannels;
    return channels >= 1 && TurnIncrements % channels == 0
        && resolution.IncrementsPerPitch == TurnIncrements / channels
        && resolution.Cut() == resolution.IncrementsPerPitch;
}

ResolvedNetwork SolveNetworkWith(const Inputs& in, const NetworkResolution& resolution,
    const Geometry& g, const ElementLaws& laws)
{
    ResolvedNetwork resolved { resolution, g, laws, {} };
    PrepareFloatingPoint();
    const auto problem = FirstFailing({
        [&] { return CountProblem(in, resolution); },
        [&] { return ArraysProblem(resolved.Geo); },
        [&] { return PathsProblem(resolved.Geo, resolved.Laws.Paths); },
    });
    if (problem)
        throw ArithmeticFault(At(resolution, in) + *problem);
    resolved.Network = SolveNetwork(NetworkElementsOf(in, resolved.Geo, resolved.Laws), {});
    return resolved;
}

ResolvedNetwork ResolveNetworkOn(
    const Inputs& in, const NetworkResolution& resolution, const Geometry* computed, bool withLaws)
{
    ResolvedNetwork resolved;
    resolved.Resolution = resolution;
    PrepareFloatingPoint();
    std::optional<std::string> problem;
    if (computed == nullptr) {
        problem = Resolve(in, resolution, resolved.Geo, resolved.Laws, withLaws);
    } else {
        problem = CountProblem(in, resolution);
        if (!problem) {
            resolved.Geo = *computed;
            problem = ResolveOn(in, resolved.Geo, resolved.Laws, withLaws);
        }
    }
    if (problem)
        throw ArithmeticFault(At(resolution, in) + *problem);
    if (withLaws)
        resolved.Network = SolveNetwork(NetworkElementsOf(in, resolved.Geo, resolved.Laws), {});
    return resolved;
}

std::vector<double> RefinedPressures(const std::vector<double>& pressure)
{
    const std::size_t coarse = pressure.size();
    std::vector<double> fine(2 * coarse);
    if (coarse == 0)
        return fine;
    if (coarse == 1) {
        fine[0] = fine[1] = pressure[0];
        return fine;
    }
    // Fine node i sits at coarse position i/2 - 1/4: a quarter of a coarse increment either side
    // of a coarse node.
    for (std::size_t j = 0; j < coarse; ++j) {
        const std::size_t toward = j + 1 < coarse ? j + 1 : j - 1;
        const double quarter = 0.25 * (pressure[toward] - pressure[j]);
        const double before = j + 1 < coarse ? -quarter : quarter;
        fine[2 * j] = pressure[j] + before;
        fine[2 * j + 1] = pressure[j] - before;
    }
    return fine;
}

} // namespace karrow
