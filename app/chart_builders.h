#pragma once

#include "report/figures.h"

#include <vector>

#include <Qt>

class QAbstractAxis;
class QAbstractSeries;
class QChart;
class QPolarChart;
class QString;
class QValueAxis;

namespace karrow {

// The pieces every chart of the window is made of: a titled value axis on one side, a chart with
// its legend below (curves as lines, so dashed ones are told apart), a series on two axes.
QValueAxis* Axis(QChart* chart, const QString& title, Qt::Alignment side);
QChart* NewChart(const QString& title);
void Attach(QChart* chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y);

// The charts of a finished run, built from its design figures only. `exact` is the exact network
// answer's figures, drawn dashed over the classic ones; null when there is none. The caller owns
// the chart (a chart view takes it over). The outlet charts show the exact answer at its own
// resolution, with the classic flows marked at their 15-degree places.
QChart* FlowChart(const DesignFigures& classic, const DesignFigures* exact);
QChart* PressureChart(const DesignFigures& classic, const DesignFigures* exact);
QChart* WallShearChart(const DesignFigures& classic, const DesignFigures* exact);
QPolarChart* OutletPolarChart(
    const DesignFigures& classic, const DesignFigures* exact, int channels);
QChart* OutletBarChart(const DesignFigures& classic, const DesignFigures* exact, int channels);

// One outlet increment's flow relative to the mean, placed on the die's circumference.
struct CircumferencePoint {
    double AngleDegrees = 0;
    double Relative = 0;
};

// The m outlet flows of one channel repeated for each of the N channels, which are 360/N degrees
// apart: what leaves the die all the way round.
std::vector<CircumferencePoint> RoundTheCircumference(
    const OutletDistribution& outlet, int channels);

} // namespace karrow
