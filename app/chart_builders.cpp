#include "chart_builders.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QLegend>
#include <QLineSeries>
#include <QPen>
#include <QPolarChart>
#include <QScatterSeries>
#include <QValueAxis>
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

    // From zero, so that the curves' heights compare, up to a round number.
    void FromZero(QValueAxis* values)
    {
        values->setRange(std::min(0.0, values->min()), values->max());
        values->applyNiceNumbers();
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
        FromZero(y);
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

    QLineSeries* CircumferenceCurve(const DesignFigures& figures, int channels, bool exact)
    {
        auto* series = new QLineSeries;
        series->setName(
            exact ? QStringLiteral("exact network") : QStringLiteral("classic iteration"));
        series->setPen(CurvePen(ChannelColour, exact));
        const std::vector<CircumferencePoint> points =
            RoundTheCircumference(figures.Outlet, channels);
        for (const CircumferencePoint& point : points)
            series->append(point.AngleDegrees, point.Relative);
        // Closed round the die.
        if (!points.empty())
            series->append(points.front().AngleDegrees + 360, points.front().Relative);
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

    QBarSet* RelativeFlows(const QString& name, const DesignFigures& figures, int channels)
    {
        auto* set = new QBarSet(name);
        for (const CircumferencePoint& point : RoundTheCircumference(figures.Outlet, channels))
            set->append(point.Relative);
        return set;
    }

} // namespace

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
    Attach(chart, OutletMarkers(classic), chart->axes(Qt::Horizontal).front(),
        chart->axes(Qt::Vertical).front());
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
    chart->setTitle(QStringLiteral("Outlet flow round the die, relative to the mean"));
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
    auto* angle = new QValueAxis(chart);
    angle->setRange(0, 360);
    angle->setTickCount(9);
    angle->setLabelFormat(QStringLiteral("%.0f"));
    angle->setTitleText(QStringLiteral("angle round the die (degrees)"));
    chart->addAxis(angle, QPolarChart::PolarOrientationAngular);
    auto* relative = new QValueAxis(chart);
    relative->setRange(0, 1.1 * LargestRelative(classic, exact));
    relative->setTitleText(QStringLiteral("relative flow (-)"));
    chart->addAxis(relative, QPolarChart::PolarOrientationRadial);

    // Sampled every degree: a polar chart joins points by straight lines.
    auto* mean = new QLineSeries;
    mean->setName(QStringLiteral("mean (1)"));
    mean->setPen(QPen(MeanColour, 1));
    for (int degree = 0; degree <= 360; ++degree)
        mean->append(degree, 1);
    Attach(chart, mean, angle, relative);
    Attach(chart, CircumferenceCurve(classic, channels, false), angle, relative);
    if (exact)
        Attach(chart, CircumferenceCurve(*exact, channels, true), angle, relative);
    return chart;
}

QChart* OutletBarChart(const DesignFigures& classic, const DesignFigures* exact, int channels)
{
    QChart* chart = NewChart(QStringLiteral("Outlet flow round the die, relative to the mean"));
    auto* bars = new QBarSeries;
    QBarSet* classicBars = RelativeFlows(QStringLiteral("classic iteration"), classic, channels);
    classicBars->setColor(ChannelColour);
    bars->append(classicBars);
    if (exact) {
        QBarSet* exactBars = RelativeFlows(QStringLiteral("exact network"), *exact, channels);
        exactBars->setColor(ChannelColour.lighter(160));
        bars->append(exactBars);
    }
    auto* angle = new QBarCategoryAxis(chart);
    for (const CircumferencePoint& point : RoundTheCircumference(classic.Outlet, channels))
        angle->append(QString::number(point.AngleDegrees, 'f', 1));
    // Up to 24 outlets round the die: upright labels would be cut.
    angle->setLabelsAngle(-90);
    angle->setTitleText(QStringLiteral("angle round the die (degrees)"));
    chart->addAxis(angle, Qt::AlignBottom);
    QValueAxis* relative =
        Axis(chart, QStringLiteral("relative flow (-), mean = 1"), Qt::AlignLeft);
    relative->setRange(0, 1.1 * LargestRelative(classic, exact));
    Attach(chart, bars, angle, relative);
    return chart;
}

} // namespace karrow
