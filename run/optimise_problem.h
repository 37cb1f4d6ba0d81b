#pragma once

// The design problem: which fields a search may change and within which bounds, what it
// minimises, and which limits a design must keep. One design is judged by EvaluateDesign alone,
// so that a melt model or a heated network joins the search in one place.

#include "../report/figures.h"
#include "fields.h"
#include "network_resolution.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace karrow {

// The fields a design search may change: the four ends of the slit and depth profiles and the
// channel width (continuous), the spiral's length in increments and the number of channels
// (whole numbers).
enum class DesignVariable {
    InletSlitHeight,
    OutletSlitHeight,
    InletChannelDepth,
    OutletChannelDepth,
    ChannelWidth,
    TotalIncrements,
    NumberOfChannels,
};

// The input field a variable sets, whether it takes whole numbers, and the option name
// of that field ("inlet-slit-height").
Field FieldOf(DesignVariable v);
bool IsWholeNumber(DesignVariable v);
std::string NameOf(DesignVariable v);
std::optional<DesignVariable> VariableNamed(const std::string& optionName);

struct VariableBounds {
    DesignVariable Variable = DesignVariable::InletSlitHeight;
    double Low = 0; // cm, or a whole number
    double High = 0;
};

// What a search minimises, always of the exact network's answer: one of the outlet's three
// figures of uniformity, or a figure that can also be limited (the second figure of a front).
enum class DesignObjective {
    Cv,
    Spread,
    MaxDeviation,
    HeadPressure,
    WallShearRate,
    WallShearStress,
    ResidenceTime,
};
// "cv", "spread", "max-deviation", "head-pressure", "wall-shear-rate", "wall-shear-stress",
// "residence-time"
std::string NameOf(DesignObjective o);
std::optional<DesignObjective> ObjectiveNamed(const std::string& name);

// The figures a design is limited by. Each limit is an upper bound but the gap, which is a floor.
enum class LimitedFigure { HeadPressure, WallShearRate, WallShearStress, ResidenceTime, Gap };
std::string NameOf(LimitedFigure f); // "head pressure", ... as a sentence names it
// The limited figure an objective is, if it is one (the outlet's figures are not).
std::optional<LimitedFigure> LimitedFigureOf(DesignObjective o);
// Whether the objective is a figure of the outlet's uniformity (unresolved outlets refused).
bool IsUniformity(DesignObjective o);

// Limits in the report's units: gf/cm2, 1/sec, gf/cm2, sec, cm.
struct DesignLimits {
    std::optional<double> HeadPressure; // at most
    std::optional<double> WallShearRate; // at most, channel, land and outlet path alike
    std::optional<double> WallShearStress; // at most, likewise
    std::optional<double> ResidenceTime; // mean, at most
    std::optional<double> Gap; // the smallest slit gap of the effective part, at least
    std::optional<double> Of(LimitedFigure f) const;
    void Set(LimitedFigure f, std::optional<double> value);
};

// How one design is evaluated: the objective and limits, the melt and the network's resolution
// (its resolution study is never run here: a search needs one answer per design).
struct EvaluationSettings {
    DesignObjective Objective = DesignObjective::Cv;
    DesignLimits Limits;
    MeltProperties Melt;
    NetworkOptions Network;
};

// The value of a limited figure of solved figures: the largest wall shear is that of the
// channel, the lands and the outlet paths together.
double FigureOf(const DesignFigures& figures, LimitedFigure f);
// The smallest slit gap (cm) over the effective part of a solved design.
double SmallestGap(const Solution& s);
double ObjectiveOf(const DesignFigures& figures, DesignObjective o);

// One design judged. Refused: the model's limits refuse it, the network cannot be set up or
// solved, or the objective has no meaning for it (the outlet unresolved); Figures then empty
// unless the network was solved. Feasible: solved and within every limit. Each limit's margin is
// its relative excess (figure / limit - 1 for an upper bound, 1 - figure / limit for the gap):
// positive when broken.
struct DesignEvaluation {
    bool Refused = false;
    bool Feasible = false;
    std::string Reason; // why refused, or the limit most broken, in plain words
    std::optional<DesignFigures> Figures;
    double SmallestGap = 0; // cm
    double Objective = 0;
    std::vector<std::pair<LimitedFigure, double>> Margins; // the limits that are set
    double Violation() const; // the largest margin, at least 0
    std::optional<LimitedFigure> MostBroken() const;
};

// Evaluates accepted-or-not inputs; never throws but std::bad_alloc. The caller's thread must
// have its floating point prepared (PrepareFloatingPoint).
DesignEvaluation EvaluateDesign(const Inputs& in, const EvaluationSettings& settings);

// A point of the search: one value per variable of `bounds`, in its order.
using DesignPoint = std::vector<double>;

// `base` with the variables set (whole-number ones rounded to the nearest whole number).
Inputs ApplyDesign(
    const Inputs& base, const std::vector<VariableBounds>& bounds, const DesignPoint& point);

// The values of the variables in `in`: the point ApplyDesign would make `in` of.
DesignPoint PointOf(const Inputs& in, const std::vector<VariableBounds>& bounds);

// The field texts of a design: `baseTexts` with each variable's field replaced by the shortest
// text that reads back as its value, with `decimalSeparator`.
FieldTexts TextsOfDesign(const FieldTexts& baseTexts,
    const std::vector<VariableBounds>& bounds, const DesignPoint& point, char decimalSeparator);

// Why the bounds make no problem (a variable twice, low above high, a non-finite bound, a whole
// number field with fractional bounds, channels outside 1..24, increments below 1), or nothing.
std::optional<std::string> BoundsProblem(const std::vector<VariableBounds>& bounds);

} // namespace karrow
