#include "initial_distribution.h"

#include <cmath>

namespace karrow {

namespace {

    using X = Extended;

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

void DistributeTransferFlows(RunState& st)
{
    const int m = st.PitchIncrements;
    const int k = st.TransferIncrements;
    const X n = st.PowerLawIndex;
    IncrementArray& f = st.IncrementFlows;

    // Under one pressure difference between i and i + m, the flow over the land and the flow
    // along the m increments of channel between the same points stand in this ratio.
    for (int i = 1; i <= k; ++i)
        st.SlitFlowRatio[i] =
            Exp((1 / n) * Ln(X(st.AxialPitch) / (std::sin(X(st.HelixAngle)) * st.IncrementLength)))
            * (X(st.SlitConductance[i]) / st.ChannelConductance[i]);

    f[2] = X(st.FlowRatePerChannel) / (1 + X(st.SlitFlowRatio[1]));
    f[1] = X(st.SlitFlowRatio[1]) * f[2];
    for (int i = 2; i <= m; ++i) {
        f[2 * i] = X(f[2 * i - 2]) / (1 + X(st.SlitFlowRatio[i]));
        f[2 * i - 1] = X(f[2 * i]) * st.SlitFlowRatio[i];
    }
    for (int i = m + 1; i <= k; ++i) {
        f[2 * i] = (X(f[2 * i - 2]) + f[2 * (i - m) - 1]) / (1 + X(st.SlitFlowRatio[i]));
        f[2 * i - 1] = X(f[2 * i]) * st.SlitFlowRatio[i];
    }

    st.FirstOutletIncrement = k + 1;
    st.TwicePitchPlus1 = 2 * m + 1;
    st.TwiceTransferIncrements = 2 * k;
    st.PitchIncrementsPlus1 = m + 1;
    st.PitchIncrementsLess1 = m - 1;
    CheckFloatingPoint("initial distribution of the transfer increments");
}

void DistributeOutletZoneFlows(RunState& st)
{
    const int m = st.PitchIncrements;
    const int k = st.TransferIncrements;
    const int last = st.EffectiveIncrements;
    const X n = st.PowerLawIndex;
    IncrementArray& f = st.IncrementFlows;
    IncrementArray& drop = st.OutletZoneDrops; // D_b at b + 1
    IncrementArray& g = st.OutletZoneFlows; // G[1..2m-1]; G[0] is f[2K], G[2m] is 0

    // Channel pressure drops between the outlet increments, from the pressure that each slit
    // path to the outlet needs for the land flow arriving there.
    drop[1] = 0.5L * st.ChannelResistance[k + 1] * Exp(n * Ln(f[st.TwiceTransferIncrements]));
    const double s = X(drop[1])
        + X(st.TaperResistance[k + 1]) * Exp(n * Ln(f[2 * (k + 1) - st.TwicePitchPlus1]));
    double t = drop[1];
    for (int b = 2; b <= m; ++b) {
        drop[b] = X(s) - t
            - X(st.TaperResistance[k + b]) * Exp(n * Ln(f[2 * (k + b) - st.TwicePitchPlus1]));
        t = X(t) + drop[b];
    }

    for (int b = 1; b <= m - 1; ++b) {
        if (drop[b + 1] < 0)
            drop[b + 1] = (X(drop[1]) + drop[2]) / 2;
        g[2 * b] = Power(drop[b + 1], 1 / n) * st.ChannelConductance[k + 1 + b];
    }

    const auto outletChannelFlow = [&](int b) -> double {
        if (b == 0)
            return f[st.TwiceTransferIncrements];
        return b == m ? 0.0 : g[2 * b];
    };
    for (int b = 1; b <= m; ++b)
        g[2 * b - 1] = X(outletChannelFlow(b - 1)) + f[2 * (k + b) - st.TwicePitchPlus1]
            - outletChannelFlow(b);

    for (int b = 1; b <= m - 1; ++b) {
        f[2 * (k + b)] = g[2 * b];
        f[2 * (k + b) - 1] = g[2 * b - 1];
    }
    f[2 * last - 1] = g[2 * m - 1];

    // The channel flow never rises along the channel.
    for (int b = 2; b <= last - 1; ++b)
        if (f[2 * b] > f[2 * b - 2])
            f[2 * b] = f[2 * b - 2];
    CheckFloatingPoint("initial distribution of the outlet zone");
}

} // namespace karrow
