#include "model_limits.h"

#include "../solver/extended.h"
#include "../solver/fault.h"
#include "../solver/geometry.h"
#include "fields.h"

#include <cmath>
#include <functional>

namespace karrow {

namespace {

    std::string Quoted(int field)
    {
        return std::string("\"") + Field(field).Label + "\"";
    }

    std::optional<std::string> CheckCounts(const RunState& st)
    {
        if (st.NumberOfChannels < 1 || st.NumberOfChannels > 24)
            return Quoted(1) + " must be from 1 to 24.";
        if (st.TotalIncrements < 1)
            return Quoted(14) + " must be at least 1.";
        return std::nullopt;
    }

    std::optional<std::string> CheckEffectivePart(RunState& scratch)
    {
        ComputeSpiralSteps(scratch);
        const EffectivePartCrossing crossing = CrossingOf(scratch);
        if (crossing.Denominator == 0 || !std::isfinite(crossing.Denominator))
            return std::string("The channel never becomes as shallow as twice the slit height: "
                               "check the slit heights and channel depths.");
        const Extended at = crossing.Numerator / crossing.Denominator;
        const int m = 24 / scratch.NumberOfChannels;
        const std::string effective = "The effective part of the spiral (where the channel is more "
                                      "than twice as deep as the slit) has ";
        if (!(at < MaxEffectiveIncrements))
            return effective + "more than " + std::to_string(MaxEffectiveIncrements)
                + " increments, the most that can be calculated.";
        // A crossing before the inlet leaves no effective part at all.
        const std::int32_t n = at > -1 ? EffectiveIncrementsAt(at) : 0;
        if (n < 2 * m)
            return effective + std::to_string(n) + " increments; with "
                + std::to_string(scratch.NumberOfChannels) + " channels it needs at least "
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
    std::optional<std::string> CheckIncrements(RunState& s)
    {
        bool faulted = false;
        try {
            ComputeGeometry(s);
        } catch (const ArithmeticFault&) {
            faulted = true;
        }
        const int n = s.EffectiveIncrements;
        if (auto problem = FirstFailing({
                [&] { return FirstNotPositive(s.SlitHeight, 1, n, "The slit height"); },
                [&] {
                    return FirstNotPositive(
                        s.GrooveDepth, 1, n, "The groove depth (channel depth less slit height)");
                },
            }))
            return problem;
        if (faulted)
            return std::nullopt;
        if (auto problem = FirstNotPositive(s.LandWidth, 1, s.TransferIncrements,
                "The land width between channel turns (the channel is too wide for the spiral "
                "height and the number of channels)"))
            return problem;
        try {
            ComputeLandPaths(s);
            ComputeOutletPaths(s);
        } catch (const ArithmeticFault&) {
            return std::nullopt;
        }
        return FirstFailing({
            [&] {
                return FirstNotPositive(s.LandWidth, s.TransferIncrements + 1, n,
                    "The outlet taper length (from the channel to the lip)");
            },
            [&] {
                return FirstNotPositive(
                    s.SlitStartHeight, 1, n, "The slit height at the channel edge");
            },
            [&] {
                return FirstNotPositive(
                    s.SlitEndHeight, 1, n, "The slit height at the end of the slit path");
            },
        });
    }

} // namespace

std::optional<std::string> CheckModelLimits(const RunState& inputs)
{
    const FloatingPointFlagsKeeper keepFlags;
    RunState scratch = inputs;
    if (auto problem = CheckCounts(scratch))
        return problem;
    if (auto problem = CheckEffectivePart(scratch))
        return problem;
    return CheckIncrements(scratch);
}

} // namespace karrow
