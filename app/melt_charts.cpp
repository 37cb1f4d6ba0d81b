#include "melt_charts.h"

#include "chart_builders.h"

#include <QAreaSeries>
#include <QChart>
#include <QLegend>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPen>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace karrow {

namespace {

    const QColor CurveColour { 31, 119, 180 };
    const QColor RangeColour { 230, 120, 20, 60 };
    const QColor OutletColour { 230, 120, 20 };

    QLogValueAxis* LogAxis(QChart* chart, const QString& title, Qt::Alignment side)
    {
        auto* axis = new QLogValueAxis(chart);
        axis->setTitleText(title);
        axis->setBase(10);
        axis->setLabelFormat(QStringLiteral("%g"));
        chart->addAxis(axis, side);
        return axis;
    }

    // Whole decades round [low, high], so the log axis shows its ticks at powers of ten.
    std::pair<double, double> Decades(double low, double high)
    {
        return { std::pow(10.0, std::floor(std::log10(low))),
            std::pow(10.0, std::ceil(std::log10(high))) };
    }

} // namespace

std::vector<FlowCurveSample> FlowCurveAt(
    const Melt& melt, double celsius, double low, double high, int points)
{
    std::vector<FlowCurveSample> curve;
    const double step = points > 1 ? std::log(high / low) / (points - 1) : 0;
    for (int k = 0; k < points; ++k) {
        const double rate = low * std::exp(step * k);
        curve.push_back({ rate, Viscosity(melt, rate, celsius) });
    }
    return curve;
}

ShearRateRange FlowCurveSpan(const std::optional<ShearRateRange>& design)
{
    ShearRateRange span { 0.01, 1e4 };
    if (design && design->Low > 0 && design->High >= design->Low) {
        span.Low = std::min(span.Low, design->Low / 10);
        span.High = std::max(span.High, design->High * 10);
    }
    return span;
}

QChart* FlowCurveChart(
    const Melt& melt, double celsius, const std::optional<ShearRateRange>& design)
{
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Flow curve at %1 \u00b0C").arg(celsius, 0, 'g', 6));
    chart->legend()->setAlignment(Qt::AlignBottom);
    const ShearRateRange span = FlowCurveSpan(design);
    const std::vector<FlowCurveSample> curve = FlowCurveAt(melt, celsius, span.Low, span.High, 121);

    double lowest = curve.front().Viscosity;
    double highest = lowest;
    auto* line = new QLineSeries;
    line->setName(QStringLiteral("Viscosity"));
    line->setPen(QPen(CurveColour, 2));
    for (const FlowCurveSample& point : curve) {
        line->append(point.ShearRate, point.Viscosity);
        lowest = std::min(lowest, point.Viscosity);
        highest = std::max(highest, point.Viscosity);
    }
    const auto [rateLow, rateHigh] = Decades(span.Low, span.High);
    auto [etaLow, etaHigh] = Decades(lowest, highest);
    if (etaHigh <= etaLow) // a Newtonian curve on a power of ten: give it its decade
        etaHigh = etaLow * 10;
    QLogValueAxis* x = LogAxis(chart, QStringLiteral("Shear rate (1/s)"), Qt::AlignBottom);
    QLogValueAxis* y = LogAxis(chart, QStringLiteral("Viscosity (Pa\u00b7s)"), Qt::AlignLeft);
    x->setRange(rateLow, rateHigh);
    y->setRange(etaLow, etaHigh);

    if (design && design->Low > 0 && design->High >= design->Low) {
        // A band from the axis's floor to its ceiling over the design's wall shear rates.
        auto* top = new QLineSeries(chart);
        auto* bottom = new QLineSeries(chart);
        for (const double rate : { design->Low, design->High }) {
            top->append(rate, etaHigh);
            bottom->append(rate, etaLow);
        }
        auto* band = new QAreaSeries(top, bottom);
        band->setName(QStringLiteral("Wall shear rates of the design"));
        band->setBrush(RangeColour);
        band->setPen(Qt::NoPen);
        Attach(chart, band, x, y);
    }
    Attach(chart, line, x, y);
    return chart;
}

QChart* MeltTemperatureChart(const MeltAnswer& answer)
{
    const MeltNetworkSolution& solved = answer.Solved;
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Melt temperature: %1 K from the coolest to the hottest outlet")
                        .arg(solved.OutletTemperatureSpread, 0, 'f', 2));
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);

    auto* channel = new QLineSeries;
    channel->setName(QStringLiteral("Along the channel"));
    channel->setPen(QPen(CurveColour, 2));
    for (std::size_t node = 0; node < solved.NodeTemperature.size(); ++node)
        channel->append(static_cast<double>(node + 1), solved.NodeTemperature[node]);
    auto* outlet = new QLineSeries;
    outlet->setName(QStringLiteral("Leaving the die, round its circumference"));
    outlet->setPen(QPen(OutletColour, 2, Qt::DashLine));
    for (std::size_t k = 0; k < solved.OutletTemperature.size(); ++k)
        outlet->append(static_cast<double>(answer.TransferIncrements) + static_cast<double>(k + 1),
            solved.OutletTemperature[k]);

    auto* x = new QValueAxis(chart);
    x->setTitleText(QStringLiteral("Increment (from the channel's inlet)"));
    x->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(x, Qt::AlignBottom);
    auto* y = new QValueAxis(chart);
    y->setTitleText(QStringLiteral("Temperature (\u00b0C)"));
    chart->addAxis(y, Qt::AlignLeft);
    Attach(chart, channel, x, y);
    Attach(chart, outlet, x, y);

    double low = 0;
    double high = low;
    bool any = false;
    for (const auto* values : { &solved.NodeTemperature, &solved.OutletTemperature })
        for (const double t : *values) {
            low = any ? std::min(low, t) : t;
            high = any ? std::max(high, t) : t;
            any = true;
        }
    // An isothermal answer is one temperature: give it a band a kelvin wide to sit in.
    const double margin = std::max(0.5, (high - low) * 0.05);
    y->setRange(low - margin, high + margin);
    x->setRange(1, std::max<double>(2, static_cast<double>(solved.NodeTemperature.size())));
    // Ticks at round temperatures and increments, the curves' ends still inside.
    y->applyNiceNumbers();
    x->applyNiceNumbers();
    return chart;
}

} // namespace karrow
