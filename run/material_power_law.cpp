#include "material_power_law.h"

#include "melt_fit.h"
#include "run/assessment.h"

#include <algorithm>
#include <cmath>
#include <exception>

namespace karrow {

namespace {

    // Half the step in ln(rate) of the central difference: its truncation error (about h^2/6 of
    // the curve's third derivative) and its rounding (about 1e-16 / h) both stay below 1e-8.
    constexpr double LogStep = 1e-4;
    // The middle rate holds still when a round moves it by less than this share.
    constexpr double RateSettled = 1e-4;
    constexpr int MostRounds = 12;

} // namespace

std::optional<ShearRateRange> WallShearRateRange(const DesignFigures& figures)
{
    std::optional<ShearRateRange> range;
    for (const IncrementFigures& increment : figures.Increments)
        for (const double rate : { increment.Channel.Rate, increment.Slit.Rate }) {
            if (!(rate > 0) || !std::isfinite(rate))
                continue;
            if (!range)
                range = ShearRateRange { rate, rate };
            range->Low = std::min(range->Low, rate);
            range->High = std::max(range->High, rate);
        }
    return range;
}

double RepresentativeShearRate(const DesignFigures& figures)
{
    // The exact network's side of Karrow is double; the extended functions are the classic
    // report's alone.
    double logSum = 0;
    double weight = 0;
    for (const IncrementFigures& increment : figures.Increments) {
        const std::pair<double, double> elements[] = {
            { increment.Channel.Rate, std::abs(increment.ChannelFlow) },
            { increment.Slit.Rate, std::abs(increment.SlitFlow) },
        };
        for (const auto& [rate, flow] : elements)
            if (rate > 0 && std::isfinite(rate) && flow > 0 && std::isfinite(flow)) {
                logSum += flow * std::log(rate);
                weight += flow;
            }
    }
    return weight > 0 ? std::exp(logSum / weight) : 0;
}

std::optional<EquivalentPowerLaw> TangentPowerLaw(
    const std::function<std::optional<double>(double)>& viscosity, double rate,
    double standardShearRate)
{
    if (!(rate > 0) || !(standardShearRate > 0))
        return std::nullopt;
    const auto below = viscosity(rate * std::exp(-LogStep));
    const auto above = viscosity(rate * std::exp(LogStep));
    const auto at = viscosity(rate);
    if (!below || !above || !at)
        return std::nullopt;
    EquivalentPowerLaw law;
    law.RepresentativeRate = rate;
    law.PowerLawIndex = 1 + std::log(*above / *below) / (2 * LogStep);
    law.Viscosity = *at;
    law.StandardShearRate = standardShearRate;
    law.StandardViscosity = *at * std::pow(standardShearRate / rate, law.PowerLawIndex - 1)
        / PascalPerGramForce;
    return law;
}

DesignEquivalent DesignPowerLaw(const Inputs& in, const Melt& melt, double temperature)
{
    DesignEquivalent answer;
    Inputs design = in;
    double middle = 0;
    const std::function<std::optional<double>(double)> flowCurve
        = [&](double rate) { return MeltViscosity(melt, temperature, rate); };
    while (answer.Rounds < MostRounds) {
        ++answer.Rounds;
        std::optional<DesignFigures> figures;
        try {
            figures = SolveExactly(design, MeltProperties {}).Figures;
        } catch (const std::exception& e) {
            answer.Problem = std::string("the design's network cannot be solved: ") + e.what();
            return answer;
        }
        const auto range = figures ? WallShearRateRange(*figures) : std::nullopt;
        if (!range) {
            answer.Problem = "the design's network did not converge, so its shear rates are not "
                             "known";
            return answer;
        }
        answer.Range = *range;
        const double next = RepresentativeShearRate(*figures);
        answer.Law = TangentPowerLaw(flowCurve, next, in.StandardShearRate);
        if (!answer.Law) {
            answer.Problem = "the melt has no viscosity at " + std::to_string(temperature) + " °C";
            return answer;
        }
        if (std::abs(next - middle) <= RateSettled * next)
            return answer;
        middle = next;
        design.PowerLawIndex = answer.Law->PowerLawIndex;
        design.StandardViscosity = answer.Law->StandardViscosity;
    }
    answer.Problem = "the representative shear rate did not settle in "
        + std::to_string(MostRounds) + " networks";
    answer.Law.reset();
    return answer;
}

} // namespace karrow
