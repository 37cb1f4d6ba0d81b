#include "chart_builders.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QPolarChart>
#include <QScatterSeries>
#include <QValueAxis>
#include <QXYSeries>
#include <algorithm>
#include <cmath>
#include <functional>

namespace karrow {

namespace {

    const QColor ChannelColour { 31, 119, 180 };
    const QColor SlitColour { 230, 120, 20 };
    const QColor PressureColour { 44, 140, 60 };
    const QColor MeanColour { 120, 120, 120 };

    using Reading = std::function<double(const IncrementFigures&)>;


    // The exact answer is what the model itself predicts; drawn dashed so that the classic
    // curve it departs from stays visible beneath.
    QPen CurvePen(const QColor& colour, bool exact)
    {
        QPen pen(colour, 2);
        if (exact)
            pen.setStyle(Qt::DashLine);
        return pen;
    }

    QLineSeries* AlongTheSpiral(const QString& name, const std::vector<IncrementFigures>& rows,
        const Reading& read, const QColor& colour, bool exact)
    {
        auto* series = new QLineSeries;
        series->setName(exact ? name + QStringLiteral(" (exact network)") : name);
        series->setPen(CurvePen(colour, exact));
        for (const IncrementFigures& row : rows)
            series->append(row.AngleDegrees, read(row));
        return series;
    }

    struct Curve {
        QString Name;
        Reading Read;
        QColor Colour;
    };

    // Whole quarter turns along the spiral, ticked every quarter turn.
    void QuarterTurns(QValueAxis* angle, const DesignFigures& classic)
    {
        constexpr double QuarterTurn = 90;
        const double end = classic.Increments.empty() ? 0 : classic.Increments.back().AngleDegrees;
        angle->setRange(0, QuarterTurn * std::max(1.0, std::ceil(end / QuarterTurn)));
        angle->setTickType(QValueAxis::TicksDynamic);
        angle->setTickAnchor(0);
        angle->setTickInterval(QuarterTurn);
        angle->setLabelFormat(QStringLiteral("%.0f"));
    }

    // A scale of whole steps of 1, 2, 2.5 or 5 times a power of ten, with at most `intervals`
    // steps from `low` to `high`: ticks a reader can take in at a glance.
    struct RoundScale {
        double Low = 0;
        double High = 1;
        int Ticks = 2;
    };

    RoundScale RoundScaleOver(double low, double high, int intervals)
    {
        if (!(high > low))
            high = low + 1;
        const double decade = std::pow(10.0, std::floor(std::log10((high - low) / intervals)));
        double step = 10 * decade;
        for (const double factor : { 1.0, 2.0, 2.5, 5.0 })
            if (std::ceil(high / (factor * decade)) - std::floor(low / (factor * decade))
                <= intervals) {
                step = factor * decade;
                break;
            }
        const double first = std::floor(low / step);
        const double last = std::ceil(high / step);
        return { first * step, last * step, static_cast<int>(last - first) + 1 };
    }

    void SetRoundScale(QValueAxis* axis, const RoundScale& scale)
    {
        axis->setRange(scale.Low, scale.High);
        axis->setTickType(QValueAxis::TicksFixed);
        axis->setTickCount(scale.Ticks);
        axis->setLabelFormat(QStringLiteral("%g"));
    }

    // Every curve of the chart counts, not only the first one attached: the land's shear can
    // be three times the channel's. From zero, so that the curves' heights compare. Values
    // that are not finite are not drawn and so do not count.
    void RangeOverAllCurves(QChart* chart, QValueAxis* values)
    {
        double low = 0;
        double high = 0;
        for (const QAbstractSeries* series : chart->series())
            if (const auto* curve = qobject_cast<const QXYSeries*>(series))
                for (const QPointF& point : curve->points())
                    if (std::isfinite(point.y())) {
                        low = std::min(low, point.y());
                        high = std::max(high, point.y());
                    }
        // A value below zero by rounding alone would open a whole step below the axis.
        if (low > -1e-6 * high)
            low = 0;
        SetRoundScale(values, RoundScaleOver(low, high, 6));
    }

