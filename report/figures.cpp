#include "figures.h"

#include "../solver/flow_relations.h"

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
    outlet.Resolved = m > 1;
    // In relative terms, so that no figure overflows for flows near the ends of double's range.
    double low = 0;
    double high = 0;
    long double squares = 0;
    for (int k = 1; k <= m; ++k) {
        const int i = g.TransferIncrements + k;
        const double q = s.Flow.Distribution.SlitFlow(i);
        const double relative = q / outlet.Mean;
        outlet.Flows.push_back({ i, (k - 0.5) * g.IncrementDegrees, q, relative });
        low = k == 1 ? relative : std::min(low, relative);
        high = k == 1 ? relative : std::max(high, relative);
        outlet.MaxDeviationPercent =
            std::max(outlet.MaxDeviationPercent, 100 * std::fabs(relative - 1));
        squares += static_cast<long double>(relative - 1) * (relative - 1);
    }
    outlet.SpreadPercent = 100 * (high - low);
    outlet.CvPercent = static_cast<double>(100 * std::sqrt(squares / m));
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

    // A slit element at its narrowest: a land at the narrower of its two ends (a land that
    // narrows along its flow shears hardest at its far end), an outlet path at the narrowest of
    // its taper's ends and the lip.
    WallShear SlitShear(const Solution& s, int i, double flow)
    {
        const SlitPaths& p = s.Flow.Laws.Paths;
        double height = std::min(p.StartHeight[i], p.EndHeight[i]);
        if (i > s.Geo.TransferIncrements)
            height = std::min(height, s.In.OutletSlitHeight);
        return SlitWallShear(s.In, flow / SlitWidth(s.Geo), height);
    }

    void AddMaxima(ShearMaxima& maxima, const IncrementFigures& row, bool outletPath)
    {
        if (row.Channel.Rate > maxima.Channel.Rate) {
            maxima.Channel = row.Channel;
            maxima.ChannelIncrement = row.Increment;
        }
        WallShear& slit = outletPath ? maxima.OutletPath : maxima.Land;
        int& at = outletPath ? maxima.OutletPathIncrement : maxima.LandIncrement;
        if (row.Slit.Rate > slit.Rate) {
            slit = row.Slit;
            at = row.Increment;
        }
    }

    // An element of the network as the melt passes it, oriented along its flow. Node 0 stands for
    // the feed and the die outlet, where the melt is new or leaves.
    struct Passage {
        int From = 0;
        int To = 0;
        long double Flow = 0; // > 0, or 0 where nothing passes
        double Volume = 0; // one channel
    };

    Passage Oriented(int from, int to, double flow, double volume)
    {
        if (flow < 0)
            return { to, from, -static_cast<long double>(flow), volume };
        return { from, to, flow, volume };
    }

    // Channel element i carries what enters node i along the channel; the land of a transfer
    // increment joins its node to the node one turn on, an outlet path its node to the outlet.
    std::vector<Passage> PassagesOf(const Solution& s)
    {
        const Geometry& g = s.Geo;
        const Flows& f = s.Flow.Distribution;
        std::vector<Passage> passages;
        for (int i = 1; i <= g.EffectiveIncrements; ++i) {
            const double channel = i == 1 ? s.In.FlowRatePerChannel : f.ChannelFlow(i - 1);
            passages.push_back(Oriented(i - 1, i, channel, ChannelVolume(s, i)));
            const int over = i <= g.TransferIncrements ? i + g.PitchIncrements : 0;
            passages.push_back(Oriented(i, over, f.SlitFlow(i), GapVolume(s, i)));
        }
        return passages;
    }

    // The flow-weighted mean age at every node, in the order the melt reaches the nodes: a node's
    // age is sum(f (age of its source + V / f)) / sum(f) = (sum(f age) + sum(V)) / sum(f) over
    // the elements flowing into it, which needs no division by a small flow. Empty when the flows
    // run in a circle.
    std::vector<double> NodeAges(const Solution& s, const std::vector<Passage>& passages)
    {
        const int last = s.Geo.EffectiveIncrements;
        std::vector<int> waiting(static_cast<std::size_t>(last + 1), 0);
        for (const Passage& p : passages)
            if (p.Flow > 0 && p.From != 0 && p.To != 0)
                ++waiting[static_cast<std::size_t>(p.To)];
        std::vector<long double> weighted(static_cast<std::size_t>(last + 1), 0);
        std::vector<long double> inflow(static_cast<std::size_t>(last + 1), 0);
        std::vector<double> ages(static_cast<std::size_t>(last + 1), 0);
        std::vector<int> ready;
        for (int node = 1; node <= last; ++node)
            if (waiting[static_cast<std::size_t>(node)] == 0)
                ready.push_back(node);
        // New melt enters at age 0 from the feed (and from the outlet where a path flows back).
        for (const Passage& p : passages)
            if (p.Flow > 0 && p.From == 0) {
                weighted[static_cast<std::size_t>(p.To)] += p.Volume;
                inflow[static_cast<std::size_t>(p.To)] += p.Flow;
            }
        int reached = 0;
        while (!ready.empty()) {
            const int node = ready.back();
            ready.pop_back();
            ++reached;
            const auto at = static_cast<std::size_t>(node);
            ages[at] = inflow[at] > 0 ? static_cast<double>(weighted[at] / inflow[at]) : NAN;
            for (const Passage& p : passages) {
                if (p.From != node || p.To == 0 || !(p.Flow > 0))
                    continue;
                const auto to = static_cast<std::size_t>(p.To);
                if (!std::isnan(ages[at]))
                    weighted[to] += p.Flow * ages[at] + p.Volume;
                inflow[to] += std::isnan(ages[at]) ? 0 : p.Flow;
                if (--waiting[to] == 0)
                    ready.push_back(p.To);
            }
        }
        if (reached != last)
            return {};
        return ages;
    }

    void AddResidence(const Solution& s, DesignFigures& figures)
    {
        ResidenceTimes& r = figures.Residence;
        const int channels = s.In.NumberOfChannels;
        const int last = s.Geo.EffectiveIncrements;
        long double volume = 0;
        for (int i = 1; i <= last; ++i)
            volume += static_cast<long double>(ChannelVolume(s, i)) + GapVolume(s, i);
        r.SpiralVolume = static_cast<double>(channels * volume);
        r.MeanTime = static_cast<double>(volume / s.In.FlowRatePerChannel);

        const std::vector<Passage> passages = PassagesOf(s);
        long double stagnant = 0;
        for (const Passage& p : passages)
            if (p.Volume > StagnationMultiple * r.MeanTime * p.Flow)
                stagnant += p.Volume;
        r.StagnantVolume = static_cast<double>(channels * stagnant);
        r.StagnantPercent = static_cast<double>(100 * stagnant / volume);

        const std::vector<double> ages = NodeAges(s, passages);
        r.AgesKnown = !ages.empty();
        long double outletWeighted = 0;
        long double outletFlow = 0;
        for (int i = 1; i <= last; ++i) {
            IncrementFigures& row = figures.Increments[static_cast<std::size_t>(i - 1)];
            const Passage& path = passages[static_cast<std::size_t>(2 * i - 1)];
            const double node = r.AgesKnown ? ages[static_cast<std::size_t>(i)] : NAN;
            row.NodeMeanAge = node;
            // The age where the melt leaves the gap, whichever way it flows.
            const double source = path.From == 0
                ? 0
                : (r.AgesKnown ? ages[static_cast<std::size_t>(path.From)] : NAN);
            row.PathMeanAge =
                path.Flow > 0 ? static_cast<double>(source + path.Volume / path.Flow) : NAN;
            const bool leaves = i > s.Geo.TransferIncrements && path.From == i && path.Flow > 0;
            if (!leaves || std::isnan(node))
                continue;
            outletWeighted += path.Flow * node + path.Volume;
            outletFlow += path.Flow;
            if (row.PathMeanAge > r.OldestOutletAge) {
                r.OldestOutletAge = row.PathMeanAge;
                r.OldestOutletIncrement = i;
            }
        }
        r.OutletMeanAge = outletFlow > 0 ? static_cast<double>(outletWeighted / outletFlow) : NAN;
    }

} // namespace

double ChannelVolume(const Solution& s, int i)
{
    return s.Geo.ChannelArea[i] * s.Geo.IncrementLength;
}

double GapVolume(const Solution& s, int i)
{
    const SlitPaths& p = s.Flow.Laws.Paths;
    return (p.StartHeight[i] + p.EndHeight[i]) / 2 * p.Length[i] * SlitWidth(s.Geo);
}

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

    for (int i = 1; i <= last; ++i) {
        IncrementFigures row;
        row.Increment = i;
        row.AngleDegrees = (i - 0.5) * s.Geo.IncrementDegrees;
        row.SlitFlow = f.SlitFlow(i);
        row.ChannelFlow = s.ChannelFlowOut(i);
        row.PressureKgfCm2 = s.Flow.Profile.ChannelPressure[i] / 1000;
        row.Channel = ChannelShear(s, i, i == 1 ? s.In.FlowRatePerChannel : f.ChannelFlow(i - 1));
        row.Slit = SlitShear(s, i, row.SlitFlow);
        AddMaxima(figures.Shear, row, i > g.TransferIncrements);
        figures.Increments.push_back(row);
    }
    AddResidence(s, figures);
    return figures;
}

} // namespace karrow
