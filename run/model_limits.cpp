#include "model_limits.h"

#include "../solver/extended.h"
#include "../solver/fault.h"
#include "../solver/geometry.h"
#include "fields.h"

#include <array>
#include <cmath>
#include <functional>

namespace karrow {

namespace {

    double ValueOf(const Inputs& in, Field realField)
    {
        return in.*std::get<double Inputs::*>(InfoOf(realField).Member);
    }

    std::optional<std::string> CheckCounts(const Inputs& in)
    {
        if (in.NumberOfChannels < 1 || in.NumberOfChannels > TurnIncrements)
            return QuotedLabel(Field::NumberOfChannels) + " must be from 1 to 24.";
        if (in.TotalIncrements < 1)
            return QuotedLabel(Field::TotalIncrements) + " must be at least 1.";
        return std::nullopt;
    }

    // Lengths, the flow rate and the melt's properties have no meaning at zero or below, and a
    // run on one would end in a fault after the report was begun.
    std::optional<std::string> CheckPositiveValues(const Inputs& in)
    {
        static constexpr std::array Reals { Field::SpiralHeight, Field::LipHeight,
            Field::DieRadius, Field::FlowRatePerChannel, Field::PowerLawIndex,
            Field::StandardViscosity, Field::StandardShearRate, Field::ChannelWidth };
        for (const Field field : Reals)
            if (const double value = ValueOf(in, field); !(value > 0) || !std::isfinite(value))
                return QuotedLabel(field) + " must be greater than zero.";
        return std::nullopt;
    }

    // The slit and depth profiles are taken at the middles of the increments, so their ends may
    // be zero or beyond (a land with no clearance at the feed is a common design); the
    // per-increment checks refuse every profile that gives the effective part no meaning.
    std::optional<std::string> CheckProfileEnds(const Inputs& in)
    {
        static constexpr std::array Ends { Field::InletSlitHeight, Field::OutletSlitHeight,
            Field::InletChannelDepth, Field::OutletChannelDepth };
        for (const Field field : Ends)
            if (!std::isfinite(ValueOf(in, field)))
                return QuotedLabel(field) + " must be a finite number.";
        return std::nullopt;
    }

    std::optional<std::string> CheckEffectivePart(const Inputs& in)
    {
        const SpiralSteps steps = SpiralStepsOf(in);
        const EffectivePartCrossing crossing = CrossingOf(in, steps);
        if (crossing.Denominator == 0 || !std::isfinite(crossing.Denominator))
            return std::string("The channel never becomes as shallow as twice the slit height: "
                               "check the slit heights and channel depths.");
        const Extended at = crossing.Numerator / crossing.Denominator;
        const int m = TurnIncrements / in.NumberOfChannels;
        const std::string effective = "The effective part of the spiral (where the channel is more "
                                      "than twice as deep as the slit) has ";
        if (!(at < MaxEffectiveIncrements))
            return effective + "more than " + std::to_string(MaxEffectiveIncrements)
                + " increments, the most that can be calculated.";
        // A crossing before the inlet leaves no effective part at all.
        const std::int32_t n = at > -1 ? EffectiveIncrementsAt(at) : 0;
        if (n < 2 * m)
            return effective + std::to_string(n) + " increments; with "
                + std::to_string(in.NumberOfChannels) + " channels it needs at least "
                + std::to_string(2 * m) + ".";
        return std::nullopt;
    }

    // The first increment in first..last whose value is not positive (nan included), or nothing.
    std::optional<std::string> FirstNotPositive(
        const IncrementArray& values, int first, int last, const std::string& what)
    {
        for (int i = first; i <= last; ++i)
            if (!(values[i] > 0))
                return what + " is not positive at increment " + std::to_string(i) + ".";
        return std::nullopt;
    }

    using Check = std::function<std::optional<std::string>()>;

    std::optional<std::string> FirstFailing(std::initializer_list<Check> checks)
    {
        for (const Check& check : checks)
            if (auto problem = check())
                return problem;
        return std::nullopt;
    }

    // The geometry fills its arrays before it checks for faults, so slit heights and groove depths
    // can be judged even when a later formula of the same step faulted on them.
    std::optional<std::string> CheckIncrements(const Inputs& in, std::optional<Geometry>* kept)
    {
        Geometry g;
        bool faulted = false;
        try {
            ComputeGeometry(in, g);
        } catch (const ArithmeticFault&) {
            faulted = true;
        }
        const int n = g.EffectiveIncrements;
        if (auto problem = FirstFailing({
                [&] { return FirstNotPositive(g.SlitHeight, 1, n, "The slit height"); },
                [&] {
                    return FirstNotPositive(
                        g.GrooveDepth, 1, n, "The groove depth (channel depth less slit height)");
                },
            }))
            return problem;
        if (faulted)
            return std::nullopt;
        if (auto problem = FirstNotPositive(g.LandWidth, 1, g.TransferIncrements,
                "The land width between channel turns (the channel is too wide for the spiral "
                "height and the number of channels)"))
            return problem;
        SlitPaths paths = SizedSlitPaths(g);
        try {
            ComputeLandPaths(g, paths);
            ComputeOutletPaths(in, g, paths);
        } catch (const ArithmeticFault&) {
            return std::nullopt;
        }
        auto problem = FirstFailing({
            [&] {
                return FirstNotPositive(paths.Length, g.FirstOutletIncrement(), n,
                    "The outlet taper length (from the channel to the lip)");
            },
            [&] {
                return FirstNotPositive(
                    paths.StartHeight, 1, n, "The slit height at the channel edge");
            },
            [&] {
                return FirstNotPositive(
                    paths.EndHeight, 1, n, "The slit height at the end of the slit path");
            },
        });
        if (!problem && kept != nullptr)
            *kept = std::move(g);
        return problem;
    }

} // namespace

std::optional<std::string> CheckModelLimits(const Inputs& in)
{
    std::optional<Geometry> unused;
    return CheckModelLimits(in, unused);
}

std::optional<std::string> CheckModelLimits(const Inputs& in, std::optional<Geometry>& geometry)
{
    geometry.reset();
    const FloatingPointFlagsKeeper keepFlags;
    if (auto problem = CheckCounts(in))
        return problem;
    if (auto problem = CheckPositiveValues(in))
        return problem;
    if (auto problem = CheckProfileEnds(in))
        return problem;
    if (auto problem = CheckEffectivePart(in))
        return problem;
    return CheckIncrements(in, &geometry);
}

} // namespace karrow
