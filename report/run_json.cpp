#include "run_json.h"

#include "../run/fields.h"
#include "resolution_json.h"

#include <cmath>
#include <iomanip>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

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
        for (int field = 1; field <= SaveFileNameField; ++field)
            texts[Field(field).OptionName] = record.Texts[static_cast<std::size_t>(field - 1)];
        json inputs { { "texts", texts } };
        if (record.Outcome && record.Outcome->In) {
            const Inputs& in = *record.Outcome->In;
            inputs["values"] = {
                { "number-of-channels", in.NumberOfChannels },
                { "spiral-height", Number(in.SpiralHeight) },
                { "lip-height", Number(in.LipHeight) },
                { "die-radius", Number(in.DieRadius) },
                { "flow-rate-per-channel", Number(in.FlowRatePerChannel) },
                { "power-law-index", Number(in.PowerLawIndex) },
                { "standard-viscosity", Number(in.StandardViscosity) },
                { "standard-shear-rate", Number(in.StandardShearRate) },
                { "inlet-slit-height", Number(in.InletSlitHeight) },
                { "outlet-slit-height", Number(in.OutletSlitHeight) },
                { "inlet-channel-depth", Number(in.InletChannelDepth) },
                { "outlet-channel-depth", Number(in.OutletChannelDepth) },
                { "channel-width", Number(in.ChannelWidth) },
                { "total-increments", in.TotalIncrements },
            };
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
                { "slit_shear_rate_1_s", Number(row.Slit.Rate) },
                { "slit_shear_stress_gf_cm2", Number(row.Slit.Stress) },
                { "residence_time_s", Number(row.ResidenceTime) },
                { "slit_height_cm", Number(s.Geo.SlitHeight[i]) },
                { "channel_depth_cm", Number(s.Geo.ChannelDepth[i]) },
                { "slit_conductance", Number(s.Flow.Laws.SlitConductance[i]) },
                { "channel_resistance", Number(s.Flow.Laws.ChannelResistance[i]) },
            });
        }
        return rows;
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
        doc["outlet"] = { { "flows", flows }, { "angles_deg", angles }, { "relative", relative },
            { "mean", Number(figures.Outlet.Mean) },
            { "spread_percent", Number(figures.Outlet.SpreadPercent) },
            { "max_deviation_percent", Number(figures.Outlet.MaxDeviationPercent) },
            { "cv_percent", Number(figures.Outlet.CvPercent) } };
        doc["pressure"] = { { "head_gf_cm2", Number(figures.Head.GfCm2) },
            { "head_kgf_cm2", Number(figures.Head.KgfCm2) },
            { "head_bar", Number(figures.Head.Bar) }, { "head_mpa", Number(figures.Head.MPa) } };
        doc["shear"] = { { "channel_max_rate_1_s", Number(figures.Shear.Channel.Rate) },
            { "channel_max_stress_gf_cm2", Number(figures.Shear.Channel.Stress) },
            { "channel_max_increment", figures.Shear.ChannelIncrement },
            { "slit_max_rate_1_s", Number(figures.Shear.Slit.Rate) },
            { "slit_max_stress_gf_cm2", Number(figures.Shear.Slit.Stress) },
            { "slit_max_increment", figures.Shear.SlitIncrement },
            { "consistency_gf_s_n_cm2", Number(Consistency(s.In)) } };
        doc["residence"] = { { "mean_s", Number(figures.Residence.MeanTime) },
            { "spiral_volume_cm3", Number(figures.Residence.SpiralVolume) },
            { "largest_along_channel_s", Number(figures.Residence.LargestAlongChannel) },
            { "largest_at_increment", figures.Residence.LargestAt } };
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

    json NetworkJson(const ExactAnswer& exact, bool onlyAnswer)
    {
        json doc { { "converged", exact.Network.Converged },
            { "iterations", exact.Network.Iterations },
            { "residual", Number(exact.Network.Residual) }, { "failure", exact.Network.Failure },
            { "only_answer", onlyAnswer } };
        if (exact.AsSolution && exact.Figures)
            AddFigures(doc, *exact.AsSolution, *exact.Figures);
        AddResolution(doc, exact);
        return doc;
    }

    std::string Csv(const std::vector<std::string>& cells, char separator)
    {
        std::string line;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            std::string cell = cells[i];
            if (separator == ',' && cell.find_first_of(",\"\n\r") != std::string::npos) {
                std::string quoted = "\"";
                for (const char c : cell)
                    quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
                cell = quoted + "\"";
            }
            line += (i == 0 ? "" : std::string(1, separator)) + cell;
        }
        return line + "\n";
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
                    "slit_shear_rate_1_s", "slit_shear_stress_gf_cm2", "residence_time_s" },
                separator);
        for (const IncrementFigures& r : figures.Increments)
            table += Csv({ std::to_string(r.Increment), Text(r.AngleDegrees), Text(r.SlitFlow),
                             Text(r.ChannelFlow), Text(r.PressureKgfCm2), Text(r.Channel.Rate),
                             Text(r.Channel.Stress), Text(r.Slit.Rate), Text(r.Slit.Stress),
                             Text(r.ResidenceTime) },
                separator);
        return table;
    }

    const std::vector<std::string> FigureColumns { "outlet_spread_percent",
        "outlet_max_deviation_percent", "outlet_cv_percent", "head_kgf_cm2", "head_bar",
        "channel_max_shear_rate_1_s", "slit_max_shear_rate_1_s", "mean_residence_s",
        "temperature_rise_k" };

    std::vector<std::string> FigureCells(const std::optional<DesignFigures>& figures)
    {
        if (!figures)
            return std::vector<std::string>(FigureColumns.size());
        const DesignFigures& f = *figures;
        return { Text(f.Outlet.SpreadPercent), Text(f.Outlet.MaxDeviationPercent),
            Text(f.Outlet.CvPercent), Text(f.Head.KgfCm2), Text(f.Head.Bar),
            Text(f.Shear.Channel.Rate), Text(f.Shear.Slit.Rate), Text(f.Residence.MeanTime),
            Text(f.TemperatureRise) };
    }

} // namespace

