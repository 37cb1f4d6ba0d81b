#include "geometry.h"

#include "extended.h"
#include "fault.h"

#include <cmath>

namespace karrow {

namespace {

    using X = Extended;

    // The divisor of the channel spacing: 24 increments make one turn.
    std::int32_t PitchIncrementsFor(std::int32_t channels)
    {
        if (channels == 0)
            throw ArithmeticFault("The calculation stopped in the geometry of the effective part: "
                                  "24 div 0 (the number of channels is 0).");
        return 24 / channels;
    }

} // namespace

std::int32_t EffectiveIncrementsAt(Extended crossing)
{
    const X truncated = std::trunc(crossing);
    if (!(truncated >= -2147483648.0L && truncated < 2147483647.0L))
        throw ArithmeticFault("The calculation stopped in the geometry of the effective part: "
                              "the number of effective increments is out of range.");
    return static_cast<std::int32_t>(truncated) + 1;
}

void ComputeSpiralSteps(RunState& st)
{
    st.SlitHeightStep = (X(st.OutletSlitHeight) - st.InletSlitHeight) / st.TotalIncrements;
    st.ChannelDepthStep = (X(st.OutletChannelDepth) - st.InletChannelDepth) / st.TotalIncrements;
}

EffectivePartCrossing CrossingOf(const RunState& st)
{
    return { X(st.InletChannelDepth) - 2 * X(st.InletSlitHeight),
        2 * X(st.SlitHeightStep) - st.ChannelDepthStep };
}

// Channel section of increment i: a circular segment while the groove is shallower than the
// radius of its round bottom, otherwise a half circle with a rectangle on top; the strip of
// slit above the opening belongs to the channel.
void ComputeChannelSection(RunState& st, int i)
{
    const double r = X(st.ChannelWidth) / 2;
    const double g = st.GrooveDepth[i];
    if (0.5L * st.ChannelWidth > g) {
        st.ChannelOpeningWidth[i] = 2 * std::sqrt(X(r) * r - (X(r) - g) * (X(r) - g));
        const double w = st.ChannelOpeningWidth[i];
        const double a = std::atan((X(w) / 2) / (X(r) - g));
        st.ChannelArea[i] =
            X(r) * r * (2 * X(a)) / 2 - (X(r) - g) * (X(w) / 2) + X(w) * st.SlitHeight[i];
        st.EquivalentChannelDepth[i] = X(st.ChannelArea[i]) / w;
    } else {
        st.ChannelOpeningWidth[i] = st.ChannelWidth;
        st.ChannelArea[i] = X(r) * Pi * r * 0.5L + (X(g) - r + st.SlitHeight[i]) * st.ChannelWidth;
        st.EquivalentChannelDepth[i] = X(st.ChannelArea[i]) / st.ChannelWidth;
    }
}

void ComputeGeometry(RunState& st)
{
    const std::int32_t total = st.TotalIncrements;
    if (total == 0)
        throw ArithmeticFault("The calculation stopped in the geometry of the effective part: "
                              "division by zero (the total number of increments is 0).");
    ComputeSpiralSteps(st);

    // The effective part: the increments in which the channel is still more than twice as deep
    // as the slit. A crossing on a whole number still adds one increment.
    const EffectivePartCrossing crossing = CrossingOf(st);
    const std::int32_t n = EffectiveIncrementsAt(crossing.Numerator / crossing.Denominator);
    st.EffectiveIncrements = n;

    st.ModifiedSpiralHeight = X(n) * st.SpiralHeight / total;
    st.ModifiedLipHeight = X(st.LipHeight) + st.SpiralHeight - st.ModifiedSpiralHeight;
    st.ModifiedOutletSlitHeight =
        (X(st.OutletSlitHeight) - st.InletSlitHeight) * n / total + st.InletSlitHeight;
    st.ModifiedOutletChannelDepth =
        (X(st.OutletChannelDepth) - st.InletChannelDepth) * n / total + st.InletChannelDepth;

    const std::int32_t m = PitchIncrementsFor(st.NumberOfChannels);
    st.PitchIncrements = m;
    st.TransferIncrements = n - m;
    st.PenultimateIncrement = n - 1;
    if (n < 1 || n > MaxEffectiveIncrements || m > n)
        throw IndexFault("internal error: " + std::to_string(n)
            + " effective increments reached the geometry step");
    st.SizeArrays(n, m);

    // The effective part rises ModifiedSpiralHeight over n increments of 15 degrees on the die
    // radius.
    st.HelixAngle = std::atan(X(st.ModifiedSpiralHeight) / (X(n) * PiOver12 * st.DieRadius));
    st.IncrementLength = X(st.ModifiedSpiralHeight) / std::sin(X(st.HelixAngle)) / n;
    st.AxialPitch = std::sin(X(st.HelixAngle)) * (X(m) * st.IncrementLength);

    for (int i = 1; i <= n; ++i) {
        st.SlitHeight[i] = (X(st.ModifiedOutletSlitHeight) - st.InletSlitHeight) * (i - 0.5L) / n
            + st.InletSlitHeight;
        st.ChannelDepth[i] =
            (X(st.ModifiedOutletChannelDepth) - st.InletChannelDepth) * (i - 0.5L) / n
            + st.InletChannelDepth;
        st.GrooveDepth[i] = X(st.ChannelDepth[i]) - st.SlitHeight[i];
        ComputeChannelSection(st, i);
    }

    // Land between the channel at i and the turn above it at i + m: the axial distance of the
    // centre lines less half the axial opening of each channel.
    for (int i = 1; i <= st.TransferIncrements; ++i) {
        st.LandWidth[i] = X(st.AxialPitch)
            - (X(st.ChannelOpeningWidth[i]) + st.ChannelOpeningWidth[i + m])
                / (2 * std::cos(X(st.HelixAngle)));
        st.SlitPathLength[i] = st.LandWidth[i];
    }
    st.MinimumFlow = 0.0001L * st.FlowRatePerChannel;
    CheckFloatingPoint("geometry of the effective part");
}

void ComputeLandPaths(RunState& st)
{
    const int m = st.PitchIncrements;
    for (int i = 1; i <= st.TransferIncrements; ++i) {
        const X halfOpening = X(st.ChannelOpeningWidth[i]) / (2 * std::cos(X(st.HelixAngle)));
        const X rise = X(st.SlitHeight[i + m]) - st.SlitHeight[i];
        st.SlitStartHeight[i] = st.SlitHeight[i] + rise * halfOpening / st.AxialPitch;
        st.SlitEndHeight[i] =
            st.SlitHeight[i] + rise * (halfOpening + st.LandWidth[i]) / st.AxialPitch;
    }
    CheckFloatingPoint("slit paths over the lands");
}

void ComputeOutletPaths(RunState& st)
{
    const int n = st.EffectiveIncrements;
    for (int i = st.TransferIncrements + 1; i <= n; ++i) {
        // Axial distance from the middle of increment i to the end of the effective part.
        const X d = (X(st.ModifiedSpiralHeight) / n) * (n - i + 0.5L);
        st.SlitPathLength[i] = X(st.ModifiedLipHeight)
            - (X(st.ChannelOpeningWidth[i]) / 2) / std::cos(X(st.HelixAngle)) + d;
        st.LandWidth[i] = X(st.SlitPathLength[i]) - st.LipHeight;
        const X halfOpening = X(st.ChannelOpeningWidth[i]) / (2 * std::cos(X(st.HelixAngle)));
        st.SlitStartHeight[i] = st.SlitHeight[i]
            + (X(st.ModifiedOutletSlitHeight) - st.SlitHeight[i]) * halfOpening / d;
        st.SlitEndHeight[i] = st.OutletSlitHeight;
    }
    CheckFloatingPoint("slit paths of the outlet zone");
}

} // namespace karrow
