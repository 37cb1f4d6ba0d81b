#include "optimise_problem.h"

#include "../solver/exact_solution.h"
#include "../solver/extended.h"
#include "../solver/fault.h"
#include "assessment.h"
#include "fields.h"
#include "model_limits.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace karrow {

namespace {

    struct VariableInfo {
        DesignVariable Variable;
        Field Of;
        bool WholeNumber;
    };

    constexpr std::array<VariableInfo, 7> Variables { {
        { DesignVariable::InletSlitHeight, Field::InletSlitHeight, false },
        { DesignVariable::OutletSlitHeight, Field::OutletSlitHeight, false },
        { DesignVariable::InletChannelDepth, Field::InletChannelDepth, false },
        { DesignVariable::OutletChannelDepth, Field::OutletChannelDepth, false },
        { DesignVariable::ChannelWidth, Field::ChannelWidth, false },
        { DesignVariable::TotalIncrements, Field::TotalIncrements, true },
        { DesignVariable::NumberOfChannels, Field::NumberOfChannels, true },
    } };

    const VariableInfo& InfoOf(DesignVariable v)
    {
        return Variables[static_cast<std::size_t>(v)];
    }

    constexpr std::array<const char*, 7> ObjectiveNames { "cv", "spread", "max-deviation",
        "head-pressure", "wall-shear-rate", "wall-shear-stress", "residence-time" };

    // The most channels the model has meaning for (one increment of 15 degrees each).
    constexpr double MostChannels = 24;

    std::string ShortestText(double value, char separator)
    {
        std::array<char, 64> buffer {};
        const auto [end, error] = std::to_chars(
            buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed);
        std::string text = error == std::errc() ? std::string(buffer.data(), end) : "0";
        std::replace(text.begin(), text.end(), '.', separator);
        return text;
    }

    DesignEvaluation RefusedDesign(std::string reason)
    {
        DesignEvaluation e;
        e.Refused = true;
        e.Reason = std::move(reason);
        return e;
    }

    // The margins of the limits that are set, and whether any is broken.
    void JudgeLimits(const DesignLimits& limits, DesignEvaluation& e)
    {
        for (LimitedFigure f : AllLimitedFigures) {
            const auto limit = limits.Of(f);
            if (!limit)
                continue;
            const double value = FigureOf(e, f);
            const double margin = f == LimitedFigure::Gap ? 1 - value / *limit : value / *limit - 1;
            e.Margins.emplace_back(f, std::isfinite(margin) ? margin : 1.0);
        }
        e.Feasible = e.Violation() <= 0;
        if (const auto broken = e.MostBroken())
            e.Reason = "the " + NameOf(*broken)
                + (*broken == LimitedFigure::Gap ? " is below its limit" : " is above its limit");
    }

    double ValueOf(const Inputs& in, DesignVariable v)
    {
        switch (v) {
        case DesignVariable::InletSlitHeight:
            return in.InletSlitHeight;
        case DesignVariable::OutletSlitHeight:
            return in.OutletSlitHeight;
        case DesignVariable::InletChannelDepth:
            return in.InletChannelDepth;
        case DesignVariable::OutletChannelDepth:
            return in.OutletChannelDepth;
        case DesignVariable::ChannelWidth:
            return in.ChannelWidth;
        case DesignVariable::TotalIncrements:
            return in.TotalIncrements;
        case DesignVariable::NumberOfChannels:
            return in.NumberOfChannels;
        }
        return 0;
    }

    // A design's network answered: its figures when it converged, or why not.
    struct SolvedDesign {
        std::optional<DesignFigures> Figures;
        std::string Failure;
        double SmallestGap = 0;
        std::optional<double> TemperatureRise;
        std::optional<double> TemperatureSpread;
    };

    // The exact network with the inputs' power law, as SolveExactly answers it without a study.
    SolvedDesign SolveWithPowerLaw(const Inputs& in, const MeltProperties& melt,
        const NetworkResolution& resolution, const Geometry* computed)
    {
        const ResolvedNetwork r = ResolveNetworkOn(in, resolution, computed, true);
        SolvedDesign d;
        d.Failure = r.Network.Failure;
        if (!r.Network.Converged)
            return d;
        const Solution s = SolutionOfNetwork(in, r.Geo, r.Laws, r.Network);
        d.Figures = ComputeFigures(s, melt);
        d.SmallestGap = SmallestGap(s);
        return d;
    }

    // The largest wall values of a melt answer's elements from `first` to `last` (1-based).
    WallShear LargestWallShear(const std::vector<double>& rates,
        const std::vector<double>& stressesPa, std::size_t first, std::size_t last)
    {
        WallShear largest;
        for (std::size_t i = first; i <= last && i <= rates.size(); ++i)
            if (rates[i - 1] > largest.Rate)
                largest = { rates[i - 1], stressesPa[i - 1] / PascalPerGramForce };
        return largest;
    }

