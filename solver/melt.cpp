#include "melt.h"

#include "inputs.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <sstream>

namespace karrow {

namespace {

    struct Named {
        std::string_view Name;
        ViscosityModel Model;
    };
    constexpr std::array<Named, 4> ModelNames { {
        { "power-law", ViscosityModel::PowerLaw },
        { "cross", ViscosityModel::Cross },
        { "carreau-yasuda", ViscosityModel::CarreauYasuda },
        { "cross-wlf", ViscosityModel::CrossWlf },
    } };

    struct NamedShift {
        std::string_view Name;
        TemperatureShift Shift;
    };
    constexpr std::array<NamedShift, 3> ShiftNames { {
        { "none", TemperatureShift::None },
        { "arrhenius", TemperatureShift::Arrhenius },
        { "wlf", TemperatureShift::Wlf },
    } };

    const MeltConstant FlowIndex { "n", "1", &Melt::FlowIndex };
    const MeltConstant StandardViscosity { "standard_viscosity", "Pa.s", &Melt::StandardViscosity };
    const MeltConstant StandardShearRate { "standard_shear_rate", "1/s", &Melt::StandardShearRate };
    const MeltConstant ZeroShear { "eta0", "Pa.s", &Melt::ZeroShearViscosity };
    const MeltConstant Critical { "tau_star", "Pa", &Melt::CriticalStress };
    const MeltConstant InfiniteShear { "eta_inf", "Pa.s", &Melt::InfiniteShearViscosity };
    const MeltConstant Lambda { "lambda", "s", &Melt::TimeConstant };
    const MeltConstant Yasuda { "a", "1", &Melt::YasudaExponent };
    const MeltConstant D1 { "D1", "Pa.s", &Melt::D1 };
    const MeltConstant D2 { "D2", "C", &Melt::D2 };
    const MeltConstant D3 { "D3", "K/Pa", &Melt::D3 };
    const MeltConstant A1 { "A1", "1", &Melt::A1 };
    const MeltConstant A2 { "A2", "K", &Melt::A2 };
    const MeltConstant Activation { "activation_energy", "J/mol", &Melt::ActivationEnergy };
    const MeltConstant Reference { "reference_temperature", "C", &Melt::ReferenceTemperature };
    const MeltConstant C1 { "C1", "1", &Melt::C1 };
    const MeltConstant C2 { "C2", "K", &Melt::C2 };
    const MeltConstant Density { "density", "kg/m3", &Melt::Density };
    const MeltConstant HeatCapacity { "heat_capacity", "J/(kg.K)", &Melt::HeatCapacity };

    std::string Text(double value)
    {
        std::ostringstream text;
        text.precision(6);
        text << value;
        return text.str();
    }

    std::string Shown(const MeltConstant& c, double value)
    {
        return Text(value) + (c.Unit == "1" ? "" : " " + std::string(c.Unit));
    }

    std::optional<std::string> Refused(const MeltConstant& c, double value, std::string_view rule)
    {
        return "The melt's constant " + std::string(c.Name) + " " + std::string(rule) + ", not "
            + Shown(c, value) + ".";
    }

    // The first constant of `list` that fails `ok`, refused with `rule`.
    template <typename Test>
    std::optional<std::string> FirstFailing(const Melt& melt,
        std::initializer_list<const MeltConstant*> list, Test ok, std::string_view rule)
    {
        for (const MeltConstant* c : list) {
            const double value = melt.*(c->Member);
            if (!ok(value))
                return Refused(*c, value, rule);
        }
        return std::nullopt;
    }

    bool Positive(double v)
    {
        return std::isfinite(v) && v > 0;
    }
    bool NotNegative(double v)
    {
        return std::isfinite(v) && v >= 0;
    }

