#include "run_json.h"

#include "../report/csv.h"
#include "fields.h"
#include "resolution_json.h"

#include <cmath>
#include <iomanip>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <type_traits>
#include <variant>

namespace karrow {

namespace {

    using nlohmann::json;

    // Unrounded, and null where a number is not finite (JSON has no inf or nan).
    json Number(double value)
    {
        return std::isfinite(value) ? json(value) : json(nullptr);
    }

    const char* StopName(IterationStop stop)
    {
        switch (stop) {
        case IterationStop::Balanced:
            return "balanced";
        case IterationStop::CorrectionLimit:
            return "correction-limit";
        case IterationStop::StepLimit:
            return "step-limit";
        }
        return "unknown";
    }

    const char* SolverName(SolverChoice solver)
    {
        switch (solver) {
        case SolverChoice::Classic:
            return "classic";
        case SolverChoice::Network:
            return "network";
        case SolverChoice::Both:
            return "both";
        }
        return "unknown";
    }

    json InputsJson(const RunRecord& record)
    {
        json texts = json::object();
        for (const Field field : AllFields)
            texts[InfoOf(field).JsonKey] = record.Texts[field];
        json inputs { { "texts", texts } };
        if (record.Outcome && record.Outcome->In) {
            const Inputs& in = *record.Outcome->In;
            json values = json::object();
            for (const Field field : InputFields)
                std::visit(
                    [&](auto member) {
                        using Member = decltype(member);
                        if constexpr (std::is_same_v<Member, std::int32_t Inputs::*>)
                            values[InfoOf(field).JsonKey] = in.*member;
                        else if constexpr (std::is_same_v<Member, double Inputs::*>)
                            values[InfoOf(field).JsonKey] = Number(in.*member);
                    },
                    InfoOf(field).Member);
            inputs["values"] = values;
        }
        return inputs;
    }

    json GeometryJson(const Geometry& g)
    {
        return {
            { "effective_increments", g.EffectiveIncrements },
            { "pitch_increments", g.PitchIncrements },
            { "transfer_increments", g.TransferIncrements },
            { "modified_spiral_height_cm", Number(g.ModifiedSpiralHeight) },
            { "modified_lip_height_cm", Number(g.ModifiedLipHeight) },
            { "modified_outlet_slit_height_cm", Number(g.ModifiedOutletSlitHeight) },
            { "modified_outlet_channel_depth_cm", Number(g.ModifiedOutletChannelDepth) },
            { "helix_angle_rad", Number(g.HelixAngle) },
            { "increment_length_cm", Number(g.IncrementLength) },
            { "axial_pitch_cm", Number(g.AxialPitch) },
        };
    }

    json IncrementsJson(const Solution& s, const DesignFigures& figures)
    {
        json rows = json::array();
        for (const IncrementFigures& row : figures.Increments) {
            const int i = row.Increment;
            rows.push_back({
                { "index", i },
                { "angle_deg", Number(row.AngleDegrees) },
                { "outlet", i > s.Geo.TransferIncrements },
                { "slit_flow", Number(row.SlitFlow) },
                { "channel_flow", Number(row.ChannelFlow) },
                { "pressure_kgf_cm2", Number(row.PressureKgfCm2) },
                { "channel_shear_rate_1_s", Number(row.Channel.Rate) },
                { "channel_shear_stress_gf_cm2", Number(row.Channel.Stress) },
                { "land_or_outlet_path_shear_rate_1_s", Number(row.Slit.Rate) },
                { "land_or_outlet_path_shear_stress_gf_cm2", Number(row.Slit.Stress) },
                { "node_mean_age_s", Number(row.NodeMeanAge) },
                { "land_or_outlet_path_mean_age_s", Number(row.PathMeanAge) },
                { "slit_height_cm", Number(s.Geo.SlitHeight[i]) },
                { "channel_depth_cm", Number(s.Geo.ChannelDepth[i]) },
                { "slit_conductance", Number(s.Flow.Laws.SlitConductance[i]) },
                { "channel_resistance", Number(s.Flow.Laws.ChannelResistance[i]) },
            });
        }
        return rows;
    }