    // Curves of increment figures against the angle along the spiral, classic and exact.
    QChart* SpiralChart(const QString& title, const QString& valueTitle,
        const std::vector<Curve>& curves, const DesignFigures& classic, const DesignFigures* exact)
    {
        QChart* chart = NewChart(title);
        QValueAxis* x =
            Axis(chart, QStringLiteral("angle along the spiral (degrees)"), Qt::AlignBottom);
        QValueAxis* y = Axis(chart, valueTitle, Qt::AlignLeft);
        for (const Curve& curve : curves) {
            Attach(chart,
                AlongTheSpiral(curve.Name, classic.Increments, curve.Read, curve.Colour, false), x,
                y);
            if (exact)
                Attach(chart,
                    AlongTheSpiral(curve.Name, exact->Increments, curve.Read, curve.Colour, true),
                    x, y);
        }
        QuarterTurns(x, classic);
        RangeOverAllCurves(chart, y);
        return chart;
    }

    // The outlet increments' slit flows: what leaves the die.
    QScatterSeries* OutletMarkers(const DesignFigures& classic)
    {
        auto* markers = new QScatterSeries;
        markers->setName(QStringLiteral("outlet increments"));
        markers->setMarkerSize(8);
        markers->setColor(SlitColour);
        markers->setBorderColor(SlitColour.darker());
        for (const OutletFlow& outlet : classic.Outlet.Flows) {
            const auto row = std::find_if(classic.Increments.begin(), classic.Increments.end(),
                [&](const IncrementFigures& r) { return r.Increment == outlet.Increment; });
            if (row != classic.Increments.end())
                markers->append(row->AngleDegrees, outlet.Flow);
        }
        return markers;
    }

    // Closed round the die from 0 to 360 degrees: the stretch from the last outlet increment to
    // the first one of the next turn is cut at 360, so that the curve neither stops short of 0
    // nor runs past 360, where the angular axis ends.
    QLineSeries* CircumferenceCurve(const DesignFigures& figures, int channels, bool exact)
    {
        auto* series = new QLineSeries;
        series->setName(
            exact ? QStringLiteral("exact network") : QStringLiteral("classic iteration"));
        series->setPen(CurvePen(ChannelColour, exact));
        std::vector<CircumferencePoint> points = RoundTheCircumference(figures.Outlet, channels);
        if (points.empty())
            return series;
        std::sort(points.begin(), points.end(),
            [](const CircumferencePoint& a, const CircumferencePoint& b) {
                return a.AngleDegrees < b.AngleDegrees;
            });
        const CircumferencePoint& first = points.front();
        const CircumferencePoint& last = points.back();
        const double span = first.AngleDegrees + 360 - last.AngleDegrees;
        const double atTheTurn = span > 0
            ? last.Relative + (360 - last.AngleDegrees) / span * (first.Relative - last.Relative)
            : first.Relative;
        if (first.AngleDegrees > 0)
            series->append(0, atTheTurn);
        for (const CircumferencePoint& point : points)
            series->append(point.AngleDegrees, point.Relative);
        series->append(360, atTheTurn);
        return series;
    }

    double LargestRelative(const DesignFigures& classic, const DesignFigures* exact)
    {
        double largest = 1;
        for (const OutletFlow& flow : classic.Outlet.Flows)
            largest = std::max(largest, flow.Relative);
        if (exact)
            for (const OutletFlow& flow : exact->Outlet.Flows)
                largest = std::max(largest, flow.Relative);
        return largest;
    }

    // The classic iteration's outlet flows sit on the 15-degree grid whatever the exact answer's
    // resolution: marked over the exact curve or bars, they show where the report samples the
    // profile, and what a 15-degree cell average leaves out. `place` puts an angle round the die
    // on the chart's horizontal axis.
    QScatterSeries* FifteenDegreePoints(const DesignFigures& classic, int channels,
        const std::function<double(double)>& place)
    {
        auto* points = new QScatterSeries;
        points->setName(QStringLiteral("classic iteration, 15° points"));
        points->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
        points->setMarkerSize(9);
        points->setColor(SlitColour);
        points->setBorderColor(SlitColour.darker());
        for (const CircumferencePoint& point : RoundTheCircumference(classic.Outlet, channels))
            points->append(place(point.AngleDegrees), point.Relative);
        return points;
    }

