#include "initial_distribution.h"

#include <cmath>

namespace karrow {

namespace {

    X IntegerPower(X base, std::int64_t exponent)
    {
        std::uint64_t remaining = exponent < 0 ? static_cast<std::uint64_t>(-exponent)
                                               : static_cast<std::uint64_t>(exponent);
        X result = 1;
        X square = base;
        while (remaining != 0) {
            if (remaining & 1U)
                result *= square;
            remaining >>= 1U;
            if (remaining != 0)
                square *= square;
        }
        return exponent < 0 ? 1 / result : result;
    }

} // namespace

Extended Power(Extended base, Extended exponent)
{
    if (exponent == 0)
        return 1;
    if (base == 0 && exponent > 0)
        return 0;
    if (std::trunc(exponent) == exponent && std::fabs(exponent) <= 2147483647.0L)
        return IntegerPower(base, static_cast<std::int64_t>(exponent));
    return Exp(exponent * Ln(base));
}

void DistributeTransferFlows(
    const Inputs& in, const Geometry& g, const ElementLaws& laws, Flows& flows)
{
    const int m = g.PitchIncrements;
    const int k = g.TransferIncrements;
    const X n = in.PowerLawIndex;
    flows.RequireIncrements(g.EffectiveIncrements);
    laws.SlitConductance.RequireCount(g.EffectiveIncrements, "the slit laws");
    IncrementArray& f = flows.Interleaved();

    // Under one pressure difference between i and i + m, the flow over the land and the flow
    // along the m increments of channel between the same points stand in this ratio.
    IncrementArray slitFlowRatio(k);
    for (int i = 1; i <= k; ++i)
        slitFlowRatio[i] =
            Exp((1 / n) * Ln(X(g.AxialPitch) / (g.HelixSine * g.IncrementLength)))
            * (X(laws.SlitConductance[i]) / laws.ChannelConductance[i]);

    f[2] = X(in.FlowRatePerChannel) / (1 + X(slitFlowRatio[1]));
    f[1] = X(slitFlowRatio[1]) * f[2];
    for (int i = 2; i <= m; ++i) {
        f[2 * i] = X(f[2 * i - 2]) / (1 + X(slitFlowRatio[i]));
        f[2 * i - 1] = X(f[2 * i]) * slitFlowRatio[i];
    }
    for (int i = m + 1; i <= k; ++i) {
        f[2 * i] = (X(f[2 * i - 2]) + f[2 * (i - m) - 1]) / (1 + X(slitFlowRatio[i]));
        f[2 * i - 1] = X(f[2 * i]) * slitFlowRatio[i];
    }
    CheckFloatingPoint("initial distribution of the transfer increments");
}

void DistributeOutletZoneFlows(
    const Inputs& in, const Geometry& g, const ElementLaws& laws, Flows& flows)
{
    const int m = g.PitchIncrements;
    const int k = g.TransferIncrements;
    const int last = g.EffectiveIncrements;
    const int twiceK = 2 * k;
    const int twicePitchPlus1 = 2 * m + 1; // from the slit flow of i to that of i - m
    const X n = in.PowerLawIndex;
    flows.RequireIncrements(last);
    laws.TaperResistance.RequireCount(last, "the outlet laws");
    IncrementArray& f = flows.Interleaved();
    IncrementArray drop(m); // D_b at b + 1
    IncrementArray zoneFlows(2 * m); // G[1..2m-1]; G[0] is f[2K], G[2m] is 0

    // Channel pressure drops between the outlet increments, from the pressure that each slit
    // path to the outlet needs for the land flow arriving there.
    drop[1] = 0.5L * laws.ChannelResistance[k + 1] * Exp(n * Ln(f[twiceK]));
    const double s =
        X(drop[1]) + X(laws.TaperResistance[k + 1]) * Exp(n * Ln(f[2 * (k + 1) - twicePitchPlus1]));
    double t = drop[1];
    for (int b = 2; b <= m; ++b) {
        drop[b] = X(s) - t
            - X(laws.TaperResistance[k + b]) * Exp(n * Ln(f[2 * (k + b) - twicePitchPlus1]));
        t = X(t) + drop[b];
    }

    for (int b = 1; b <= m - 1; ++b) {
        if (drop[b + 1] < 0)
            drop[b + 1] = (X(drop[1]) + drop[2]) / 2;
        zoneFlows[2 * b] = Power(drop[b + 1], 1 / n) * laws.ChannelConductance[k + 1 + b];
    }

    const auto outletChannelFlow = [&](int b) -> double {
        if (b == 0)
            return f[twiceK];
        return b == m ? 0.0 : zoneFlows[2 * b];
    };
    for (int b = 1; b <= m; ++b)
        zoneFlows[2 * b - 1] =
            X(outletChannelFlow(b - 1)) + f[2 * (k + b) - twicePitchPlus1] - outletChannelFlow(b);

    for (int b = 1; b <= m - 1; ++b) {
        f[2 * (k + b)] = zoneFlows[2 * b];
        f[2 * (k + b) - 1] = zoneFlows[2 * b - 1];
    }
    f[2 * last - 1] = zoneFlows[2 * m - 1];

    // The channel flow never rises along the channel.
    for (int b = 2; b <= last - 1; ++b)
        if (f[2 * b] > f[2 * b - 2])
            f[2 * b] = f[2 * b - 2];
    CheckFloatingPoint("initial distribution of the outlet zone");
}

} // namespace karrow