    // A figure of the outlet's spread, or null where one outlet increment leaves nothing to spread.
    json Spread(const OutletDistribution& outlet, double value)
    {
        return outlet.Resolved ? Number(value) : json(nullptr);
    }

    json Shear(const WallShear& shear, int increment)
    {
        return { { "max_rate_1_s", Number(shear.Rate) },
            { "max_stress_gf_cm2", Number(shear.Stress) }, { "at_increment", increment } };
    }

    // The design figures of a solution, classic or exact, under the same keys.
    void AddFigures(json& doc, const Solution& s, const DesignFigures& figures)
    {
        json flows = json::array();
        json angles = json::array();
        json relative = json::array();
        for (const OutletFlow& q : figures.Outlet.Flows) {
            flows.push_back(Number(q.Flow));
            angles.push_back(Number(q.AngleDegrees));
            relative.push_back(Number(q.Relative));
        }
        const OutletDistribution& outlet = figures.Outlet;
        doc["outlet"] = { { "flows", flows }, { "angles_deg", angles }, { "relative", relative },
            { "mean", Number(outlet.Mean) }, { "resolved", outlet.Resolved },
            { "spread_percent", Spread(outlet, outlet.SpreadPercent) },
            { "max_deviation_percent", Spread(outlet, outlet.MaxDeviationPercent) },
            { "cv_percent", Spread(outlet, outlet.CvPercent) } };
        doc["pressure"] = { { "head_gf_cm2", Number(figures.Head.GfCm2) },
            { "head_kgf_cm2", Number(figures.Head.KgfCm2) },
            { "head_bar", Number(figures.Head.Bar) }, { "head_mpa", Number(figures.Head.MPa) } };
        doc["shear"] = { { "channel", Shear(figures.Shear.Channel, figures.Shear.ChannelIncrement) },
            { "land", Shear(figures.Shear.Land, figures.Shear.LandIncrement) },
            { "outlet_path", Shear(figures.Shear.OutletPath, figures.Shear.OutletPathIncrement) },
            { "consistency_gf_s_n_cm2", Number(Consistency(s.In)) } };
        const ResidenceTimes& r = figures.Residence;
        doc["residence"] = { { "mean_s", Number(r.MeanTime) },
            { "spiral_volume_cm3", Number(r.SpiralVolume) }, { "ages_known", r.AgesKnown },
            { "outlet_mean_age_s", Number(r.OutletMeanAge) },
            { "oldest_outlet_age_s", Number(r.OldestOutletAge) },
            { "oldest_outlet_increment", r.OldestOutletIncrement },
            { "stagnation_multiple", StagnationMultiple },
            { "stagnant_volume_cm3", Number(r.StagnantVolume) },
            { "stagnant_percent", Number(r.StagnantPercent) } };
        doc["temperature_rise"] = { { "kelvin", Number(figures.TemperatureRise) },
            { "density_g_cm3", Number(figures.Melt.Density) },
            { "heat_capacity_j_g_k", Number(figures.Melt.HeatCapacity) } };
        doc["increments"] = IncrementsJson(s, figures);
    }

    json IterationJson(const IterationRecord& record)
    {
        json corrections = json::array();
        for (const CorrectionRecord& c : record.Corrections)
            corrections.push_back(
                { { "passes", c.Passes }, { "pass_limit_reached", c.PassLimitReached } });
        return { { "balance_steps", record.BalanceSteps }, { "corrections", corrections },
            { "stop", StopName(record.Stop) },
            { "final_transfer_change", Number(record.FinalChange.Transfer) },
            { "final_outlet_change", Number(record.FinalChange.Outlet) } };
    }

    json NetworkJson(const ExactAnswer& exact)
    {
        json doc { { "converged", exact.Network.Converged },
            { "iterations", exact.Network.Iterations },
            { "residual", Number(exact.Network.Residual) }, { "failure", exact.Network.Failure } };
        if (exact.AsSolution && exact.Figures)
            AddFigures(doc, *exact.AsSolution, *exact.Figures);
        AddResolution(doc, exact);
        return doc;
    }

    json Range(const FigureRange& range)
    {
        return json::array({ Number(range.Low), Number(range.High) });
    }