    QBarSet* RelativeFlows(const QString& name, const DesignFigures& figures, int channels)
    {
        auto* set = new QBarSet(name);
        for (const CircumferencePoint& point : RoundTheCircumference(figures.Outlet, channels))
            set->append(point.Relative);
        return set;
    }

} // namespace

QValueAxis* Axis(QChart* chart, const QString& title, Qt::Alignment side)
{
    auto* axis = new QValueAxis(chart);
    axis->setTitleText(title);
    chart->addAxis(axis, side);
    return axis;
}

QChart* NewChart(const QString& title)
{
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->legend()->setAlignment(Qt::AlignBottom);
    // Curves as lines in the legend too, so that the dashed exact ones are told apart.
    chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
    return chart;
}

void Attach(QChart* chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y)
{
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
}

std::vector<CircumferencePoint> RoundTheCircumference(
    const OutletDistribution& outlet, int channels)
{
    std::vector<CircumferencePoint> points;
    points.reserve(outlet.Flows.size() * static_cast<std::size_t>(std::max(channels, 0)));
    for (int channel = 0; channel < channels; ++channel)
        for (const OutletFlow& flow : outlet.Flows)
            points.push_back({ channel * 360.0 / channels + flow.AngleDegrees, flow.Relative });
    return points;
}

QChart* FlowChart(const DesignFigures& classic, const DesignFigures* exact)
{
    QChart* chart = SpiralChart(QStringLiteral("Channel flow and slit flow along the spiral"),
        QStringLiteral("flow per channel (cm3/s)"),
        {
            { QStringLiteral("channel flow"),
                [](const IncrementFigures& r) { return r.ChannelFlow; }, ChannelColour },
            { QStringLiteral("slit flow"), [](const IncrementFigures& r) { return r.SlitFlow; },
                SlitColour },
        },
        classic, exact);
    auto* values = qobject_cast<QValueAxis*>(chart->axes(Qt::Vertical).front());
    Attach(chart, OutletMarkers(classic), chart->axes(Qt::Horizontal).front(), values);
    RangeOverAllCurves(chart, values);
    return chart;
}

QChart* PressureChart(const DesignFigures& classic, const DesignFigures* exact)
{
    return SpiralChart(QStringLiteral("Pressure along the spiral"),
        QStringLiteral("pressure (kgf/cm2)"),
        { { QStringLiteral("pressure"), [](const IncrementFigures& r) { return r.PressureKgfCm2; },
            PressureColour } },
        classic, exact);
}

QChart* WallShearChart(const DesignFigures& classic, const DesignFigures* exact)
{
    return SpiralChart(QStringLiteral("Wall shear rates along the spiral"),
        QStringLiteral("wall shear rate (1/s)"),
        {
            { QStringLiteral("channel"), [](const IncrementFigures& r) { return r.Channel.Rate; },
                ChannelColour },
            { QStringLiteral("land"), [](const IncrementFigures& r) { return r.Slit.Rate; },
                SlitColour },
        },
        classic, exact);
}

QPolarChart* OutletPolarChart(
    const DesignFigures& classic, const DesignFigures* exact, int channels)
{
    auto* chart = new QPolarChart;
    // The radial axis has no room for a title of its own: it would sit on its tick labels.
    chart->setTitle(
        QStringLiteral("Outlet flow round the die; radius: flow relative to the mean (-)"));
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
    auto* angle = new QValueAxis(chart);
    angle->setRange(0, 360);
    angle->setTickCount(9);
    angle->setLabelFormat(QStringLiteral("%.0f"));
    angle->setTitleText(QStringLiteral("angle round the die (degrees)"));
    chart->addAxis(angle, QPolarChart::PolarOrientationAngular);
    auto* relative = new QValueAxis(chart);
    SetRoundScale(relative, RoundScaleOver(0, LargestRelative(classic, exact), 5));
    chart->addAxis(relative, QPolarChart::PolarOrientationRadial);

    // Sampled every degree: a polar chart joins points by straight lines.
    auto* mean = new QLineSeries;
    mean->setName(QStringLiteral("mean (1)"));
    mean->setPen(QPen(MeanColour, 1));
    for (int degree = 0; degree <= 360; ++degree)
        mean->append(degree, 1);
    Attach(chart, mean, angle, relative);
    Attach(chart, CircumferenceCurve(classic, channels, false), angle, relative);
    if (exact) {
        Attach(chart, CircumferenceCurve(*exact, channels, true), angle, relative);
        Attach(chart, FifteenDegreePoints(classic, channels, [](double a) { return a; }), angle,
            relative);
    }
    return chart;
}

// With an exact answer the bars are its outlet flows at its own resolution (k increments per
// channel pitch, 360/(N k) degrees each, not always 15), and the classic flows are marked on
// them at their 15-degree places; two sets of bars could not share one row of angles.
QChart* OutletBarChart(const DesignFigures& classic, const DesignFigures* exact, int channels)
{
    QChart* chart = NewChart(QStringLiteral("Outlet flow round the die, relative to the mean"));
    // Bars show as filled squares of their colour; the mean line and the 15-degree points as
    // they are drawn.
    chart->legend()->setMarkerShape(QLegend::MarkerShapeRectangle);
    const DesignFigures& shown = exact ? *exact : classic;
    auto* bars = new QBarSeries;
    QBarSet* set = RelativeFlows(exact ? QStringLiteral("exact network")
                                       : QStringLiteral("classic iteration"),
        shown, channels);
    set->setColor(exact ? ChannelColour.lighter(160) : ChannelColour);
    set->setBorderColor(exact ? ChannelColour : ChannelColour.darker(130));
    bars->append(set);
    auto* angle = new QBarCategoryAxis(chart);
    const std::vector<CircumferencePoint> points = RoundTheCircumference(shown.Outlet, channels);
    for (const CircumferencePoint& point : points)
        angle->append(QString::number(point.AngleDegrees, 'f', 1));
    // Two dozen outlets round the die and more: upright labels would be cut.
    angle->setLabelsAngle(-90);
    angle->setTitleText(QStringLiteral("angle round the die (degrees)"));
    chart->addAxis(angle, Qt::AlignBottom);
    QValueAxis* relative =
        Axis(chart, QStringLiteral("relative flow (-), mean = 1"), Qt::AlignLeft);
    SetRoundScale(relative, RoundScaleOver(0, LargestRelative(classic, exact), 6));
    Attach(chart, bars, angle, relative);

    // The mean across all the bars and the 15-degree points, on an axis of bar positions of its
    // own: bar j stands at j and covers the j-th increment round the die.
    auto* across = new QValueAxis(chart);
    const double edge = static_cast<double>(points.size()) - 0.5;
    across->setRange(-0.5, edge);
    across->setVisible(false);
    chart->addAxis(across, Qt::AlignTop);
    auto* mean = new QLineSeries;
    mean->setName(QStringLiteral("mean (1)"));
    mean->setPen(QPen(MeanColour, 2));
    mean->append(-0.5, 1);
    mean->append(edge, 1);
    Attach(chart, mean, across, relative);
    QList<QLegendMarker*> drawnAsTheyAre = chart->legend()->markers(mean);
    if (exact && !points.empty()) {
        const double increment = 360.0 / static_cast<double>(points.size());
        QScatterSeries* marks = FifteenDegreePoints(
            classic, channels, [increment](double a) { return a / increment - 0.5; });
        Attach(chart, marks, across, relative);
        drawnAsTheyAre += chart->legend()->markers(marks);
    }
    for (QLegendMarker* marker : drawnAsTheyAre)
        marker->setShape(QLegend::MarkerShapeFromSeries);
    return chart;
}

} // namespace karrow
