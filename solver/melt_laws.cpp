#include "melt_laws.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace karrow {

namespace {

    // Cells of the integral in ln g, nodes of X in ln Psi. Six Gauss points over a quarter of a
    // unit of ln g integrate the flow curves of melts (analytic in a strip of half-width pi / a
    // or more about the real axis) to the last place; quintic Hermite polynomials over an eighth
    // of a unit of ln Psi leave about 1e-12 of ln tau.
    constexpr double CellWidth = 0.25;
    constexpr double NodeWidth = 0.125;
    // The tail below the first cell: the integrand falls at least as fast as g^(2n+1), n > 0;
    // 60 units of ln g leave less than e^-60 of it.
    constexpr double TailWidth = 60;
    // A table made as wide as this stops there and continues its end straight in log-log,
    // where every law is a power law to the last place (the plateau, or the high-rate end).
    constexpr double MostLogPsi = 90;
    constexpr int NewtonLimit = 100;
    // Shear rates beyond e^600 1/s or below e^-600 mean nothing, and their powers overflow.
    constexpr double MostLogRate = 600;
    // A new table starts this many cells below its first query, so that later queries a little
    // lower do not restart the sum.
    constexpr int CellMargin = 16;

    constexpr std::array<double, 6> Gauss6X { -0.9324695142031520, -0.6612093864662645,
        -0.2386191860831969, 0.2386191860831969, 0.6612093864662645, 0.9324695142031520 };
    constexpr std::array<double, 6> Gauss6W { 0.1713244923791703, 0.3607615730481386,
        0.4679139345726910, 0.4679139345726910, 0.3607615730481386, 0.1713244923791703 };

    int Floor(double x)
    {
        return static_cast<int>(std::floor(x));
    }

    // Quintic Hermite on t in [0, 1] from values, derivatives and second derivatives (per unit
    // of t) at both ends.
    double Hermite(
        double t, double p0, double d0, double c0, double p1, double d1, double c1, double* slope)
    {
        const double t2 = t * t;
        const double t3 = t2 * t;
        const double t4 = t3 * t;
        const double t5 = t4 * t;
        const double h0 = 1 - 10 * t3 + 15 * t4 - 6 * t5;
        const double h1 = t - 6 * t3 + 8 * t4 - 3 * t5;
        const double h2 = 0.5 * (t2 - 3 * t3 + 3 * t4 - t5);
        const double h3 = 0.5 * (t3 - 2 * t4 + t5);
        const double h4 = -4 * t3 + 7 * t4 - 3 * t5;
        const double h5 = 10 * t3 - 15 * t4 + 6 * t5;
        if (slope) {
            const double g0 = -30 * t2 + 60 * t3 - 30 * t4;
            const double g1 = 1 - 18 * t2 + 32 * t3 - 15 * t4;
            const double g2 = 0.5 * (2 * t - 9 * t2 + 12 * t3 - 5 * t4);
            const double g3 = 0.5 * (3 * t2 - 8 * t3 + 5 * t4);
            const double g4 = -12 * t2 + 28 * t3 - 15 * t4;
            *slope = p0 * g0 + d0 * g1 + c0 * g2 + c1 * g3 + d1 * g4 - p1 * g0;
        }
        return p0 * h0 + d0 * h1 + c0 * h2 + c1 * h3 + d1 * h4 + p1 * h5;
    }

} // namespace

SlitFlowFunction::SlitFlowFunction(const Melt& melt)
    : melt_(melt)
{
}

double SlitFlowFunction::Integrand(double x) const
{
    const double g = std::exp(x);
    const FlowCurvePoint p = ReferenceFlowPoint(melt_, g);
    return p.Stress * p.Stress * p.Slope * g;
}

double SlitFlowFunction::CellIntegral(double from, double to) const
{
    const double half = 0.5 * (to - from);
    const double middle = 0.5 * (to + from);
    double sum = 0;
    for (std::size_t k = 0; k < Gauss6X.size(); ++k)
        sum += Gauss6W[k] * Integrand(middle + half * Gauss6X[k]);
    return half * sum;
}

double SlitFlowFunction::TailIntegral(double x) const
{
    // From the far end up, so that the small panels are summed first.
    double sum = 0;
    for (double from = x - TailWidth; from < x; from += 0.5)
        sum += CellIntegral(from, std::min(x, from + 0.5));
    return sum;
}

