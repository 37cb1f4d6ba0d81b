#include "geometry.h"

#include "extended.h"
#include "fault.h"

#include <cmath>

namespace karrow {

namespace {

    // The divisor of the channel spacing.
    std::int32_t PitchIncrementsFor(std::int32_t channels)
    {
        if (channels == 0)
            throw ArithmeticFault("The calculation stopped in the geometry of the effective part: "
                                  "24 div 0 (the number of channels is 0).");
        return TurnIncrements / channels;
    }

    void SizeArrays(Geometry& g, int n)
    {
        for (IncrementArray* a : { &g.SlitHeight, &g.ChannelDepth, &g.GrooveDepth,
                 &g.ChannelOpeningWidth, &g.ChannelArea, &g.EquivalentChannelDepth })
            a->Resize(n);
        g.LandWidth.Resize(g.TransferIncrements);
    }

    // Channel section of increment i: a circular segment while the groove is shallower than the
    // radius of its round bottom, otherwise a half circle with a rectangle on top; the strip of
    // slit above the opening belongs to the channel.
    void ComputeChannelSection(const Inputs& in, Geometry& g, int i)
    {
        const double r = X(in.ChannelWidth) / 2;
        const double groove = g.GrooveDepth[i];
        if (0.5L * in.ChannelWidth > groove) {
            g.ChannelOpeningWidth[i] = 2 * std::sqrt(X(r) * r - (X(r) - groove) * (X(r) - groove));
            const double w = g.ChannelOpeningWidth[i];
            const double a = Atan((X(w) / 2) / (X(r) - groove));
            g.ChannelArea[i] =
                X(r) * r * (2 * X(a)) / 2 - (X(r) - groove) * (X(w) / 2) + X(w) * g.SlitHeight[i];
            g.EquivalentChannelDepth[i] = X(g.ChannelArea[i]) / w;
        } else {
            g.ChannelOpeningWidth[i] = in.ChannelWidth;
            g.ChannelArea[i] =
                X(r) * Pi * r * 0.5L + (X(groove) - r + g.SlitHeight[i]) * in.ChannelWidth;
            g.EquivalentChannelDepth[i] = X(g.ChannelArea[i]) / in.ChannelWidth;
        }
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

SpiralSteps SpiralStepsOf(const Inputs& in)
{
    SpiralSteps steps;
    steps.SlitHeightStep = (X(in.OutletSlitHeight) - in.InletSlitHeight) / in.TotalIncrements;
    steps.ChannelDepthStep = (X(in.OutletChannelDepth) - in.InletChannelDepth) / in.TotalIncrements;
    return steps;
}

EffectivePartCrossing CrossingOf(const Inputs& in, const SpiralSteps& steps)
{
    return { X(in.InletChannelDepth) - 2 * X(in.InletSlitHeight),
        2 * X(steps.SlitHeightStep) - steps.ChannelDepthStep };
}

IncrementGrid ClassicGrid(const Inputs& in)
{
    IncrementGrid grid;
    grid.PitchIncrements = PitchIncrementsFor(in.NumberOfChannels);
    return grid;
}

void ComputeGeometry(const Inputs& in, Geometry& g)
{
    ComputeGeometry(in, ClassicGrid(in), g);
}

// Written in angles: `u` is the increment in 15-degree steps, so n u is the effective part's
// angle in the steps the inputs count in. On the classic grid u = 1 and every product with it is
// exact, which keeps the classic values bit for bit.
void ComputeGeometry(const Inputs& in, const IncrementGrid& grid, Geometry& g)
{
    const std::int32_t total = in.TotalIncrements;
    if (total == 0)
        throw ArithmeticFault("The calculation stopped in the geometry of the effective part: "
                              "division by zero (the total number of increments is 0).");
    g.Steps = SpiralStepsOf(in);
    const X u = grid.FifteenDegreeSteps;

    // The effective part: the increments in which the channel is still more than twice as deep
    // as the slit. A crossing on a whole number still adds one increment.
    const EffectivePartCrossing crossing = CrossingOf(in, g.Steps);
    const std::int64_t cut =
        EffectiveIncrementsAt(crossing.Numerator / crossing.Denominator / (u * grid.CutMultiple));
    const std::int64_t cells = cut * grid.CutMultiple;
    const std::int32_t n =
        cells > grid.MostIncrements ? grid.MostIncrements + 1 : static_cast<std::int32_t>(cells);
    g.EffectiveIncrements = n;
    const X modelled = X(n) * u; // the effective part in 15-degree steps
    g.IncrementDegrees = 15 * u;

    g.ModifiedSpiralHeight = modelled * in.SpiralHeight / total;
    g.ModifiedLipHeight = X(in.LipHeight) + in.SpiralHeight - g.ModifiedSpiralHeight;
    g.ModifiedOutletSlitHeight =
        (X(in.OutletSlitHeight) - in.InletSlitHeight) * modelled / total + in.InletSlitHeight;
    g.ModifiedOutletChannelDepth =
        (X(in.OutletChannelDepth) - in.InletChannelDepth) * modelled / total + in.InletChannelDepth;

    const std::int32_t m = grid.PitchIncrements;
    g.PitchIncrements = m;
    g.TransferIncrements = n - m;
    if (n < 1 || n > grid.MostIncrements || m > n)
        throw IndexFault("internal error: " + std::to_string(cells)
            + " effective increments reached the geometry step");
    SizeArrays(g, n);

    // The effective part rises ModifiedSpiralHeight over its angle on the die radius.
    g.HelixAngle = Atan(X(g.ModifiedSpiralHeight) / (modelled * PiOver12 * in.DieRadius));
    g.HelixSine = Sin(X(g.HelixAngle));
    g.HelixCosine = Cos(X(g.HelixAngle));
    g.IncrementLength = X(g.ModifiedSpiralHeight) / g.HelixSine / n;
    g.AxialPitch = g.HelixSine * (X(m) * g.IncrementLength);

    for (int i = 1; i <= n; ++i) {
        g.SlitHeight[i] = (X(g.ModifiedOutletSlitHeight) - in.InletSlitHeight) * (i - 0.5L) / n
            + in.InletSlitHeight;
        g.ChannelDepth[i] =
            (X(g.ModifiedOutletChannelDepth) - in.InletChannelDepth) * (i - 0.5L) / n
            + in.InletChannelDepth;
        g.GrooveDepth[i] = X(g.ChannelDepth[i]) - g.SlitHeight[i];
        ComputeChannelSection(in, g, i);
    }

    // Land between the channel at i and the turn above it at i + m: the axial distance of the
    // centre lines less half the axial opening of each channel.
    for (int i = 1; i <= g.TransferIncrements; ++i)
        g.LandWidth[i] = X(g.AxialPitch)
            - (X(g.ChannelOpeningWidth[i]) + g.ChannelOpeningWidth[i + m])
                / (2 * g.HelixCosine);
    g.MinimumFlow = 0.0001L * in.FlowRatePerChannel;
    CheckFloatingPoint("geometry of the effective part");
}

Geometry ComputeGeometry(const Inputs& in)
{
    Geometry g;
    ComputeGeometry(in, g);
    return g;
}

SlitPaths SizedSlitPaths(const Geometry& g)
{
    SlitPaths paths;
    const int n = g.EffectiveIncrements;
    for (IncrementArray* a :
        { &paths.Length, &paths.StartHeight, &paths.EndHeight, &paths.OutletPathLength })
        a->Resize(n);
    return paths;
}

void ComputeLandPaths(const Geometry& g, SlitPaths& paths)
{
    const int m = g.PitchIncrements;
    paths.Length.RequireCount(g.EffectiveIncrements, "the slit paths");
    for (int i = 1; i <= g.TransferIncrements; ++i) {
        paths.Length[i] = g.LandWidth[i];
        const X halfOpening = X(g.ChannelOpeningWidth[i]) / (2 * g.HelixCosine);
        const X rise = X(g.SlitHeight[i + m]) - g.SlitHeight[i];
        paths.StartHeight[i] = g.SlitHeight[i] + rise * halfOpening / g.AxialPitch;
        paths.EndHeight[i] = g.SlitHeight[i] + rise * (halfOpening + g.LandWidth[i]) / g.AxialPitch;
    }
    CheckFloatingPoint("slit paths over the lands");
}

void ComputeOutletPaths(const Inputs& in, const Geometry& g, SlitPaths& paths)
{
    const int n = g.EffectiveIncrements;
    paths.Length.RequireCount(n, "the slit paths");
    for (int i = g.FirstOutletIncrement(); i <= n; ++i) {
        // Axial distance from the middle of increment i to the end of the effective part.
        const X d = (X(g.ModifiedSpiralHeight) / n) * (n - i + 0.5L);
        paths.OutletPathLength[i] = X(g.ModifiedLipHeight)
            - (X(g.ChannelOpeningWidth[i]) / 2) / g.HelixCosine + d;
        paths.Length[i] = X(paths.OutletPathLength[i]) - in.LipHeight;
        const X halfOpening = X(g.ChannelOpeningWidth[i]) / (2 * g.HelixCosine);
        paths.StartHeight[i] =
            g.SlitHeight[i] + (X(g.ModifiedOutletSlitHeight) - g.SlitHeight[i]) * halfOpening / d;
        paths.EndHeight[i] = in.OutletSlitHeight;
    }
    CheckFloatingPoint("slit paths of the outlet zone");
}

} // namespace karrow