    // The shear maxima of a real melt: the melt's own rates and stresses at the wall, in the
    // report's units, where the power law's would stand.
    void UseMeltWallShear(const MeltNetworkSolution& a, int transferIncrements, ShearMaxima& m)
    {
        const std::size_t count = a.ChannelWallShearRate.size();
        const auto k = static_cast<std::size_t>(transferIncrements);
        m.Channel = LargestWallShear(a.ChannelWallShearRate, a.ChannelWallStress, 1, count);
        m.Land = LargestWallShear(a.SlitWallShearRate, a.SlitWallStress, 1, k);
        m.OutletPath = LargestWallShear(a.SlitWallShearRate, a.SlitWallStress, k + 1, count);
    }

    // The exact network with a real melt: the slit paths are all it takes of the element laws.
    SolvedDesign SolveWithMelt(const Inputs& in, const DesignMelt& melt,
        const NetworkResolution& resolution, const Geometry* computed)
    {
        const ResolvedNetwork r = ResolveNetworkOn(in, resolution, computed, false);
        const MeltNetworkSolution a =
            SolveMeltNetwork(in, r.Geo, r.Laws, melt.TheMelt, melt.Conditions);
        SolvedDesign d;
        d.Failure = a.Network.Failure;
        if (!a.Network.Converged)
            return d;
        const Solution s = SolutionOfNetwork(in, r.Geo, r.Laws, a.Network);
        d.Figures = ComputeFigures(s);
        UseMeltWallShear(a, r.Geo.TransferIncrements, d.Figures->Shear);
        d.SmallestGap = SmallestGap(s);
        if (melt.Conditions.Thermal == ThermalMode::Heated && !a.OutletTemperature.empty()) {
            d.TemperatureRise =
                *std::max_element(a.OutletTemperature.begin(), a.OutletTemperature.end())
                - melt.Conditions.MeltTemperature;
            d.TemperatureSpread = a.OutletTemperatureSpread;
        }
        return d;
    }

} // namespace

Field FieldOf(DesignVariable v)
{
    return InfoOf(v).Of;
}

bool IsWholeNumber(DesignVariable v)
{
    return InfoOf(v).WholeNumber;
}

std::string NameOf(DesignVariable v)
{
    return karrow::InfoOf(FieldOf(v)).OptionName;
}

std::optional<DesignVariable> VariableNamed(const std::string& optionName)
{
    for (const VariableInfo& info : Variables)
        if (optionName == karrow::InfoOf(info.Of).OptionName)
            return info.Variable;
    return std::nullopt;
}

std::string NameOf(DesignObjective o)
{
    return ObjectiveNames[static_cast<std::size_t>(o)];
}

std::optional<DesignObjective> ObjectiveNamed(const std::string& name)
{
    for (std::size_t i = 0; i < ObjectiveNames.size(); ++i)
        if (name == ObjectiveNames[i])
            return static_cast<DesignObjective>(i);
    return std::nullopt;
}

std::string NameOf(LimitedFigure f)
{
    switch (f) {
    case LimitedFigure::HeadPressure:
        return "head pressure";
    case LimitedFigure::WallShearRate:
        return "largest wall shear rate";
    case LimitedFigure::WallShearStress:
        return "largest wall shear stress";
    case LimitedFigure::ResidenceTime:
        return "mean residence time";
    case LimitedFigure::Gap:
        return "smallest gap";
    case LimitedFigure::TemperatureRise:
        return "temperature rise";
    case LimitedFigure::TemperatureSpread:
        return "outlet temperature spread";
    }
    return "";
}

std::optional<double> DesignLimits::Of(LimitedFigure f) const
{
    switch (f) {
    case LimitedFigure::HeadPressure:
        return HeadPressure;
    case LimitedFigure::WallShearRate:
        return WallShearRate;
    case LimitedFigure::WallShearStress:
        return WallShearStress;
    case LimitedFigure::ResidenceTime:
        return ResidenceTime;
    case LimitedFigure::Gap:
        return Gap;
    case LimitedFigure::TemperatureRise:
        return TemperatureRise;
    case LimitedFigure::TemperatureSpread:
        return TemperatureSpread;
    }
    return std::nullopt;
}