void SlitFlowFunction::ReachRate(double x)
{
    const int k = Floor(x / CellWidth);
    if (cells_.empty() || k < firstCell_) {
        // A new start below: summed up to the old first cell, whose sums stay as they are.
        const int first = k - CellMargin;
        const int end = cells_.empty() ? k + 2 : firstCell_;
        std::vector<Cell> below;
        below.push_back({ first * CellWidth, TailIntegral(first * CellWidth) });
        for (int c = first + 1; c < end; ++c) {
            const Cell& last = below.back();
            below.push_back(
                { c * CellWidth, last.Integral + CellIntegral(last.LogRate, c * CellWidth) });
        }
        cells_.insert(cells_.begin(), below.begin(), below.end());
        firstCell_ = first;
    }
    while (firstCell_ + static_cast<int>(cells_.size()) <= k + 1) {
        const Cell& last = cells_.back();
        const double next = last.LogRate + CellWidth;
        cells_.push_back({ next, last.Integral + CellIntegral(last.LogRate, next) });
    }
}

double SlitFlowFunction::IntegralAt(double x)
{
    ReachRate(x);
    const Cell& cell = cells_[static_cast<std::size_t>(Floor(x / CellWidth) - firstCell_)];
    return cell.Integral + CellIntegral(cell.LogRate, x);
}

SlitFlowFunction::Node SlitFlowFunction::NodeAt(double v, double guess)
{
    // Newton's method on ln Psi(x) = ln I(x) - 2 ln tau(x), whose slope s (r - 2) is 1 on a
    // plateau and on a power law and not far from it between: a few steps suffice. Here and
    // below, Newton's method stops after a step under 1e-10: it converges quadratically, so the
    // error left is of the order of that step squared.
    double x = guess;
    double integral = 0;
    FlowCurvePoint p;
    for (int k = 0; k < NewtonLimit; ++k) {
        integral = IntegralAt(x);
        p = ReferenceFlowPoint(melt_, std::exp(x));
        const double r = p.Stress * p.Stress * std::exp(x) / integral;
        const double f = std::log(integral) - 2 * std::log(p.Stress) - v;
        const double step = std::clamp(-f / (p.Slope * (r - 2)), -5.0, 5.0);
        if (!std::isfinite(step))
            break;
        x = std::clamp(x + step, -MostLogRate, MostLogRate);
        if (std::fabs(step) <= 1e-10)
            break;
    }
    integral = IntegralAt(x);
    p = ReferenceFlowPoint(melt_, std::exp(x));
    const double r = p.Stress * p.Stress * std::exp(x) / integral;
    Node node;
    node.LogRate = x;
    node.Value = std::log(p.Stress);
    node.Slope = 1 / (r - 2);
    node.Curvature = -r * (2 + 1 / p.Slope - r) / ((r - 2) * (r - 2) * (r - 2));
    return node;
}

void SlitFlowFunction::ReachPsi(double v)
{
    const int k = Floor(v / NodeWidth);
    if (nodes_.empty()) {
        firstNode_ = k;
        nodes_.push_back(NodeAt(k * NodeWidth, k * NodeWidth + std::log(3.0)));
    }
    // Each new node from its neighbour's rate: ln Psi rises with ln g at a slope near 1. The
    // running integral of tau starts at 0 at the first node; a node below moves them all.
    while (k < firstNode_) {
        const Node& next = nodes_.front();
        const double guess = next.LogRate - NodeWidth;
        --firstNode_;
        nodes_.insert(nodes_.begin(), NodeAt(firstNode_ * NodeWidth, guess));
        const double cell = CellStressIntegral(0, firstNode_ * NodeWidth, NodeWidth);
        for (Node& node : nodes_)
            node.StressIntegral += cell;
        nodes_.front().StressIntegral = 0;
    }
    while (firstNode_ + static_cast<int>(nodes_.size()) <= k + 1) {
        const Node& last = nodes_.back();
        const double guess = last.LogRate + NodeWidth;
        const int index = firstNode_ + static_cast<int>(nodes_.size());
        nodes_.push_back(NodeAt(index * NodeWidth, guess));
        const std::size_t at = nodes_.size() - 2;
        nodes_.back().StressIntegral = nodes_[at].StressIntegral
            + CellStressIntegral(static_cast<int>(at), (index - 1) * NodeWidth, NodeWidth);
    }
}

double SlitFlowFunction::InCell(int cell, double v, double* slope) const
{
    const Node& a = nodes_[static_cast<std::size_t>(cell)];
    const Node& b = nodes_[static_cast<std::size_t>(cell + 1)];
    const double t = (v - (firstNode_ + cell) * NodeWidth) / NodeWidth;
    const double h = NodeWidth;
    double dt = 0;
    const double value = Hermite(t, a.Value, a.Slope * h, a.Curvature * h * h, b.Value, b.Slope * h,
        b.Curvature * h * h, slope ? &dt : nullptr);
    if (slope)
        *slope = dt / h;
    return value;
}

