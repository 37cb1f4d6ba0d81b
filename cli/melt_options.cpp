#include "melt_options.h"

#include "run/input_grammar.h"
#include "run/material_grade.h"

#include <cmath>
#include <cstdio>
#include <sstream>

namespace karrow {

void AddMeltOptions(CLI::App& app, RealMeltOptions& options)
{
    MeltRunSettings& o = options.Settings;
    app.add_option("--melt", options.MeltFile,
           "a melt file (as fit-melt writes): the exact network runs with this melt beside the "
           "report's power law")
        ->option_text("FILE");
    app.add_option("--material", options.Material,
           "a grade of the materials library or of the user's (karrow-cli materials lists them), "
           "as --melt")
        ->option_text("NAME");
    app.add_option("--melt-temperature", o.MeltTemperature,
        "temperature of the melt entering the die, degrees C (with a real melt; a grade "
        "defaults to the middle of its processing window)");
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

namespace {

    struct NamedMelt {
        std::string Name;
        Melt TheMelt;
        std::optional<TemperatureWindow> Processing;
    };

    std::variant<NamedMelt, std::string> MeltAskedFor(
        const RealMeltOptions& o, const MaterialFolders& folders)
    {
        if (o.MeltFile.empty() && o.Material.empty())
            return NamedMelt { o.FromInputs->Name, o.FromInputs->TheMelt, std::nullopt };
        if (!o.MeltFile.empty()) {
            const MaterialReading reading = ReadMeltFile(o.MeltFile);
            if (!reading.Grade)
                return "--melt: " + reading.Problem;
            return NamedMelt { o.MeltFile, reading.Grade->Melt, reading.Grade->Processing };
        }
        const MaterialLookup lookup = FindMaterial(folders, o.Material);
        if (!lookup.Found)
            return "--material: " + lookup.Problem;
        const MaterialGrade& grade = lookup.Found->Grade;
        return NamedMelt { grade.Name, grade.Melt, grade.Processing };
    }

    // The set's conditions, each replaced by the option given on the command line. An
    // isothermal run given as an option drops the set's die wall, which only a heated one reads.
    MeltRunSettings SettingsOf(const RealMeltOptions& o)
    {
        const MeltRunSettings& given = o.Settings;
        if (!o.MeltFile.empty() || !o.Material.empty() || !o.FromInputs)
            return given;
        MeltRunSettings s = o.FromInputs->Settings;
        if (given.MeltTemperature)
            s.MeltTemperature = given.MeltTemperature;
        if (o.ThermalGiven) {
            s.Thermal = given.Thermal;
            if (s.Thermal == "isothermal") {
                s.WallTemperature.reset();
                s.HeatTransferCoefficient.reset();
            }
        }
        if (given.WallTemperature)
            s.WallTemperature = given.WallTemperature;
        if (given.HeatTransferCoefficient)
            s.HeatTransferCoefficient = given.HeatTransferCoefficient;
        if (given.Throughput)
            s.Throughput = given.Throughput;
        return s;
    }

    std::string Fixed(double value, int decimals)
    {
        char text[64];
        std::snprintf(text, sizeof text, "%.*f", decimals, value);
        return text;
    }

} // namespace

std::variant<std::monostate, ChosenMelt, std::string> ChosenMeltOf(
    const RealMeltOptions& o, const MaterialFolders& folders)
{
    if (o.MeltFile.empty() && o.Material.empty() && !o.FromInputs) {
        if (AnyMeltSetting(o.Settings))
            return std::string("--melt-temperature, --thermal, --wall-temperature, "
                               "--heat-transfer-coefficient and --throughput need a melt: "
                               "--melt FILE or --material NAME.");
        return std::monostate {};
    }
    if (!o.MeltFile.empty() && !o.Material.empty())
        return std::string("--melt and --material: give one melt, not two.");
    auto asked = MeltAskedFor(o, folders);
    if (auto* problem = std::get_if<std::string>(&asked))
        return *problem;
    const NamedMelt& named = std::get<NamedMelt>(asked);
    MeltRunSettings settings = SettingsOf(o);
    if (!settings.MeltTemperature && named.Processing && named.Processing->High > 0)
        settings.MeltTemperature = (named.Processing->Low + named.Processing->High) / 2;
    auto conditions = MeltConditionsOf(settings, named.TheMelt);
    if (auto* problem = std::get_if<std::string>(&conditions))
        return *problem;
    return ChosenMelt { named.Name, named.TheMelt, std::get<MeltConditions>(conditions),
        settings.Throughput };
}

InputSetMelt InputSetMeltOf(const ChosenMelt& melt)
{
    return KeptMelt(melt.Name, melt.TheMelt, melt.Conditions, melt.Throughput);
}

std::optional<std::string> ApplyThroughput(
    const ChosenMelt& melt, bool flowRateGiven, FieldTexts& texts, char decimalSeparator)
{
    if (!melt.Throughput)
        return std::nullopt;
    if (flowRateGiven)
        return std::string("--throughput and --flow-rate-per-channel: give one of them.");
    const auto channels = ParseIntegerText(texts[Field::NumberOfChannels]);
    const double perChannel = channels
        ? FlowRatePerChannelOf(*melt.Throughput, melt.TheMelt.Density, *channels)
        : 0.0;
    if (!(perChannel > 0))
        return std::string("--throughput: the number of channels must be read first, and the "
                           "melt's density must be above zero.");
    std::ostringstream text;
    text.precision(17);
    text << perChannel;
    std::string written = text.str();
    for (char& c : written)
        if (c == '.')
            c = decimalSeparator;
    texts[Field::FlowRatePerChannel] = written;
    return std::nullopt;
}

std::string MeltSummaryText(const ChosenMelt& melt, const MeltRun& run)
{
    const MeltConditions& c = melt.Conditions;
    std::string text = "Melt " + melt.Name + " at " + Fixed(c.MeltTemperature, 1) + " C, "
        + (c.Thermal == ThermalMode::Heated ? "heated by its own flow" : "isothermal")
        + " (exact network):\n";
    if (!run.Solved)
        return text + "  no answer: " + run.Failure + "\n";
    if (!run.Answer.Network.Converged)
        text += "  NOT converged: " + run.Failure + "\n";
    text += "  head pressure " + Fixed(run.Head.MPa, 3) + " MPa (" + Fixed(run.Head.Bar, 1)
        + " bar)\n";
    if (run.Outlet.Resolved)
        text += "  outlet CV " + Fixed(run.Outlet.CvPercent, 2) + " %, spread "
            + Fixed(run.Outlet.SpreadPercent, 2) + " %\n";
    text += "  melt leaving the die " + Fixed(run.Answer.MeanOutletTemperature, 2)
        + " C (flow-weighted), " + Fixed(run.Answer.OutletTemperatureSpread, 3)
        + " K from coldest to hottest round the die\n";
    return text;
}

} // namespace karrow
