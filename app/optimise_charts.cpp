#include "optimise_charts.h"

#include "chart_builders.h"

#include <QChart>
#include <QLegend>
#include <QLineSeries>
#include <QPen>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>

namespace karrow {

namespace {

    const QColor CurrentColour { 120, 120, 120 };
    const QColor BestColour { 31, 119, 180 };
    constexpr double BarInGfCm2 = 1e5 / PascalPerGfCm2;

    QLineSeries* RoundTheDie(
        const QString& name, const DesignFigures& figures, int channels, const QPen& pen)
    {
        auto* series = new QLineSeries;
        series->setName(name);
        series->setPen(pen);
        for (const CircumferencePoint& point : RoundTheCircumference(figures.Outlet, channels))
            series->append(point.AngleDegrees, point.Relative);
        return series;
    }

    QString FigureTitle(LimitedFigure f)
    {
        switch (f) {
        case LimitedFigure::HeadPressure:
            return QStringLiteral("Head pressure (bar)");
        case LimitedFigure::WallShearRate:
            return QStringLiteral("Largest wall shear rate (1/sec)");
        case LimitedFigure::WallShearStress:
            return QStringLiteral("Largest wall shear stress (bar)");
        case LimitedFigure::ResidenceTime:
            return QStringLiteral("Mean residence time (sec)");
        case LimitedFigure::TemperatureRise:
            return QStringLiteral("Temperature rise (K)");
        case LimitedFigure::TemperatureSpread:
            return QStringLiteral("Outlet temperature spread (K)");
        case LimitedFigure::Gap:
            break;
        }
        return QStringLiteral("Smallest gap (cm)");
    }

    QString ObjectiveTitle(DesignObjective o)
    {
        switch (o) {
        case DesignObjective::Cv:
            return QStringLiteral("Outlet CV (%)");
        case DesignObjective::Spread:
            return QStringLiteral("Outlet spread (%)");
        case DesignObjective::MaxDeviation:
            return QStringLiteral("Outlet maximum deviation (%)");
        default:
            break;
        }
        return FigureTitle(LimitedFigureOf(o).value_or(LimitedFigure::HeadPressure));
    }

    // A little room round the points, so that none sits on the frame.
    void RangeWithMargin(QValueAxis* axis, double low, double high)
    {
        const double margin = high > low ? 0.05 * (high - low) : std::max(1e-9, 0.05 * low);
        axis->setRange(low - margin, high + margin);
    }

} // namespace

double ShownValue(double reportValue, LimitedFigure figure)
{
    const bool pressure =
        figure == LimitedFigure::HeadPressure || figure == LimitedFigure::WallShearStress;
    return pressure ? reportValue / BarInGfCm2 : reportValue;
}

double ShownObjective(double reportValue, DesignObjective objective)
{
    const auto figure = LimitedFigureOf(objective);
    return figure ? ShownValue(reportValue, *figure) : reportValue;
}

QChart* OutletComparisonChart(const DesignFigures& current, int currentChannels,
    const DesignFigures* best, int bestChannels)
{
    QChart* chart = NewChart(QStringLiteral("Outlet flow round the die, relative to the mean"));
    QValueAxis* angle = Axis(chart, QStringLiteral("Angle round the die (degrees)"), Qt::AlignBottom);
    angle->setRange(0, 360);
    angle->setTickType(QValueAxis::TicksDynamic);
    angle->setTickAnchor(0);
    angle->setTickInterval(45);
    angle->setLabelFormat(QStringLiteral("%.0f"));
    QValueAxis* relative = Axis(chart, QStringLiteral("Flow / mean (-)"), Qt::AlignLeft);

    QPen currentPen(CurrentColour, 2);
    currentPen.setStyle(Qt::DashLine);
    QLineSeries* currentSeries =
        RoundTheDie(QStringLiteral("Current design"), current, currentChannels, currentPen);
    Attach(chart, currentSeries, angle, relative);
    QList<QPointF> all = currentSeries->points();
    if (best) {
        QLineSeries* bestSeries =
            RoundTheDie(QStringLiteral("Best design"), *best, bestChannels, QPen(BestColour, 2));
        Attach(chart, bestSeries, angle, relative);
        all += bestSeries->points();
    }
    double low = 1;
    double high = 1;
    for (const QPointF& point : all) {
        low = std::min(low, point.y());
        high = std::max(high, point.y());
    }
    RangeWithMargin(relative, low, high);
    relative->applyNiceNumbers();
    return chart;
}

QChart* FrontChart(const ParetoFront& front, DesignObjective objective)
{
    QChart* chart = NewChart(QStringLiteral("The trade-off: least %1 for each %2")
                                 .arg(QString::fromStdString(NameOf(objective)),
                                     QString::fromStdString(NameOf(front.Against))));
    chart->legend()->hide();
    QValueAxis* x = Axis(chart, FigureTitle(front.Against), Qt::AlignBottom);
    QValueAxis* y = Axis(chart, ObjectiveTitle(objective), Qt::AlignLeft);
    auto* line = new QLineSeries;
    line->setPen(QPen(BestColour, 1));
    auto* points = new QScatterSeries;
    points->setColor(BestColour);
    points->setMarkerSize(8);
    for (const DesignCandidate& design : front.Points) {
        if (!design.Evaluation.Figures)
            continue;
        const QPointF point(
            ShownValue(FigureOf(*design.Evaluation.Figures, front.Against), front.Against),
            ShownObjective(design.Evaluation.Objective, objective));
        line->append(point);
        points->append(point);
    }
    Attach(chart, line, x, y);
    Attach(chart, points, x, y);
    if (!line->points().isEmpty()) {
        double xLow = line->at(0).x(), xHigh = xLow, yLow = line->at(0).y(), yHigh = yLow;
        for (const QPointF& p : line->points()) {
            xLow = std::min(xLow, p.x());
            xHigh = std::max(xHigh, p.x());
            yLow = std::min(yLow, p.y());
            yHigh = std::max(yHigh, p.y());
        }
        RangeWithMargin(x, xLow, xHigh);
        RangeWithMargin(y, yLow, yHigh);
        x->applyNiceNumbers();
        y->applyNiceNumbers();
    }
    return chart;
}

} // namespace karrow