    std::optional<std::string> LawProblem(const Melt& m)
    {
        const double n = m.FlowIndex;
        if (!(std::isfinite(n) && n > 0 && n <= MostFlowIndex))
            return Refused(FlowIndex, n, "(the flow index) must lie above 0 and at most 1.5");
        switch (m.Model) {
        case ViscosityModel::PowerLaw:
            return FirstFailing(
                m, { &StandardViscosity, &StandardShearRate }, Positive, "must be above zero");
        case ViscosityModel::Cross:
            return FirstFailing(m, { &ZeroShear, &Critical }, Positive, "must be above zero");
        case ViscosityModel::CarreauYasuda:
            if (auto p = FirstFailing(
                    m, { &ZeroShear, &Lambda, &Yasuda }, Positive, "must be above zero"))
                return p;
            if (!(NotNegative(m.InfiniteShearViscosity)
                    && m.InfiniteShearViscosity < m.ZeroShearViscosity))
                return Refused(InfiniteShear, m.InfiniteShearViscosity,
                    "must be at least zero and below eta0");
            return std::nullopt;
        case ViscosityModel::CrossWlf:
            if (auto p = FirstFailing(m, { &Critical, &D1, &A2 }, Positive, "must be above zero"))
                return p;
            if (auto p = FirstFailing(m, { &D3, &A1 }, NotNegative, "must be at least zero"))
                return p;
            if (!(std::isfinite(m.D2) && m.D2 > AbsoluteZeroCelsius))
                return Refused(D2, m.D2, "must lie above absolute zero (-273.15 C)");
            return std::nullopt;
        }
        return std::string("The melt's viscosity model is not one Karrow knows.");
    }

    std::optional<std::string> ShiftProblem(const Melt& m)
    {
        if (m.Shift != TemperatureShift::None && m.Model == ViscosityModel::CrossWlf)
            return std::string(
                "A Cross-WLF melt carries its own temperature shift: its shift must be none.");
        if (m.Shift == TemperatureShift::None)
            return std::nullopt;
        if (!(std::isfinite(m.ReferenceTemperature)
                && m.ReferenceTemperature > AbsoluteZeroCelsius))
            return Refused(
                Reference, m.ReferenceTemperature, "must lie above absolute zero (-273.15 C)");
        if (m.Shift == TemperatureShift::Arrhenius)
            return FirstFailing(m, { &Activation }, NotNegative, "must be at least zero");
        if (m.Shift == TemperatureShift::Wlf) {
            if (auto p = FirstFailing(m, { &C1 }, NotNegative, "must be at least zero"))
                return p;
            return FirstFailing(m, { &C2 }, Positive, "must be above zero");
        }
        return std::string("The melt's temperature shift is not one Karrow knows.");
    }

    FlowCurvePoint CrossAt(double eta0, double tauStar, double n, double g)
    {
        const double u = eta0 * g / tauStar;
        const double power = std::pow(u, 1 - n);
        return { eta0 * g / (1 + power), 1 - (1 - n) * power / (1 + power) };
    }

    FlowCurvePoint CarreauYasudaAt(const Melt& m, double g)
    {
        const double xa = std::pow(m.TimeConstant * g, m.YasudaExponent);
        const double thinning = std::pow(1 + xa, (m.FlowIndex - 1) / m.YasudaExponent);
        const double excess = (m.ZeroShearViscosity - m.InfiniteShearViscosity) * thinning;
        const double eta = m.InfiniteShearViscosity + excess;
        return { eta * g, 1 + excess * (m.FlowIndex - 1) * xa / (1 + xa) / eta };
    }

    FlowCurvePoint ReferencePoint(const Melt& m, double g)
    {
        switch (m.Model) {
        case ViscosityModel::PowerLaw: {
            const double stress = m.StandardViscosity * m.StandardShearRate
                * std::pow(g / m.StandardShearRate, m.FlowIndex);
            return { stress, m.FlowIndex };
        }
        case ViscosityModel::Cross:
            return CrossAt(m.ZeroShearViscosity, m.CriticalStress, m.FlowIndex, g);
        case ViscosityModel::CarreauYasuda:
            return CarreauYasudaAt(m, g);
        case ViscosityModel::CrossWlf:
            return CrossAt(m.D1, m.CriticalStress, m.FlowIndex, g);
        }
        return {};
    }

