#pragma once

// The design problem: which fields a search may change and within which bounds, what it
// minimises, and which limits a design must keep. One design is judged by EvaluateDesign alone,
// so that a melt model or a heated network joins the search in one place.

#include "../report/figures.h"
#include "../solver/melt_network.h"
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
// The two temperatures are those of a real melt heated by its own flow: the hottest melt leaving
// the die above the melt temperature, and the hottest less the coldest round the die.
enum class LimitedFigure {
    HeadPressure,
    WallShearRate,
    WallShearStress,
    ResidenceTime,
    Gap,
    TemperatureRise,
    TemperatureSpread,
};
inline constexpr std::array<LimitedFigure, 7> AllLimitedFigures { LimitedFigure::HeadPressure,
    LimitedFigure::WallShearRate, LimitedFigure::WallShearStress, LimitedFigure::ResidenceTime,
    LimitedFigure::Gap, LimitedFigure::TemperatureRise, LimitedFigure::TemperatureSpread };
std::string NameOf(LimitedFigure f); // "head pressure", ... as a sentence names it
// The limited figure an objective is, if it is one (the outlet's figures are not).
std::optional<LimitedFigure> LimitedFigureOf(DesignObjective o);
// Whether the objective is a figure of the outlet's uniformity (unresolved outlets refused).
bool IsUniformity(DesignObjective o);

// Limits in the report's units: gf/cm2, 1/sec, gf/cm2, sec, cm; temperatures in K.
struct DesignLimits {
    std::optional<double> HeadPressure; // at most
    std::optional<double> WallShearRate; // at most, channel, land and outlet path alike
    std::optional<double> WallShearStress; // at most, likewise
    std::optional<double> ResidenceTime; // mean, at most
    std::optional<double> Gap; // the smallest slit gap of the effective part, at least
    std::optional<double> TemperatureRise; // hottest outlet melt above the melt temperature
    std::optional<double> TemperatureSpread; // outlet melt temperature, max - min round the die
    std::optional<double> Of(LimitedFigure f) const;
    void Set(LimitedFigure f, std::optional<double> value);
};

// A real melt the exact network is solved with instead of the inputs' power law, at its
// conditions (isothermal or heated by its own flow).
struct DesignMelt {
    std::string Name; // the grade's or the file's, for the documents
    Melt TheMelt;
    MeltConditions Conditions;
};

// How one design is evaluated: the objective and limits, the melt and the network's resolution
// (its resolution study is never run here: a search needs one answer per design).
struct EvaluationSettings {
    DesignObjective Objective = DesignObjective::Cv;
    DesignLimits Limits;
    MeltProperties Melt;
    std::optional<DesignMelt> RealMelt; // none: the power law of the inputs
    NetworkOptions Network;
};

// The first limit that needs what the settings do not have (a temperature limit without a heated
// real melt); nothing when every limit has a meaning.
std::optional<LimitedFigure> LimitWithoutMeaning(const EvaluationSettings& settings);

// The value of a limited figure of solved figures: the largest wall shear is that of the
// channel, the lands and the outlet paths together. The gap and the temperatures are not among
// the figures: 0 (the DesignEvaluation overload has them).
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
    // A real melt's temperatures (K): solved heated, or 0 when isothermal.
    std::optional<double> TemperatureRise;
    std::optional<double> TemperatureSpread;
    double Objective = 0;
    std::vector<std::pair<LimitedFigure, double>> Margins; // the limits that are set
    double Violation() const; // the largest margin, at least 0
    std::optional<LimitedFigure> MostBroken() const;
};

// Any limited figure of a solved design, the gap and the temperatures included (nan for a
// temperature the design was not solved with).
double FigureOf(const DesignEvaluation& e, LimitedFigure f);

// Evaluates accepted-or-not inputs; never throws but std::bad_alloc. The caller's thread must
// have its floating point prepared (PrepareFloatingPoint). With a real melt the network is that
// melt's, at its conditions; its wall shear rates and stresses are the melt's own at the wall (the
// channel's, and each slit's at its channel edge), as the melt answer gives them.
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