    json RepeatabilityJson(const RepeatabilityCheck& check)
    {
        return { { "repeatable", check.Repeatable },
            { "flow_change_percent_of_mean_outlet", Number(check.FlowChangePercentOfMeanOutlet) },
            { "pressure_change_percent_of_head", Number(check.PressureChangePercentOfHead) },
            { "note", check.Note }, { "probe_reach_ulp", check.ReachUlps },
            { "probe_runs", check.Runs }, { "probe_runs_not_finished", check.RunsNotFinished },
            { "head_kgf_cm2_range", Range(check.HeadKgfCm2) },
            { "outlet_spread_percent_range", Range(check.OutletSpreadPercent) } };
    }

    // The report's figures against the exact ones: differences in percentage points of the
    // spread and in percent of the exact head pressure.
    json AgainstNetworkJson(const DesignFigures& report, const DesignFigures& exact)
    {
        const bool resolved = report.Outlet.Resolved;
        return { { "spread_points",
                     resolved ? Number(report.Outlet.SpreadPercent - exact.Outlet.SpreadPercent)
                              : json(nullptr) },
            { "cv_points",
                resolved ? Number(report.Outlet.CvPercent - exact.Outlet.CvPercent)
                         : json(nullptr) },
            { "head_percent",
                Number(100 * (report.Head.KgfCm2 / exact.Head.KgfCm2 - 1)) } };
    }

    // Which answer leads: the exact network's where it was solved, else the report's.
    json VerdictJson(const Assessment& a)
    {
        const bool exact = a.Exact && a.Exact->Figures;
        const DesignFigures* lead = exact ? &*a.Exact->Figures : (a.Classic ? &*a.Classic : nullptr);
        json verdict { { "answer", exact ? "network" : (lead != nullptr ? "report" : "none") } };
        if (lead == nullptr)
            return verdict;
        verdict["outlet_resolved"] = lead->Outlet.Resolved;
        verdict["outlet_spread_percent"] = Spread(lead->Outlet, lead->Outlet.SpreadPercent);
        verdict["outlet_cv_percent"] = Spread(lead->Outlet, lead->Outlet.CvPercent);
        verdict["head_kgf_cm2"] = Number(lead->Head.KgfCm2);
        if (a.Repeatability)
            verdict["report_repeatable"] = a.Repeatability->Repeatable;
        if (exact && a.Classic && a.Classic->Outlet.Resolved)
            verdict["report_understates_nonuniformity"] =
                a.Classic->Outlet.SpreadPercent < a.Exact->Figures->Outlet.SpreadPercent;
        return verdict;
    }

    std::string Csv(const std::vector<std::string>& cells, char separator)
    {
        return CsvLine(cells, separator);
    }

    std::string Text(double value)
    {
        if (!std::isfinite(value))
            return "";
        std::ostringstream text;
        text.imbue(std::locale::classic());
        text << std::setprecision(std::numeric_limits<double>::max_digits10) << value;
        return text.str();
    }

    std::string IncrementsTable(const DesignFigures& figures, char separator)
    {
        std::string table =
            Csv({ "increment", "angle_deg", "slit_flow_cm3_s", "channel_flow_cm3_s",
                    "pressure_kgf_cm2", "channel_shear_rate_1_s", "channel_shear_stress_gf_cm2",
                    "land_or_outlet_path_shear_rate_1_s", "land_or_outlet_path_shear_stress_gf_cm2",
                    "node_mean_age_s", "land_or_outlet_path_mean_age_s" },
                separator);
        for (const IncrementFigures& r : figures.Increments)
            table += Csv({ std::to_string(r.Increment), Text(r.AngleDegrees), Text(r.SlitFlow),
                             Text(r.ChannelFlow), Text(r.PressureKgfCm2), Text(r.Channel.Rate),
                             Text(r.Channel.Stress), Text(r.Slit.Rate), Text(r.Slit.Stress),
                             Text(r.NodeMeanAge), Text(r.PathMeanAge) },
                separator);
        return table;
    }

    const std::vector<std::string> FigureColumns { "outlet_spread_percent",
        "outlet_max_deviation_percent", "outlet_cv_percent", "head_kgf_cm2", "head_bar",
        "channel_max_shear_rate_1_s", "land_max_shear_rate_1_s", "outlet_path_max_shear_rate_1_s",
        "mean_residence_s", "stagnant_percent",
        "temperature_rise_k" };