// Int exp(X) dv over [from, from + width] inside one cell, and the same weighted by X'.
double SlitFlowFunction::CellStressIntegral(
    int cell, double from, double width, double* weighted) const
{
    double sum = 0;
    double weightedSum = 0;
    for (std::size_t k = 0; k < Gauss6X.size(); ++k) {
        double slope = 0;
        const double stress = std::exp(
            InCell(cell, from + 0.5 * width * (1 + Gauss6X[k]), weighted ? &slope : nullptr));
        sum += Gauss6W[k] * stress;
        weightedSum += Gauss6W[k] * stress * slope;
    }
    if (weighted)
        *weighted = 0.5 * width * weightedSum;
    return 0.5 * width * sum;
}

int SlitFlowFunction::CellAt(double v)
{
    ReachPsi(v);
    return std::min(Floor(v / NodeWidth) - firstNode_, static_cast<int>(nodes_.size()) - 2);
}

double SlitFlowFunction::LogStress(double v, double* slope)
{
    // A number that is not one reaches no table.
    if (std::isnan(v))
        return v;
    const double inside = std::clamp(v, -MostLogPsi, MostLogPsi);
    double d = 0;
    const double value = InCell(CellAt(inside), inside, &d);
    if (slope)
        *slope = d;
    return value + d * (v - inside);
}

double SlitFlowFunction::LogPsi(double logStress)
{
    if (std::isnan(logStress))
        return logStress;
    // The table grown until its values hold logStress (X rises with v at least at min(n, 1)),
    // then the cell found by bisection and Newton's method on its polynomial.
    if (nodes_.empty())
        ReachPsi(0);
    for (int k = 0; k < NewtonLimit; ++k) {
        const Node& low = nodes_.front();
        const Node& high = nodes_.back();
        const double lowV = firstNode_ * NodeWidth;
        const double highV = lowV + (static_cast<double>(nodes_.size()) - 1) * NodeWidth;
        if (logStress < low.Value && lowV > -MostLogPsi)
            ReachPsi(std::max(-MostLogPsi, lowV - (low.Value - logStress) / low.Slope - NodeWidth));
        else if (logStress > high.Value && highV < MostLogPsi)
            ReachPsi(
                std::min(MostLogPsi, highV + (logStress - high.Value) / high.Slope + NodeWidth));
        else
            break;
    }
    const Node& low = nodes_.front();
    const Node& high = nodes_.back();
    if (logStress <= low.Value)
        return firstNode_ * NodeWidth + (logStress - low.Value) / low.Slope;
    const double top = (firstNode_ + static_cast<double>(nodes_.size()) - 1) * NodeWidth;
    if (logStress >= high.Value)
        return top + (logStress - high.Value) / high.Slope;
    const auto above = std::upper_bound(nodes_.begin(), nodes_.end(), logStress,
        [](double value, const Node& node) { return value < node.Value; });
    const int cell = static_cast<int>(above - nodes_.begin()) - 1;
    const Node& a = nodes_[static_cast<std::size_t>(cell)];
    const Node& b = nodes_[static_cast<std::size_t>(cell + 1)];
    const double start = (firstNode_ + cell) * NodeWidth;
    double v = start + NodeWidth * (logStress - a.Value) / (b.Value - a.Value);
    for (int k = 0; k < NewtonLimit; ++k) {
        double slope = 0;
        const double value = InCell(cell, v, &slope);
        const double next = std::clamp(v + (logStress - value) / slope, start, start + NodeWidth);
        const double step = next - v;
        v = next;
        if (std::fabs(step) <= 1e-10)
            break;
    }
    return v;
}

double SlitFlowFunction::StressIntegral(double v1, double v2, double* weighted)
{
    if (std::isnan(v1) || std::isnan(v2) || std::isinf(v1) || std::isinf(v2)) {
        const double nothing = std::nan("");
        if (weighted)
            *weighted = nothing;
        return nothing;
    }
    if (v2 < v1) {
        const double integral = -StressIntegral(v2, v1, weighted);
        if (weighted)
            *weighted = -*weighted;
        return integral;
    }
    if (v1 < -MostLogPsi || v2 > MostLogPsi)
        return PanelStressIntegral(v1, v2, weighted);
    const int first = CellAt(v1);
    const int last = CellAt(v2);
    if (first == last)
        return CellStressIntegral(first, v1, v2 - v1, weighted);
    // Whole cells from the running integral; the partial cells at both ends by Gauss.
    const double firstEnd = (firstNode_ + first + 1) * NodeWidth;
    const double lastStart = (firstNode_ + last) * NodeWidth;
    const double integral = CellStressIntegral(first, v1, firstEnd - v1)
        + (nodes_[static_cast<std::size_t>(last)].StressIntegral
            - nodes_[static_cast<std::size_t>(first + 1)].StressIntegral)
        + CellStressIntegral(last, lastStart, v2 - lastStart);
    if (weighted)
        *weighted = std::exp(LogStress(v2)) - std::exp(LogStress(v1));
    return integral;
}