void DesignLimits::Set(LimitedFigure f, std::optional<double> value)
{
    switch (f) {
    case LimitedFigure::HeadPressure:
        HeadPressure = value;
        break;
    case LimitedFigure::WallShearRate:
        WallShearRate = value;
        break;
    case LimitedFigure::WallShearStress:
        WallShearStress = value;
        break;
    case LimitedFigure::ResidenceTime:
        ResidenceTime = value;
        break;
    case LimitedFigure::Gap:
        Gap = value;
        break;
    case LimitedFigure::TemperatureRise:
        TemperatureRise = value;
        break;
    case LimitedFigure::TemperatureSpread:
        TemperatureSpread = value;
        break;
    }
}

double FigureOf(const DesignFigures& figures, LimitedFigure f)
{
    const ShearMaxima& shear = figures.Shear;
    switch (f) {
    case LimitedFigure::HeadPressure:
        return figures.Head.GfCm2;
    case LimitedFigure::WallShearRate:
        return std::max({ shear.Channel.Rate, shear.Land.Rate, shear.OutletPath.Rate });
    case LimitedFigure::WallShearStress:
        return std::max({ shear.Channel.Stress, shear.Land.Stress, shear.OutletPath.Stress });
    case LimitedFigure::ResidenceTime:
        return figures.Residence.MeanTime;
    case LimitedFigure::Gap:
    case LimitedFigure::TemperatureRise:
    case LimitedFigure::TemperatureSpread:
        break;
    }
    return 0;
}

double FigureOf(const DesignEvaluation& e, LimitedFigure f)
{
    const double notSolved = std::numeric_limits<double>::quiet_NaN();
    switch (f) {
    case LimitedFigure::Gap:
        return e.SmallestGap;
    case LimitedFigure::TemperatureRise:
        return e.TemperatureRise.value_or(notSolved);
    case LimitedFigure::TemperatureSpread:
        return e.TemperatureSpread.value_or(notSolved);
    default:
        return e.Figures ? FigureOf(*e.Figures, f) : notSolved;
    }
}

std::optional<LimitedFigure> LimitWithoutMeaning(const EvaluationSettings& settings)
{
    const bool heated =
        settings.RealMelt && settings.RealMelt->Conditions.Thermal == ThermalMode::Heated;
    for (LimitedFigure f : { LimitedFigure::TemperatureRise, LimitedFigure::TemperatureSpread })
        if (settings.Limits.Of(f) && !heated)
            return f;
    return std::nullopt;
}

double SmallestGap(const Solution& s)
{
    double gap = std::numeric_limits<double>::infinity();
    for (int i = 1; i <= s.Geo.EffectiveIncrements; ++i)
        gap = std::min(gap, s.Geo.SlitHeight[i]);
    return gap;
}

std::optional<LimitedFigure> LimitedFigureOf(DesignObjective o)
{
    switch (o) {
    case DesignObjective::HeadPressure:
        return LimitedFigure::HeadPressure;
    case DesignObjective::WallShearRate:
        return LimitedFigure::WallShearRate;
    case DesignObjective::WallShearStress:
        return LimitedFigure::WallShearStress;
    case DesignObjective::ResidenceTime:
        return LimitedFigure::ResidenceTime;
    default:
        return std::nullopt;
    }
}

bool IsUniformity(DesignObjective o)
{
    return !LimitedFigureOf(o);
}

double ObjectiveOf(const DesignFigures& figures, DesignObjective o)
{
    switch (o) {
    case DesignObjective::Cv:
        return figures.Outlet.CvPercent;
    case DesignObjective::Spread:
        return figures.Outlet.SpreadPercent;
    case DesignObjective::MaxDeviation:
        return figures.Outlet.MaxDeviationPercent;
    default:
        return FigureOf(figures, *LimitedFigureOf(o));
    }
}

double DesignEvaluation::Violation() const
{
    double worst = 0;
    for (const auto& [figure, margin] : Margins)
        worst = std::max(worst, margin);
    return worst;
}

std::optional<LimitedFigure> DesignEvaluation::MostBroken() const
{
    std::optional<LimitedFigure> broken;
    double worst = 0;
    for (const auto& [figure, margin] : Margins)
        if (margin > worst) {
            worst = margin;
            broken = figure;
        }
    return broken;
}