    // Newton's method converges from the plateau guess within a few steps; a log-log curve with
    // slope between min(n, 1) and max(n, 1) needs no more than this from any guess.
    constexpr int InverseStepLimit = 100;

} // namespace

std::string_view ModelName(ViscosityModel model)
{
    for (const Named& n : ModelNames)
        if (n.Model == model)
            return n.Name;
    return "unknown";
}

std::optional<ViscosityModel> ModelNamed(std::string_view name)
{
    for (const Named& n : ModelNames)
        if (n.Name == name)
            return n.Model;
    return std::nullopt;
}

std::string_view ShiftName(TemperatureShift shift)
{
    for (const NamedShift& n : ShiftNames)
        if (n.Shift == shift)
            return n.Name;
    return "unknown";
}

std::optional<TemperatureShift> ShiftNamed(std::string_view name)
{
    for (const NamedShift& n : ShiftNames)
        if (n.Name == name)
            return n.Shift;
    return std::nullopt;
}

std::vector<std::string> AllModelNames()
{
    std::vector<std::string> names;
    for (const Named& n : ModelNames)
        names.emplace_back(n.Name);
    return names;
}

std::vector<std::string> AllShiftNames()
{
    std::vector<std::string> names;
    for (const NamedShift& n : ShiftNames)
        names.emplace_back(n.Name);
    return names;
}

std::vector<MeltConstant> ConstantsOf(ViscosityModel model, TemperatureShift shift)
{
    std::vector<MeltConstant> list;
    switch (model) {
    case ViscosityModel::PowerLaw:
        list = { FlowIndex, StandardViscosity, StandardShearRate };
        break;
    case ViscosityModel::Cross:
        list = { ZeroShear, FlowIndex, Critical };
        break;
    case ViscosityModel::CarreauYasuda:
        list = { ZeroShear, InfiniteShear, Lambda, Yasuda, FlowIndex };
        break;
    case ViscosityModel::CrossWlf:
        list = { FlowIndex, Critical, D1, D2, D3, A1, A2 };
        break;
    }
    if (model != ViscosityModel::CrossWlf && shift == TemperatureShift::Arrhenius)
        list.insert(list.end(), { Activation, Reference });
    if (model != ViscosityModel::CrossWlf && shift == TemperatureShift::Wlf)
        list.insert(list.end(), { C1, C2, Reference });
    list.insert(list.end(), { Density, HeatCapacity });
    return list;
}

const std::vector<MeltConstant>& AllMeltConstants()
{
    static const std::vector<MeltConstant> all { FlowIndex, StandardViscosity, StandardShearRate,
        ZeroShear, Critical, InfiniteShear, Lambda, Yasuda, D1, D2, D3, A1, A2, Activation,
        Reference, C1, C2, Density, HeatCapacity };
    return all;
}

const MeltConstant* MeltConstantNamed(std::string_view name)
{
    for (const MeltConstant& c : AllMeltConstants())
        if (c.Name == name)
            return &c;
    return nullptr;
}

std::optional<std::string> MeltProblem(const Melt& melt)
{
    if (auto p = LawProblem(melt))
        return p;
    if (auto p = ShiftProblem(melt))
        return p;
    return FirstFailing(melt, { &Density, &HeatCapacity }, Positive, "must be above zero");
}

std::optional<std::string> MeltTemperatureProblem(const Melt& melt, double celsius)
{
    const auto at = [&] { return "At a melt temperature of " + Text(celsius) + " C, "; };
    if (!std::isfinite(celsius) || celsius <= AbsoluteZeroCelsius)
        return at() + "below absolute zero, the melt has no viscosity.";
    if (melt.Model == ViscosityModel::CrossWlf) {
        if (celsius < melt.D2)
            return at() + "below the Cross-WLF law's glass transition D2 (" + Text(melt.D2)
                + " C), the law does not hold.";
        if (!(melt.A2 + celsius - melt.D2 > 0))
            return at() + "the Cross-WLF denominator A2 + T - D2 is not above zero.";
    }
    if (melt.Shift == TemperatureShift::Wlf && !(melt.C2 + celsius - melt.ReferenceTemperature > 0))
        return at() + "the WLF denominator C2 + T - reference_temperature is not above zero.";
    const double shift = LogShiftFactor(melt, celsius);
    // The viscosity must stay a double number over the rates a die sees.
    if (!std::isfinite(shift) || std::fabs(shift) > 300)
        return at() + "the temperature shift factor of the law is out of the range of numbers.";
    return std::nullopt;
}

double LogShiftFactor(const Melt& melt, double celsius)
{
    if (melt.Model == ViscosityModel::CrossWlf) {
        const double above = celsius - melt.D2;
        return -melt.A1 * above / (melt.A2 + above);
    }
    switch (melt.Shift) {
    case TemperatureShift::None:
        return 0;
    case TemperatureShift::Arrhenius:
        return melt.ActivationEnergy / GasConstant
            * (1 / (celsius - AbsoluteZeroCelsius)
                - 1 / (melt.ReferenceTemperature - AbsoluteZeroCelsius));
    case TemperatureShift::Wlf: {
        const double above = celsius - melt.ReferenceTemperature;
        return -melt.C1 * above / (melt.C2 + above);
    }
    }
    return 0;
}

bool HasPressureTerm(const Melt& melt)
{
    return melt.Model == ViscosityModel::CrossWlf && melt.D3 > 0;
}

double PressureEquivalentTemperature(const Melt& melt, double celsius, double pascals)
{
    if (!HasPressureTerm(melt))
        return celsius;
    return celsius - melt.D3 * pascals;
}

FlowCurvePoint ReferenceFlowPoint(const Melt& melt, double shearRate)
{
    return ReferencePoint(melt, shearRate);
}

double ReferenceShearStress(const Melt& melt, double shearRate)
{
    return ReferencePoint(melt, shearRate).Stress;
}

double ReferenceFlowSlope(const Melt& melt, double shearRate)
{
    return ReferencePoint(melt, shearRate).Slope;
}

double ReferenceShearRate(const Melt& melt, double shearStress)
{
    if (!(shearStress > 0))
        return 0;
    if (melt.Model == ViscosityModel::PowerLaw)
        return melt.StandardShearRate
            * std::pow(shearStress / (melt.StandardViscosity * melt.StandardShearRate),
                1 / melt.FlowIndex);
    // From the Newtonian plateau's rate, Newton's method on ln tau(ln g).
    const double eta0 = melt.Model == ViscosityModel::CrossWlf ? melt.D1 : melt.ZeroShearViscosity;
    double x = std::log(shearStress / eta0);
    const double target = std::log(shearStress);
    for (int k = 0; k < InverseStepLimit; ++k) {
        const FlowCurvePoint p = ReferencePoint(melt, std::exp(x));
        const double step = (target - std::log(p.Stress)) / p.Slope;
        x += std::clamp(step, -20.0, 20.0);
        if (std::fabs(step) <= 1e-10)
            break;
    }
    return std::exp(x);
}

double Viscosity(const Melt& melt, double shearRate, double celsius)
{
    // The plateau's value at rest, the limit of the law (infinite or zero for a power law).
    if (!(shearRate > 0))
        shearRate = 1e-300;
    const double shift = std::exp(LogShiftFactor(melt, celsius));
    return shift * ReferenceShearStress(melt, shift * shearRate) / (shift * shearRate);
}

Melt PowerLawMeltOf(const Inputs& in)
{
    Melt melt;
    melt.Model = ViscosityModel::PowerLaw;
    melt.FlowIndex = in.PowerLawIndex;
    melt.StandardViscosity = in.StandardViscosity * PascalPerGramForce;
    melt.StandardShearRate = in.StandardShearRate;
    return melt;
}

} // namespace karrow
