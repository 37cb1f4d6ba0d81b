#include "melt_options.h"

namespace karrow {

void AddMeltOptions(CLI::App& app, MeltRunSettings& o)
{
    app.add_option("--melt-temperature", o.MeltTemperature,
        "temperature of the melt entering the die, degrees C (with a real melt)");
    app.add_option(
           "--thermal", o.Thermal, "isothermal, or heated by its own flow (with a real melt)")
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

} // namespace karrow