    std::vector<std::string> FigureCells(const std::optional<DesignFigures>& figures)
    {
        if (!figures)
            return std::vector<std::string>(FigureColumns.size());
        const DesignFigures& f = *figures;
        const auto spread = [&](double value) { return f.Outlet.Resolved ? Text(value) : ""; };
        return { spread(f.Outlet.SpreadPercent), spread(f.Outlet.MaxDeviationPercent),
            spread(f.Outlet.CvPercent), Text(f.Head.KgfCm2), Text(f.Head.Bar),
            Text(f.Shear.Channel.Rate), Text(f.Shear.Land.Rate), Text(f.Shear.OutletPath.Rate),
            Text(f.Residence.MeanTime), Text(f.Residence.StagnantPercent),
            Text(f.TemperatureRise) };
    }

} // namespace

std::string RunJson(const RunRecord& record, int exitStatus, bool pretty)
{
    json doc { { "karrow", 2 }, { "inputs", InputsJson(record) }, { "end", EndName(record.End) },
        { "exit_status", exitStatus }, { "messages", record.Messages },
        { "solver", SolverName(record.Solver) } };
    const Assessment& a = record.Answers;
    const bool finished = record.Outcome && record.Outcome->End == RunEnd::Finished
        && record.Outcome->Result && a.Classic;
    if (finished)
        doc["geometry"] = GeometryJson(record.Outcome->Result->Geo);
    else if (a.Exact && a.Exact->AsSolution)
        doc["geometry"] = GeometryJson(a.Exact->AsSolution->Geo);
    if (finished || a.Exact)
        doc["verdict"] = VerdictJson(a);
    if (a.Exact)
        doc["network"] = NetworkJson(*a.Exact);
    if (finished) {
        const Solution& s = *record.Outcome->Result;
        json report;
        AddFigures(report, s, *a.Classic);
        report["iteration"] = IterationJson(s.Flow.Record);
        if (a.Repeatability)
            report["repeatability"] = RepeatabilityJson(*a.Repeatability);
        if (a.Exact && a.Exact->Figures)
            report["against_network"] = AgainstNetworkJson(*a.Classic, *a.Exact->Figures);
        doc["report"] = report;
    }
    return pretty ? doc.dump(2) : doc.dump();
}

std::string IncrementsCsv(const DesignFigures& figures)
{
    return IncrementsTable(figures, ',');
}

std::string IncrementsTabSeparated(const DesignFigures& figures)
{
    return IncrementsTable(figures, '\t');
}

std::string SweepCsvHeader()
{
    std::vector<std::string> cells;
    for (const Field field : InputFields)
        cells.push_back(InfoOf(field).OptionName);
    for (const char* column :
        { "end", "exit_status", "repeatable", "flow_change_percent_of_mean_outlet" })
        cells.push_back(column);
    cells.insert(cells.end(), FigureColumns.begin(), FigureColumns.end());
    for (const std::string& column : FigureColumns)
        cells.push_back("network_" + column);
    cells.push_back("network_iterations");
    return Csv(cells, ',');
}

std::string SweepCsvRow(const RunRecord& record, int exitStatus)
{
    std::vector<std::string> cells;
    for (const Field field : InputFields)
        cells.push_back(record.Texts[field]);
    const Assessment& a = record.Answers;
    cells.push_back(EndName(record.End));
    cells.push_back(std::to_string(exitStatus));
    cells.push_back(a.Repeatability ? (a.Repeatability->Repeatable ? "yes" : "no") : "");
    cells.push_back(a.Repeatability ? Text(a.Repeatability->FlowChangePercentOfMeanOutlet) : "");
    for (const std::string& cell : FigureCells(a.Classic))
        cells.push_back(cell);
    for (const std::string& cell : FigureCells(a.Exact ? a.Exact->Figures : std::nullopt))
        cells.push_back(cell);
    cells.push_back(a.Exact ? std::to_string(a.Exact->Network.Iterations) : "");
    return Csv(cells, ',');
}

} // namespace karrow
