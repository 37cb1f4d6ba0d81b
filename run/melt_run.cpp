#include "melt_run.h"

#include "solver/exact_solution.h"
#include "solver/extended.h"
#include "solver/fault.h"

#include <cmath>
#include <nlohmann/json.hpp>

namespace karrow {

namespace {

    // Seconds per hour over cm3 per m3: kg/h / (kg/m3) = m3/h = 1e6/3600 cm3/sec.
    constexpr double CubicCentimetresPerSecondPerCubicMetrePerHour = 1e6 / 3600;

    // JSON has no infinity or nan: such a number is written as null.
    nlohmann::json Number(double value)
    {
        return std::isfinite(value) ? nlohmann::json(value) : nlohmann::json(nullptr);
    }

    nlohmann::json Numbers(const std::vector<double>& values)
    {
        nlohmann::json list = nlohmann::json::array();
        for (const double v : values)
            list.push_back(Number(v));
        return list;
    }

    nlohmann::json MeltJson(const Melt& melt)
    {
        nlohmann::json constants = nlohmann::json::object();
        for (const MeltConstant& c : ConstantsOf(melt.Model, melt.Shift))
            constants[std::string(c.Name)] = Number(melt.*(c.Member));
        nlohmann::json units = nlohmann::json::object();
        for (const MeltConstant& c : ConstantsOf(melt.Model, melt.Shift))
            units[std::string(c.Name)] = std::string(c.Unit);
        return { { "model", std::string(ModelName(melt.Model)) },
            { "shift", std::string(ShiftName(melt.Shift)) }, { "constants", constants },
            { "units", units } };
    }

} // namespace

MeltRun SolveMeltRun(const Inputs& in, const Melt& melt, const MeltConditions& conditions,
    NetworkResolution resolution)
{
    MeltRun run;
    if (resolution.IncrementsPerPitch < 1)
        resolution.IncrementsPerPitch = DefaultIncrementsPerPitch(in.NumberOfChannels);
    run.Resolution = resolution;
    if (auto problem = NetworkResolutionProblem(in, resolution)) {
        run.Failure = *problem;
        return run;
    }
    try {
        const ResolvedNetwork resolved = SolveNetworkAt(in, resolution);
        run.Answer = SolveMeltNetwork(in, resolved.Geo, resolved.Laws, melt, conditions);
        run.TransferIncrements = resolved.Geo.TransferIncrements;
        if (run.Answer.Network.Converged) {
            const DesignFigures figures = ComputeFigures(
                SolutionOfNetwork(in, resolved.Geo, resolved.Laws, run.Answer.Network));
            run.Outlet = figures.Outlet;
            run.Head = figures.Head;
            run.Residence = figures.Residence;
        }
    } catch (const Fault& fault) {
        run.Failure = fault.what();
        return run;
    }
    run.Solved = !run.Answer.Network.Pressure.empty();
    run.Failure = run.Answer.Network.Failure;
    return run;
}

bool AnyMeltSetting(const MeltRunSettings& o)
{
    return o.MeltTemperature || o.Thermal != "isothermal" || o.WallTemperature
        || o.HeatTransferCoefficient || o.Throughput;
}

std::variant<MeltConditions, std::string> MeltConditionsOf(
    const MeltRunSettings& o, const Melt& melt)
{
    if (!o.MeltTemperature)
        return std::string("--melt-temperature: a run with a melt needs the melt's temperature.");
    if (o.Thermal != "isothermal" && o.Thermal != "heated")
        return "--thermal: isothermal or heated, not " + o.Thermal + ".";
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
    if (auto problem = MeltConditionsProblem(melt, c)) {
        if (problem->rfind("At a melt temperature", 0) == 0)
            return "--melt-temperature: " + *problem;
        if (problem->rfind("The wall temperature", 0) == 0)
            return "--wall-temperature: " + *problem;
        if (problem->rfind("The heat-transfer", 0) == 0)
            return "--heat-transfer-coefficient: " + *problem;
        return *problem;
    }
    return c;
}

double FlowRatePerChannelOf(double throughputKgPerHour, double density, int channels)
{
    if (!(std::isfinite(throughputKgPerHour) && throughputKgPerHour > 0 && std::isfinite(density)
            && density > 0 && channels >= 1))
        return 0;
    return throughputKgPerHour / density * CubicCentimetresPerSecondPerCubicMetrePerHour / channels;
}

std::string MeltRunJson(const Melt& melt, const MeltConditions& conditions, const MeltRun& run)
{
    const MeltNetworkSolution& a = run.Answer;
    nlohmann::json conditionsJson = { { "melt_temperature_C", Number(conditions.MeltTemperature) },
        { "thermal", std::string(ThermalModeName(conditions.Thermal)) } };
    if (conditions.Thermal == ThermalMode::Heated && conditions.HeatTransferCoefficient > 0) {
        conditionsJson["wall_temperature_C"] = Number(conditions.WallTemperature);
        conditionsJson["heat_transfer_coefficient_W_m2K"] =
            Number(conditions.HeatTransferCoefficient);
    }
    nlohmann::json document = { { "melt", MeltJson(melt) }, { "conditions", conditionsJson } };
    nlohmann::json network = { { "increments_per_pitch", run.Resolution.IncrementsPerPitch },
        { "solved", run.Solved }, { "converged", run.Solved && a.Network.Converged } };
    if (!run.Failure.empty())
        network["failure"] = run.Failure;
    if (run.Solved) {
        network["residual"] = Number(a.Network.Residual);
        network["newton_steps"] = a.Network.Iterations;
        network["thermal_steps"] = a.ThermalIterations;
        network["thermal_residual_K"] = Number(a.ThermalResidual);
        network["head_pressure_gf_cm2"] = Number(a.Network.InletPressure);
        network["outlet_flows_cm3_s"] = Numbers(std::vector<double>(
            a.Network.SlitFlow.begin() + run.TransferIncrements, a.Network.SlitFlow.end()));
        network["outlet_cv_percent"] = Number(run.Outlet.CvPercent);
        network["outlet_spread_percent"] = Number(run.Outlet.SpreadPercent);
        network["head_pressure_MPa"] = Number(run.Head.MPa);
        network["mean_residence_time_s"] = Number(run.Residence.MeanTime);
        network["oldest_outlet_age_s"] = Number(run.Residence.OldestOutletAge);
        network["stagnant_percent"] = Number(run.Residence.StagnantPercent);
        network["channel_wall_shear_rates_1_s"] = Numbers(a.ChannelWallShearRate);
        network["channel_wall_stresses_Pa"] = Numbers(a.ChannelWallStress);
        document["temperatures"] = { { "channel_C", Numbers(a.NodeTemperature) },
            { "outlets_C", Numbers(a.OutletTemperature) },
            { "outlet_spread_K", Number(a.OutletTemperatureSpread) },
            { "mean_outlet_C", Number(a.MeanOutletTemperature) } };
    }
    document["network"] = network;
    return document.dump();
}

} // namespace karrow
