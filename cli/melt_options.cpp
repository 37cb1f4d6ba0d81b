#include "melt_options.h"

#include <cmath>

namespace karrow {

void AddMeltOptions(CLI::App& app, MeltRunOptions& o)
{
    app.add_option("--melt-temperature", o.MeltTemperature,
        "temperature of the melt entering the die, degrees C (with a real melt)");
    app.add_option("--thermal", o.Thermal,
           "isothermal, or heated by its own flow (with a real melt)")
        ->check(CLI::IsMember({ "isothermal", "heated" }))
        ->option_text("isothermal|heated");
    app.add_option("--wall-temperature", o.WallTemperature,
        "heated: temperature of the die wall, degrees C (with --heat-transfer-coefficient)");
    app.add_option("--heat-transfer-coefficient", o.HeatTransferCoefficient,
        "heated: coefficient from melt to wall, W/(m2 K); without it the die is adiabatic");
    app.add_option("--throughput", o.Throughput,
        "the die's whole throughput, kg/h, instead of the flow rate per channel (with the "
        "melt's density)");
}

bool AnyMeltOption(const MeltRunOptions& o)
{
    return o.MeltTemperature || o.Thermal != "isothermal" || o.WallTemperature
        || o.HeatTransferCoefficient || o.Throughput;
}

std::variant<MeltConditions, std::string> MeltConditionsOf(const MeltRunOptions& o, const Melt& melt)
{
    if (!o.MeltTemperature)
        return std::string("--melt-temperature: a run with a melt needs the melt's temperature.");
    MeltConditions c;
    c.MeltTemperature = *o.MeltTemperature;
    c.Thermal = o.Thermal == "heated" ? ThermalMode::Heated : ThermalMode::Isothermal;
    if (c.Thermal == ThermalMode::Isothermal && (o.WallTemperature || o.HeatTransferCoefficient))
        return std::string(
            "--wall-temperature and --heat-transfer-coefficient need --thermal heated.");
    if (o.WallTemperature.has_value() != o.HeatTransferCoefficient.has_value())
        return std::string("--wall-temperature and --heat-transfer-coefficient go together.");
    if (o.HeatTransferCoefficient) {
        c.HeatTransferCoefficient = *o.HeatTransferCoefficient;
        c.WallTemperature = *o.WallTemperature;
    }
    if (o.Throughput && !(std::isfinite(*o.Throughput) && *o.Throughput > 0))
        return std::string("--throughput: the throughput must be a number above zero, in kg/h.");
    if (auto problem = MeltConditionsProblem(melt, c))
        return (o.MeltTemperature && problem->rfind("At a melt temperature", 0) == 0
                       ? "--melt-temperature: "
                       : "")
            + *problem;
    return c;
}

} // namespace karrow