// Beyond the table's ends, where X is continued straight: panels of half a unit by Gauss.
double SlitFlowFunction::PanelStressIntegral(double v1, double v2, double* weighted)
{
    // Beyond a few hundred units of ln Psi the stresses are out of the range of numbers anyway.
    if (!(std::fabs(v2 - v1) < 1000)) {
        if (weighted)
            *weighted = HUGE_VAL;
        return HUGE_VAL;
    }
    const int panels = std::max(1, static_cast<int>(std::ceil(std::fabs(v2 - v1) / 0.5)));
    const double width = (v2 - v1) / panels;
    double sum = 0;
    double weightedSum = 0;
    for (int p = 0; p < panels; ++p) {
        const double middle = v1 + (p + 0.5) * width;
        for (std::size_t k = 0; k < Gauss6X.size(); ++k) {
            double slope = 0;
            const double stress = std::exp(LogStress(middle + 0.5 * width * Gauss6X[k], &slope));
            sum += Gauss6W[k] * stress;
            weightedSum += Gauss6W[k] * stress * slope;
        }
    }
    if (weighted)
        *weighted = 0.5 * width * weightedSum;
    return 0.5 * width * sum;
}

double MeltElementLaws::SlitDrop(const SlitShape& slit, double flow, double logShift, double* slope)
{
    if (!(flow > 0)) {
        if (slope)
            *slope = 0;
        return 0;
    }
    const double q = flow / slit.Width;
    const double v1 = std::log(2 * q / (slit.StartHeight * slit.StartHeight)) + logShift;
    if (slit.StartHeight == slit.EndHeight) {
        double x = 0;
        const double stress = std::exp(psi_.LogStress(v1, &x));
        const double drop = 2 * slit.Length * stress / slit.StartHeight / PascalPerGramForce;
        if (slope)
            *slope = drop * x / flow;
        return drop;
    }
    const double v2 = std::log(2 * q / (slit.EndHeight * slit.EndHeight)) + logShift;
    double weighted = 0;
    const double integral = psi_.StressIntegral(v1, v2, &weighted);
    const double scale = slit.Length / (slit.StartHeight - slit.EndHeight) / PascalPerGramForce;
    if (slope)
        *slope = scale * weighted / flow;
    return scale * integral;
}

ElementFlow MeltElementLaws::ConstantSlitFlow(
    const SlitShape& slit, double drop, double logShift, double frozenDrop)
{
    const auto at = [&](double d) -> ElementFlow {
        const double stress = d * PascalPerGramForce * slit.StartHeight / (2 * slit.Length);
        const double v = psi_.LogPsi(std::log(stress));
        const double flow =
            slit.Width * 0.5 * slit.StartHeight * slit.StartHeight * std::exp(v - logShift);
        double slope = 0;
        psi_.LogStress(v, &slope);
        return { flow, flow / (slope * d) };
    };
    if (std::isnan(drop))
        return { drop, drop };
    const double size = std::fabs(drop);
    ElementFlow result;
    if (size > 0)
        result = at(size);
    if (size < frozenDrop)
        result.Slope = at(frozenDrop).Slope;
    result.Flow = std::copysign(result.Flow, drop);
    return result;
}

ElementFlow MeltElementLaws::SeriesFlow(const std::vector<SlitShape>& chain, double drop,
    double logShift, double guess, double frozenDrop)
{
    const auto total = [&](double flow, double& slope) {
        double sum = 0;
        slope = 0;
        for (const SlitShape& slit : chain) {
            double s = 0;
            sum += SlitDrop(slit, flow, logShift, &s);
            slope += s;
        }
        return sum;
    };
    // Newton's method on ln drop(ln flow), nearly a straight line of slope between n and 1.
    const auto solve = [&](double d) -> ElementFlow {
        double flow = std::isfinite(guess) && guess > 0 ? guess : 1.0;
        double slope = 0;
        for (int k = 0; k < NewtonLimit; ++k) {
            const double at = total(flow, slope);
            const double step =
                std::clamp((std::log(d) - std::log(at)) / (slope * flow / at), -10.0, 10.0);
            flow *= std::exp(step);
            if (std::fabs(step) <= 1e-10)
                break;
        }
        total(flow, slope);
        return { flow, 1 / slope };
    };
    if (std::isnan(drop))
        return { drop, drop };
    const double size = std::fabs(drop);
    ElementFlow result;
    if (size > 0)
        result = solve(size);
    if (size < frozenDrop)
        result.Slope = solve(frozenDrop).Slope;
    result.Flow = std::copysign(result.Flow, drop);
    return result;
}

} // namespace karrow