std::string EndName(RunEnd end)
{
    switch (end) {
    case RunEnd::InputsRejected:
        return "inputs-rejected";
    case RunEnd::ReportNotCreated:
        return "report-not-created";
    case RunEnd::ModifiedConditionNotAppended:
        return "modified-condition-not-appended";
    case RunEnd::NotConverged:
        return "not-converged";
    case RunEnd::TableNotAppended:
        return "table-not-appended";
    case RunEnd::Finished:
        return "finished";
    }
    return "unknown";
}

std::string RunJson(const RunRecord& record, bool pretty)
{
    json doc { { "karrow", 1 }, { "inputs", InputsJson(record) }, { "end", record.End },
        { "exit_status", record.ExitStatus }, { "messages", record.Messages },
        { "solver", SolverName(record.Solver) } };
    const Assessment& a = record.Answers;
    const bool finished = record.Outcome && record.Outcome->End == RunEnd::Finished
        && record.Outcome->Result && a.Classic;
    if (finished) {
        const Solution& s = *record.Outcome->Result;
        doc["geometry"] = GeometryJson(s.Geo);
        AddFigures(doc, s, *a.Classic);
        doc["iteration"] = IterationJson(s.Flow.Record);
    } else if (a.Exact && a.Exact->AsSolution) {
        doc["geometry"] = GeometryJson(a.Exact->AsSolution->Geo);
    }
    if (a.Settling)
        doc["settling"] = { { "settled", a.Settling->Settled },
            { "outlet_difference_percent", Number(a.Settling->OutletDifferencePercent) },
            { "head_difference_percent", Number(a.Settling->HeadDifferencePercent) },
            { "note", a.Settling->Note } };
    if (a.Exact)
        doc["network"] = NetworkJson(*a.Exact, !finished);
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
    for (int field = 1; field <= InputFieldCount; ++field)
        cells.push_back(Field(field).OptionName);
    for (const char* column :
        { "end", "exit_status", "settled", "settling_outlet_difference_percent" })
        cells.push_back(column);
    cells.insert(cells.end(), FigureColumns.begin(), FigureColumns.end());
    for (const std::string& column : FigureColumns)
        cells.push_back("network_" + column);
    cells.push_back("network_iterations");
    return Csv(cells, ',');
}

std::string SweepCsvRow(const RunRecord& record)
{
    std::vector<std::string> cells(record.Texts.begin(), record.Texts.begin() + InputFieldCount);
    const Assessment& a = record.Answers;
    cells.push_back(record.End);
    cells.push_back(std::to_string(record.ExitStatus));
    cells.push_back(a.Settling ? (a.Settling->Settled ? "yes" : "no") : "");
    cells.push_back(a.Settling ? Text(a.Settling->OutletDifferencePercent) : "");
    for (const std::string& cell : FigureCells(a.Classic))
        cells.push_back(cell);
    for (const std::string& cell : FigureCells(a.Exact ? a.Exact->Figures : std::nullopt))
        cells.push_back(cell);
    cells.push_back(a.Exact ? std::to_string(a.Exact->Network.Iterations) : "");
    return Csv(cells, ',');
}

} // namespace karrow
