#include "figures.h"

#include "../solver/flow_relations.h"
#include "result_file.h"

#include <algorithm>
#include <cmath>

namespace karrow {

namespace {

    double Power(double base, double exponent)
    {
        return std::pow(base, exponent);
    }

} // namespace

OutletDistribution OutletDistributionOf(const Solution& s)
{
    const Geometry& g = s.Geo;
    const int m = g.PitchIncrements;
    OutletDistribution outlet;
    outlet.Mean = s.In.FlowRatePerChannel / m;
    double low = 0;
    double high = 0;
    double squares = 0;
    for (int k = 1; k <= m; ++k) {
        const int i = g.TransferIncrements + k;
        const double q = s.Flow.Distribution.SlitFlow(i);
        outlet.Flows.push_back({ i, (k - 0.5) * g.IncrementDegrees, q, q / outlet.Mean });
        low = k == 1 ? q : std::min(low, q);
        high = k == 1 ? q : std::max(high, q);
        const double deviation = q / outlet.Mean - 1;
        outlet.MaxDeviationPercent =
            std::max(outlet.MaxDeviationPercent, 100 * std::fabs(deviation));
        squares += (q - outlet.Mean) * (q - outlet.Mean);
    }
    outlet.SpreadPercent = 100 * (high - low) / outlet.Mean;
    outlet.CvPercent = 100 * std::sqrt(squares / m) / outlet.Mean;
    return outlet;
}

HeadPressure HeadPressureOf(const Solution& s)
{
    const double gf = s.HeadPressure();
    const double pascal = gf * PascalPerGfCm2;
    return { gf, gf / 1000, pascal / 1e5, pascal / 1e6 };
}

double TemperatureRiseOf(const HeadPressure& head, const MeltProperties& melt)
{
    // Pa = J/m3 over rho c_p in J/(m3 K): g/cm3 is 1e3 kg/m3, J/(g K) is 1e3 J/(kg K).
    return head.MPa * 1e6 / (melt.Density * 1e3 * melt.HeatCapacity * 1e3);
}

namespace {

    // The width across which an increment's slit flows, as the slit laws take it.
    double SlitWidth(const Geometry& g)
    {
        return g.IncrementLength * std::cos(g.HelixAngle);
    }

    // The channel element of increment i taken as its law takes it: a slit as wide as the larger
    // and as high as the smaller of equivalent depth and opening width, carrying the element's
    // flow divided by the shape factor (what the unbounded slit carries at the same drop).
    WallShear ChannelShear(const Solution& s, int i, double flow)
    {
        const double e = s.Geo.EquivalentChannelDepth[i];
        const double o = s.Geo.ChannelOpeningWidth[i];
        const double width = std::max(e, o);
        const double height = std::min(e, o);
        return SlitWallShear(s.In, flow / ShapeFactor(height / width) / width, height);
    }

    // A slit element at its narrowest: the land at the channel edge, an outlet path at the
    // narrower of its taper's entry and the lip.
    WallShear SlitShear(const Solution& s, int i, double flow)
    {
        const SlitPaths& p = s.Flow.Laws.Paths;
        double height = p.StartHeight[i];
        if (i > s.Geo.TransferIncrements)
            height = std::min(height, s.In.OutletSlitHeight);
        return SlitWallShear(s.In, flow / SlitWidth(s.Geo), height);
    }

    // Volume of the channel of increment i with its strip of slit, and of the gap over its land
    // (or its outlet taper), for one channel.
    double ChannelVolume(const Solution& s, int i)
    {
        return s.Geo.ChannelArea[i] * s.Geo.IncrementLength;
    }

    double GapVolume(const Solution& s, int i)
    {
        const SlitPaths& p = s.Flow.Laws.Paths;
        return (p.StartHeight[i] + p.EndHeight[i]) / 2 * p.Length[i] * SlitWidth(s.Geo);
    }

    void AddMaxima(ShearMaxima& maxima, const IncrementFigures& row)
    {
        if (row.Channel.Rate > maxima.Channel.Rate) {
            maxima.Channel = row.Channel;
            maxima.ChannelIncrement = row.Increment;
        }
        if (row.Slit.Rate > maxima.Slit.Rate) {
            maxima.Slit = row.Slit;
            maxima.SlitIncrement = row.Increment;
        }
    }

} // namespace

double Consistency(const Inputs& in)
{
    return in.StandardViscosity * Power(in.StandardShearRate, 1 - in.PowerLawIndex);
}

WallShear SlitWallShear(const Inputs& in, double flowPerWidth, double height)
{
    const double n = in.PowerLawIndex;
    const double rate = (2 * n + 1) / (3 * n) * 6 * std::fabs(flowPerWidth) / (height * height);
    return { rate, Consistency(in) * Power(rate, n) };
}

DesignFigures ComputeFigures(const Solution& s, const MeltProperties& melt)
{
    const Geometry& g = s.Geo;
    const Flows& f = s.Flow.Distribution;
    const int last = g.EffectiveIncrements;
    DesignFigures figures;
    figures.Outlet = OutletDistributionOf(s);
    figures.Head = HeadPressureOf(s);
    figures.Melt = melt;
    figures.TemperatureRise = TemperatureRiseOf(figures.Head, melt);

    double volume = 0;
    double time = 0;
    for (int i = 1; i <= last; ++i) {
        IncrementFigures row;
        row.Increment = i;
        row.AngleDegrees = (i - 0.5) * s.Geo.IncrementDegrees;
        row.SlitFlow = f.SlitFlow(i);
        row.ChannelFlow = ReportedChannelFlow(s, i);
        row.PressureKgfCm2 = s.Flow.Profile.ChannelPressure[i] / 1000;
        row.Channel = ChannelShear(s, i, i == 1 ? s.In.FlowRatePerChannel : f.ChannelFlow(i - 1));
        row.Slit = SlitShear(s, i, row.SlitFlow);
        // All that reaches the last increment leaves over its slit.
        const double through = std::fabs(i == last ? row.SlitFlow : row.ChannelFlow);
        if (through > 0)
            time += ChannelVolume(s, i) / through;
        row.ResidenceTime = time;
        volume += ChannelVolume(s, i) + GapVolume(s, i);
        AddMaxima(figures.Shear, row);
        if (row.ResidenceTime > figures.Residence.LargestAlongChannel) {
            figures.Residence.LargestAlongChannel = row.ResidenceTime;
            figures.Residence.LargestAt = i;
        }
        figures.Increments.push_back(row);
    }
    figures.Residence.SpiralVolume = s.In.NumberOfChannels * volume;
    figures.Residence.MeanTime =
        figures.Residence.SpiralVolume / (s.In.NumberOfChannels * s.In.FlowRatePerChannel);
    return figures;
}

} // namespace karrow