DesignEvaluation EvaluateDesign(const Inputs& in, const EvaluationSettings& settings)
{
    PrepareFloatingPoint();
    std::optional<Geometry> classicGeometry;
    if (const auto problem = CheckModelLimits(in, classicGeometry))
        return RefusedDesign("the model refuses it: " + *problem);
    ClearFloatingPointFaults();
    const NetworkResolution resolution { IncrementsPerPitchOf(in, settings.Network), 0 };
    // On the classic grid the network's geometry is the model-limit check's, bit for bit.
    const Geometry* computed =
        classicGeometry && IsClassicGrid(in, resolution) ? &*classicGeometry : nullptr;
    SolvedDesign solved;
    try {
        solved = settings.RealMelt ? SolveWithMelt(in, *settings.RealMelt, resolution, computed)
                                   : SolveWithPowerLaw(in, settings.Melt, resolution, computed);
    } catch (const Fault& fault) {
        ClearFloatingPointFaults();
        return RefusedDesign(std::string("the network cannot be set up: ") + fault.what());
    }
    ClearFloatingPointFaults();
    if (!solved.Figures)
        return RefusedDesign("the network does not converge: " + solved.Failure);
    DesignEvaluation e;
    e.Figures = std::move(solved.Figures);
    e.SmallestGap = solved.SmallestGap;
    e.TemperatureRise = solved.TemperatureRise;
    e.TemperatureSpread = solved.TemperatureSpread;
    e.Objective = ObjectiveOf(*e.Figures, settings.Objective);
    if (IsUniformity(settings.Objective) && !e.Figures->Outlet.Resolved) {
        e.Refused = true;
        e.Reason = "the outlet distribution is not resolved (one outlet increment per channel)";
        return e;
    }
    if (!std::isfinite(e.Objective)) {
        e.Refused = true;
        e.Reason = "the " + NameOf(settings.Objective) + " is not a finite number";
        return e;
    }
    JudgeLimits(settings.Limits, e);
    return e;
}

Inputs ApplyDesign(
    const Inputs& base, const std::vector<VariableBounds>& bounds, const DesignPoint& point)
{
    Inputs in = base;
    for (std::size_t k = 0; k < bounds.size() && k < point.size(); ++k) {
        const double x = point[k];
        switch (bounds[k].Variable) {
        case DesignVariable::InletSlitHeight:
            in.InletSlitHeight = x;
            break;
        case DesignVariable::OutletSlitHeight:
            in.OutletSlitHeight = x;
            break;
        case DesignVariable::InletChannelDepth:
            in.InletChannelDepth = x;
            break;
        case DesignVariable::OutletChannelDepth:
            in.OutletChannelDepth = x;
            break;
        case DesignVariable::ChannelWidth:
            in.ChannelWidth = x;
            break;
        case DesignVariable::TotalIncrements:
            in.TotalIncrements = static_cast<std::int32_t>(std::lround(x));
            break;
        case DesignVariable::NumberOfChannels:
            in.NumberOfChannels = static_cast<std::int32_t>(std::lround(x));
            break;
        }
    }
    return in;
}

DesignPoint PointOf(const Inputs& in, const std::vector<VariableBounds>& bounds)
{
    DesignPoint x;
    for (const VariableBounds& b : bounds)
        x.push_back(ValueOf(in, b.Variable));
    return x;
}

FieldTexts TextsOfDesign(const FieldTexts& baseTexts,
    const std::vector<VariableBounds>& bounds, const DesignPoint& point, char decimalSeparator)
{
    FieldTexts texts = baseTexts;
    for (std::size_t k = 0; k < bounds.size() && k < point.size(); ++k) {
        const DesignVariable v = bounds[k].Variable;
        texts[FieldOf(v)] = IsWholeNumber(v)
            ? std::to_string(std::lround(point[k]))
            : ShortestText(point[k], decimalSeparator);
    }
    return texts;
}

std::optional<std::string> BoundsProblem(const std::vector<VariableBounds>& bounds)
{
    if (bounds.empty())
        return "no variable to vary";
    for (std::size_t k = 0; k < bounds.size(); ++k) {
        const VariableBounds& b = bounds[k];
        const std::string name = NameOf(b.Variable);
        for (std::size_t j = 0; j < k; ++j)
            if (bounds[j].Variable == b.Variable)
                return name + " is varied twice";
        if (!std::isfinite(b.Low) || !std::isfinite(b.High))
            return name + ": the bounds must be finite numbers";
        if (b.Low > b.High)
            return name + ": the lower bound is above the upper one";
        if (IsWholeNumber(b.Variable)
            && (std::trunc(b.Low) != b.Low || std::trunc(b.High) != b.High))
            return name + " takes whole numbers, so its bounds must be whole numbers";
        if (b.Variable == DesignVariable::NumberOfChannels && (b.Low < 1 || b.High > MostChannels))
            return name + ": the bounds must lie within 1 to 24";
        if (b.Variable == DesignVariable::TotalIncrements
            && (b.Low < 1 || b.High > std::numeric_limits<std::int32_t>::max()))
            return name + ": the bounds must be at least 1";
        if (!IsWholeNumber(b.Variable) && b.Low < 0)
            return name + ": the bounds must not be negative";
    }
    return std::nullopt;
}

} // namespace karrow
